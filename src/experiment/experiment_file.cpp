#include "experiment/experiment_file.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <system_error>

#include "core/file_util.h"
#include "core/key_line.h"
#include "core/numbers.h"
#include "legacy/legacy_conversion.h"
#include "legacy/legacy_record.h"
#include "legacy/record_update.h"

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

std::string TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

int16_t NumberValue(std::string_view word) {
  return CInt(Val(word));
}

// Text-form files: those that begin with the header, and text files that carry the
// experiment title line as a line of their own after other text (the reader skips what
// comes before it). Anything else is an experiment record.
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

}  // namespace

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
      std::string id = CutToStoredLength(TrimBlanks(reader.GetLineValue(line)), kMaxTextSubjectIdLength);
      if (id.empty()) continue;
      experiment.SubjectIDs.push_back(std::move(id));
      if (experiment.SubjectCount < INT16_MAX) ++experiment.SubjectCount;
    }
  }
}

bool ReadExperimentText(const std::filesystem::path& path, ExperimentSetup& experiment) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  std::string text;
  if (!ReadWholeFile(*existing, text)) return false;
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

bool ReadExperimentFile(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                        PoolSetup& pool, SubjectTable& subjects) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  if (IsExperimentTextFile(*existing)) return ReadExperimentText(*existing, experiment);
  return ConvertLegacyExperimentFile(op, *existing, experiment, pool, &subjects);
}

bool LoadExperimentSetup(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                         PoolSetup& pool, SubjectTable& subjects, std::filesystem::path& experimentFolder) {
  const auto existing = FindExistingFile(path);
  if (!existing) return false;
  if (!IsExperimentTextFile(*existing)) {
    LegacyExperimentRecord record;
    LegacyConfigRecord config;
    if (!ReadLegacySetup(*existing, record, config)) {
      ShowNotAnExperimentFile(op, *existing, "Load Experiment Setup");
      return false;
    }
  }
  // Work on copies, so that a file that fails half-way changes nothing.
  ExperimentSetup loaded = experiment;
  PoolSetup loadedPool = pool;
  SubjectTable loadedSubjects = subjects;
  if (!ReadExperimentFile(op, *existing, loaded, loadedPool, loadedSubjects)) return false;

  // Stored absolute: a path relative to where a command ran names nothing for the desktop.
  std::error_code ec;
  std::filesystem::path source = std::filesystem::absolute(*existing, ec);
  if (ec) source = *existing;
  const std::string dataFile = ReplaceExtension(source.string(), "EXP");
  if (FileExistsOrCanBeCreated(dataFile)) {
    loaded.DataFile = dataFile;
    loaded.DataFileValid = true;
  } else if (!loaded.DataFile.empty()) {
    loaded.DataFile = ReplaceExtension(loaded.DataFile, "EXP");
  }
  loadedSubjects.Fill(loaded.SubjectIDs);
  loadedSubjects.RebuildSubjectIDs(loaded);

  experiment = std::move(loaded);
  pool = loadedPool;
  subjects = std::move(loadedSubjects);
  experimentFolder = source.parent_path();
  return true;
}

bool LoadStartUpExperiment(const std::filesystem::path& programFolder, ExperimentSetup& experiment,
                           SubjectTable& subjects) {
  const bool read = ReadExperimentText(DefaultExperimentFile(programFolder), experiment);
  PrepareSubjectTableAtStartUp(programFolder / "SUBJECTS.INI", subjects, experiment);
  return read;
}

FileDialogRequest ExperimentFileDialog(const std::string& title,
                                       const std::filesystem::path& experimentFolder,
                                       const std::filesystem::path& programFolder) {
  FileDialogRequest request;
  request.title = title;
  request.filter = "*.EXP";
  request.defaultExtension = "EXP";
  std::error_code ec;
  const bool folderExists = !experimentFolder.empty() && std::filesystem::is_directory(experimentFolder, ec);
  request.startDir = (folderExists ? experimentFolder : programFolder).string();
  return request;
}

