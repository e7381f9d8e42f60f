#include "records/record_conversion.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include "core/file_access.h"
#include "core/numbers.h"
#include "core/text.h"
#include "pool/pool_editor.h"
#include "pool/zones.h"

namespace tarnwell {

namespace {

// The run-time error number of an overflow in a conversion to a 16-bit integer.
constexpr int kOverflowError = 6;

// A value converts to 16 bits when it is a finite number that rounds (half to even) into
// -32768..32767; anything else is the overflow error.
bool FitsInt16(double value) {
  if (!std::isfinite(value)) return false;
  double rounded = std::floor(value);
  const double fraction = value - rounded;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
  return rounded >= -32768.0 && rounded <= 32767.0;
}

bool FitsFloat(double value) {
  return std::isfinite(value) && std::fabs(value) <= FLT_MAX;
}

bool IsRoundShape(char shape) {
  return shape == 'e' || shape == 'E';
}

struct Converted {
  ExperimentSetup experiment;
  PoolSetup pool;
  std::vector<std::string> ids;
};

// Converts into copies; 0 on success, else the error number.
int ConvertRecords(const LegacyExperimentRecord& record, const LegacyConfigRecord& config, Converted& out) {
  out.experiment.MaxTime = record.SecondsPerExperiment;
  out.experiment.ActivePlatform = record.ActivePlatform;
  out.experiment.DistFromStart = record.DistanceFromStart;
  out.ids.clear();
  for (const auto& id : record.SubjectIDs) {
    if (!id.empty()) out.ids.push_back(id);
  }

  PoolSetup& pool = out.pool;
  const auto& c = config.PoolCorners;
  const double centreX = (c[0] + c[2]) / 2.0;
  const double centreY = (c[1] + c[3]) / 2.0;
  const double radius = std::fabs(c[2] - c[0]) / 2.0;
  if (!FitsInt16(centreX) || !FitsInt16(centreY) || !FitsFloat(radius)) return kOverflowError;
  pool.X = CInt(centreX);
  pool.Y = CInt(centreY);
  pool.Radius = static_cast<float>(radius);
  pool.EquArea = config.RingRule != 'D' && config.RingRule != 'd';
  pool.NumRings = config.NumRings;
  pool.Quadrants = config.Quadrants >= 2;
  pool.Round = IsRoundShape(config.PoolShape);
  pool.ActualSizeX = config.ActualSizeX;
  pool.ActualSizeY = config.ActualSizeY;

  const double multiplier = static_cast<double>(config.CounterMultiplier) * 100.0;
  if (!FitsInt16(multiplier)) return kOverflowError;
  for (std::size_t i = 0; i < pool.Platforms.size(); ++i) {
    const LegacyPlatformRecord& stored = config.Platforms[i];
    PlatformSetup& platform = pool.Platforms[i];
    const auto& p = stored.Corners;
    const double x = pool.X + (p[0] + p[2]) / 2.0;
    const double y = pool.Y + (p[1] + p[3]) / 2.0;
    const double platformRadius = std::fabs(p[2] - p[0]) / 2.0;
    if (!FitsInt16(x) || !FitsInt16(y) || !FitsFloat(platformRadius)) return kOverflowError;
    platform.Round = IsRoundShape(stored.Shape);
    platform.X = CInt(x);
    platform.Y = CInt(y);
    platform.Radius = static_cast<float>(platformRadius);
    platform.CMultiplier = CInt(multiplier);
  }
  ComputeRingRadii(pool);
  return 0;
}

// The data file a converted record names: its folder, its name, extension EXP. A name that
// is empty or could leave the folder falls back to the record file's own name.
std::string DataFileFor(const std::filesystem::path& recordPath, const std::string& name) {
  std::string fileName = name;
  if (fileName.empty() || fileName == "." || fileName == ".." ||
      fileName.find_first_of("/\\") != std::string::npos)
    fileName = recordPath.stem().string();
  return (recordPath.parent_path() / (fileName + ".EXP")).string();
}

void ApplyConversion(Converted& converted, ExperimentSetup& experiment, PoolSetup& pool,
                     SubjectTable* toSubjectList) {
  experiment.MaxTime = converted.experiment.MaxTime;
  experiment.ActivePlatform = converted.experiment.ActivePlatform;
  experiment.DistFromStart = converted.experiment.DistFromStart;
  if (toSubjectList != nullptr) {
    toSubjectList->Fill(converted.ids);
    toSubjectList->RebuildSubjectIDs(experiment);
  } else {
    experiment.SubjectIDs = std::move(converted.ids);
    experiment.SubjectCount = static_cast<int16_t>(experiment.SubjectIDs.size());
  }
  pool = converted.pool;
}

// The active platform codes: 0 "OFF", 1..4, 5 "ALL".
constexpr int kLastActivePlatformCode = 5;

std::string RangeText(double minimum, double maximum) {
  return FormatGeneral(minimum) + " to " + FormatGeneral(maximum);
}

}  // namespace

std::string LegacyRecordRangeProblem(const LegacyExperimentRecord& experimentRecord,
                                     const LegacyConfigRecord& configRecord) {
  Converted converted;
  if (ConvertRecords(experimentRecord, configRecord, converted) != 0) return {};
  const ExperimentSetup& e = converted.experiment;
  const PoolSetup& pool = converted.pool;
  const auto outside = [](double value, double minimum, double maximum) {
    return !(value >= minimum && value <= maximum);
  };
  const auto problem = [](const std::string& field, double value, double minimum, double maximum) {
    return field + " " + FormatGeneral(value) + " (" + RangeText(minimum, maximum) + ")";
  };
  if (e.MaxTime < 1) return problem("Maximum time", e.MaxTime, 1, INT16_MAX);
  if (outside(e.ActivePlatform, 0, kLastActivePlatformCode))
    return problem("Active platform", e.ActivePlatform, 0, kLastActivePlatformCode);
  const double poolDiameter = 2.0 * pool.Radius;
  if (outside(poolDiameter, kPoolDiameterRange.Min, kPoolDiameterRange.Max))
    return problem("Pool diameter", poolDiameter, kPoolDiameterRange.Min, kPoolDiameterRange.Max);
  if (outside(pool.NumRings, kRingsRange.Min, kRingsRange.Max))
    return problem("Number of rings", pool.NumRings, kRingsRange.Min, kRingsRange.Max);
  if (outside(pool.ActualSizeX, kActualSizeRange.Min, kActualSizeRange.Max))
    return problem("Pool diameter cm", pool.ActualSizeX, kActualSizeRange.Min, kActualSizeRange.Max);
  if (outside(pool.ActualSizeY, kActualSizeRange.Min, kActualSizeRange.Max))
    return problem("Pool size cm in y", pool.ActualSizeY, kActualSizeRange.Min, kActualSizeRange.Max);
  for (std::size_t i = 0; i < pool.Platforms.size(); ++i) {
    const double diameter = 2.0 * pool.Platforms[i].Radius;
    if (outside(diameter, kPlatformDiameterRange.Min, kPlatformDiameterRange.Max))
      return problem("Platform " + std::to_string(i + 1) + " diameter", diameter, kPlatformDiameterRange.Min,
                     kPlatformDiameterRange.Max);
  }
  const int16_t multiplier = pool.Platforms[0].CMultiplier;
  if (outside(multiplier, kCounterMultiplierRange.Min, kCounterMultiplierRange.Max))
    return problem("Counter multiplier", multiplier, kCounterMultiplierRange.Min,
                   kCounterMultiplierRange.Max);
  return {};
}

void ShowUnusableRecordMessage(Operator& op, const std::filesystem::path& path, const std::string& problem,
                               const std::string& title) {
  op.ShowMessage(
      path.filename().string() + "\nholds a value no setup can have:\n" + problem + ".\nNothing was loaded.",
      title, MessageIcon::Exclamation, MessageButtons::Ok);
}

std::string ExperimentRecordName(std::string_view dataFile) {
  const std::size_t separator = dataFile.find_last_of("/\\");
  std::string_view name = separator == std::string_view::npos ? dataFile : dataFile.substr(separator + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

void BuildLegacyRecords(std::string_view name, const ExperimentSetup& experiment, const PoolSetup& pool,
                        const std::array<uint16_t, kRecordSubjects>& statusWords,
                        LegacyExperimentRecord& experimentRecord, LegacyConfigRecord& configRecord) {
  LegacyExperimentRecord record;
  record.Name = CutToStoredLength(name, kRecordNameLength);
  record.SecondsPerExperiment = experiment.MaxTime;
  record.ActivePlatform = experiment.ActivePlatform;
  record.DistanceFromStart = experiment.DistFromStart;
  record.StatusWords = statusWords;
  for (std::size_t k = 0; k < experiment.SubjectIDs.size() && k < record.SubjectIDs.size(); ++k)
    record.SubjectIDs[k] = CutToStoredLength(experiment.SubjectIDs[k], kRecordIdLength);

  LegacyConfigRecord config;
  config.PoolShape = pool.Round ? 'E' : 'S';
  config.NumRings = pool.NumRings;
  config.RingRule = pool.EquArea ? 'A' : 'D';
  config.Quadrants = pool.Quadrants ? 2 : 0;
  const double radius = pool.Radius;
  config.PoolCorners = {pool.X - radius, pool.Y - radius, pool.X + radius, pool.Y + radius};
  for (std::size_t i = 0; i < pool.Platforms.size(); ++i) {
    const PlatformSetup& platform = pool.Platforms[i];
    const double cx = platform.X - pool.X;
    const double cy = platform.Y - pool.Y;
    const double r = platform.Radius;
    config.Platforms[i].Shape = platform.Round ? 'E' : 'S';
    config.Platforms[i].Corners = {cx - r, cy - r, cx + r, cy + r};
  }
  config.CounterMultiplier = static_cast<float>(pool.Platforms[0].CMultiplier / 100.0);
  config.ActualSizeX = pool.ActualSizeX;
  config.ActualSizeY = pool.ActualSizeY;

  experimentRecord = std::move(record);
  configRecord = config;
}

bool ConvertLegacyTarnwellSetup(Operator& op, const LegacyExperimentRecord& experimentRecord,
                                const LegacyConfigRecord& configRecord, ExperimentSetup& experiment,
                                PoolSetup& pool, SubjectTable* toSubjectList) {
  Converted converted;
  const int error = ConvertRecords(experimentRecord, configRecord, converted);
  if (error != 0) {
    op.ShowMessage("Error " + std::to_string(error) + "\nin ConvertLegacyTarnwellSetup.", "Error",
                   MessageIcon::Critical, MessageButtons::Ok);
    return false;
  }
  ApplyConversion(converted, experiment, pool, toSubjectList);
  return true;
}

bool ConvertLegacyExperimentFile(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                                 PoolSetup& pool, SubjectTable* toSubjectList, const std::string& title) {
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(path, record, config)) return false;
  if (const std::string problem = LegacyRecordRangeProblem(record, config); !problem.empty()) {
    ShowUnusableRecordMessage(op, path, problem, title);
    return false;
  }
  if (!ConvertLegacyTarnwellSetup(op, record, config, experiment, pool, toSubjectList)) return false;
  experiment.DataFile = DataFileFor(path, record.Name);
  experiment.DataFileValid = FileExistsOrCanBeCreated(experiment.DataFile);
  return true;
}

std::optional<ExperimentRecord> ReadExperimentRecord(const std::filesystem::path& path) {
  const auto existing = FindExistingFile(path);
  std::string bytes;
  if (!existing || !ReadFirstBytes(*existing, kLegacySetupReadLimit, bytes)) return std::nullopt;
  return ParseExperimentRecord(path, bytes);
}

std::optional<ExperimentRecord> ParseExperimentRecord(const std::filesystem::path& path, std::string_view bytes) {
  ExperimentRecord result;
  const std::optional<RecordLayout> layout =
      ParseLegacySetup(bytes, path, result.Stored, result.StoredConfig);
  if (!layout) return std::nullopt;
  result.Layout = *layout;
  Converted converted;
  if (ConvertRecords(result.Stored, result.StoredConfig, converted) != 0) return std::nullopt;
  ApplyConversion(converted, result.Experiment, result.Pool, nullptr);
  result.Experiment.DataFile = DataFileFor(path, result.Stored.Name);
  result.Experiment.DataFileValid = FileExistsOrCanBeCreated(result.Experiment.DataFile);
  return result;
}

bool WriteExperimentRecord(const std::filesystem::path& path, const ExperimentSetup& experiment,
                           const PoolSetup& pool, std::string* error) {
  if (experiment.SubjectIDs.size() > static_cast<std::size_t>(kRecordSubjects)) {
    if (error != nullptr)
      *error = "an experiment file holds at most " + std::to_string(kRecordSubjects) +
               " subject IDs, this experiment has " + std::to_string(experiment.SubjectIDs.size());
    return false;
  }
  // An existing file under another spelling of the name is the one to replace.
  const std::filesystem::path target = FindExistingFile(path).value_or(path);
  std::array<uint16_t, kRecordSubjects> statusWords{};
  LegacyExperimentRecord existing;
  LegacyConfigRecord existingConfig;
  if (ReadLegacySetup(target, existing, existingConfig)) statusWords = existing.StatusWords;

  const std::string name =
      ExperimentRecordName(experiment.DataFile.empty() ? target.string() : experiment.DataFile);
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  BuildLegacyRecords(name, experiment, pool, statusWords, record, config);
  return WriteFileAtomically(target, EncodeExperimentRecord(record, config), error);
}

}  // namespace tarnwell
