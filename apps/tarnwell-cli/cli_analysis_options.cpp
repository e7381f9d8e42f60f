#include "cli_analysis_options.h"

#include <unistd.h>

#include <cmath>
#include <iostream>
#include <ostream>
#include <system_error>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/epoch.h"
#include "core/file_access.h"
#include "experiment/experiment_file.h"
#include "pool/pool_file.h"

namespace tarnwell::cli {

namespace {

// "START,TIME" as two fixed-point epoch times; nothing when either is not a number of
// seconds from 0 to 100000.
std::optional<std::pair<int64_t, int64_t>> ParseEpochOption(std::string_view text) {
  const auto pair = ParseNumberPair(text);
  if (!pair || !(pair->first >= 0) || !(pair->second >= 0)) return std::nullopt;
  if (pair->first > 100000 || pair->second > 100000) return std::nullopt;
  const size_t comma = text.find(',');
  return std::make_pair(ParseEpochField(text.substr(0, comma)), ParseEpochField(text.substr(comma + 1)));
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // Bytes that do not form UTF-8 (a label typed on an old Windows code page) are taken
    // as Latin-1, so the output is always valid JSON.
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!valid) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
      i += length - 1;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// Numbers with every digit the value has (shortest round-trip form); never NaN, which
// JSON cannot carry.
std::string JsonNumber(float value) {
  return std::isfinite(value) ? FormatGeneral(value) : "0";
}
std::string JsonNumber(double value) {
  return std::isfinite(value) ? FormatGeneral(value) : "0";
}
std::string JsonNumber(int64_t value) {
  return FormatGeneral(value);
}

class JsonObject {
 public:
  JsonObject& Raw(std::string_view key, std::string_view json) {
    text_ += text_.empty() ? "{" : ",";
    text_ += JsonString(key) + ":";
    text_ += json;
    return *this;
  }
  std::string Close() const { return (text_.empty() ? "{" : text_) + "}"; }

 private:
  std::string text_;
};

template <typename Items, typename F>
std::string JsonArray(const Items& items, F toJson) {
  std::string out = "[";
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ",";
    first = false;
    out += toJson(item);
  }
  return out + "]";
}

}  // namespace

AnalysisSettings HomeAnalysisSettings(const Program& program, const FolderListing* homeFolder) {
  PoolSetup pool;
  LoadStartUpPool(program.home.Folder(), pool, homeFolder);
  ExperimentSetup experiment;
  ReadExperimentText(DefaultExperimentFile(program.home.Folder()), experiment, homeFolder);
  return MakeAnalysisSettings(pool, experiment, program.settings);
}

int ApplyAnalysisOptions(std::string_view command, const Arguments& args, const Program& program,
                         ReanalysisState& state, std::ostream& err, const FolderListing* homeFolder) {
  std::optional<std::pair<int64_t, int64_t>> epoch;
  if (const auto text = args.Value(kEpochOption)) {
    epoch = ParseEpochOption(*text);
    if (!epoch) {
      return UsageError(command, "--epoch needs START,TIME in seconds from 0 to 100000, such as 1.5,10", err);
    }
  }

  // The home's current setups, as the program would hold them, then the experiment's own.
  state.Settings = HomeAnalysisSettings(program, homeFolder);
  state.Locale = program.locale;
  const bool given = args.Value(kPoolOption).has_value() || args.Value(kExperimentOption).has_value();
  const SettingsSource source = LoadExperimentAnalysisSettings(state);
  if (source == SettingsSource::Invalid && !given) {
    // Falling back to the home's setups would give numbers of another pool.
    return Failure(
        command, state.SettingsProblem + "; give --pool and --experiment to analyse with other setups", err);
  }
  if (const auto file = args.Value(kPoolOption); file && !LoadAnalysisPoolFile(state, *file)) {
    return Failure(command, "cannot read a pool from " + *file, err);
  }
  if (const auto file = args.Value(kExperimentOption); file && !LoadAnalysisExperimentFile(state, *file)) {
    return Failure(command, "cannot read an experiment from " + *file, err);
  }
  // Each line is put together first: the standard error is unbuffered, and a line is
  // better written whole than in pieces another process's lines may come between.
  if (source == SettingsSource::Companion) {
    err << "analysis settings from " + CompanionFile(state.DataFile).string() +
               (given ? " and the given files" : "") + "\n";
  } else if (source == SettingsSource::Invalid) {
    err << state.SettingsProblem + ": analysing with the given files\n";
  } else if (!given) {
    err << "no experiment record " + CompanionFile(state.DataFile).string() +
               ": analysing with the home's current pool and experiment\n";
  }

  if (epoch) {
    state.Settings.EpochEnabled = true;
    SetEpochWindow(state.Settings, epoch->first, epoch->second);
  }
  state.Settings.ArtifactFilterOn = args.Has(kArtifactFilterFlag);
  return kExitOk;
}

