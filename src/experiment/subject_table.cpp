#include "experiment/subject_table.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <system_error>

#include "core/file_access.h"
#include "core/key_line.h"
#include "core/text.h"

namespace tarnwell {

namespace {

const std::string kEmpty;

std::vector<std::string_view> SplitOn(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

const std::string& SubjectTable::CellID(int row, int column) const {
  if (row < 0 || column < 0 || column >= columns_ || row >= Rows()) return kEmpty;
  return cells_[static_cast<std::size_t>(row) * columns_ + column];
}

std::string SubjectTable::CellText(int row, int column) const {
  const std::string& id = CellID(row, column);
  if (id.empty()) return std::string();
  return std::to_string(SubjectNumber(row, column)) + ") " + id;
}

void SubjectTable::CommitEntry(int row, int column, std::string_view entry) {
  if (row < 0 || column < 0 || column >= columns_) return;
  while (row >= Rows()) cells_.resize(cells_.size() + static_cast<std::size_t>(columns_));
  cells_[static_cast<std::size_t>(row) * columns_ + column] = std::string(Trim(entry));
}

void SubjectTable::ClearRectangle(int row1, int column1, int row2, int column2) {
  const int top = std::max(0, std::min(row1, row2));
  const int bottom = std::min(Rows() - 1, std::max(row1, row2));
  const int left = std::max(0, std::min(column1, column2));
  const int right = std::min(columns_ - 1, std::max(column1, column2));
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) cells_[static_cast<std::size_t>(r) * columns_ + c].clear();
  }
}

void SubjectTable::Fill(const std::vector<std::string>& ids) {
  Clear();
  int row = 0;
  int column = 0;
  for (const auto& id : ids) {
    CommitEntry(row, column, id);
    if (++column == columns_) {
      // The grid keeps an empty row below a full one, ready for the next ID.
      column = 0;
      ++row;
      CommitEntry(row, 0, "");
    }
  }
}

std::vector<std::string> SubjectTable::SubjectIDs() const {
  std::vector<std::string> ids;
  for (const auto& cell : cells_) {
    std::string id = std::string(Trim(cell));
    if (!id.empty()) ids.push_back(std::move(id));
  }
  return ids;
}

void SubjectTable::RebuildSubjectIDs(ExperimentSetup& experiment) const {
  experiment.SubjectIDs = SubjectIDs();
  experiment.SubjectCount =
      static_cast<int16_t>(std::min<std::size_t>(experiment.SubjectIDs.size(), INT16_MAX));
}

std::string SubjectTable::CopyRectangle(int row1, int column1, int row2, int column2) const {
  const int top = std::max(0, std::min(row1, row2));
  const int bottom = std::min(Rows() - 1, std::max(row1, row2));
  const int left = std::max(0, std::min(column1, column2));
  const int right = std::min(columns_ - 1, std::max(column1, column2));
  std::string text;
  for (int r = top; r <= bottom; ++r) {
    if (r > top) text += "\r\n";
    for (int c = left; c <= right; ++c) {
      if (c > left) text += '\t';
      text += CellID(r, c);
    }
  }
  return text;
}

void SubjectTable::Paste(int row, int column, std::string_view text) {
  if (row < 0 || column < 0 || column >= columns_) return;
  std::vector<std::string> lines = SplitLines(text);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto values = SplitOn(lines[i], '\t');
    for (std::size_t j = 0; j < values.size(); ++j) {
      const int c = column + static_cast<int>(j);
      if (c >= columns_) break;
      CommitEntry(row + static_cast<int>(i), c, values[j]);
    }
  }
}

std::string StripNumberPrefix(std::string_view cellText) {
  std::size_t i = 0;
  while (i < cellText.size() && cellText[i] == ' ') ++i;
  const std::size_t digitsStart = i;
  while (i < cellText.size() && cellText[i] >= '0' && cellText[i] <= '9') ++i;
  if (i > digitsStart && i < cellText.size() && cellText[i] == ')') {
    ++i;
    if (i < cellText.size() && cellText[i] == ' ') ++i;
    return std::string(Trim(cellText.substr(i)));
  }
  return std::string(Trim(cellText));
}

std::string FormatSubjectsIni(const SubjectTable& table) {
  std::string text;
  for (int r = 0; r < table.Rows(); ++r) {
    for (int c = 0; c < table.Columns(); ++c) {
      std::string id = CutToStoredLength(std::string(Trim(table.CellID(r, c))), kStoredSubjectIdLength);
      if (id.empty()) continue;
      std::replace(id.begin(), id.end(), '"', '\'');
      text +=
          "Row " + std::to_string(r + 1) + " Col " + std::to_string(c + 1) + " = " + QuoteValue(id) + "\r\n";
    }
  }
  return text;
}

std::vector<std::string> ParseSubjectsIni(std::string_view text, bool* more) {
  std::vector<std::string> ids;
  if (more != nullptr) *more = false;
  KeyLineReader reader;
  for (const auto& line : SplitLines(text)) {
    std::string id = StripNumberPrefix(reader.GetLineValue(line));
    if (id.empty()) continue;
    if (ids.size() == static_cast<std::size_t>(kMaxSubjects)) {
      if (more != nullptr) *more = true;
      break;
    }
    ids.push_back(std::move(id));
  }
  return ids;
}

bool SaveSubjectTable(const std::filesystem::path& iniPath, const SubjectTable& table) {
  return WriteFileAtomically(iniPath, FormatSubjectsIni(table));
}

