#include "experiment/experiment_file.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <system_error>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr std::size_t kMaxTextSubjectIdLength = 64;
constexpr int16_t kActivePlatformAll = 5;
constexpr int kDistanceLowerLimit = 0;
constexpr int kDistanceUpperLimit = 200;
// A warning about long IDs names at most this many, so the box stays on the screen.
constexpr std::size_t kLongIdsNamed = 10;
// A setup file with text before its title line is small; a huge file is no setup.
constexpr std::uintmax_t kMaxTextFileBytes = 4 * 1024 * 1024;

int16_t NumberValue(std::string_view word) {
  return CInt(Val(word));
}

// Text-form files: those that begin with the header, and text files that carry the
// experiment title line as a line of their own after other text (the reader skips what
// comes before it). Anything else is an experiment record.
}  // namespace

bool IsExperimentTextFile(const std::filesystem::path& path) {
  if (IsCurrentFormatFile(path)) return true;
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) > kMaxTextFileBytes || ec) return false;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  const std::string title = ExperimentTitleLine();
  for (const auto& line : SplitLines(bytes)) {
    if (IsTitleLine(line, title)) return true;
  }
  return false;
}

void ShowNotAnExperimentFile(Operator& op, const std::filesystem::path& path, const std::string& title) {
  op.ShowMessage(path.filename().string() + "\nis not an experiment setup\nor experiment file.", title,
                 MessageIcon::Exclamation, MessageButtons::Ok);
}

std::string ExperimentTitleLine() {
  return "[Windows Tarnwell Experiment Setup]";
}

std::string FormatExperimentText(const ExperimentSetup& experiment) {
  std::string text = ExperimentTitleLine() + "\r\n";
  text += "Data File = " + QuoteValue(experiment.DataFile) + "\r\n";
  text += "Maximum Time = " + FilePrintNumber(experiment.MaxTime) + "\r\n";
  text += "Active Platform = " + FilePrintNumber(experiment.ActivePlatform) + "\r\n";
  text += "Distance from Start = " + FilePrintNumber(experiment.DistFromStart) + "\r\n";
  for (std::size_t k = 0; k < experiment.SubjectIDs.size(); ++k) {
    std::string id = experiment.SubjectIDs[k];
    std::replace(id.begin(), id.end(), '"', '\'');
    text += "Subject ID " + std::to_string(k + 1) + " = " + QuoteValue(id) + "\r\n";
  }
  return text;
}

