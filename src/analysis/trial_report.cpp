#include "analysis/trial_report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "records/experiment_files.h"
#include "analysis/epoch.h"
#include "analysis/tracking_quality.h"
#include "core/file_access.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Layout widths count characters as the reader sees them: a UTF-8 label such as "Ratté"
// takes five columns, not six bytes.
int CharacterCount(std::string_view s) {
  return static_cast<int>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A label or file name is shown on one line of the layout and is one value of the record:
// a line break or other control character inside it (a record written by another program
// may hold any bytes) would split the record, so it is shown as a blank.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return out;
}

// A measure that went wrong upstream must not put "NaN" or "Infinity" into a published
// table: it is reported as 0.
float Finite(float value) {
  return std::isfinite(value) ? value : 0.0f;
}
double Finite(double value) {
  return std::isfinite(value) ? value : 0.0;
}

// The ruler of the counters and zone tables: underscores with the column numbers placed
// over the last integer digit of each column.
std::string Ruler() {
  return std::string(13, '_') + "1" + std::string(9, '_') + "2" + std::string(9, '_') + "3" +
         std::string(9, '_') + "4" + std::string(6, '_');
}

// The table record: texts quoted, numbers with the locale's decimal separator, every
// value followed by the list separator.
class RecordBuilder {
 public:
  explicit RecordBuilder(const NumberLocale& locale)
      : locale_(locale), separator_(ReportListSeparator(locale)) {}

  void AddText(std::string_view text) {
    // A double quote inside a label would end the quoted value early and shift every
    // later column; it is written as an apostrophe, as the experiment file does.
    std::string quoted(text);
    std::replace(quoted.begin(), quoted.end(), '"', '\'');
    record_ += '"' + quoted + '"' + separator_;
  }
  void AddNumber(std::string_view formatted) {
    record_ += WithDecimalSeparator(std::string(Trim(formatted, " ")), locale_) + separator_;
  }
  std::string Finish() { return record_ + std::string(kLineEnd); }

 private:
  NumberLocale locale_;
  char separator_;
  std::string record_;
};

// The text layout; a table needs only the record, and then the layout is not built.
class BlockBuilder {
 public:
  explicit BlockBuilder(bool wanted) : wanted_(wanted) {}
  bool Wanted() const { return wanted_; }
  void Line(std::string_view text) {
    if (!wanted_) return;
    block_ += text;
    block_ += kLineEnd;
  }
  std::string Finish() { return std::move(block_); }

 private:
  bool wanted_;
  std::string block_;
};

// One table row of four values: the label, then each value aligned in its column; the
// record gets the same texts.
void ValueRow(BlockBuilder& block, RecordBuilder& record, std::string_view label,
              const std::array<std::string, 4>& values, int firstWidth, int otherWidth,
              std::string_view otherPrefix = "") {
  if (!block.Wanted()) {
    for (const std::string& value : values) record.AddNumber(value);
    return;
  }
  std::string line(label);
  for (size_t column = 0; column < values.size(); ++column) {
    if (column > 0) line += otherPrefix;
    line += AlignDecimal(values[column], column == 0 ? firstWidth : otherWidth);
    record.AddNumber(values[column]);
  }
  block.Line(line);
}

template <typename F>
std::array<std::string, 4> FourValues(F valueOf) {
  return {valueOf(0), valueOf(1), valueOf(2), valueOf(3)};
}

}  // namespace

std::string PadLeft(std::string_view s, int width) {
  const int count = CharacterCount(s);
  std::string out;
  if (count < width) out.assign(static_cast<size_t>(width - count), ' ');
  out += s;
  return out;
}

std::string PadRight(std::string_view s, int width) {
  std::string out(s);
  const int count = CharacterCount(s);
  if (count < width) out.append(static_cast<size_t>(width - count), ' ');
  return out;
}

std::string AlignDecimal(std::string_view s, int width) {
  std::string text(Trim(s, " "));
  std::replace(text.begin(), text.end(), ',', '.');
  const size_t point = text.find('.');
  if (point == std::string::npos) return PadLeft(text, width - 1);
  const int p = CharacterCount(std::string_view(text).substr(0, point)) + 1;
  return std::string(static_cast<size_t>(std::max(width - p, 0)), ' ') + text;
}

std::string FinishStatusText(int16_t finishStatus) {
  switch (finishStatus) {
    case kFinishHitGoal:
      return "Hit Goal";
    case kFinishTimedOut:
      return "Timed Out";
    case kFinishAborted:
      return "Aborted";
    default:
      return "Unknown";
  }
}

char ReportListSeparator(const NumberLocale& locale) {
  return locale.decimalSeparator == ',' ? ';' : ',';
}

