#include "study/study_output.h"

#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>
#include <cmath>
#include <memory>
#include <system_error>

#include "analysis/trial_report.h"
#include "core/file_access.h"

namespace tarnwell {

namespace {

void Field(std::string& out, std::string_view text) {
  out += text;
  out += ',';
}

void Number(std::string& out, double value) {
  Field(out, CsvNumber(value));
}

void Integer(std::string& out, int64_t value) {
  Field(out, std::to_string(value));
}

void Optional(std::string& out, std::optional<double> value) {
  Field(out, value ? CsvNumber(*value) : std::string());
}

// Ends a row: the last separator becomes the line break.
void EndRow(std::string& out) {
  if (!out.empty() && out.back() == ',') out.back() = '\n';
}

// A float measure written with the digits the float has (2.1f is "2.1", not 2.0999999).
std::string FloatText(float value) {
  if (!std::isfinite(value)) return {};
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void FloatField(std::string& out, float value) {
  Field(out, FloatText(value));
}

std::string Join(std::initializer_list<std::string_view> names) {
  std::string out;
  for (std::string_view name : names) Field(out, name);
  return out;
}

void StatsFields(std::string& out, const RunningStats& stats) {
  Integer(out, stats.N);
  Optional(out, stats.N > 0 ? std::optional<double>(stats.Mean) : std::nullopt);
  Optional(out, stats.Sd());
  Optional(out, stats.Sem());
}

void KeyFields(std::string& out, const GroupDayKey& key) {
  Field(out, CsvText(key.Group));
  Integer(out, key.Day);
  Field(out, TrialKindName(key.Kind));
}

// Buffered appends to a temporary file beside the one it replaces: Close finishes it,
// Publish renames it over the old file. The study closes every file before it publishes
// any, so a failure never leaves old and new results mixed; a file dropped before Publish
// removes its temporary file.
class TableFile {
 public:
  TableFile() = default;
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  ~TableFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty() && !published_) {
      std::error_code ec;
      std::filesystem::remove(temp_, ec);
    }
  }

  bool Open(const std::filesystem::path& path, std::string& error) {
    path_ = path;
    if (IsWriteFaultInjected(path)) {
      error = "cannot write " + path.string() + ": " + std::strerror(ENOSPC);
      return false;
    }
    // The temporary name is one the program's clean-up knows as its own.
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
      temp_ = path;
      temp_.replace_filename("." + path.filename().string() + ".tmp" + std::to_string(seed() % 1000000000u));
      file_ = std::fopen(temp_.c_str(), "wbx");
      if (!file_ && errno != EEXIST) break;
    }
    if (!file_) {
      error = "cannot create a file in the folder of " + path.string() + ": " + std::strerror(errno);
      temp_.clear();
      return false;
    }
    return true;
  }
  std::string& Buffer() { return buffer_; }
  void FlushIfFull() {
    if (buffer_.size() >= (1u << 16)) Flush();
  }
  void Flush() {
    if (!buffer_.empty() && file_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
      failed_ = failed_ ? failed_ : (errno ? errno : EIO);
    buffer_.clear();
  }
  bool Close(std::string& error) {
    Flush();
    if (!file_) return false;
    if (std::fflush(file_) != 0 || ::fsync(fileno(file_)) != 0) failed_ = failed_ ? failed_ : errno;
    if (std::fclose(file_) != 0) failed_ = failed_ ? failed_ : errno;
    file_ = nullptr;
    if (failed_) {
      error = "cannot write " + path_.string() + ": " + std::strerror(failed_);
      return false;
    }
    return true;
  }
  bool Publish(std::string& error) {
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
      error = "cannot write " + path_.string() + ": " + std::strerror(errno);
      return false;
    }
    published_ = true;
    return true;
  }

 private:
  std::filesystem::path path_, temp_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  int failed_ = 0;
  bool published_ = false;
};

}  // namespace

