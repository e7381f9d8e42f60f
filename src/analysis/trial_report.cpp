#include "analysis/trial_report.h"

#include <algorithm>
#include <cctype>
#include <charconv>
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

// One number of the report: an entry count, or a measure with the decimals it is shown
// with (a single's measure is held exactly in the double and formatted as a single).
struct ReportValue {
  enum class Kind { Count, Single, Double } kind = Kind::Count;
  int64_t count = 0;
  double measure = 0.0;
  int decimals = 0;
};

ReportValue Count(int64_t count) {
  return {ReportValue::Kind::Count, count, 0.0, 0};
}
ReportValue Single(float measure, int decimals) {
  return {ReportValue::Kind::Single, 0, measure, decimals};
}
ReportValue Double(double measure, int decimals) {
  return {ReportValue::Kind::Double, 0, measure, decimals};
}

// The text the layout aligns; the record holds the same digits.
std::string ValueText(const ReportValue& value) {
  if (value.kind == ReportValue::Kind::Count) return FormatGeneral(value.count);
  if (value.kind == ReportValue::Kind::Single)
    return FormatFixed(static_cast<float>(value.measure), value.decimals);
  return FormatFixed(value.measure, value.decimals);
}

// The table record: texts quoted, numbers with the locale's decimal separator, every
// value followed by the list separator. A table composes one per trial, so every value
// is written straight into the one record.
class RecordBuilder {
 public:
  // `expectedSize` is reserved: the record is kept with its trial, and one reserve for
  // every record would either grow some or leave most half empty.
  RecordBuilder(const NumberLocale& locale, std::size_t expectedSize)
      : decimalSeparator_(locale.decimalSeparator), separator_(ReportListSeparator(locale)) {
    record_.reserve(expectedSize);
  }

  void AddText(std::string_view text) {
    record_ += '"';
    const std::size_t start = record_.size();
    record_ += text;
    // A double quote inside a label would end the quoted value early and shift every
    // later column; it is written as an apostrophe, as the experiment file does.
    std::replace(record_.begin() + static_cast<std::ptrdiff_t>(start), record_.end(), '"', '\'');
    record_ += '"';
    record_ += separator_;
  }
  void AddNumber(std::string_view formatted) {
    const std::size_t start = record_.size();
    record_ += Trim(formatted, " ");
    EndNumber(start);
  }
  void AddValue(const ReportValue& value) {
    const std::size_t start = record_.size();
    switch (value.kind) {
      case ReportValue::Kind::Count: {
        std::array<char, 24> digits;
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value.count).ptr;
        record_.append(digits.data(), end);
        break;
      }
      case ReportValue::Kind::Single:
        AppendFixed(record_, static_cast<float>(value.measure), value.decimals);
        break;
      case ReportValue::Kind::Double:
        AppendFixed(record_, value.measure, value.decimals);
        break;
    }
    EndNumber(start);
  }
  std::string Finish() {
    record_ += kLineEnd;
    return std::move(record_);
  }

 private:
  void EndNumber(std::size_t start) {
    if (decimalSeparator_ != '.')
      std::replace(record_.begin() + static_cast<std::ptrdiff_t>(start), record_.end(), '.',
                   decimalSeparator_);
    record_ += separator_;
  }

  char decimalSeparator_;
  char separator_;
  std::string record_;
};

