#include "import/imported_track.h"
#include "core/text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace tarnwell {

namespace {

struct FormatName {
  TrackFormat format;
  std::string_view name;
};
constexpr std::array<FormatName, 6> kFormatNames = {{
    {TrackFormat::EthoVisionText, "ethovision"},
    {TrackFormat::EthoVisionXlsx, "ethovision-xlsx"},
    {TrackFormat::AnyMaze, "anymaze"},
    {TrackFormat::DeepLabCutCsv, "dlc-csv"},
    {TrackFormat::DeepLabCutHdf5, "dlc-h5"},
    {TrackFormat::PlainCsv, "csv"},
}};

}  // namespace

std::string_view TrackFormatName(TrackFormat format) {
  for (const FormatName& entry : kFormatNames) {
    if (entry.format == format) return entry.name;
  }
  return "csv";
}

bool ParseTrackFormat(std::string_view text, TrackFormat& format) {
  const std::string name = ToLowerAscii(TrimStart(TrimEnd(text, " \t\"\r"), " \t\""));
  if (name == "dlc") {
    format = TrackFormat::DeepLabCutCsv;
    return true;
  }
  for (const FormatName& entry : kFormatNames) {
    if (name == entry.name) {
      format = entry.format;
      return true;
    }
  }
  return false;
}

TrackFormat GuessTrackFormat(std::string_view fileName, std::string_view firstBytes) {
  const std::string extension = ToLowerAscii(std::filesystem::path(std::string(fileName)).extension().string());
  if (extension == ".xlsx") return TrackFormat::EthoVisionXlsx;
  if (extension == ".h5" || extension == ".hdf5") return TrackFormat::DeepLabCutHdf5;
  std::string_view line = firstBytes.substr(0, firstBytes.find('\n'));
  if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  const std::string lower = ToLowerAscii(line);
  if (lower.find("number of header lines") != std::string::npos) return TrackFormat::EthoVisionText;
  if (ToLowerAscii(TrimStart(TrimEnd(line.substr(0, line.find_first_of(",;\t")), " \t\"\r"), " \t\"")) == "scorer") return TrackFormat::DeepLabCutCsv;
  if (lower.find("centre position") != std::string::npos || lower.find("center position") != std::string::npos)
    return TrackFormat::AnyMaze;
  return TrackFormat::PlainCsv;
}

std::string DescribeImportProblem(const ImportProblem& problem) {
  if (problem.Line <= 0) return problem.File + ": " + problem.Detail;
  return problem.File + " line " + std::to_string(problem.Line) + ": " + problem.Detail;
}

CellTable SplitDelimitedText(std::string_view text, char separator) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  CellTable rows;
  CellRow row;
  std::string cell;
  bool quoted = false;
  bool rowHasCells = false;
  int line = 1;
  row.Line = 1;
  auto endCell = [&] {
    row.Cells.push_back(std::move(cell));
    cell.clear();
    rowHasCells = true;
  };
  auto endRow = [&] {
    if (rowHasCells || !cell.empty()) endCell();
    rows.push_back(std::move(row));
    row = CellRow{};
    rowHasCells = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell.push_back('"');
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        cell.push_back(c);
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      rowHasCells = true;
    } else if (c == separator) {
      endCell();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    } else if (c == '\n' || c == '\r') {
      endRow();
      ++line;
      row.Line = line;
    } else {
      cell.push_back(c);
    }
  }
  if (rowHasCells || !cell.empty()) endRow();
  return rows;
}

char DetectSeparator(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int tabs = 0, semicolons = 0, commas = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    tabs += c == '\t';
    semicolons += c == ';';
    commas += c == ',';
  }
  if (tabs > semicolons && tabs > commas) return '\t';
  if (semicolons > commas) return ';';
  return ',';
}

bool LooksBinary(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, 4096);
  int control = 0;
  for (unsigned char c : head) {
    if (c == 0) return true;
    if (c < 0x20 && c != '\n' && c != '\r' && c != '\t') ++control;
  }
  return control * 20 > static_cast<int>(head.size()) && control > 2;
}

bool ParseCellNumber(std::string_view cell, double& value) {
  cell = TrimStart(TrimEnd(cell, " \t\"\r"), " \t\"");
  if (cell.empty()) return false;
  std::string text(cell);
  if (text.find(',') != std::string::npos) {
    if (text.find('.') != std::string::npos || text.find(',') != text.rfind(',')) return false;
    text[text.find(',')] = '.';
  }
  const char* begin = text.data();
  if (*begin == '+') ++begin;
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && std::isfinite(value);
}

bool IsMissingCell(std::string_view cell) {
  const std::string lower = ToLowerAscii(TrimStart(TrimEnd(cell, " \t\"\r"), " \t\""));
  return lower.empty() || lower == "-" || lower == "na" || lower == "nan" || lower == "null";
}

bool ParseTimeCell(std::string_view cell, double& seconds) {
  cell = TrimStart(TrimEnd(cell, " \t\"\r"), " \t\"");
  if (cell.find(':') == std::string_view::npos) return ParseCellNumber(cell, seconds);
  double total = 0.0;
  int parts = 0;
  while (true) {
    const std::size_t colon = cell.find(':');
    const std::string_view part = cell.substr(0, colon);
    double value = 0.0;
    if (!ParseCellNumber(part, value) || value < 0) return false;
    if (colon != std::string_view::npos && part.find_first_of(".,") != std::string_view::npos) return false;
    total = total * 60.0 + value;
    ++parts;
    if (colon == std::string_view::npos) break;
    cell.remove_prefix(colon + 1);
  }
  if (parts > 3) return false;
  seconds = total;
  return true;
}

}  // namespace tarnwell