std::filesystem::path WithReportExtension(const std::filesystem::path& reportPath,
                                          std::string_view extension) {
  std::string name = reportPath.filename().string();
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  name += '.';
  name += extension;
  return reportPath.parent_path() / name;
}

TrialReportContext MakeTrialReportContext(const AnalysisSettings& settings, std::string dataFileName,
                                          std::string subjectLabel, const NumberLocale& locale) {
  TrialReportContext context;
  context.DataFileName = std::move(dataFileName);
  context.SubjectLabel = std::move(subjectLabel);
  context.Pool = settings.Pool;
  context.DistFromStart = settings.Experiment.DistFromStart;
  context.SampleRate = settings.SampleRate();
  context.EpochEnabled = settings.EpochEnabled;
  context.EpochStart = settings.EpochStart;
  context.EpochTime = settings.EpochTime;
  context.EpochStop = settings.EpochStop;
  context.Locale = locale;
  return context;
}

TrialReportContext MakeLiveTrialReportContext(const PoolSetup& pool, const ExperimentSetup& experiment,
                                              const SystemSettings& system, int subjectIndex,
                                              const NumberLocale& locale) {
  TrialReportContext context;
  context.DataFileName = DataFileDisplayName(experiment.DataFile);
  if (subjectIndex >= 0 && static_cast<size_t>(subjectIndex) < experiment.SubjectIDs.size())
    context.SubjectLabel = experiment.SubjectIDs[static_cast<size_t>(subjectIndex)];
  context.Pool = pool;
  context.DistFromStart = experiment.DistFromStart;
  context.SampleRate = system.SampleRate;
  context.Locale = locale;
  return context;
}

std::array<std::array<ZoneCell, 4>, 4> ReportedZones(const TrialMeasures& measures, const PoolSetup& pool) {
  auto zones = measures.Zones;
  if (!pool.Quadrants) {
    for (auto& ring : zones) ring = {ring[3], ZoneCell{}, ZoneCell{}, ZoneCell{}};
  }
  return zones;
}

namespace {

TrialReport Compose(const TrialResult& result, const TrialReportContext& context, bool withBlock) {
  const TrialMeasures& m = result.Measures;
  const std::string dataFileName = OneLine(context.DataFileName);
  const std::string label = OneLine(context.SubjectLabel);
  BlockBuilder block(withBlock);
  RecordBuilder record(context.Locale);

  const std::string startText = EpochGeneralText(context.EpochStart);
  const std::string timeText = EpochGeneralText(context.EpochTime);
  const std::string stopText = EpochGeneralText(context.EpochStop);
  if (context.EpochEnabled) {
    record.AddText("Epoch");
    record.AddNumber(startText);
    record.AddNumber(timeText);
  }
  record.AddText(dataFileName);

  const std::string status = FinishStatusText(result.FinishStatus);
  block.Line("Subject Label:" + PadLeft(label, 16));
  record.AddText(label);
  block.Line("Trial was ended by:" + PadLeft(status, 11));
  record.AddText(status);
  // Only a track that cannot be trusted says so; a clean trial's report is unchanged.
  if (result.Tracking.IsSuspect()) block.Line(SuspectTrackingText(result.Tracking));

  const double latency =
      context.SampleRate > 0 ? static_cast<double>(result.LatencySamples) / context.SampleRate : 0.0;
  const std::string latencyText = FormatFixed(Finite(latency), 2);
  block.Line("Latency (in seconds):" + AlignDecimal(latencyText, 7));
  record.AddNumber(latencyText);

  const std::string pathText = FormatFixed(Finite(m.PathLength), 1);
  block.Line("Path Length (in cms):" + AlignDecimal(pathText, 7));
  record.AddNumber(pathText);

  const bool angleValid = m.AngleValid;
  const std::string angleText = angleValid ? FormatFixed(Finite(m.InitialAngle), 1) : "Undefined";
  block.Line("Initial Angle (degs):" + AlignDecimal(angleText, 7));
  if (angleValid) {
    record.AddNumber(angleText);
  } else {
    record.AddNumber("Undefined");
  }

  const std::string distanceText = FormatGeneral(context.DistFromStart);
  block.Line("     @cms from start:" + AlignDecimal(distanceText, 7));
  record.AddNumber(distanceText);

  if (context.EpochEnabled) {
    std::string line =
        PadRight("Epoch Start:" + AlignDecimal(startText, 4), 19) + "Time:" + AlignDecimal(timeText, 4);
    line = PadRight(line, 31) + "Stop:" + AlignDecimal(stopText, 4);
    block.Line(line);
  }

  // Platform counters: times are kept in samples and reported in seconds. The division
  // is a single's, as the stored value is.
  const std::string ruler = Ruler();
  const std::string barLine = std::string(15, ' ') + "|";
  block.Line("Counters" + ruler);
  block.Line(barLine);
  const auto& c = m.Counters;
  const float rate = static_cast<float>(context.SampleRate);
  ValueRow(block, record, " Entries:      |", FourValues([&](int i) { return FormatGeneral(c[i].Entries); }),
           7, 7, "    ");
  ValueRow(block, record, " Time (sec):   |", FourValues([&](int i) {
             return FormatFixed(context.SampleRate > 0 ? Finite(c[i].Time / rate) : 0.0f, 2);
           }),
           7, 8);
  ValueRow(block, record, " Path (cm):    |",
           FourValues([&](int i) { return FormatFixed(Finite(c[i].Path), 1); }), 7, 9);
  ValueRow(block, record, " Proximity avg.|",
           FourValues([&](int i) { return FormatFixed(Finite(c[i].ProximityAvg), 1); }), 7, 9);
  ValueRow(block, record, " Cumulative    |",
           FourValues([&](int i) { return FormatFixed(Finite(c[i].Cumulative), 1); }), 7, 9);

  block.Line("");
  block.Line("Zones");
  const auto zones = ReportedZones(m, context.Pool);
  const int rings =
      context.Pool.NumRings >= 1 && context.Pool.NumRings <= kMaxRings ? context.Pool.NumRings : 0;
  for (int r = 0; r < rings; ++r) {
    const auto& ring = zones[static_cast<size_t>(r)];
    block.Line(std::string(8, ' ') + ruler);
    block.Line(barLine);
    ValueRow(block, record, std::string(10, ' ') + "(#): |",
             FourValues([&](int q) { return FormatGeneral(ring[q].Entries); }), 7, 11);
    ValueRow(block, record, std::string(" Ring ") + static_cast<char>('A' + r) + " (sec): |",
             FourValues([&](int q) { return FormatFixed(Finite(ring[q].Time), 2); }), 7, 8);
    ValueRow(block, record, std::string(9, ' ') + "(cm): |",
             FourValues([&](int q) { return FormatFixed(Finite(ring[q].Path), 1); }), 7, 9);
    block.Line("");
  }

  return TrialReport{block.Finish(), record.Finish()};
}

}  // namespace

