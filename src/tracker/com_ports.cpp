#include "tracker/com_ports.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "core/numbers.h"

namespace tarnwell {
namespace {

struct DeviceFamily {
  std::string_view prefix;  // after "/dev/"
  int firstCom;
  int count;
};

constexpr DeviceFamily kFamilies[] = {
    {"ttyS", 1, 32},
    {"ttyUSB", 33, 16},
    {"ttyACM", 49, 16},
};

// The device's index after the family prefix; -1 unless the rest is plain digits.
int IndexAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return -1;
  int value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return -1;
  return value;
}

}  // namespace

int ComPortNumberForDevice(std::string_view devicePath) {
  constexpr std::string_view kDev = "/dev/";
  if (devicePath.substr(0, kDev.size()) != kDev) return 0;
  const std::string_view name = devicePath.substr(kDev.size());
  for (const auto& family : kFamilies) {
    // IndexAfter demands digits right after the prefix, so "ttyS" never takes "ttySAC0".
    const int index = IndexAfter(name, family.prefix);
    if (index >= 0 && index < family.count) return family.firstCom + index;
  }
  return 0;
}

std::string DeviceForComPortNumber(int number) {
  for (const auto& family : kFamilies) {
    if (number >= family.firstCom && number < family.firstCom + family.count) {
      return "/dev/" + std::string(family.prefix) + std::to_string(number - family.firstCom);
    }
  }
  return {};
}

std::vector<SerialPortInfo> ComPortsFromDevices(const std::vector<std::string>& devicePaths) {
  std::vector<std::pair<int, std::string>> numbered;
  for (const auto& path : devicePaths) {
    const int number = ComPortNumberForDevice(path);
    if (number > 0) numbered.emplace_back(number, path);
  }
  std::sort(numbered.begin(), numbered.end());
  numbered.erase(std::unique(numbered.begin(), numbered.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 numbered.end());
  std::vector<SerialPortInfo> ports;
  ports.reserve(numbered.size());
  for (const auto& [number, path] : numbered) ports.push_back({"COM" + std::to_string(number), path});
  return ports;
}

std::vector<std::string> ScanSerialDevices() {
  namespace fs = std::filesystem;
  std::vector<std::string> devices;
  std::error_code ec;
  for (fs::directory_iterator it("/dev", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (IndexAfter(name, "ttyUSB") >= 0 || IndexAfter(name, "ttyACM") >= 0) {
      devices.push_back(it->path().string());
    } else if (IndexAfter(name, "ttyS") >= 0) {
      std::error_code linkError;
      const fs::path driver = fs::read_symlink("/sys/class/tty/" + name + "/device/driver", linkError);
      if (!linkError && driver.filename() != "serial8250") devices.push_back(it->path().string());
    }
  }
  return devices;
}

std::vector<std::string> ListComPortNames(const std::vector<SerialPortInfo>& ports) {
  std::vector<std::string> names;
  for (const auto& port : ports) {
    if (port.name.size() >= 3 && port.name.compare(0, 3, "COM") == 0) names.push_back(port.name);
  }
  return names;
}

std::vector<std::string> ComPortListEntries(const std::vector<std::string>& comPortNames) {
  return {comPortNames.rbegin(), comPortNames.rend()};
}

int SelectedComPortEntry(const std::vector<std::string>& entries, int comPort) {
  if (entries.empty()) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (ComPortFromEntry(entries[i]) == comPort) return static_cast<int>(i);
  }
  return 0;
}

int16_t ComPortFromEntry(std::string_view entry) {
  if (entry.empty()) return 1;
  return CInt(Val(entry.size() > 3 ? entry.substr(3) : std::string_view{}));
}

namespace {

constexpr std::string_view kNotFoundSuffix = " (not found)";
constexpr std::string_view kInUseSuffix = " (in use)";

// The number of a plain "COMn" entry; 0 for any other entry.
int PortEntryNumber(std::string_view entry) {
  if (entry.size() < 4 || entry.substr(0, 3) != "COM") return 0;
  int value = 0;
  const auto [end, ec] = std::from_chars(entry.data() + 3, entry.data() + entry.size(), value);
  return ec == std::errc() && end == entry.data() + entry.size() ? value : 0;
}

}  // namespace

ComPortChoice ComPortChoiceFor(const std::vector<std::string>& comPortNames, int comPort,
                               std::string_view deviceInUse) {
  ComPortChoice choice;
  choice.entries = ComPortListEntries(comPortNames);
  if (!deviceInUse.empty()) {
    choice.entries.insert(choice.entries.begin(), std::string(deviceInUse) + std::string(kInUseSuffix));
    choice.selected = 0;
    return choice;
  }
  const bool listed = std::any_of(choice.entries.begin(), choice.entries.end(),
                                  [comPort](const std::string& e) { return PortEntryNumber(e) == comPort; });
  if (comPort >= 1 && !listed) {
    choice.entries.insert(choice.entries.begin(),
                          "COM" + std::to_string(comPort) + std::string(kNotFoundSuffix));
    choice.selected = 0;
    return choice;
  }
  choice.selected = SelectedComPortEntry(choice.entries, comPort);
  return choice;
}

int16_t ComPortAfterChoice(std::string_view entry, int16_t comPort) {
  if (const int number = PortEntryNumber(entry); number > 0) return static_cast<int16_t>(number);
  return comPort >= 1 ? comPort : int16_t{1};
}

}  // namespace tarnwell
