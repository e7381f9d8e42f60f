#include "study/study_output.h"

#include <charconv>
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

// Buffered appends to a file replaced only on Commit.
class TableFile {
 public:
  bool Open(const std::filesystem::path& path, std::string& error) { return writer_.Open(path, &error); }
  std::string& Buffer() { return buffer_; }
  void FlushIfFull() {
    if (buffer_.size() >= (1u << 16)) Flush();
  }
  void Flush() {
    writer_.Append(buffer_);
    buffer_.clear();
  }
  bool Commit(std::string& error) {
    Flush();
    return writer_.Commit(&error);
  }

 private:
  AtomicFileWriter writer_;
  std::string buffer_;
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

std::string StudyTrialHeader() {
  std::string out = Join({"line", "animal", "group", "day", "trial", "kind", "goal", "previous_goal",
                          "status", "finish_status", "latency_samples", "latency_s", "path_cm", "speed_cm_s",
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
               "strategy",       "wall_time",
               "coverage",       "centre_distance",
               "annulus_time",   "corridor_time",
               "efficiency",     "cone_time",
               "goal_distance",  "spread",
               "seen_samples",   "tracking_samples",
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
  Integer(out, t.Day);
  Integer(out, t.Trial);
  Field(out, TrialKindName(t.Kind));
  Field(out, t.Goal > 0 ? std::to_string(t.Goal) : std::string());
  Field(out, t.PreviousGoal > 0 ? std::to_string(t.PreviousGoal) : std::string());
  Field(out, FinishStatusText(r.FinishStatus));
  Integer(out, r.FinishStatus);
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
  const StrategyFeatures& f = t.Features;
  for (double v : {f.WallTime, f.Coverage, f.CentreDistance}) Number(out, v);
  for (double v : {f.AnnulusTime, f.CorridorTime, f.Efficiency, f.ConeTime, f.GoalDistance})
    Optional(out, t.Goal > 0 ? std::optional<double>(v) : std::nullopt);
  Number(out, f.Spread);
  Integer(out, f.SeenSamples);
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
  EndRow(out);
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
  std::string out = Join({"group", "day", "kind", "measure", "n", "mean", "sd", "sem"});
  EndRow(out);
  for (const auto& [key, measures] : aggregate.Summary) {
    for (int i = 0; i < kSummaryMeasureCount; ++i) {
      KeyFields(out, key);
      Field(out, SummaryMeasureName(static_cast<SummaryMeasure>(i)));
      StatsFields(out, measures[static_cast<size_t>(i)]);
      EndRow(out);
    }
  }
  return out;
}

std::string ProbeSummaryText(const StudyAggregator& aggregate) {
  std::string out = Join({"group", "day", "role", "measure", "n", "mean", "sd", "sem"});
  EndRow(out);
  for (const auto& [key, roles] : aggregate.Probe) {
    for (int role = 0; role < 4; ++role) {
      for (int m = 0; m < kProbeMeasureCount; ++m) {
        Field(out, CsvText(key.Group));
        Integer(out, key.Day);
        Field(out, QuadrantRoleName(static_cast<QuadrantRole>(role)));
        Field(out, ProbeMeasureName(static_cast<ProbeMeasure>(m)));
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
  aggregate = StudyAggregator{};
  TableFile trials, probe;
  if (!trials.Open(folder / kStudyTrialsFile, error) || !probe.Open(folder / kStudyProbeFile, error))
    return false;
  trials.Buffer() = StudyTrialHeader();
  probe.Buffer() = ProbeHeader();
  const bool analysed = ForEachStudyTrial(
      sheet, options,
      [&](const StudyTrial& trial) {
        AppendStudyTrialRow(trials.Buffer(), trial, options);
        AppendProbeRows(probe.Buffer(), trial);
        trials.FlushIfFull();
        probe.FlushIfFull();
        aggregate.Add(trial);
        return true;
      },
      problems);
  if (!analysed) return false;
  if (!trials.Commit(error) || !probe.Commit(error)) return false;
  const std::pair<const char*, std::string> files[] = {
      {kStudySummaryFile, SummaryText(aggregate)},
      {kStudyProbeSummaryFile, ProbeSummaryText(aggregate)},
      {kStudyStrategiesFile, StrategyProportionsText(aggregate)},
      {kStudyThresholdsFile, StrategyThresholdsText(options.Thresholds)},
  };
  for (const auto& [name, text] : files) {
    if (!WriteFileAtomically(folder / name, text, &error)) return false;
  }
  return true;
}

}  // namespace tarnwell
