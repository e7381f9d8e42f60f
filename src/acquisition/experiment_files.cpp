#include "acquisition/experiment_files.h"

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

std::string OutputFileLabel(const std::filesystem::path& dataFile) {
  if (dataFile.empty() || !dataFile.has_filename()) return "(No output file selected)";
  return dataFile.filename().string();
}

}  // namespace tarnwell
