#include "pool/pool_file.h"

#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <system_error>
#include <vector>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "pool/pool_defaults.h"
#include "pool/zones.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr std::string_view kSetupHeader = "[Windows Tarnwell";
constexpr std::string_view kLineEnd = "\r\n";

// A setup's title: the text trimmed, with "[" in front and "]" at the end unless it
// already has them.
std::string SetupTitleLine(std::string_view text) {
  std::string title(Trim(text, " "));
  if (title.empty() || title.front() != '[') title.insert(title.begin(), '[');
  if (title.back() != ']') title.push_back(']');
  return title;
}

enum class PoolField { NumRings, EquArea, Round, Quadrants, X, Y, Radius, ActualSizeX, ActualSizeY };

struct PoolKey {
  std::string_view pattern;
  PoolField field;
};

constexpr std::array<PoolKey, 9> kPoolKeys{{
    {"Target NumRings = %s", PoolField::NumRings},
    {"Target EquArea = %s", PoolField::EquArea},
    {"Target Round = %s", PoolField::Round},
    {"Target Quadrants = %s", PoolField::Quadrants},
    {"Target X = %s", PoolField::X},
    {"Target Y = %s", PoolField::Y},
    {"Target Radius = %s", PoolField::Radius},
    {"Target Actual Size X = %s", PoolField::ActualSizeX},
    {"Target Actual Size Y = %s", PoolField::ActualSizeY},
}};

constexpr std::string_view kPlatformPattern = "Disk %s %s = %s";

enum class PlatformField { X, Y, Radius, CMultiplier, Round };

struct PlatformKey {
  std::string_view name;  // upper case, as the tokeniser leaves unquoted words
  PlatformField field;
};

constexpr std::array<PlatformKey, 5> kPlatformKeys{{
    {"X", PlatformField::X},
    {"Y", PlatformField::Y},
    {"RADIUS", PlatformField::Radius},
    {"CMULTIPLIER", PlatformField::CMultiplier},
    {"ROUND", PlatformField::Round},
}};

// Integers read as the system reads numbers (not a number: 0), rounded half to even and
// held to the 16-bit range rather than wrapped.
int16_t ReadInteger(std::string_view value) {
  return CInt(Val(value));
}

// Singles likewise; a value beyond the single range is no size at all and reads as 0.
float ReadSingle(std::string_view value) {
  const double d = Val(value);
  if (!std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max()) return 0.0f;
  return static_cast<float>(d);
}

bool ReadBoolean(std::string_view value) {
  return ParseBoolText(value);
}

std::string IntegerText(int value) {
  return std::to_string(value);
}

std::string BooleanText(bool value) {
  return value ? "True" : "False";
}

// The general number form (80, 12.5); where seven significant digits do not bring the
// value back, the shortest text that does, so a written pool always reads back the same.
std::string SingleText(float value) {
  std::string text = FormatGeneral(value);
  if (ReadSingle(text) == value || !std::isfinite(value)) return text;
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

void SetPoolField(PoolSetup& pool, PoolField field, std::string_view value) {
  switch (field) {
    case PoolField::NumRings:
      pool.NumRings = ReadInteger(value);
      break;
    case PoolField::EquArea:
      pool.EquArea = ReadBoolean(value);
      break;
    case PoolField::Round:
      pool.Round = ReadBoolean(value);
      break;
    case PoolField::Quadrants:
      pool.Quadrants = ReadBoolean(value);
      break;
    case PoolField::X:
      pool.X = ReadInteger(value);
      break;
    case PoolField::Y:
      pool.Y = ReadInteger(value);
      break;
    case PoolField::Radius:
      pool.Radius = ReadSingle(value);
      break;
    case PoolField::ActualSizeX:
      pool.ActualSizeX = ReadInteger(value);
      break;
    case PoolField::ActualSizeY:
      pool.ActualSizeY = ReadInteger(value);
      break;
  }
}

void SetPlatformField(PlatformSetup& platform, PlatformField field, std::string_view value) {
  switch (field) {
    case PlatformField::X:
      platform.X = ReadInteger(value);
      break;
    case PlatformField::Y:
      platform.Y = ReadInteger(value);
      break;
    case PlatformField::Radius:
      platform.Radius = ReadSingle(value);
      break;
    case PlatformField::CMultiplier:
      platform.CMultiplier = ReadInteger(value);
      break;
    case PlatformField::Round:
      platform.Round = ReadBoolean(value);
      break;
  }
}

// "Disk n name = value": platform n (1..4) gets the named field; other numbers and names
// change nothing.
void ReadPlatformLine(std::string_view line, const std::string& value, PoolSetup& pool) {
  const std::vector<std::string> tokens = TokeniseLine(line);
  const int n = ReadInteger(tokens[1]);
  if (n < 1 || n > kPlatformCount) return;
  for (const PlatformKey& key : kPlatformKeys) {
    if (EqualsIgnoringCaseAscii(Trim(tokens[2], " "), key.name)) {
      SetPlatformField(pool.Platforms[n - 1], key.field, value);
      return;
    }
  }
}

void ReadKeyLine(KeyLineReader& reader, std::string_view line, PoolSetup& pool) {
  for (const PoolKey& key : kPoolKeys) {
    if (reader.MatchesPattern(line, key.pattern)) {
      SetPoolField(pool, key.field, reader.GetLineValue(line));
      return;
    }
  }
  if (reader.MatchesPattern(line, kPlatformPattern)) ReadPlatformLine(line, reader.GetLineValue(line), pool);
}

bool HasTitleLine(const std::vector<std::string>& lines, const std::string& title) {
  for (const std::string& line : lines) {
    if (IsTitleLine(line, title)) return true;
  }
  return false;
}

bool ReadLines(const std::vector<std::string>& lines, PoolSetup& pool) {
  const std::string title = PoolSetupTitleLine();
  KeyLineReader reader;
  bool titleMet = false;
  for (const std::string& line : lines) {
    if (!titleMet) {
      titleMet = IsTitleLine(line, title);
      continue;
    }
    ReadKeyLine(reader, line, pool);
  }
  ComputeRingRadii(pool);
  return titleMet;
}

void MakeWritable(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                               ec);
}

}  // namespace