std::string NoRawFilesMessage(const std::filesystem::path& dataFile) {
  return "no raw files " + DataFileStem(dataFile).filename().string() + "??.RAW in " +
         std::filesystem::absolute(dataFile).parent_path().string();
}

int PrepareExperimentAnalysis(std::string_view command, const Arguments& args, const std::string& home,
                              ExperimentAnalysis& analysis, bool needsDataFile) {
  analysis.dataFile = args.Positional()[0];
  // The folder is read once: for the data file, the raw files, the provenance record and
  // the tracks kept aside.
  analysis.folder = std::make_shared<const FolderListing>(analysis.dataFile.parent_path());
  if (needsDataFile && !FindExistingFile(analysis.dataFile, analysis.folder.get()))
    return Failure(command, "no data file " + analysis.dataFile.string());
  // A mistyped name must neither create a home nor remove or write anything: every one of
  // these commands works from the raw files.
  if (!HasNumberedRawFiles(analysis.dataFile, analysis.folder.get()))
    return Failure(command, NoRawFilesMessage(analysis.dataFile));
  std::unique_ptr<const FolderListing> homeFolder;
  analysis.program = OpenProgram(command, home, std::cerr, homeFolder);
  if (!analysis.program) return kExitFailure;
  analysis.state.DataFile = analysis.dataFile;
  analysis.state.ListedFolder = ReanalysisState::FolderRead{analysis.dataFile, analysis.folder};
  if (const int status =
          ApplyAnalysisOptions(command, args, *analysis.program, analysis.state, std::cerr, homeFolder.get());
      status != kExitOk) {
    return status;
  }
  // The settings are now those of this data file and the options: the table and the
  // pages use them as they stand rather than reading the experiment's record again.
  analysis.state.SettingsLoaded = true;
  analysis.tempReport = std::make_unique<CommandTempReport>(analysis.program->home);
  analysis.state.TempReportPath = analysis.tempReport->Path();
  return kExitOk;
}

CommandTempReport::CommandTempReport(const ProgramHome& home)
    : path_(home.Folder() / ("~TMPDAT." + std::to_string(::getpid()) + ".CSV")) {}

CommandTempReport::~CommandTempReport() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
  std::filesystem::remove(ReportTextPath(path_), ec);
}