std::string CsvNumber(double value) {
  if (!std::isfinite(value)) return {};
  if (value == 0) return "0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string CsvText(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string StudyTrialHeader(const std::vector<std::string>& variables) {
  std::string out = Join({"line", "animal", "group"});
  for (const std::string& name : variables) Field(out, CsvText(name));
  out += Join({"day", "trial", "kind", "goal", "previous_goal",
                          "status", "finish_status", "recorded_status", "aborted", "latency_samples", "latency_s", "path_cm", "speed_cm_s",
                          "initial_angle", "out_of_pool"});
  for (int p = 1; p <= 4; ++p) {
    for (const char* name : {"entries", "time_s", "path_cm", "proximity_cm", "cumulative_cm_s"})
      Field(out, "platform" + std::to_string(p) + "_" + name);
  }
  for (char ring = 'a'; ring <= 'd'; ++ring) {
    for (int q = 1; q <= 4; ++q) {
      for (const char* name : {"entries", "time_s", "path_cm"})
        Field(out, std::string("zone_") + ring + std::to_string(q) + "_" + name);
    }
  }
  for (int q = 1; q <= 4; ++q) Field(out, "quadrant" + std::to_string(q) + "_time_pct");
  for (int q = 1; q <= 4; ++q) Field(out, "quadrant" + std::to_string(q) + "_path_pct");
  out += Join({"goal_quadrant",  "goal_quadrant_time_pct",
               "goal_crossings", "goal_proximity_cm",
               "strategy",       "strategy_family",
               "strategy_runner_up", "strategy_margin",
               "strategy_path_radii", "wall_share",
               "coverage",       "centre_distance",
               "ring_share",     "ring_sweep_deg",
               "efficiency",     "heading_share",
               "goal_zone_share", "goal_distance_radii",
               "previous_goal_efficiency", "previous_goal_heading_share",
               "previous_goal_zone_share", "previous_goal_distance_radii",
               "seen_samples",   "plain_path_cm",
               "goal_centred_quadrant_time_pct", "previous_goal_centred_quadrant_time_pct",
               "previous_goal_quadrant_time_pct"});
  for (int i = 0; i < kSearchStrategyCount; ++i) {
    std::string name(SearchStrategyName(static_cast<SearchStrategy>(i)));
    std::replace(name.begin(), name.end(), ' ', '_');
    Field(out, "segment_share_" + name);
  }
  out += Join({"tracking_samples",
               "not_seen",       "not_seen_pct",
               "out_of_range",   "jumps",
               "suspect_tracking", "program",
               "raw_file",       "data_file",
               "subject_index",  "sha256",
               "settings_from",  "sample_rate",
               "aspect",         "pool_x",
               "pool_y",         "pool_radius",
               "pool_round",     "pool_quadrants",
               "pool_rings",     "pool_equal_area",
               "pool_size_x_cm", "pool_size_y_cm"});
  for (int p = 1; p <= 4; ++p) {
    for (const char* name : {"x", "y", "radius", "counter_pct"})
      Field(out, "platform" + std::to_string(p) + "_" + name);
  }
  out +=
      Join({"max_time_s", "active_platform", "dist_from_start_cm", "artifact_filter", "artifact_threshold"});
  out += Join({"source", "recorded_at_utc", "video_sha256"});
  // The trial list's variables, but for those the animals sheet already has as columns.
  for (const char* name : kTrialListColumns) {
    if (std::find(variables.begin(), variables.end(), name) == variables.end()) Field(out, name);
  }
  EndRow(out);
  return out;
}

