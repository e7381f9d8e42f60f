#include "import/track_readers.h"
#include "core/text.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "core/sha256.h"

namespace tarnwell {

namespace {

// A header cell as compared: lower case, blanks and quotes around it dropped.
std::string Key(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"' || s.back() == ':'))
    s.remove_suffix(1);
  return ToLowerAscii(s);
}

// The column whose header is one of `names`, or whose header starts with one of them
// followed by a blank or "(" (a unit: "x (cm)"); -1 for none.
int FindColumn(const std::vector<std::string>& header, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (Key(header[i]) == name) return static_cast<int>(i);
    }
  }
  for (std::string_view name : names) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      const std::string key = Key(header[i]);
      if (key.size() > name.size() && key.compare(0, name.size(), name) == 0 &&
          (key[name.size()] == ' ' || key[name.size()] == '('))
        return static_cast<int>(i);
    }
  }
  return -1;
}

std::string Quoted(std::string_view s) {
  return "\"" + std::string(s) + "\"";
}

struct Columns {
  int time = -1, x = -1, y = -1;
};

void AddProblem(std::vector<ImportProblem>& problems, const ImportedTrack& track, int line, std::string detail) {
  problems.push_back({track.SourceFile, line, std::move(detail)});
}

std::string CellOf(const CellRow& row, int column) {
  return column >= 0 && static_cast<std::size_t>(column) < row.Cells.size() ? row.Cells[column] : std::string();
}

bool RowIsBlank(const CellRow& row) {
  return std::all_of(row.Cells.begin(), row.Cells.end(), [](const std::string& c) { return Key(c).empty(); });
}

// Reads the sample rows from `first` on with the given columns. A missing x or y makes
// the sample missing; a time that is missing or not a number is a problem, for a
// sample without a time has no place in the track.
bool ReadSampleRows(const CellTable& rows, std::size_t first, const Columns& columns, bool clockTimes,
                    ImportedTrack& track, std::vector<ImportProblem>& problems, std::string_view timeName,
                    std::string_view xName, std::string_view yName) {
  const std::size_t before = problems.size();
  for (std::size_t r = first; r < rows.size(); ++r) {
    const CellRow& row = rows[r];
    if (RowIsBlank(row)) continue;
    if (problems.size() - before >= 5) break;  // enough to show what is wrong
    const std::string timeCell = CellOf(row, columns.time);
    double time = 0.0;
    if (!(clockTimes ? ParseTimeCell(timeCell, time) : ParseCellNumber(timeCell, time))) {
      AddProblem(problems, track, row.Line,
                 "the " + std::string(timeName) + " " + Quoted(timeCell) + " is not a number of seconds");
      continue;
    }
    double x = 0.0, y = 0.0;
    bool missing = false;
    const std::pair<std::string_view, std::string> coordinates[2] = {{xName, CellOf(row, columns.x)},
                                                                     {yName, CellOf(row, columns.y)}};
    bool bad = false;
    for (int k = 0; k < 2; ++k) {
      const std::string& cell = coordinates[k].second;
      double& value = k == 0 ? x : y;
      if (ParseCellNumber(cell, value)) continue;
      if (IsMissingCell(cell)) {
        missing = true;
        continue;
      }
      AddProblem(problems, track, row.Line,
                 "the " + std::string(coordinates[k].first) + " " + Quoted(cell) + " is not a number");
      bad = true;
    }
    if (bad) continue;
    track.Time.push_back(time);
    track.X.push_back(missing ? 0.0 : x);
    track.Y.push_back(missing ? 0.0 : y);
    track.Missing.push_back(missing);
    track.Line.push_back(row.Line);
  }
  return problems.size() == before;
}

// A unit named in a header cell or a units row: cm, mm, m or pixels; true when known.
bool UnitOfText(std::string_view text, TrackUnit& unit, double& toSourceUnit) {
  std::string key = Key(text);
  if (const std::size_t open = key.find('('); open != std::string::npos) {
    const std::size_t close = key.find(')', open);
    key = key.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  }
  if (key == "cm") {
    unit = TrackUnit::Centimetres;
    toSourceUnit = 1.0;
  } else if (key == "mm") {
    unit = TrackUnit::Centimetres;
    toSourceUnit = 0.1;
  } else if (key == "m") {
    unit = TrackUnit::Centimetres;
    toSourceUnit = 100.0;
  } else if (key == "px" || key == "pixel" || key == "pixels" || key == "pix") {
    unit = TrackUnit::Pixels;
    toSourceUnit = 1.0;
  } else {
    return false;
  }
  return true;
}