TrialReport ComposeTrialReport(const TrialResult& result, const TrialReportContext& context) {
  return Compose(result, context, true);
}

std::string ComposeTrialRecord(const TrialResult& result, const TrialReportContext& context) {
  return Compose(result, context, false).Record;
}

std::string ReportHeadingLine(std::string_view dataFileName) {
  return "Results of Experiment:" + PadLeft(OneLine(dataFileName), 8) + std::string(kLineEnd);
}

namespace {

// What a file held before an appended report: its bytes, ending with a line end.
std::string ExistingLines(const std::filesystem::path& file) {
  std::string text;
  if (!ReadWholeFile(file, text)) return {};
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += kLineEnd;
  return text;
}

bool WriteReportFile(const std::filesystem::path& file, std::string_view contents, Operator& op) {
  std::string error;
  if (WriteFileAtomically(file, contents, &error)) return true;
  ReportHandledError(op, 75, "Path/File access error (" + error + ")", "WriteTrialReport");
  return false;
}

}  // namespace

bool WriteTrialReport(const std::filesystem::path& reportPath, bool append, const TrialResult& result,
                      const TrialReportContext& context, Operator& op) {
  if (!FileExistsOrCanBeCreated(reportPath)) return false;
  // The record and the text twin must be two files: a report named like the table's
  // working name (PRN) or like its own twin (TXT) would overwrite one with the other.
  const std::string name = reportPath.filename().string();
  const size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : ToUpperAscii(name.substr(dot + 1));
  if (extension == "PRN" || extension == "TXT") {
    op.ShowMessage("The input and output files\ncannot be the same file.", "Warning",
                   MessageIcon::Exclamation);
    return false;
  }

  const TrialReport report = ComposeTrialReport(result, context);
  const std::filesystem::path textPath = ReportTextPath(reportPath);
  std::string text = append ? ExistingLines(textPath) : std::string();
  if (text.empty()) text = ReportHeadingLine(context.DataFileName);
  text += report.Block;
  std::string table = append ? ExistingLines(reportPath) : std::string();
  table += report.Record;

  if (!WriteReportFile(textPath, text, op)) return false;
  return WriteReportFile(reportPath, table, op);
}

}  // namespace tarnwell
