#include "import/track_import.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "records/raw_track.h"
#include "analysis/track_analysis.h"
#include "analysis/trial_measures.h"
#include "analysis/trial_report.h"
#include "core/file_access.h"
#include "core/sha256.h"
#include "core/text.h"
#include "records/record_conversion.h"
#include "records/experiment_record.h"
#include "records/provenance.h"
#include "records/record_update.h"

namespace tarnwell {

namespace fs = std::filesystem;

namespace {

// A platform of 10 cm across, the common size, when a fitted goal's radius is not given.
constexpr double kDefaultGoalRadiusCm = 5.0;

constexpr const char* kKinds[] = {"acquisition", "probe", "reversal", "visible"};

std::string Fixed(double value, int decimals) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << value;
  return out.str();
}

// A CSV cell as spreadsheets read it back: quoted when it holds a separator or a quote.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

bool IsKind(const std::string& kind) {
  return std::find(std::begin(kKinds), std::end(kKinds), kind) != std::end(kKinds);
}

}  // namespace

bool ParseImportList(std::string_view text, const fs::path& folder, std::vector<ImportEntry>& entries,
                     std::vector<ImportProblem>& problems, const std::string& listName) {
  const std::size_t before = problems.size();
  const CellTable rows = SplitDelimitedText(text, DetectSeparator(text));
  std::size_t headerRow = 0;
  while (headerRow < rows.size() && rows[headerRow].Cells.empty()) ++headerRow;
  if (headerRow == rows.size()) {
    problems.push_back({listName, 0, "the list is empty"});
    return false;
  }
  std::map<std::string, int> column;
  const std::vector<std::string>& header = rows[headerRow].Cells;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const std::string name = ToLowerAscii(std::string(TrimStart(TrimEnd(header[i], " \t\r"))));
    if (name != "file" && name != "animal" && name != "group" && name != "day" && name != "trial" && name != "kind") {
      problems.push_back({listName, rows[headerRow].Line, "unknown column \"" + name + "\""});
      continue;
    }
    column[name] = static_cast<int>(i);
  }
  if (!column.count("file")) problems.push_back({listName, rows[headerRow].Line, "the list needs a column \"file\""});
  if (problems.size() != before) return false;
  for (std::size_t r = headerRow + 1; r < rows.size(); ++r) {
    const CellRow& row = rows[r];
    auto cell = [&](const char* name) {
      const auto it = column.find(name);
      if (it == column.end() || static_cast<std::size_t>(it->second) >= row.Cells.size()) return std::string();
      return std::string(TrimStart(TrimEnd(row.Cells[static_cast<std::size_t>(it->second)], " \t\r")));
    };
    if (std::all_of(row.Cells.begin(), row.Cells.end(), [](const std::string& c) { return std::string(TrimStart(TrimEnd(c, " \t\r"))).empty(); }))
      continue;
    ImportEntry entry;
    entry.Line = row.Line;
    const std::string file = cell("file");
    if (file.empty()) {
      problems.push_back({listName, row.Line, "no file named"});
      continue;
    }
    entry.File = fs::path(file).is_absolute() ? fs::path(file) : folder / file;
    entry.Animal = cell("animal");
    if (!cell("group").empty()) entry.Group = cell("group");
    for (const char* name : {"day", "trial"}) {
      const std::string text = cell(name);
      if (text.empty()) continue;
      double value = 0;
      if (!ParseCellNumber(text, value) || value != std::floor(value) || value < 1 || value > 9999) {
        problems.push_back({listName, row.Line, std::string("the ") + name + " \"" + text + "\" is not a whole number from 1"});
        continue;
      }
      (std::string(name) == "day" ? entry.Day : entry.Trial) = static_cast<int>(value);
    }
    if (!cell("kind").empty()) {
      entry.Kind = ToLowerAscii(cell("kind"));
      if (!IsKind(entry.Kind))
        problems.push_back({listName, row.Line, "the kind \"" + cell("kind") + "\" is none of acquisition, probe, reversal, visible"});
    }
    entries.push_back(std::move(entry));
  }
  if (entries.empty() && problems.size() == before) problems.push_back({listName, 0, "the list names no file"});
  return problems.size() == before;
}