bool LoadExperimentSetupCommand(Operator& op, const std::filesystem::path& programFolder,
                                ExperimentSetup& experiment, PoolSetup& pool, SubjectTable& subjects,
                                std::filesystem::path& experimentFolder) {
  const auto chosen =
      op.AskOpenFile(ExperimentFileDialog("Load Experiment Setup", experimentFolder, programFolder));
  if (!chosen) return false;
  return LoadExperimentSetup(op, *chosen, experiment, pool, subjects, experimentFolder);
}

bool SaveExperimentSetupCommand(Operator& op, const std::filesystem::path& programFolder,
                                ExperimentSetup& experiment, const PoolSetup& pool,
                                std::filesystem::path& experimentFolder,
                                const std::function<void(ExperimentSetup&)>& takeFromScreen) {
  const auto chosen =
      op.AskSaveFile(ExperimentFileDialog("Save Experiment Setup", experimentFolder, programFolder));
  if (!chosen || chosen->empty() || !FileExistsOrCanBeCreated(*chosen)) return false;
  const std::filesystem::path target = ReplaceExtension(*chosen, "EXP");
  experimentFolder = target.parent_path();
  if (takeFromScreen) takeFromScreen(experiment);
  std::string error;
  if (!WriteExperimentRecord(target, experiment, pool, &error)) {
    op.ShowMessage(target.filename().string() + "\nwas not saved:\n" + error + ".", "Save Experiment Setup",
                   MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  return true;
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

std::string RepeatedTrialIDsText(const std::vector<std::string>& ids) {
  std::map<std::string, std::size_t> firstWithStoredId;
  std::vector<std::pair<std::size_t, std::size_t>> repeats;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const auto [it, inserted] =
        firstWithStoredId.emplace(CutToStoredLength(ids[k], kStoredSubjectIdLength), k);
    if (!inserted) repeats.emplace_back(it->second, k);
  }
  if (repeats.empty()) return {};
  std::string text = "These trial IDs repeat in the " + std::to_string(kStoredSubjectIdLength) +
                     " characters\nthat are stored:";
  for (std::size_t i = 0; i < repeats.size() && i < kLongIdsNamed; ++i) {
    const auto [first, k] = repeats[i];
    text += "\n" + std::to_string(first + 1) + " \"" + ids[first] + "\" and " + std::to_string(k + 1) +
            " \"" + ids[k] + "\"";
  }
  if (repeats.size() > kLongIdsNamed)
    text += "\nand " + std::to_string(repeats.size() - kLongIdsNamed) + " more.";
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
  const std::string upper = UpperAscii(TrimBlanks(answer));
  if (upper == "ALL") return 5;
  if (upper == "NONE") return 0;
  return CInt(std::clamp(Val(upper), 0.0, 5.0));
}

bool SetActivePlatformCommand(Operator& op, const std::filesystem::path& programFolder) {
  FileDialogRequest request;
  request.title = "Set active platform";
  request.filter = "*.exp";
  request.defaultExtension = "exp";
  request.startDir = programFolder.string();
  const auto chosen = op.AskOpenFile(request);
  if (!chosen) return false;
  const auto existing = FindExistingFile(*chosen);
  if (!existing) return false;
  const auto current = ReadRecordActivePlatform(*existing);
  if (!current) {
    ShowNotAnExperimentFile(op, *existing, "Set active platform");
    return false;
  }
  const auto answer =
      op.AskText("The current setting for the platform is :" + ActivePlatformSettingText(*current),
                 "Change active platform", "");
  if (!answer || TrimBlanks(*answer).empty()) return false;
  const RecordUpdate result = UpdateRecordActivePlatform(op, *existing, ParseActivePlatformAnswer(*answer));
  if (result == RecordUpdate::WriteFailed) {
    op.ShowMessage(existing->filename().string() + "\ncould not be changed.", "Set active platform",
                   MessageIcon::Exclamation, MessageButtons::Ok);
  }
  return result == RecordUpdate::Written;
}

}  // namespace tarnwell