void Scale(ImportedTrack& track, double factor) {
  if (factor == 1.0) return;
  for (double& v : track.X) v *= factor;
  for (double& v : track.Y) v *= factor;
}

std::string ColumnList(std::initializer_list<std::string_view> names) {
  std::string out;
  for (std::string_view n : names) out += (out.empty() ? "" : " or ") + Quoted(n);
  return out;
}

}  // namespace

bool ReadEthoVisionCells(const CellTable& rows, ImportedTrack& track, std::vector<ImportProblem>& problems) {
  track.YUp = true;
  track.Unit = TrackUnit::Centimetres;
  std::size_t firstRow = 0;
  while (firstRow < rows.size() && RowIsBlank(rows[firstRow])) ++firstRow;
  if (firstRow == rows.size()) {
    AddProblem(problems, track, 0, "the file is empty");
    return false;
  }
  const CellRow& top = rows[firstRow];
  double headerLines = 0.0;
  if (top.Cells.size() < 2 || Key(top.Cells[0]) != "number of header lines" ||
      !ParseCellNumber(top.Cells[1], headerLines) || headerLines != std::floor(headerLines)) {
    AddProblem(problems, track, top.Line,
               "an EthoVision export begins with \"Number of header lines:\" and a whole number");
    return false;
  }
  // The count includes the names row and the units row that end the header block.
  const int declared = static_cast<int>(headerLines);
  if (declared < 2 || static_cast<std::size_t>(declared) > rows.size() - firstRow) {
    AddProblem(problems, track, top.Line,
               "the header promises " + std::to_string(declared) + " header lines but the file has " +
                   std::to_string(rows.size() - firstRow) + " lines");
    return false;
  }
  const std::size_t namesRow = firstRow + static_cast<std::size_t>(declared) - 2;
  const std::size_t unitsRow = namesRow + 1;
  for (std::size_t r = firstRow; r < namesRow; ++r) {
    const CellRow& row = rows[r];
    if (row.Cells.size() < 2) continue;
    const std::string key = Key(row.Cells[0]);
    if (key == "animal id" || key == "subject" || key == "subject name" || key == "animal")
      track.Subject = std::string(Key(row.Cells[1]).empty() ? "" : row.Cells[1]);
  }
  const std::vector<std::string>& header = rows[namesRow].Cells;
  Columns columns;
  columns.time = FindColumn(header, {"trial time"});
  columns.x = FindColumn(header, {"x center", "x centre"});
  columns.y = FindColumn(header, {"y center", "y centre"});
  if (columns.time < 0 || columns.x < 0 || columns.y < 0) {
    std::string missing;
    if (columns.time < 0) missing += " \"Trial time\"";
    if (columns.x < 0) missing += " \"X center\"";
    if (columns.y < 0) missing += " \"Y center\"";
    AddProblem(problems, track, rows[namesRow].Line,
               "the header block ends here (\"Number of header lines: " + std::to_string(declared) +
                   "\") but this line lacks the column" + missing);
    return false;
  }
  double factor = 1.0;
  TrackUnit unit = TrackUnit::Centimetres;
  if (UnitOfText(CellOf(rows[unitsRow], columns.x), unit, factor)) track.Unit = unit;
  if (!ReadSampleRows(rows, unitsRow + 1, columns, false, track, problems, "trial time", "X center", "Y center"))
    return false;
  Scale(track, factor);
  return true;
}