std::string PoolSetupTitleLine() {
  return SetupTitleLine("Windows Tarnwell Pool Setup");
}

bool StartsWithCurrentSetupHeader(std::string_view leadingBytes) {
  return WithoutByteOrderMark(leadingBytes).starts_with(kSetupHeader);
}

std::string FormatPoolSetupText(const PoolSetup& pool) {
  std::string text;
  const auto line = [&text](std::string_view key, const std::string& value) {
    text.append(key).append(" = ").append(value).append(kLineEnd);
  };
  text.append(PoolSetupTitleLine()).append(kLineEnd);
  line("Target NumRings", IntegerText(pool.NumRings));
  line("Target EquArea", BooleanText(pool.EquArea));
  line("Target Round", BooleanText(pool.Round));
  line("Target Quadrants", BooleanText(pool.Quadrants));
  line("Target X", IntegerText(pool.X));
  line("Target Y", IntegerText(pool.Y));
  line("Target Radius", SingleText(pool.Radius));
  line("Target Actual Size X", IntegerText(pool.ActualSizeX));
  line("Target Actual Size Y", IntegerText(pool.ActualSizeY));
  for (int i = 0; i < kPlatformCount; ++i) {
    const PlatformSetup& platform = pool.Platforms[i];
    const std::string disk = "Disk " + std::to_string(i + 1);
    line(disk + " X", IntegerText(platform.X));
    line(disk + " Y", IntegerText(platform.Y));
    line(disk + " Radius", SingleText(platform.Radius));
    line(disk + " CMultiplier", IntegerText(platform.CMultiplier));
    line(disk + " Round", BooleanText(platform.Round));
  }
  return text;
}

bool ReadPoolSetupText(std::string_view text, PoolSetup& pool) {
  return ReadLines(SplitLines(text), pool);
}

bool ReadPoolSetupFile(const std::filesystem::path& path, PoolSetup& pool, const FolderListing* folder) {
  std::string contents;
  if (!ReadExistingFile(path, contents, nullptr, nullptr, folder)) return false;
  ReadPoolSetupText(contents, pool);
  return true;
}

bool WritePoolSetupFile(const std::filesystem::path& path, const PoolSetup& pool, bool overwrite,
                        std::string* error) {
  MakeWritable(path);
  const std::string text = FormatPoolSetupText(pool);
  if (overwrite) return WriteFileAtomically(path, text, error);
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) {
    if (error) *error = "cannot open " + path.string() + " for writing";
    return false;
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

std::filesystem::path DefaultPoolFile(const std::filesystem::path& programFolder) {
  return programFolder / "DEFAULT.POL";
}

PoolLoadStatus LoadPoolSetupFile(const std::filesystem::path& path, PoolSetup& pool) {
  std::string contents;
  if (!ReadExistingFile(path, contents)) return PoolLoadStatus::Missing;
  if (StartsWithCurrentSetupHeader(contents)) {
    ReadPoolSetupText(contents, pool);
    return PoolLoadStatus::Loaded;
  }
  const std::vector<std::string> lines = SplitLines(contents);
  if (HasTitleLine(lines, PoolSetupTitleLine())) {
    ReadLines(lines, pool);
    return PoolLoadStatus::Loaded;
  }
  return PoolLoadStatus::NeedsLegacyConversion;
}

bool LoadStartUpPool(const std::filesystem::path& programFolder, PoolSetup& pool, const FolderListing* folder) {
  SetDefaultPool(pool);
  return ReadPoolSetupFile(DefaultPoolFile(programFolder), pool, folder);
}

}  // namespace tarnwell