void ReadExperimentTextLines(std::string_view text, ExperimentSetup& experiment) {
  experiment.SubjectIDs.clear();
  experiment.SubjectCount = 0;
  const std::string title = ExperimentTitleLine();
  bool titleSeen = false;
  KeyLineReader reader;
  for (const auto& line : SplitLines(text)) {
    if (!titleSeen) {
      titleSeen = IsTitleLine(line, title);
      continue;
    }
    if (reader.MatchesPattern(line, "Data File = %s")) {
      const std::string value = reader.GetLineValue(line);
      if (FileExistsOrCanBeCreated(value)) {
        experiment.DataFile = value;
        experiment.DataFileValid = true;
      }
    } else if (reader.MatchesPattern(line, "Maximum Time = %s")) {
      experiment.MaxTime = NumberValue(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Active Platform = %s")) {
      // Every code above 4 makes all platforms active; a hand-edited 6 or 7 is taken as the
      // "ALL" it means, so the screen shows it and leaving the screen keeps it active.
      experiment.ActivePlatform =
          std::min<int16_t>(NumberValue(reader.GetLineValue(line)), kActivePlatformAll);
    } else if (reader.MatchesPattern(line, "Distance from Start = %s")) {
      experiment.DistFromStart = NumberValue(reader.GetLineValue(line));
    } else if (reader.MatchesPattern(line, "Subject ID %s = %s")) {
      std::string id = CutToStoredLength(Trim(reader.GetLineValue(line), " "), kMaxTextSubjectIdLength);
      if (id.empty()) continue;
      experiment.SubjectIDs.push_back(std::move(id));
      if (experiment.SubjectCount < INT16_MAX) ++experiment.SubjectCount;
    }
  }
}

bool ReadExperimentText(const std::filesystem::path& path, ExperimentSetup& experiment,
                        const FolderListing* folder) {
  std::string text;
  if (!ReadExistingFile(path, text, nullptr, nullptr, folder)) return false;
  ReadExperimentTextLines(text, experiment);
  return true;
}

bool WriteExperimentText(const std::filesystem::path& path, const ExperimentSetup& experiment,
                         std::string* error) {
  return WriteFileAtomically(path, FormatExperimentText(experiment), error);
}

std::filesystem::path DefaultExperimentFile(const std::filesystem::path& programFolder) {
  return programFolder / "DEFAULT.CFG";
}

bool LoadStartUpExperiment(const std::filesystem::path& programFolder, ExperimentSetup& experiment,
                           SubjectTable& subjects) {
  const bool read = ReadExperimentText(DefaultExperimentFile(programFolder), experiment);
  PrepareSubjectTableAtStartUp(programFolder / "SUBJECTS.INI", subjects, experiment);
  return read;
}

std::string CheckDistanceFromStart(Operator& op, std::string_view distanceBoxText, const PoolSetup& pool,
                                   ExperimentSetup& experiment) {
  const float radius = static_cast<float>(pool.ActualSizeX) / 2.0f;
  const int16_t distance = CInt(Val(distanceBoxText));
  std::string box(distanceBoxText);
  if (distance > radius) {
    box = FormatGeneral(radius);
    experiment.DistFromStart = CInt(Int(radius));
    op.ShowMessage("The 'Distance from Start'\ncannot be greater than " + FormatGeneral(radius) +
                       ",\nthe radius of the pool.",
                   "Range Error", MessageIcon::Exclamation, MessageButtons::Ok);
  }
  const double value = Val(box);
  if (value < kDistanceLowerLimit || value > kDistanceUpperLimit) {
    const int limit = value < kDistanceLowerLimit ? kDistanceLowerLimit : kDistanceUpperLimit;
    box = std::to_string(limit);
    experiment.DistFromStart = static_cast<int16_t>(limit);
    op.ShowMessage("\"Distance from start\"\nmust be in the range of : \n" +
                       std::to_string(kDistanceLowerLimit) + " to " + std::to_string(kDistanceUpperLimit),
                   "Range Error", MessageIcon::Critical, MessageButtons::Ok);
  }
  return box;
}

bool CheckTrialIDs(Operator& op, const ExperimentSetup& experiment, bool shuttingDown) {
  if (shuttingDown) return true;
  const auto& ids = experiment.SubjectIDs;
  if (ids.empty()) {
    op.ShowMessage("At least one trial ID\nis required to run\nan experiment.", "Cannot run experiment",
                   MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  if (ids.size() > static_cast<std::size_t>(kMaxSubjects)) {
    op.ShowMessage("This experiment has " + std::to_string(ids.size()) +
                       " trial IDs.\nAn experiment file holds\nat most " + std::to_string(kMaxSubjects) + ".",
                   "Cannot run experiment", MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  // Two animals the cut would file under one ID would be one animal in every table and in
  // the study: the run is refused until the IDs differ in what is stored.
  if (const std::string merged = TrialIDsMergedByCutText(ids); !merged.empty()) {
    op.ShowMessage(merged, "Cannot run experiment", MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  std::vector<std::size_t> longIds;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (CutToStoredLength(ids[k], kStoredSubjectIdLength) != ids[k]) longIds.push_back(k);
  }
  if (!longIds.empty()) {
    std::string text = "Trial IDs are stored with " + std::to_string(kStoredSubjectIdLength) +
                       " characters.\nThese are kept as:";
    for (std::size_t i = 0; i < longIds.size() && i < kLongIdsNamed; ++i) {
      const std::string& id = ids[longIds[i]];
      text += "\n\"" + id + "\" as \"" + CutToStoredLength(id, kStoredSubjectIdLength) + "\"";
    }
    if (longIds.size() > kLongIdsNamed)
      text += "\nand " + std::to_string(longIds.size() - kLongIdsNamed) + " more.";
    op.ShowMessage(text, "Trial IDs", MessageIcon::Exclamation, MessageButtons::Ok);
  }
  return true;
}

namespace {

// Pairs (earlier, later) of IDs that are the same in their stored characters; `merged`
// true: only pairs that differ as typed (the cut makes them equal), false: only pairs
// typed alike. Each ID is paired with the first one of its stored form.
std::vector<std::pair<std::size_t, std::size_t>> StoredIdPairs(const std::vector<std::string>& ids,
                                                               bool merged) {
  std::map<std::string, std::vector<std::size_t>> byStoredId;
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    std::vector<std::size_t>& earlier = byStoredId[CutToStoredLength(ids[k], kStoredSubjectIdLength)];
    // The first earlier ID that is (merged: is not) the same as typed; an ID typed before
    // was named with it already.
    const auto typedBefore = std::find_if(earlier.begin(), earlier.end(),
                                          [&](std::size_t e) { return ids[e] == ids[k]; });
    const auto partner = merged ? (typedBefore == earlier.end() ? earlier.begin() : earlier.end()) : typedBefore;
    if (partner != earlier.end()) pairs.emplace_back(*partner, k);
    earlier.push_back(k);
  }
  std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  return pairs;
}

std::string NamePairs(const std::vector<std::string>& ids,
                      const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
  std::string text;
  for (std::size_t i = 0; i < pairs.size() && i < kLongIdsNamed; ++i) {
    const auto [first, k] = pairs[i];
    text += "\n" + std::to_string(first + 1) + " \"" + ids[first] + "\" and " + std::to_string(k + 1) +
            " \"" + ids[k] + "\"";
  }
  if (pairs.size() > kLongIdsNamed) text += "\nand " + std::to_string(pairs.size() - kLongIdsNamed) + " more.";
  return text;
}

}  // namespace

std::string StartUpIdsMergedByCutText(const std::vector<std::string>& typedIds,
                                      const std::vector<std::string>& subjectIds) {
  if (typedIds.size() != subjectIds.size()) return {};
  for (std::size_t k = 0; k < typedIds.size(); ++k) {
    if (CutToStoredLength(typedIds[k], kStoredSubjectIdLength) != subjectIds[k]) return {};
  }
  return TrialIDsMergedByCutText(typedIds);
}

std::string TrialIDsMergedByCutText(const std::vector<std::string>& ids) {
  const auto pairs = StoredIdPairs(ids, /*merged=*/true);
  if (pairs.empty()) return {};
  return "These trial IDs differ, but their first " + std::to_string(kStoredSubjectIdLength) +
         " characters,\nwhich are all that is stored, are the same:" + NamePairs(ids, pairs) +
         "\n\nTheir trials would be filed as one animal's.\nGive them IDs that differ in their first " +
         std::to_string(kStoredSubjectIdLength) + " characters.";
}

std::string RepeatedTrialIDsText(const std::vector<std::string>& ids) {
  const auto repeats = StoredIdPairs(ids, /*merged=*/false);
  if (repeats.empty()) return {};
  std::string text = "These trial IDs repeat in the " + std::to_string(kStoredSubjectIdLength) +
                     " characters\nthat are stored:" + NamePairs(ids, repeats);
  text +=
      "\n\nEach trial is still recorded under its\nown number; reports and tables show\nthe same ID for "
      "them.";
  return text;
}

std::string ActivePlatformSettingText(int16_t activePlatform) {
  if (activePlatform == 0) return "none";
  if (activePlatform >= 1 && activePlatform <= 4) return std::to_string(activePlatform);
  if (activePlatform == 5) return "all";
  return "<undefined>";
}

int16_t ParseActivePlatformAnswer(std::string_view answer) {
  const std::string upper = ToUpperAscii(Trim(answer, " "));
  if (upper == "ALL") return 5;
  if (upper == "NONE") return 0;
  return CInt(std::clamp(Val(upper), 0.0, 5.0));
}

}  // namespace tarnwell