bool ReadAnyMazeCells(const CellTable& rows, ImportedTrack& track, std::vector<ImportProblem>& problems) {
  track.YUp = true;
  track.Unit = TrackUnit::Centimetres;
  std::size_t headerRow = 0;
  while (headerRow < rows.size() && RowIsBlank(rows[headerRow])) ++headerRow;
  if (headerRow == rows.size()) {
    AddProblem(problems, track, 0, "the file is empty");
    return false;
  }
  const std::vector<std::string>& header = rows[headerRow].Cells;
  Columns columns;
  columns.time = FindColumn(header, {"time"});
  columns.x = FindColumn(header, {"centre position x", "center position x"});
  columns.y = FindColumn(header, {"centre position y", "center position y"});
  if (columns.time < 0 || columns.x < 0 || columns.y < 0) {
    AddProblem(problems, track, rows[headerRow].Line,
               "an ANY-maze export needs the columns \"Time\", \"Centre position X\" and \"Centre position Y\"");
    return false;
  }
  double factor = 1.0;
  TrackUnit unit = TrackUnit::Centimetres;
  if (UnitOfText(header[columns.x], unit, factor)) track.Unit = unit;
  if (!ReadSampleRows(rows, headerRow + 1, columns, true, track, problems, "time", "centre position X",
                      "centre position Y"))
    return false;
  Scale(track, factor);
  return true;
}

bool ReadPlainCsvCells(const CellTable& rows, const TrackReadOptions& options, ImportedTrack& track,
                       std::vector<ImportProblem>& problems) {
  std::size_t headerRow = 0;
  while (headerRow < rows.size() && RowIsBlank(rows[headerRow])) ++headerRow;
  if (headerRow == rows.size()) {
    AddProblem(problems, track, 0, "the file is empty");
    return false;
  }
  const std::vector<std::string>& header = rows[headerRow].Cells;
  const auto kTimeNames = {std::string_view("time_s"), std::string_view("time"), std::string_view("t"),
                               std::string_view("seconds")};
  const auto kXNames = {std::string_view("x_cm"), std::string_view("x_px"), std::string_view("x")};
  const auto kYNames = {std::string_view("y_cm"), std::string_view("y_px"), std::string_view("y")};
  Columns columns;
  columns.time = FindColumn(header, kTimeNames);
  columns.x = FindColumn(header, kXNames);
  columns.y = FindColumn(header, kYNames);
  if (columns.time < 0 || columns.x < 0 || columns.y < 0) {
    std::string missing;
    if (columns.time < 0) missing += "; time: " + ColumnList(kTimeNames);
    if (columns.x < 0) missing += "; x: " + ColumnList(kXNames);
    if (columns.y < 0) missing += "; y: " + ColumnList(kYNames);
    AddProblem(problems, track, rows[headerRow].Line, "the header row lacks a column" + missing);
    return false;
  }
  // The unit: the option, else the x column's name ("x_px", "x (cm)"), else centimetres.
  double factor = 1.0;
  TrackUnit unit = TrackUnit::Centimetres;
  const std::string xKey = Key(header[columns.x]);
  if (options.Unit) {
    unit = *options.Unit;
  } else if (xKey.size() > 2 && xKey[1] == '_') {
    UnitOfText(xKey.substr(2), unit, factor);
  } else {
    UnitOfText(xKey, unit, factor);
  }
  track.Unit = unit;
  track.YUp = unit == TrackUnit::Centimetres;
  if (!ReadSampleRows(rows, headerRow + 1, columns, true, track, problems, "time", "x", "y")) return false;
  Scale(track, factor);
  return true;
}