namespace {

// A list of 100 IDs is a few kilobytes; a file far beyond that is something else.
constexpr std::uintmax_t kMaxSubjectsIniBytes = 256 * 1024;

enum class SubjectsIniKind { Missing, List, NoList };

struct SubjectsIniRead {
  SubjectsIniKind kind = SubjectsIniKind::Missing;
  std::vector<std::string> ids;
  bool more = false;  // further IDs beyond the first 100
  std::string problem;
};

// Control bytes other than line ends and tabs (a DOS end-of-file mark allowed) mean binary.
bool HoldsBinaryBytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n' && byte != 0x1A) || byte == 0x7F;
  });
}

SubjectsIniRead ReadSubjectsIniChecked(const std::filesystem::path& iniPath) {
  SubjectsIniRead read;
  const auto existing = FindExistingFile(iniPath);
  if (!existing) return read;
  const std::string name = existing->filename().string();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(*existing, ec);
  std::string text;
  if (ec || size > kMaxSubjectsIniBytes) {
    read.kind = SubjectsIniKind::NoList;
    read.problem = name + " is not a subject list\n(it is " +
                   (ec ? std::string("not a file") : std::to_string(size / 1024) + " KB long") + ").";
  } else if (!ReadWholeFile(*existing, text)) {
    read.kind = SubjectsIniKind::NoList;
    read.problem = name + " cannot be read.";
  } else if (HoldsBinaryBytes(text)) {
    read.kind = SubjectsIniKind::NoList;
    read.problem = name + " is not a subject list\n(it holds binary bytes).";
  }
  if (read.kind == SubjectsIniKind::NoList) {
    read.problem +=
        "\nIt was not read; the subjects of the\nexperiment setup are used, and the file\n"
        "is replaced when the subject list is saved.";
    return read;
  }
  read.kind = SubjectsIniKind::List;
  read.ids = ParseSubjectsIni(text, &read.more);
  if (read.more)
    read.problem = name + " lists more than " + std::to_string(kMaxSubjects) + " IDs.\nOnly the first " +
                   std::to_string(kMaxSubjects) + " are used: an experiment\nholds no more.";
  return read;
}

std::optional<std::vector<std::string>> ReadSubjectsIni(const std::filesystem::path& iniPath) {
  SubjectsIniRead read = ReadSubjectsIniChecked(iniPath);
  if (read.kind != SubjectsIniKind::List) return std::nullopt;
  return std::move(read.ids);
}

}  // namespace

std::string SubjectsIniProblem(const std::filesystem::path& iniPath) {
  return ReadSubjectsIniChecked(iniPath).problem;
}

bool LoadSubjectTable(const std::filesystem::path& iniPath, SubjectTable& table,
                      ExperimentSetup& experiment) {
  const SubjectsIniRead read = ReadSubjectsIniChecked(iniPath);
  if (read.kind == SubjectsIniKind::NoList) return false;
  table.Clear();
  if (read.kind == SubjectsIniKind::Missing) return false;
  table.Fill(read.ids);
  table.RebuildSubjectIDs(experiment);
  return true;
}

bool SubjectsIniHoldsAnId(const std::filesystem::path& iniPath) {
  const auto ids = ReadSubjectsIni(iniPath);
  return ids && !ids->empty();
}

std::vector<std::string> DefaultSubjectIDs() {
  return {"Subj. 1", "Subj. 2", "Subj. 3"};
}

bool PrepareSubjectTableAtStartUp(const std::filesystem::path& iniPath, SubjectTable& table,
                                  ExperimentSetup& experiment, std::string* notice) {
  const SubjectsIniRead read = ReadSubjectsIniChecked(iniPath);
  if (notice != nullptr) *notice = read.problem;
  if (read.kind != SubjectsIniKind::List || read.ids.empty()) {
    SubjectTable fresh(table.Columns());
    fresh.Fill(experiment.SubjectIDs.empty() ? DefaultSubjectIDs() : experiment.SubjectIDs);
    // A file that is no subject list is reported, never overwritten behind the operator's back.
    if (read.kind == SubjectsIniKind::NoList) {
      table = fresh;
      table.RebuildSubjectIDs(experiment);
      return true;
    }
    if (!SaveSubjectTable(iniPath, fresh)) {
      // The home folder is not writable: work with the table in memory.
      table = fresh;
      table.RebuildSubjectIDs(experiment);
      return false;
    }
  }
  return LoadSubjectTable(iniPath, table, experiment);
}

void ShowSubjectEditLockedMessage(Operator& op) {
  op.ShowMessage(
      "One or more data sets have\nalready been acquired for\nthis experiment.\n\nSubject IDs cannot be "
      "edited\nat "
      "this time.",
      "Editing subject IDs not allowed", MessageIcon::Exclamation, MessageButtons::Ok);
}

char StatusGridLetter(int state) {
  switch (state) {
    case 0:
      return 'G';
    case 1:
      return 'B';
    default:
      return 'W';
  }
}

StatusGridColour StatusGridColourOf(char letter) {
  switch (letter) {
    case 'G':
      return StatusGridColour::GreyText;
    case 'B':
      return StatusGridColour::Blue;
    default:
      return StatusGridColour::WindowText;
  }
}

std::string StatusGridCellText(int state, int subjectNumber, std::string_view id) {
  return std::string(1, StatusGridLetter(state)) + std::to_string(subjectNumber) + ") " + std::string(id);
}

}  // namespace tarnwell
