#include "records/raw_track.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <system_error>

#include "core/file_access.h"
#include "core/text.h"

namespace tarnwell {

namespace {

uint8_t ClampByte(int value) {
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// Where the file's own name starts: after the last "/" or "\" (a path written on
// Windows keeps its backslashes).
std::size_t NameStart(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string TwoDigits(int index) {
  std::string digits = std::to_string(index < 0 ? -index : index);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return index < 0 ? "-" + digits : digits;
}

}  // namespace

RawSample PackRawSample(int x, int y) {
  return RawSample{ClampByte(x), ClampByte(y)};
}

RawTrack ParseRawTrack(std::string_view bytes) {
  RawTrack track;
  track.Samples.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < track.Samples.size(); ++i) {
    track.Samples[i].X = static_cast<uint8_t>(bytes[2 * i]);
    track.Samples[i].Y = static_cast<uint8_t>(bytes[2 * i + 1]);
  }
  track.HadOddByte = bytes.size() % 2 != 0;
  return track;
}

std::string SerializeRawTrack(const RawTrack& track) {
  std::string bytes;
  bytes.reserve(track.Samples.size() * 2);
  for (const RawSample& sample : track.Samples) AppendRawSampleBytes(bytes, sample);
  return bytes;
}

bool ReadRawTrack(const std::filesystem::path& file, RawTrack& track) {
  track = RawTrack{};
  std::string bytes;
  if (!ReadExistingFile(file, bytes)) return false;
  track = ParseRawTrack(bytes);
  return true;
}

bool ForEachRawSample(const std::filesystem::path& file, const std::function<void(RawSample)>& visit) {
  const std::optional<fs::path> found = FindExistingFile(file);
  if (!found) return false;
  std::ifstream in(*found, std::ios::binary);
  if (!in) return false;
  std::string piece(1 << 16, '\0');
  while (in) {
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i + 1 < got; i += 2) {
      visit(RawSample{static_cast<uint8_t>(piece[i]), static_cast<uint8_t>(piece[i + 1])});
    }
  }
  return !in.bad();
}

bool WriteRawTrack(const std::filesystem::path& file, const RawTrack& track, std::string* error) {
  return WriteFileAtomically(file, SerializeRawTrack(track), error);
}

std::filesystem::path DataFileStem(const std::filesystem::path& dataFile) {
  std::string text = dataFile.string();
  const std::size_t dot = text.find_last_of('.');
  if (dot != std::string::npos && dot >= NameStart(text)) text.erase(dot);
  return std::filesystem::path(text);
}

std::filesystem::path NumberedRawFile(const std::filesystem::path& dataFile, int subjectIndex) {
  return std::filesystem::path(DataFileStem(dataFile).string() + TwoDigits(subjectIndex) + ".RAW");
}

std::filesystem::path PlainRawFile(const std::filesystem::path& dataFile) {
  return std::filesystem::path(DataFileStem(dataFile).string() + ".RAW");
}

namespace {

// The subject number of a file named `name` (no folder) in the experiment whose data file
// is named `stemName` without its extension: STEMnn.RAW in any case, nn two digits; -1
// for any other name.
int SubjectIndexOfName(std::string_view name, std::string_view stemName) {
  if (name.size() != stemName.size() + 6) return -1;
  if (!EqualsIgnoringCaseAscii(name.substr(0, stemName.size()), stemName)) return -1;
  const char tens = name[stemName.size()];
  const char ones = name[stemName.size() + 1];
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return -1;
  if (!EqualsIgnoringCaseAscii(name.substr(stemName.size() + 2), ".RAW")) return -1;
  return (tens - '0') * 10 + (ones - '0');
}

}  // namespace

int SubjectIndexOfRawFile(const std::filesystem::path& dataFile, const std::filesystem::path& rawFile) {
  const std::string stem = DataFileStem(dataFile).string();
  const std::string rawPath = rawFile.string();
  return SubjectIndexOfName(std::string_view(rawPath).substr(NameStart(rawPath)),
                            std::string_view(stem).substr(NameStart(stem)));
}

namespace {

// Where an experiment's numbered raw files are and what their names begin with.
struct RawFileFolder {
  std::string Stem;  // the data file's path without its extension
  std::string_view StemName;  // its last part (a view into Stem)
  std::filesystem::path Folder;
  explicit RawFileFolder(const std::filesystem::path& dataFile) : Stem(DataFileStem(dataFile).string()) {
    const std::size_t nameStart = NameStart(Stem);
    StemName = std::string_view(Stem).substr(nameStart);
    Folder = nameStart == 0 ? std::filesystem::path(".") : std::filesystem::path(Stem.substr(0, nameStart));
  }
  RawFileFolder(const RawFileFolder&) = delete;  // StemName views Stem
  RawFileFolder& operator=(const RawFileFolder&) = delete;
};

}  // namespace

bool HasNumberedRawFiles(const std::filesystem::path& dataFile, const FolderListing* listing) {
  const RawFileFolder raw(dataFile);
  bool found = false;
  FolderListing::ForEachIn(raw.Folder, listing, [&](const FolderEntry& entry) {
    if (!found && SubjectIndexOfName(entry.Name(), raw.StemName) >= 0) found = entry.IsRegularFile();
  });
  return found;
}

std::vector<NumberedRawFileEntry> ListNumberedRawFiles(const std::filesystem::path& dataFile,
                                                       const FolderListing* listing) {
  const RawFileFolder raw(dataFile);
  const std::string_view stemName = raw.StemName;
  const std::filesystem::path& folder = raw.Folder;
  // One file per subject: where names differ only in case, the one spelt as this
  // program writes it wins, else the first by name. Picked as the folder is read, so
  // that only the files kept are made paths.
  constexpr int kSubjects = 100;  // two digits
  std::array<std::string, kSubjects> kept;
  std::array<bool, kSubjects> exact{};
  auto keep = [&](const FolderEntry& entry) {
    const std::string_view given = entry.Name();
    const int index = SubjectIndexOfName(given, stemName);
    if (index < 0 || exact[static_cast<std::size_t>(index)]) return;
    std::string& name = kept[static_cast<std::size_t>(index)];
    // The digits are the index itself; only the stem and the extension can differ in case.
    const bool spelt =
        given.substr(0, stemName.size()) == stemName && given.substr(stemName.size() + 2) == ".RAW";
    if (!spelt && !name.empty() && given >= name) return;
    if (!entry.IsRegularFile()) return;
    name = given;
    exact[static_cast<std::size_t>(index)] = spelt;
  };
  FolderListing::ForEachIn(folder, listing, keep);
  std::vector<NumberedRawFileEntry> entries;
  for (int index = 0; index < kSubjects; ++index) {
    if (!kept[static_cast<std::size_t>(index)].empty())
      entries.push_back(NumberedRawFileEntry{index, folder / kept[static_cast<std::size_t>(index)]});
  }
  return entries;
}

}  // namespace tarnwell