bool ReadTrackFile(const fs::path& file, std::optional<TrackFormat> format, const TrackReadOptions& options,
                   const BinaryTrackReader& binaryReader, ImportedTrack& track, std::vector<ImportProblem>& problems) {
  track = ImportedTrack{};
  track.SourceFile = file.string();
  std::string bytes;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec) || !ReadWholeFile(file, bytes)) {
    problems.push_back({track.SourceFile, 0, "cannot be read"});
    return false;
  }
  const TrackFormat chosen = format ? *format : GuessTrackFormat(file.filename().string(), bytes.substr(0, 4096));
  if (chosen == TrackFormat::EthoVisionXlsx || chosen == TrackFormat::DeepLabCutHdf5) {
    if (!binaryReader) {
      problems.push_back({track.SourceFile, 0, "this build reads no " + std::string(TrackFormatName(chosen)) + " files"});
      return false;
    }
    track.Format = chosen;
    if (!binaryReader(file, chosen, options, track, problems)) return false;
    track.SourceFile = file.string();
    track.Format = chosen;
    track.Checksum = Sha256Hex(bytes);
    return FinishImportedTrack(options, track, problems);
  }
  return ReadTrackText(bytes, chosen, options, track, problems);
}

bool CreateImportedExperiment(const fs::path& recordFile, const ExperimentSetup& experiment, const PoolSetup& pool,
                              const std::vector<SubjectStatus>& statuses, std::string& error) {
  if (!WriteExperimentRecord(recordFile, experiment, pool, &error)) return false;
  for (std::size_t k = 0; k < statuses.size(); ++k) {
    if (WriteSubjectStatusWord(recordFile, static_cast<int>(k), statuses[k]) != RecordUpdate::Written) {
      error = "cannot write the status of subject " + std::to_string(k + 1) + " into " + recordFile.string();
      return false;
    }
  }
  return true;
}

