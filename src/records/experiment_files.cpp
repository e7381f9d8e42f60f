#include "records/experiment_files.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <system_error>

#include "records/raw_track.h"
#include "core/file_access.h"
#include "core/numbers.h"
#include "core/text.h"

namespace tarnwell {

namespace {

std::filesystem::path StemWith(const std::filesystem::path& dataFile, const std::string& suffix) {
  return std::filesystem::path(DataFileStem(dataFile).string() + suffix);
}

bool IsDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

// The regular files of a folder by upper-case name (data copied from Windows keeps
// any case).
std::set<std::string> UpperCaseNames(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(folder.empty() ? std::filesystem::path(".") : folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) names.insert(ToUpperAscii(it->path().filename().string()));
  }
  return names;
}

// Whether the folder's names show an experiment of stem name `stem` (upper case): its
// record, or any of its numbered raw files.
bool HasExperiment(const std::set<std::string>& names, const std::string& stem) {
  if (names.count(stem + ".EXP") > 0) return true;
  for (auto it = names.lower_bound(stem); it != names.end() && it->compare(0, stem.size(), stem) == 0; ++it) {
    const std::string& name = *it;
    if (name.size() == stem.size() + 6 && IsDigits(std::string_view(name).substr(stem.size(), 2)) &&
        name.compare(stem.size() + 2, 4, ".RAW") == 0) {
      return true;
    }
  }
  return false;
}

std::string SubjectNumberText(std::string_view digits) {
  return std::to_string((digits[0] - '0') * 10 + (digits[1] - '0') + 1);
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
    if (ToUpperAscii(tail[i]) != "RAW"[i - 3]) return std::nullopt;
  }
  RawFileOwner owner;
  owner.DataFile = rawFile.parent_path() / (name.substr(0, name.size() - 6) + ".EXP");
  owner.SubjectIndex = (tail[0] - '0') * 10 + (tail[1] - '0');
  return owner;
}

std::optional<std::string> FindDataFileClash(const std::filesystem::path& dataFile) {
  if (dataFile.empty() || !dataFile.has_filename()) return std::nullopt;
  const std::filesystem::path stemPath = DataFileStem(dataFile);
  const std::string stem = stemPath.filename().string();
  if (stem.empty()) return std::nullopt;
  const std::string upper = ToUpperAscii(stem);
  const std::set<std::string> names = UpperCaseNames(stemPath.parent_path());
  const std::string ours = DataFileDisplayName(dataFile);

  // This stem is another's stem and a subject number: our plain raw file and table are
  // that experiment's track and report of the subject.
  if (upper.size() > 2 && IsDigits(std::string_view(upper).substr(upper.size() - 2))) {
    const std::string other = stem.substr(0, stem.size() - 2);
    if (HasExperiment(names, ToUpperAscii(other)) || names.count(upper + ".RAW") > 0) {
      const std::string subject = SubjectNumberText(std::string_view(upper).substr(upper.size() - 2));
      return "The data file " + ours + "\nshares its file names with\nexperiment " + other +
             ".EXP in the same folder:\n" + stem + ".RAW is the track of its subject " + subject + "\nand " +
             stem + ".CSV its report of that subject.\nPlease choose another data file name.";
    }
  }
  // Another's stem is this stem and a subject number: that experiment's plain raw file
  // and table are our track and report of the subject.
  for (auto it = names.lower_bound(upper); it != names.end() && it->compare(0, upper.size(), upper) == 0;
       ++it) {
    const std::string& name = *it;
    const bool otherRecord = name.size() == upper.size() + 6 &&
                             IsDigits(std::string_view(name).substr(upper.size(), 2)) &&
                             name.compare(upper.size() + 2, 4, ".EXP") == 0;
    const bool otherTrack = name.size() == upper.size() + 8 &&
                            IsDigits(std::string_view(name).substr(upper.size(), 4)) &&
                            name.compare(upper.size() + 4, 4, ".RAW") == 0;
    if (!otherRecord && !otherTrack) continue;
    const std::string digits = name.substr(upper.size(), 2);
    const std::string other = stem + digits;
    return "The data file " + ours + "\nshares its file names with\nexperiment " + other +
           ".EXP in the same folder:\nthe track of subject " + SubjectNumberText(digits) + ", " + other +
           ".RAW,\nand its report " + other +
           ".CSV would be\nthat experiment's files.\nPlease choose another data "
           "file name.";
  }
  return std::nullopt;
}

bool CheckDataFileFamily(Operator& op, const std::string& dataFile, bool shuttingDown) {
  if (shuttingDown || dataFile.empty()) return true;
  const std::optional<std::string> clash = FindDataFileClash(dataFile);
  if (!clash) return true;
  op.ShowMessage(*clash, kDataFileClashTitle, MessageIcon::Critical);
  return false;
}

bool IsAnotherExperimentsTable(const std::filesystem::path& dataFile, int subjectIndex) {
  const std::filesystem::path report = NumberedReportFile(dataFile, subjectIndex);
  const std::set<std::string> names = UpperCaseNames(report.parent_path());
  return HasExperiment(names, ToUpperAscii(DataFileStem(report).filename().string()));
}

std::string RecoveryBaseName(const std::filesystem::path& dataFile, int subjectIndex) {
  return DataFileStem(dataFile).filename().string() + "-" + FormatFixed(subjectIndex, 0, 2);
}

std::vector<std::filesystem::path> ListRecoveredTracks(const std::filesystem::path& dataFile,
                                                       const FolderListing* listing) {
  std::vector<std::filesystem::path> found;
  const std::string stem = DataFileStem(dataFile).filename().string() + "-";
  std::filesystem::path folder = dataFile.parent_path();
  if (folder.empty()) folder = ".";
  auto keep = [&](const FolderEntry& entry) {
    const std::string_view name = entry.Name();
    if (name.size() > stem.size() + 2 && name.substr(0, stem.size()) == stem &&
        std::isdigit(static_cast<unsigned char>(name[stem.size()])) &&
        name.find("-RECOVERED", stem.size()) != std::string_view::npos && name.ends_with(".RAW"))
      found.push_back(folder / std::string(name));
  };
  FolderListing::ForEachIn(folder, listing, keep);
  std::sort(found.begin(), found.end());
  return found;
}

std::string OutputFileLabel(const std::filesystem::path& dataFile) {
  if (dataFile.empty() || !dataFile.has_filename()) return "(No output file selected)";
  return dataFile.filename().string();
}

}  // namespace tarnwell