void AppendStudyTrialRow(std::string& out, const StudyTrial& t, const StudyOptions& options) {
  const TrialResult& r = t.Result;
  const TrialMeasures& m = r.Measures;
  const AnalysisSettings& s = *t.Settings;
  const float rate = static_cast<float>(s.SampleRate());
  Integer(out, t.Line);
  Field(out, CsvText(t.Animal));
  Field(out, CsvText(t.Group));
  if (options.Animals) {
    for (size_t i = 0; i < options.Animals->Variables.size(); ++i)
      Field(out, i < t.Variables.size() ? CsvText(t.Variables[i]) : std::string());
  }
  Integer(out, t.Day);
  Integer(out, t.Trial);
  Field(out, TrialKindName(t.Kind));
  Field(out, t.Goal > 0 ? std::to_string(t.Goal) : std::string());
  Field(out, t.PreviousGoal > 0 ? std::to_string(t.PreviousGoal) : std::string());
  Field(out, FinishStatusText(r.FinishStatus));
  Integer(out, r.FinishStatus);
  Field(out, t.RecordedStatus);
  Field(out, t.Aborted ? "true" : "false");
  Integer(out, r.LatencySamples);
  Number(out, t.LatencySeconds);
  FloatField(out, m.PathLength);
  Number(out, t.Speed);
  Field(out, m.AngleValid ? FloatText(m.InitialAngle) : std::string());
  Integer(out, r.OutOfPoolCount);
  for (const CounterRecord& c : m.Counters) {
    Integer(out, c.Entries);
    FloatField(out, c.Time / rate);
    FloatField(out, c.Path);
    FloatField(out, c.ProximityAvg);
    FloatField(out, c.Cumulative);
  }
  const auto zones = ReportedZones(m, s.Pool);
  for (const auto& ring : zones) {
    for (const ZoneCell& cell : ring) {
      Integer(out, cell.Entries);
      FloatField(out, cell.Time);
      FloatField(out, cell.Path);
    }
  }
  for (double v : t.QuadrantTimePercent)
    Optional(out, t.HasQuadrants ? std::optional<double>(v) : std::nullopt);
  for (double v : t.QuadrantPathPercent)
    Optional(out, t.HasQuadrants ? std::optional<double>(v) : std::nullopt);
  Field(out, t.GoalQuadrant() > 0 ? std::to_string(t.GoalQuadrant()) : std::string());
  Optional(out, SummaryValue(t, SummaryMeasure::GoalQuadrantTime));
  Optional(out, SummaryValue(t, SummaryMeasure::GoalCrossings));
  Optional(out, SummaryValue(t, SummaryMeasure::GoalProximity));
  Field(out, SearchStrategyName(t.Strategy));
  Field(out, StrategyFamilyName(FamilyOf(t.Strategy)));
  const bool called = t.Strategy != SearchStrategy::Unclassified;
  Field(out, called ? std::string(SearchStrategyName(t.Call.RunnerUp)) : std::string());
  Optional(out, called ? std::optional<double>(t.Call.Margin) : std::nullopt);
  const StrategyFeatures& f = t.Features;
  for (double v : {f.PathRadii, f.WallShare, f.Coverage, f.CentreDistance, f.RingShare, f.RingSweep})
    Number(out, v);
  for (const auto& [g, has] : {std::pair{&f.Goal, t.Goal > 0}, std::pair{&f.PreviousGoal, t.PreviousGoal > 0}}) {
    for (double v : {g->Efficiency, g->HeadingShare, g->ZoneShare, g->Distance})
      Optional(out, has ? std::optional<double>(v) : std::nullopt);
  }
  Integer(out, f.SeenSamples);
  Number(out, t.PlainPathCm);
  Optional(out, t.GoalCentredQuadrantPercent);
  Optional(out, t.PreviousGoalCentredQuadrantPercent);
  Optional(out, t.PreviousGoalQuadrantTimePercent);
  for (double share : t.SegmentShare) Number(out, share);
  const TrackingQuality& q = r.Tracking;
  for (int64_t v : {q.Samples, q.NotSeen}) Integer(out, v);
  Number(out, q.NotSeenPercent);
  for (int64_t v : {q.OutOfRange, q.Jumps}) Integer(out, v);
  Field(out, q.IsSuspect() ? "true" : "false");
  Field(out, CsvText(options.ProgramVersion));
  Field(out, CsvText(t.RawFile.string()));
  Field(out, CsvText(t.DataFile.string()));
  Field(out, t.SubjectIndex >= 0 ? std::to_string(t.SubjectIndex) : std::string());
  Field(out, t.Checksum);
  Field(out, t.SettingsSource == StudySettingsSource::Companion ? "experiment" : "home");
  Integer(out, s.SampleRate());
  Number(out, s.AspectFactor);
  const PoolSetup& pool = s.Pool;
  Integer(out, pool.X);
  Integer(out, pool.Y);
  FloatField(out, pool.Radius);
  Field(out, pool.Round ? "true" : "false");
  Field(out, pool.Quadrants ? "true" : "false");
  Integer(out, pool.NumRings);
  Field(out, pool.EquArea ? "true" : "false");
  Integer(out, pool.ActualSizeX);
  Integer(out, pool.ActualSizeY);
  for (const PlatformSetup& p : pool.Platforms) {
    Integer(out, p.X);
    Integer(out, p.Y);
    FloatField(out, p.Radius);
    Integer(out, p.CMultiplier);
  }
  Integer(out, s.Experiment.MaxTime);
  Integer(out, s.Experiment.ActivePlatform);
  Integer(out, s.Experiment.DistFromStart);
  Field(out, s.ArtifactFilterOn ? "true" : "false");
  Number(out, s.ArtifactThreshold);
  for (const std::string* v : {&t.Provenance.Source, &t.Provenance.RecordedAtUtc, &t.Provenance.VideoSha256})
    Field(out, CsvText(*v));
  for (const auto& [name, value] : TrialListVariables(t)) {
    const bool asVariable = options.Animals && std::find(options.Animals->Variables.begin(),
                                                         options.Animals->Variables.end(),
                                                         name) != options.Animals->Variables.end();
    if (!asVariable) Field(out, CsvText(*value));
  }
  EndRow(out);
}