bool TrackFromDeepLabCutFrames(const DeepLabCutFrames& frames, const TrackReadOptions& options,
                               ImportedTrack& track, std::vector<ImportProblem>& problems) {
  track.Unit = TrackUnit::Pixels;
  track.YUp = false;
  // Parts in the order of the file.
  std::vector<std::string> parts;
  for (const std::string& part : frames.Parts) {
    if (std::find(parts.begin(), parts.end(), part) == parts.end()) parts.push_back(part);
  }
  auto partList = [&] {
    std::string list;
    for (const std::string& p : parts) list += (list.empty() ? "" : ", ") + p;
    return list;
  };
  std::vector<std::string> chosen = options.BodyParts;
  if (chosen.empty()) {
    if (parts.size() != 1) {
      AddProblem(problems, track, 0, "choose a body part with --bodypart (the file has " + partList() + ")");
      return false;
    }
    chosen = parts;
  }
  struct PartColumns {
    int x = -1, y = -1, likelihood = -1;
  };
  std::vector<PartColumns> columns;
  for (const std::string& name : chosen) {
    PartColumns c;
    for (std::size_t i = 0; i < frames.Parts.size() && i < frames.Coords.size(); ++i) {
      if (frames.Parts[i] != name) continue;
      const std::string coord = Key(frames.Coords[i]);
      if (coord == "x") c.x = static_cast<int>(i);
      if (coord == "y") c.y = static_cast<int>(i);
      if (coord == "likelihood") c.likelihood = static_cast<int>(i);
    }
    if (c.x < 0 || c.y < 0 || c.likelihood < 0) {
      AddProblem(problems, track, 0,
                 "no body part " + Quoted(name) + " with x, y and likelihood (the file has " + partList() + ")");
      return false;
    }
    columns.push_back(c);
  }
  if (!(options.FramesPerSecond > 0.0)) {
    AddProblem(problems, track, 0, "DeepLabCut frames carry no time: give the video's rate with --fps");
    return false;
  }
  track.BodyPart.clear();
  for (const std::string& name : chosen) track.BodyPart += (track.BodyPart.empty() ? "" : "+") + name;
  for (std::size_t f = 0; f < frames.Values.size(); ++f) {
    const std::vector<double>& row = frames.Values[f];
    double x = 0.0, y = 0.0;
    bool missing = false;
    for (const PartColumns& c : columns) {
      const auto at = [&](int i) {
        return static_cast<std::size_t>(i) < row.size() ? row[i] : std::nan("");
      };
      const double px = at(c.x), py = at(c.y), likelihood = at(c.likelihood);
      if (!(likelihood >= options.LikelihoodThreshold) || !std::isfinite(px) || !std::isfinite(py)) {
        missing = true;
        continue;
      }
      x += px;
      y += py;
    }
    const auto n = static_cast<double>(columns.size());
    track.Time.push_back(static_cast<double>(f) / options.FramesPerSecond);
    track.X.push_back(missing ? 0.0 : x / n);
    track.Y.push_back(missing ? 0.0 : y / n);
    track.Missing.push_back(missing);
    track.Line.push_back(f < frames.Lines.size() ? frames.Lines[f] : static_cast<int>(f) + 1);
  }
  return true;
}

bool ReadDeepLabCutCells(const CellTable& rows, const TrackReadOptions& options, ImportedTrack& track,
                         std::vector<ImportProblem>& problems) {
  std::size_t first = 0;
  while (first < rows.size() && RowIsBlank(rows[first])) ++first;
  if (first == rows.size()) {
    AddProblem(problems, track, 0, "the file is empty");
    return false;
  }
  const char* kNames[3] = {"scorer", "bodyparts", "coords"};
  for (int k = 0; k < 3; ++k) {
    const std::size_t r = first + static_cast<std::size_t>(k);
    if (r < rows.size() && k == 1 && !rows[r].Cells.empty() && Key(rows[r].Cells[0]) == "individuals") {
      AddProblem(problems, track, rows[r].Line,
                 "a multi-animal DeepLabCut file (\"individuals\" row): export one animal's track first");
      return false;
    }
    if (r >= rows.size() || rows[r].Cells.empty() || Key(rows[r].Cells[0]) != kNames[k]) {
      AddProblem(problems, track, r < rows.size() ? rows[r].Line : 0,
                 std::string("a DeepLabCut CSV has the header rows \"scorer\", \"bodyparts\" and \"coords\"; "
                             "expected \"") +
                     kNames[k] + "\" here");
      return false;
    }
  }
  const std::vector<std::string>& partRow = rows[first + 1].Cells;
  const std::vector<std::string>& coordRow = rows[first + 2].Cells;
  if (partRow.size() != coordRow.size() || partRow.size() < 4) {
    AddProblem(problems, track, rows[first + 2].Line, "the \"bodyparts\" and \"coords\" rows do not match");
    return false;
  }
  DeepLabCutFrames frames;
  frames.Parts.assign(partRow.begin() + 1, partRow.end());
  frames.Coords.assign(coordRow.begin() + 1, coordRow.end());
  const std::size_t before = problems.size();
  for (std::size_t r = first + 3; r < rows.size() && problems.size() - before < 5; ++r) {
    const CellRow& row = rows[r];
    if (RowIsBlank(row)) continue;
    if (row.Cells.size() != partRow.size()) {
      AddProblem(problems, track, row.Line,
                 "the row has " + std::to_string(row.Cells.size()) + " cells, the header " +
                     std::to_string(partRow.size()));
      continue;
    }
    std::vector<double> values(row.Cells.size() - 1);
    for (std::size_t i = 1; i < row.Cells.size(); ++i) {
      if (ParseCellNumber(row.Cells[i], values[i - 1])) continue;
      if (IsMissingCell(row.Cells[i])) {
        values[i - 1] = std::nan("");
        continue;
      }
      AddProblem(problems, track, row.Line,
                 "the " + frames.Parts[i - 1] + " " + frames.Coords[i - 1] + " " + Quoted(row.Cells[i]) +
                     " is not a number");
      break;
    }
    frames.Values.push_back(std::move(values));
    frames.Lines.push_back(row.Line);
  }
  if (problems.size() != before) return false;
  return TrackFromDeepLabCutFrames(frames, options, track, problems);
}

