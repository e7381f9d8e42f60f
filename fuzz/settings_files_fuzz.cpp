// Feeds arbitrary bytes to the three settings file readers, then checks that what they
// left is something the writers and the rest of the program can use.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "core/settings_files.h"

namespace {

// Relative folders named in the input are tried (created and removed again) in a
// private working folder, never in the one the fuzzer was started from.
const std::filesystem::path& PrivateFolder() {
  // Never destroyed, so the removal at exit can still use it.
  static const std::filesystem::path* folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "settings-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    auto* path = new std::filesystem::path(pattern);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(PrivateFolder(), ec);
    });
    return path;
  }();
  return *folder;
}

// Works in the private folder for one input only: the fuzzer (or the replay program) reads
// its corpus by the relative path it was given, between inputs.
class InPrivateFolder {
 public:
  InPrivateFolder() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(PrivateFolder());
  }
  ~InPrivateFolder() { std::filesystem::current_path(previous_); }
  InPrivateFolder(const InPrivateFolder&) = delete;
  InPrivateFolder& operator=(const InPrivateFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

void Require(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  const std::filesystem::path& home = PrivateFolder();
  const InPrivateFolder inHome;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  SystemSettings settings;
  ApplyTrackerIniText(text, settings, home);
  CheckSettingsDirectories(settings, home);
  // The INI limits the port to 1..64 whenever it sets it.
  Require(settings.ComPort == 0 || (settings.ComPort >= 1 && settings.ComPort <= 64));

  int videoMode = kVideoModeNone;
  ApplyTrackerSettingsText(text, settings, &videoMode);
  Require(settings.DelayType == 0 || settings.DelayType == 1);
  Require(videoMode == kVideoModeNone || videoMode == settings.VideoType);
  Require(settings.VideoScale == (settings.VideoType == 1 ? 0.625f : 0.75f));

  ApplySystemConfigText(text, settings, &videoMode);
  Require(videoMode >= kVideoModeNone && videoMode <= kVideoModePal);

  // What was read can be written, and the aspect ratio check always gives a usable value.
  Require(!TrackerIniText(settings).empty());
  Require(!SystemConfigText(settings, videoMode).empty());
  const AspectRatioCheck check = ValidateAspectRatio(text.substr(0, 64));
  Require(check.value >= 0.1 && check.value <= 10.0);
  return 0;
}