bool ImportTracks(const std::vector<ImportEntry>& entries, const ImportOptions& options, ImportSummary& summary,
                  std::vector<ImportProblem>& problems) {
  summary = ImportSummary{};
  const std::size_t before = problems.size();
  if (entries.empty()) {
    problems.push_back({"import", 0, "no file to import"});
    return false;
  }
  // 1. Every file read.
  std::vector<ImportedTrack> tracks(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ReadTrackFile(entries[i].File, options.Format, options.Read, options.BinaryReader, tracks[i], problems);
  }
  if (problems.size() != before) return false;
  const TrackUnit unit = tracks.front().Unit;
  for (const ImportedTrack& track : tracks) {
    if (track.Unit != unit) {
      problems.push_back({track.SourceFile, 0, "mixes centimetres and pixels with " + tracks.front().SourceFile +
                                                   ": import them separately"});
      return false;
    }
  }

  // 2. The arena: given, fitted, or both (a given goal with a fitted pool).
  ImportArena arena = options.Arena;
  if (!options.Arena.Pool && !options.FitPool) arena.Unit = unit;
  if (arena.Unit != unit && !options.FitPool) {
    problems.push_back({options.ArenaName, 0, "the arena is in other units than the tracks"});
    return false;
  }
  arena.Unit = unit;
  const char* unitName = unit == TrackUnit::Pixels ? "px" : "cm";
  std::vector<const ImportedTrack*> all, acquisition;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    all.push_back(&tracks[i]);
    if (entries[i].Kind == "acquisition") acquisition.push_back(&tracks[i]);
  }
  double longest = 0.0;
  for (const ImportedTrack& track : tracks) longest = std::max(longest, track.Time.back() - track.Time.front());
  const int maxTime = options.MaxTime > 0                 ? options.MaxTime
                      : arena.TrialLengthSeconds > 0      ? static_cast<int>(std::ceil(arena.TrialLengthSeconds - 1e-9))
                                                          : static_cast<int>(std::ceil(longest - 1e-9));
  if (maxTime < 1 || maxTime > 32767) {
    problems.push_back({options.ArenaName, 0, "the trial length " + std::to_string(maxTime) + " s is outside 1 to 32767"});
    return false;
  }
  summary.Notes.push_back("trial length " + std::to_string(maxTime) + " s");
  if (options.FitPool) {
    const std::optional<ArenaCircle> pool = FitPoolCircle(all);
    if (!pool) {
      problems.push_back({options.ArenaName, 0, "the pool cannot be fitted: too few positions"});
      return false;
    }
    arena.Pool = pool;
    summary.Notes.push_back("pool fitted from " + std::to_string(all.size()) + " tracks: centre " + Fixed(pool->X, 1) +
                            ", " + Fixed(pool->Y, 1) + " " + unitName + ", radius " + Fixed(pool->Radius, 1) + " " +
                            unitName);
  }
  if (options.FitGoal) {
    double goalRadius = options.GoalRadius;
    if (!(goalRadius > 0)) {
      if (unit == TrackUnit::Pixels) {
        problems.push_back({options.ArenaName, 0, "a goal fitted to pixel tracks needs its radius in pixels (--goal-radius)"});
        return false;
      }
      goalRadius = kDefaultGoalRadiusCm;
    }
    const std::optional<GoalFit> goal = FitGoalFromTrialEnds(acquisition, maxTime, goalRadius);
    if (!goal) {
      problems.push_back({options.ArenaName, 0,
                          "the goal cannot be fitted: no acquisition trial ended before " + std::to_string(maxTime) +
                              " s"});
      return false;
    }
    arena.Goals.insert(arena.Goals.begin(), goal->Goal);
    summary.Notes.push_back("goal fitted from the ends of " + std::to_string(goal->Trials) + " acquisition trials: " +
                            Fixed(goal->Goal.X, 1) + ", " + Fixed(goal->Goal.Y, 1) + " " + unitName +
                            " (median distance of the ends " + Fixed(goal->SpreadCm, 1) + " " + unitName +
                            "), radius " + Fixed(goal->Goal.Radius, 1) + " " + unitName);
  }
  GridMapping mapping;
  if (!MakeGridMapping(arena, options.AspectFactor, tracks.front().YUp, mapping, problems, options.ArenaName))
    return false;
  summary.Pool = mapping.Pool;
  summary.ActivePlatform = mapping.ActivePlatform;
  summary.Notes.push_back("pool in the unit's picture: centre " + std::to_string(mapping.Pool.X) + ", " +
                          std::to_string(mapping.Pool.Y) + ", radius " + Fixed(mapping.Pool.Radius, 0) +
                          " units for " + std::to_string(mapping.Pool.ActualSizeX) + " cm; goal is platform " +
                          std::to_string(mapping.ActivePlatform));

  // 3. Every track resampled and converted.
  const int rate = options.VideoType == 1 ? 25 : 30;
  const std::string method =
      std::string(options.Method == ResampleMethod::Linear ? "linear" : "nearest") + " " + std::to_string(rate) + "/s";
  summary.Notes.push_back("resampled to " + std::to_string(rate) + " samples a second by " +
                          (options.Method == ResampleMethod::Linear ? "linear interpolation" : "the nearest sample"));
  std::vector<std::string> rawBytes(tracks.size());
  std::vector<ResampledTrack> resampledTracks(tracks.size());
  std::vector<ImportedTrial> trials(tracks.size());
  std::map<std::string, int> trialsOfAnimal;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const ImportedTrack& track = tracks[i];
    const ImportEntry& entry = entries[i];
    resampledTracks[i] = ResampleTrack(track, rate, options.Method);
    const ResampledTrack& resampled = resampledTracks[i];
    ImportedTrial& trial = trials[i];
    if (!ConvertToGrid(resampled, mapping, options.Outside, options.MarginPercent, track.SourceFile, rawBytes[i],
                       trial.Quality, problems))
      continue;
    trial.Source = {track.SourceFile, std::string(TrackFormatName(track.Format)), track.BodyPart, track.Checksum,
                    method, {}};
    trial.Animal = !entry.Animal.empty()   ? entry.Animal
                   : !track.Subject.empty() ? track.Subject
                                            : entry.File.stem().string();
    trial.Group = entry.Group;
    trial.Kind = entry.Kind;
    trial.Day = entry.Day;
    trial.Trial = entry.Trial > 0 ? entry.Trial : ++trialsOfAnimal[std::to_string(entry.Day) + "\n" + trial.Animal];
  }
  if (problems.size() != before) return false;

  // 4. Experiments: one per day, subjects in the order given.
  std::map<int, std::vector<std::size_t>> days;
  for (std::size_t i = 0; i < trials.size(); ++i) days[trials[i].Day].push_back(i);
  struct Planned {
    fs::path record;
    ExperimentSetup experiment;
    std::vector<std::size_t> trials;
  };
  std::vector<Planned> planned;
  std::set<fs::path> outputs;
  for (const auto& [day, members] : days) {
    Planned plan;
    plan.record = options.OutFolder / (options.Name + std::to_string(day) + ".EXP");
    if (members.size() > static_cast<std::size_t>(kMaxSubjects)) {
      problems.push_back({plan.record.string(), 0,
                          "day " + std::to_string(day) + " has " + std::to_string(members.size()) +
                              " trials; an experiment holds at most 100"});
      continue;
    }
    ExperimentSetup& e = plan.experiment;
    e.DataFile = plan.record.string();
    e.DataFileValid = true;
    e.MaxTime = static_cast<int16_t>(maxTime);
    e.ActivePlatform = static_cast<int16_t>(mapping.ActivePlatform);
    e.DistFromStart = static_cast<int16_t>(options.DistFromStart);
    // An animal's trials share its ID, as the study expects of a raw file's subject; the
    // record keeps 8 bytes of it, so two animals cut to the same ID are refused.
    std::map<std::string, std::string> animalOfId;
    std::set<std::pair<std::string, int>> animalTrials;
    for (std::size_t index : members) {
      ImportedTrial& trial = trials[index];
      trial.SubjectID = CutToStoredLength(trial.Animal, kRecordIdLength);
      const auto [known, fresh] = animalOfId.emplace(trial.SubjectID, trial.Animal);
      if (!fresh && known->second != trial.Animal) {
        problems.push_back({trial.Source.SourceFile, entries[index].Line,
                            "animals " + known->second + " and " + trial.Animal + " share the ID " + trial.SubjectID +
                                " on day " + std::to_string(day) + " (IDs keep " + std::to_string(kRecordIdLength) +
                                " bytes)"});
      } else if (!animalTrials.emplace(trial.Animal, trial.Trial).second) {
        problems.push_back({trial.Source.SourceFile, entries[index].Line,
                            "animal " + trial.Animal + " has trial " + std::to_string(trial.Trial) + " of day " +
                                std::to_string(day) + " twice"});
      }
      trial.Source.RawFile = NumberedRawFile(plan.record, static_cast<int>(e.SubjectIDs.size()));
      e.SubjectIDs.push_back(trial.SubjectID);
      outputs.insert(trial.Source.RawFile);
      plan.trials.push_back(index);
    }
    e.SubjectCount = static_cast<int16_t>(e.SubjectIDs.size());
    outputs.insert(plan.record);
    planned.push_back(std::move(plan));
  }
  const fs::path sheet = options.OutFolder / (options.Name + "_study.csv");
  outputs.insert(sheet);
  if (!options.Overwrite) {
    for (const fs::path& file : outputs) {
      if (FindExistingFile(file))
        problems.push_back({file.string(), 0, "exists already (--overwrite replaces it)"});
    }
  }
  if (problems.size() != before) return false;

  // 5. Written: raw files, then each experiment with its trials' end statuses.
  std::error_code ec;
  fs::create_directories(options.OutFolder, ec);
  std::string error;
  for (const Planned& plan : planned) {
    AnalysisSettings settings;
    settings.Pool = mapping.Pool;
    settings.Experiment = plan.experiment;
    settings.VideoType = static_cast<int16_t>(options.VideoType == 1 ? 1 : 0);
    settings.AspectFactor = mapping.AspectFactor;
    std::vector<SubjectStatus> statuses;
    for (std::size_t index : plan.trials) {
      ImportedTrial& trial = trials[index];
      if (!WriteFileAtomically(trial.Source.RawFile, rawBytes[index], &error)) {
        problems.push_back({trial.Source.RawFile.string(), 0, "cannot be written: " + error});
        return false;
      }
      TrialResult result;
      AnalyseRawTrackBytes(rawBytes[index], settings, result);
      trial.AnalysedPathCm = result.Measures.PathLength;
      trial.SourcePathCm = SourcePathLengthCm(resampledTracks[index], mapping.CmPerSource,
                                              static_cast<std::size_t>(std::max(0, result.LatencySamples)));
      trial.LatencySeconds = LatencySeconds(result, settings);
      trial.FinishStatus = result.FinishStatus;
      statuses.push_back(static_cast<SubjectStatus>(result.FinishStatus));
    }
    if (!CreateImportedExperiment(plan.record, plan.experiment, mapping.Pool, statuses, error)) {
      problems.push_back({plan.record.string(), 0, "cannot be written: " + error});
      return false;
    }
    summary.Experiments.push_back(plan.record);
    // Where each trial came from, in the experiment's provenance record (a new record: the
    // experiment is new). The record is never a reason to refuse the import.
    const bool recorded = UpdateProvenance(plan.record, [&](ExperimentProvenance& record) {
      record = ExperimentProvenance{};
      for (std::size_t position = 0; position < plan.trials.size(); ++position) {
        const std::size_t index = plan.trials[position];
        const ImportedTrial& trial = trials[index];
        const std::string raw = trial.Source.RawFile.filename().string();
        ImportedTrackSource& source = record.ImportedTracks[raw];
        source.SourceFile = fs::absolute(trial.Source.SourceFile).lexically_normal().string();
        source.Format = trial.Source.Format;
        source.BodyPart = trial.Source.BodyPart;
        source.SourceSha256 = trial.Source.Checksum;
        source.Other["resampling"] = trial.Source.Method;
        TrialProvenance& entry = record.Trials[raw];
        entry.SubjectIndex = static_cast<int>(position);
        entry.Subject = trial.SubjectID;
        entry.Source.Kind = TrialSourceKind::Imported;
        entry.EndStatus = FinishStatusText(static_cast<int16_t>(trial.FinishStatus));
        entry.RawSha256 = Sha256Hex(rawBytes[index]);
      }
    });
    if (!recorded) summary.Notes.push_back("the provenance record of " + plan.record.string() + " cannot be written");
  }

  // 6. The study sheet: one row per raw file, ready for `study`.
  std::string text = "file,animal,group,day,trial,kind,goal\r\n";
  for (const Planned& plan : planned) {
    for (std::size_t index : plan.trials) {
      const ImportedTrial& trial = trials[index];
      text += CsvCell(trial.Source.RawFile.filename().string()) + "," + CsvCell(trial.SubjectID) + "," +
              CsvCell(trial.Group) + "," + std::to_string(trial.Day) + "," + std::to_string(trial.Trial) + "," +
              trial.Kind + "," + std::to_string(mapping.ActivePlatform) + "\r\n";
    }
  }
  if (!WriteFileAtomically(sheet, text, &error)) {
    problems.push_back({sheet.string(), 0, "cannot be written: " + error});
    return false;
  }
  summary.StudySheet = sheet;
  for (const Planned& plan : planned)
    for (std::size_t index : plan.trials) summary.Trials.push_back(trials[index]);
  return true;
}

