#include "acquisition/experiment_files.h"

#include <cctype>

#include "acquisition/raw_track.h"
#include "core/numbers.h"

namespace tarnwell {

namespace {

std::filesystem::path StemWith(const std::filesystem::path& dataFile, const std::string& suffix) {
  return std::filesystem::path(DataFileStem(dataFile).string() + suffix);
}

}  // namespace

std::filesystem::path TabulatedDataFile(const std::filesystem::path& dataFile) {
  return StemWith(dataFile, ".CSV");
}

std::filesystem::path NumberedReportFile(const std::filesystem::path& dataFile, int subjectIndex) {
  return StemWith(dataFile, FormatFixed(subjectIndex, 0, 2) + ".CSV");
}

std::filesystem::path CompanionFile(const std::filesystem::path& dataFile) {
  return StemWith(dataFile, ".EXP");
}

std::string DataFileDisplayName(const std::filesystem::path& dataFile) {
  if (dataFile.empty()) return {};
  return CompanionFile(dataFile).filename().string();
}

std::optional<RawFileOwner> ExperimentOfRawFile(const std::filesystem::path& rawFile) {
  const std::string name = rawFile.filename().string();
  if (name.size() < 6) return std::nullopt;
  const std::string tail = name.substr(name.size() - 6);
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (!isDigit(tail[0]) || !isDigit(tail[1]) || tail[2] != '.') return std::nullopt;
  for (size_t i = 3; i < 6; ++i) {
    if (std::toupper(static_cast<unsigned char>(tail[i])) != "RAW"[i - 3]) return std::nullopt;
  }
  RawFileOwner owner;
  owner.DataFile = rawFile.parent_path() / (name.substr(0, name.size() - 6) + ".EXP");
  owner.SubjectIndex = (tail[0] - '0') * 10 + (tail[1] - '0');
  return owner;
}

std::string OutputFileLabel(const std::filesystem::path& dataFile) {
  if (dataFile.empty() || !dataFile.has_filename()) return "(No output file selected)";
  return dataFile.filename().string();
}

}  // namespace tarnwell