bool FinishImportedTrack(const TrackReadOptions& options, ImportedTrack& track, std::vector<ImportProblem>& problems) {
  if (options.YUp) track.YUp = *options.YUp;
  if (track.Size() == 0) {
    AddProblem(problems, track, 0, "the file holds no samples");
    return false;
  }
  for (std::size_t i = 1; i < track.Size(); ++i) {
    if (!(track.Time[i] > track.Time[i - 1])) {
      AddProblem(problems, track, track.Line[i],
                 "the time " + std::to_string(track.Time[i]) + " s does not follow the time before it (" +
                     std::to_string(track.Time[i - 1]) + " s)");
      return false;
    }
  }
  // A stored trial's time limit is at most 32767 s; a longer span is a wrong time column
  // (milliseconds, a clock time) and would ask for millions of stored samples.
  constexpr double kLongestTrialSeconds = 32767.0;
  if (track.Time.back() - track.Time.front() > kLongestTrialSeconds) {
    AddProblem(problems, track, track.Line.back(),
               "the track lasts " + std::to_string(track.Time.back() - track.Time.front()) +
                   " s; a trial lasts at most 32767 s (is the time column in seconds?)");
    return false;
  }
  if (std::all_of(track.Missing.begin(), track.Missing.end(), [](bool m) { return m; })) {
    AddProblem(problems, track, 0, "the animal is missing in every sample");
    return false;
  }
  return true;
}

bool ReadTrackText(std::string_view bytes, TrackFormat format, const TrackReadOptions& options,
                   ImportedTrack& track, std::vector<ImportProblem>& problems) {
  track.Format = format;
  track.Checksum = Sha256Hex(bytes);
  if (bytes.empty()) {
    AddProblem(problems, track, 0, "the file is empty");
    return false;
  }
  if (LooksBinary(bytes)) {
    AddProblem(problems, track, 0, "this is not a text export (binary bytes in it)");
    return false;
  }
  const CellTable rows = SplitDelimitedText(bytes, DetectSeparator(bytes));
  bool read = false;
  switch (format) {
    case TrackFormat::EthoVisionText:
    case TrackFormat::EthoVisionXlsx:
      read = ReadEthoVisionCells(rows, track, problems);
      break;
    case TrackFormat::AnyMaze:
      read = ReadAnyMazeCells(rows, track, problems);
      break;
    case TrackFormat::DeepLabCutCsv:
    case TrackFormat::DeepLabCutHdf5:
      read = ReadDeepLabCutCells(rows, options, track, problems);
      break;
    case TrackFormat::PlainCsv:
      read = ReadPlainCsvCells(rows, options, track, problems);
      break;
  }
  return read && FinishImportedTrack(options, track, problems);
}

}  // namespace tarnwell