bool ExportPeerTracks(const fs::path& recordFile, const fs::path& outFolder, double aspectFactor, int videoType,
                      std::vector<fs::path>& written, std::string& error) {
  const std::optional<ExperimentRecord> record = ReadExperimentRecord(recordFile);
  if (!record) {
    error = "cannot read the experiment record " + recordFile.string();
    return false;
  }
  const PoolSetup& pool = record->Pool;
  const double aspect = UsableAnalysisAspect(aspectFactor);
  const double diameterUnits = std::max(2.0 * pool.Radius, 2.0);
  const double cmPerUnitX = pool.ActualSizeX / diameterUnits;
  const double cmPerUnitY = pool.ActualSizeY / diameterUnits;
  const double rate = videoType == 1 ? 25.0 : 30.0;
  std::error_code ec;
  fs::create_directories(outFolder, ec);
  const std::string stem = DataFileStem(recordFile).filename().string();
  std::vector<std::pair<fs::path, std::string>> files;
  for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(recordFile)) {
    RawTrack track;
    if (!ReadRawTrack(entry.File, track)) {
      error = "cannot read " + entry.File.string();
      return false;
    }
    std::string text = "time_s,x_cm,y_cm\n";
    for (std::size_t i = 0; i < track.Samples.size(); ++i) {
      const RawSample s = track.Samples[i];
      if (s.X >= 255 || s.Y >= 255) continue;  // not seen: no position to give
      const double y = std::floor(s.Y * aspect);
      text += Fixed(static_cast<double>(i) / rate, 4) + "," + Fixed((s.X - pool.X) * cmPerUnitX, 2) + "," +
              Fixed((pool.Y - y) * cmPerUnitY, 2) + "\n";
    }
    files.emplace_back(outFolder / entry.File.filename().replace_extension(".csv"), std::move(text));
  }
  // Rtrack's arena: cm from the pool centre, y up; the goal(s) the experiment's active
  // platform names (all four for "ALL", none for "OFF").
  const ArenaCircle poolCm{0.0, 0.0, pool.ActualSizeX / 2.0};
  std::vector<ArenaCircle> goals;
  const int active = record->Experiment.ActivePlatform;
  for (int k = 0; k < 4; ++k) {
    if (active != 5 && active != k + 1) continue;
    const PlatformSetup& p = pool.Platforms[k];
    goals.push_back({(p.X - pool.X) * cmPerUnitX, (pool.Y - p.Y) * cmPerUnitY, p.Radius * cmPerUnitX});
  }
  files.emplace_back(outFolder / (stem + ".arena"),
                     FormatArenaText(poolCm, goals, std::nullopt, record->Experiment.MaxTime));
  for (const auto& [file, text] : files) {
    if (!WriteFileAtomically(file, text, &error)) {
      error = file.string() + ": " + error;
      return false;
    }
    written.push_back(file);
  }
  return true;
}

}  // namespace tarnwell