// The text layout; a table needs only the record, and then the layout is not built.
class BlockBuilder {
 public:
  explicit BlockBuilder(bool wanted) : wanted_(wanted) {
    if (wanted_) block_.reserve(2048);
  }
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

// One measure on a line of its own: the caption, then the value aligned in column 7.
void MeasureLine(BlockBuilder& block, RecordBuilder& record, std::string_view caption,
                 const ReportValue& value) {
  record.AddValue(value);
  if (block.Wanted()) block.Line(std::string(caption) + AlignDecimal(ValueText(value), 7));
}

// One table row of four values: the label, then each value aligned in its column; the
// record gets the same texts.
void ValueRow(BlockBuilder& block, RecordBuilder& record, std::string_view label,
              const std::array<ReportValue, 4>& values, int firstWidth, int otherWidth,
              std::string_view otherPrefix = "") {
  for (const ReportValue& value : values) record.AddValue(value);
  if (!block.Wanted()) return;
  std::string line(label);
  for (size_t column = 0; column < values.size(); ++column) {
    if (column > 0) line += otherPrefix;
    line += AlignDecimal(ValueText(values[column]), column == 0 ? firstWidth : otherWidth);
  }
  block.Line(line);
}

template <typename F>
std::array<ReportValue, 4> FourValues(F valueOf) {
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
  const int rings =
      context.Pool.NumRings >= 1 && context.Pool.NumRings <= kMaxRings ? context.Pool.NumRings : 0;
  // Some six characters a number with its separator (most are "0.0," to "123.45,"); the
  // texts are quoted.
  const std::size_t recordNumbers = 4 + 20 + 12 * static_cast<std::size_t>(rings) + 2;
  RecordBuilder record(context.Locale, 6 * recordNumbers + dataFileName.size() + label.size() + 32);

  std::string startText, timeText, stopText;
  if (context.EpochEnabled) {
    startText = EpochGeneralText(context.EpochStart);
    timeText = EpochGeneralText(context.EpochTime);
    stopText = EpochGeneralText(context.EpochStop);
    record.AddText("Epoch");
    record.AddNumber(startText);
    record.AddNumber(timeText);
  }
  record.AddText(dataFileName);

  const std::string status = FinishStatusText(result.FinishStatus);
  if (withBlock) block.Line("Subject Label:" + PadLeft(label, 16));
  record.AddText(label);
  if (withBlock) block.Line("Trial was ended by:" + PadLeft(status, 11));
  record.AddText(status);
  // Only a track that cannot be trusted says so; a clean trial's report is unchanged.
  if (withBlock && result.Tracking.IsSuspect()) block.Line(SuspectTrackingText(result.Tracking));

  const double latency =
      context.SampleRate > 0 ? static_cast<double>(result.LatencySamples) / context.SampleRate : 0.0;
  MeasureLine(block, record, "Latency (in seconds):", Double(Finite(latency), 2));
  MeasureLine(block, record, "Path Length (in cms):", Single(Finite(m.PathLength), 1));
  if (m.AngleValid) {
    MeasureLine(block, record, "Initial Angle (degs):", Single(Finite(m.InitialAngle), 1));
  } else {
    if (withBlock) block.Line("Initial Angle (degs):" + AlignDecimal("Undefined", 7));
    record.AddNumber("Undefined");
  }
  MeasureLine(block, record, "     @cms from start:", Count(context.DistFromStart));

  if (withBlock && context.EpochEnabled) {
    std::string line =
        PadRight("Epoch Start:" + AlignDecimal(startText, 4), 19) + "Time:" + AlignDecimal(timeText, 4);
    line = PadRight(line, 31) + "Stop:" + AlignDecimal(stopText, 4);
    block.Line(line);
  }

  // Platform counters: times are kept in samples and reported in seconds. The division
  // is a single's, as the stored value is.
  const std::string ruler = withBlock ? Ruler() : std::string();
  constexpr std::string_view barLine = "               |";
  if (withBlock) block.Line("Counters" + ruler);
  block.Line(barLine);
  const auto& c = m.Counters;
  const float rate = static_cast<float>(context.SampleRate);
  ValueRow(block, record, " Entries:      |", FourValues([&](int i) { return Count(c[i].Entries); }), 7, 7,
           "    ");
  ValueRow(block, record, " Time (sec):   |", FourValues([&](int i) {
             return Single(context.SampleRate > 0 ? Finite(c[i].Time / rate) : 0.0f, 2);
           }),
           7, 8);
  ValueRow(block, record, " Path (cm):    |", FourValues([&](int i) { return Single(Finite(c[i].Path), 1); }),
           7, 9);
  ValueRow(block, record, " Proximity avg.|",
           FourValues([&](int i) { return Single(Finite(c[i].ProximityAvg), 1); }), 7, 9);
  ValueRow(block, record, " Cumulative    |",
           FourValues([&](int i) { return Single(Finite(c[i].Cumulative), 1); }), 7, 9);

  block.Line("");
  block.Line("Zones");
  const auto zones = ReportedZones(m, context.Pool);
  for (int r = 0; r < rings; ++r) {
    const auto& ring = zones[static_cast<size_t>(r)];
    if (withBlock) block.Line(std::string(8, ' ') + ruler);
    block.Line(barLine);
    ValueRow(block, record, "          (#): |", FourValues([&](int q) { return Count(ring[q].Entries); }), 7,
             11);
    char timeLabel[] = " Ring A (sec): |";
    timeLabel[6] = static_cast<char>('A' + r);
    ValueRow(block, record, timeLabel, FourValues([&](int q) { return Single(Finite(ring[q].Time), 2); }), 7,
             8);
    ValueRow(block, record, "         (cm): |",
             FourValues([&](int q) { return Single(Finite(ring[q].Path), 1); }), 7, 9);
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