std::string TrialJson(const AnalysedTrial& trial, const ReanalysisState& state) {
  const TrialResult& r = trial.Result;
  const TrialMeasures& m = r.Measures;
  const AnalysisSettings& s = state.Settings;
  const int rate = s.SampleRate();
  JsonObject o;
  o.Raw("subject", JsonNumber(int64_t{trial.SubjectIndex}))
      .Raw("label", JsonString(trial.Label))
      .Raw("rawFile", JsonString(trial.RawFile.string()))
      .Raw("dataFile", JsonString(DataFileDisplayName(state.DataFile)))
      .Raw("finishStatus", JsonNumber(int64_t{r.FinishStatus}))
      .Raw("status", JsonString(FinishStatusText(r.FinishStatus)))
      .Raw("latencySamples", JsonNumber(int64_t{r.LatencySamples}))
      .Raw("latency", JsonNumber(static_cast<double>(r.LatencySamples) / rate))
      .Raw("sampleRate", JsonNumber(int64_t{rate}))
      .Raw("pathLength", JsonNumber(m.PathLength))
      .Raw("angleValid", m.AngleValid ? "true" : "false")
      .Raw("initialAngle", m.AngleValid ? JsonNumber(m.InitialAngle) : "null")
      .Raw("distanceFromStart", JsonNumber(int64_t{s.Experiment.DistFromStart}))
      .Raw("outOfPoolCount", JsonNumber(int64_t{r.OutOfPoolCount}))
      .Raw("artifactFilter", s.ArtifactFilterOn ? "true" : "false");
  const TrackingQuality& q = r.Tracking;
  o.Raw("suspectTracking", q.IsSuspect() ? "true" : "false")
      .Raw("trackingQuality",
           JsonObject()
               .Raw("samples", JsonNumber(q.Samples))
               .Raw("notSeen", JsonNumber(q.NotSeen))
               .Raw("notSeenPercent", JsonNumber(q.NotSeenPercent))
               .Raw("outOfRange", JsonNumber(q.OutOfRange))
               .Raw("jumps", JsonNumber(q.Jumps))
               .Raw("tooFast", JsonNumber(q.TooFast))
               .Raw("endedInFirstSecond", q.EndedInFirstSecond ? "true" : "false")
               .Raw("realignedFrom", q.RealignedFrom >= 0 ? JsonNumber(q.RealignedFrom) : "null")
               .Raw("swappedFrom", q.SwappedFrom >= 0 ? JsonNumber(q.SwappedFrom) : "null")
               .Close());
  // Where the trial came from, as the run recorded it ("unknown" without a record).
  const TrialProvenance* record = trial.Provenance.get();
  const ProvenanceColumns source = ProvenanceColumnsOf(record);
  o.Raw("source", JsonString(source.Source))
      .Raw("sourceDetail", JsonString(record ? record->Source.Describe() : std::string(kUnknownProvenance)))
      .Raw("simulated", record && record->Source.Kind == TrialSourceKind::SimulatedUnit ? "true" : "false")
      .Raw("recordedAtUtc", JsonString(source.RecordedAtUtc))
      .Raw("videoSha256", JsonString(source.VideoSha256));
  if (s.EpochEnabled) {
    o.Raw("epoch", JsonObject()
                       .Raw("start", EpochGeneralText(s.EpochStart))
                       .Raw("time", EpochGeneralText(s.EpochTime))
                       .Raw("stop", EpochGeneralText(s.EpochStop))
                       .Close());
  } else {
    o.Raw("epoch", "null");
  }
  const std::array<int, 4> columns = {0, 1, 2, 3};
  o.Raw("counters", JsonArray(columns, [&](int i) {
          const CounterRecord& c = m.Counters[static_cast<size_t>(i)];
          return JsonObject()
              .Raw("platform", JsonNumber(int64_t{i + 1}))
              .Raw("entries", JsonNumber(int64_t{c.Entries}))
              .Raw("time", JsonNumber(c.Time / static_cast<float>(rate)))
              .Raw("path", JsonNumber(c.Path))
              .Raw("proximityAvg", JsonNumber(c.ProximityAvg))
              .Raw("cumulative", JsonNumber(c.Cumulative))
              .Close();
        }));
  const auto zones = ReportedZones(m, s.Pool);
  const int rings = s.Pool.NumRings >= 1 && s.Pool.NumRings <= kMaxRings ? s.Pool.NumRings : 0;
  std::vector<int> ringIndices;
  for (int ring = 0; ring < rings; ++ring) ringIndices.push_back(ring);
  o.Raw("zones", JsonArray(ringIndices, [&](int ring) {
          return JsonObject()
              .Raw("ring", JsonString(std::string(1, static_cast<char>('A' + ring))))
              .Raw("quadrants", JsonArray(columns,
                                          [&](int q) {
                                            const ZoneCell& cell =
                                                zones[static_cast<size_t>(ring)][static_cast<size_t>(q)];
                                            return JsonObject()
                                                .Raw("quadrant", JsonNumber(int64_t{q + 1}))
                                                .Raw("entries", JsonNumber(int64_t{cell.Entries}))
                                                .Raw("time", JsonNumber(cell.Time))
                                                .Raw("path", JsonNumber(cell.Path))
                                                .Close();
                                          }))
              .Close();
        }));
  return o.Close();
}

}  // namespace tarnwell::cli