std::string SegmentsHeader() {
  std::string out = Join({"line", "animal", "group", "day", "trial", "kind", "segment", "start_s", "end_s", "strategy",
                          "strategy_runner_up", "strategy_margin", "raw_file"});
  EndRow(out);
  return out;
}

void AppendSegmentRows(std::string& out, const StudyTrial& t) {
  const double rate = t.Settings ? t.Settings->SampleRate() : 30.0;
  int number = 0;
  for (const StrategySegment& s : t.Segments) {
    Integer(out, t.Line);
    Field(out, CsvText(t.Animal));
    Field(out, CsvText(t.Group));
    Integer(out, t.Day);
    Integer(out, t.Trial);
    Field(out, TrialKindName(t.Kind));
    Integer(out, ++number);
    Number(out, s.First / rate);
    Number(out, (s.Last + 1) / rate);
    Field(out, SearchStrategyName(s.Call.Strategy));
    const bool called = s.Call.Strategy != SearchStrategy::Unclassified;
    Field(out, called ? std::string(SearchStrategyName(s.Call.RunnerUp)) : std::string());
    Optional(out, called ? std::optional<double>(s.Call.Margin) : std::nullopt);
    Field(out, CsvText(t.RawFile.string()));
    EndRow(out);
  }
}

std::string ProbeHeader() {
  std::string out =
      Join({"line", "animal", "group", "day", "trial", "goal", "goal_quadrant", "quadrant", "role"});
  for (int m = 0; m < kProbeMeasureCount; ++m) Field(out, ProbeMeasureName(static_cast<ProbeMeasure>(m)));
  EndRow(out);
  return out;
}

void AppendProbeRows(std::string& out, const StudyTrial& t) {
  if (!HasProbeMeasures(t)) return;
  for (int role = 0; role < 4; ++role) {
    const int quadrant = QuadrantOfRole(t.GoalQuadrant(), static_cast<QuadrantRole>(role));
    Integer(out, t.Line);
    Field(out, CsvText(t.Animal));
    Field(out, CsvText(t.Group));
    Integer(out, t.Day);
    Integer(out, t.Trial);
    Integer(out, t.Goal);
    Integer(out, t.GoalQuadrant());
    Integer(out, quadrant);
    Field(out, QuadrantRoleName(static_cast<QuadrantRole>(role)));
    for (int m = 0; m < kProbeMeasureCount; ++m)
      Optional(out, ProbeValue(t, quadrant, static_cast<ProbeMeasure>(m)));
    EndRow(out);
  }
}

std::string SummaryText(const StudyAggregator& aggregate) {
  std::string out = Join({"group", "day", "kind", "measure", "unit", "n", "mean", "sd", "sem", "trials", "aborted",
                          "aborted_in_means"});
  EndRow(out);
  const char* unit = aggregate.Unit == SummaryUnit::Animal ? "animal" : "trial";
  for (const auto& [key, measures] : aggregate.Summary) {
    const auto counts = aggregate.TrialCounts.find(key);
    for (int i = 0; i < kSummaryMeasureCount; ++i) {
      KeyFields(out, key);
      Field(out, SummaryMeasureName(static_cast<SummaryMeasure>(i)));
      Field(out, unit);
      StatsFields(out, measures[static_cast<size_t>(i)]);
      Integer(out, counts != aggregate.TrialCounts.end() ? counts->second.first : 0);
      Integer(out, counts != aggregate.TrialCounts.end() ? counts->second.second : 0);
      Field(out, aggregate.IncludeAborted ? "true" : "false");
      EndRow(out);
    }
  }
  return out;
}

std::string ProbeSummaryText(const StudyAggregator& aggregate) {
  std::string out = Join({"group", "day", "role", "measure", "unit", "n", "mean", "sd", "sem"});
  EndRow(out);
  const char* unit = aggregate.Unit == SummaryUnit::Animal ? "animal" : "trial";
  for (const auto& [key, roles] : aggregate.Probe) {
    for (int role = 0; role < 4; ++role) {
      for (int m = 0; m < kProbeMeasureCount; ++m) {
        Field(out, CsvText(key.Group));
        Integer(out, key.Day);
        Field(out, QuadrantRoleName(static_cast<QuadrantRole>(role)));
        Field(out, ProbeMeasureName(static_cast<ProbeMeasure>(m)));
        Field(out, unit);
        StatsFields(out, roles[static_cast<size_t>(role)][static_cast<size_t>(m)]);
        EndRow(out);
      }
    }
  }
  return out;
}

std::string StrategyProportionsText(const StudyAggregator& aggregate) {
  std::string out = Join({"group", "day", "kind", "strategy", "count", "n", "proportion"});
  EndRow(out);
  for (const auto& [key, counts] : aggregate.Strategies) {
    int64_t n = 0;
    for (int64_t c : counts) n += c;
    for (int i = 0; i < kSearchStrategyCount; ++i) {
      KeyFields(out, key);
      Field(out, SearchStrategyName(static_cast<SearchStrategy>(i)));
      Integer(out, counts[static_cast<size_t>(i)]);
      Integer(out, n);
      Number(out, n > 0 ? static_cast<double>(counts[static_cast<size_t>(i)]) / static_cast<double>(n) : 0.0);
      EndRow(out);
    }
  }
  return out;
}

bool WriteStudy(const StudySheet& sheet, const StudyOptions& options, const std::filesystem::path& folder,
                StudyAggregator& aggregate, std::vector<SheetProblem>& problems, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create the folder " + folder.string() + ": " + ec.message();
    return false;
  }
  aggregate = StudyAggregator(options.PerTrial ? SummaryUnit::Trial : SummaryUnit::Animal, options.IncludeAborted);
  // Every file is written under a temporary name first; only when all of them were
  // written do they replace the old ones, so a failure never leaves old and new mixed.
  std::vector<std::unique_ptr<TableFile>> files;
  auto open = [&](const char* name) -> TableFile* {
    files.push_back(std::make_unique<TableFile>());
    return files.back()->Open(folder / name, error) ? files.back().get() : nullptr;
  };
  TableFile* trials = open(kStudyTrialsFile);
  TableFile* probe = trials ? open(kStudyProbeFile) : nullptr;
  TableFile* segments = probe ? open(kStudySegmentsFile) : nullptr;
  if (!trials || !probe || !segments) return false;
  trials->Buffer() = StudyTrialHeader(options.Animals ? options.Animals->Variables : std::vector<std::string>{});
  probe->Buffer() = ProbeHeader();
  segments->Buffer() = SegmentsHeader();
  const bool analysed = ForEachStudyTrial(
      sheet, options,
      [&](const StudyTrial& trial) {
        AppendStudyTrialRow(trials->Buffer(), trial, options);
        AppendProbeRows(probe->Buffer(), trial);
        AppendSegmentRows(segments->Buffer(), trial);
        trials->FlushIfFull();
        probe->FlushIfFull();
        segments->FlushIfFull();
        aggregate.Add(trial);
        if (options.OnTrial) options.OnTrial(trial);
        return true;
      },
      problems);
  if (!analysed) return false;
  aggregate.Finish();
  if (!trials->Close(error) || !probe->Close(error) || !segments->Close(error)) return false;
  const std::pair<const char*, std::string> tables[] = {
      {kStudySummaryFile, SummaryText(aggregate)},
      {kStudyProbeSummaryFile, ProbeSummaryText(aggregate)},
      {kStudyStrategiesFile, StrategyProportionsText(aggregate)},
      {kStudyThresholdsFile, StrategyThresholdsText(options.Thresholds)},
  };
  for (const auto& [name, text] : tables) {
    TableFile* file = open(name);
    if (!file) return false;
    file->Buffer() = text;
    if (!file->Close(error)) return false;
  }
  if (options.WriteReport) {
    // The report is drawn into a temporary file of its own and renamed with the tables.
    const std::filesystem::path report = folder / kStudyReportFile;
    std::filesystem::path temp = folder / ("." + std::string(kStudyReportFile) + ".tmp0");
    for (int i = 1; std::filesystem::exists(temp, ec); ++i)
      temp = folder / ("." + std::string(kStudyReportFile) + ".tmp" + std::to_string(i));
    const bool drawn = options.WriteReport(aggregate, temp, error);
    if (!drawn) {
      std::filesystem::remove(temp, ec);
      error = "the report " + report.string() + " was not written: " + error;
      return false;
    }
    for (auto& file : files) {
      if (!file->Publish(error)) {
        std::filesystem::remove(temp, ec);
        return false;
      }
    }
    std::filesystem::rename(temp, report, ec);
    if (ec) {
      std::filesystem::remove(temp, ec);
      error = "cannot write " + report.string() + ": " + ec.message();
      return false;
    }
    return true;
  }
  for (auto& file : files) {
    if (!file->Publish(error)) return false;
  }
  return true;
}

}  // namespace tarnwell
