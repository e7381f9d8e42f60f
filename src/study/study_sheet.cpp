#include "study/study_sheet.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>

#include "records/raw_track.h"
#include "core/file_access.h"
#include "core/text.h"

namespace tarnwell {

namespace {

constexpr std::array<std::string_view, 4> kKindNames = {"acquisition", "probe", "reversal", "visible"};

enum Column { kFile, kAnimal, kGroup, kDay, kTrial, kKind, kGoal, kPreviousGoal, kColumnCount };
constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "file", "animal", "group", "day", "trial", "kind", "goal", "previous_goal"};
constexpr std::array<Column, 4> kRequired = {kFile, kGroup, kDay, kKind};

std::string_view WithoutBom(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool EndsWithRaw(const std::string& name) {
  return name.size() >= 4 && ToLowerAscii(name.substr(name.size() - 4)) == ".raw";
}

std::string Quoted(std::string_view s) {
  return "\"" + std::string(s) + "\"";
}

}  // namespace

std::string_view TrialKindName(TrialKind kind) {
  return kKindNames[static_cast<size_t>(kind)];
}

std::optional<TrialKind> ParseTrialKind(std::string_view text) {
  const std::string name = ToLowerAscii(std::string(Trim(text)));
  for (size_t i = 0; i < kKindNames.size(); ++i) {
    if (name == kKindNames[i]) return static_cast<TrialKind>(i);
  }
  return std::nullopt;
}

std::string DescribeSheetProblem(const std::filesystem::path& sheet, const SheetProblem& problem) {
  const std::string name = sheet.filename().string();
  if (problem.Line <= 0) return name + ": " + problem.Text;
  return name + " line " + std::to_string(problem.Line) + ": " + problem.Text;
}

char DetectCsvSeparator(std::string_view text) {
  text = WithoutBom(text);
  int commas = 0, semicolons = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    commas += c == ',';
    semicolons += c == ';';
  }
  return semicolons > commas ? ';' : ',';
}

std::vector<CsvRecord> ParseCsvRecords(std::string_view text, char separator) {
  text = WithoutBom(text);
  std::vector<CsvRecord> records;
  CsvRecord record;
  std::string field;
  bool quoted = false;
  bool recordOpen = false;
  int line = 1;
  record.Line = 1;
  auto endRecord = [&] {
    record.Fields.push_back(std::move(field));
    field.clear();
    records.push_back(std::move(record));
    record = CsvRecord{};
    recordOpen = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!recordOpen) {
      record.Line = line;
      recordOpen = true;
    }
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == separator) {
      record.Fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRecord();
      ++line;
    } else {
      field += c;
    }
  }
  if (recordOpen) endRecord();
  return records;
}

bool ParseStudySheet(std::string_view text, const std::filesystem::path& folder, StudySheet& sheet,
                     std::vector<SheetProblem>& problems) {
  const size_t problemsBefore = problems.size();
  sheet.Rows.clear();
  const std::vector<CsvRecord> records = ParseCsvRecords(text, DetectCsvSeparator(text));
  auto blank = [](const CsvRecord& r) {
    return std::all_of(r.Fields.begin(), r.Fields.end(),
                       [](const std::string& f) { return std::string(Trim(f)).empty(); });
  };
  auto header = std::find_if(records.begin(), records.end(), [&](const CsvRecord& r) { return !blank(r); });
  if (header == records.end()) {
    problems.push_back({0, "the sheet is empty: it needs a header row with the columns " +
                               std::string("file, group, day and kind")});
    return false;
  }
  std::array<int, kColumnCount> position;
  position.fill(-1);
  for (size_t i = 0; i < header->Fields.size(); ++i) {
    const std::string name = ToLowerAscii(std::string(Trim(header->Fields[i])));
    if (name.empty()) continue;
    const auto known = std::find(kColumnNames.begin(), kColumnNames.end(), name);
    if (known == kColumnNames.end()) {
      problems.push_back({header->Line, "unknown column " + Quoted(std::string(Trim(header->Fields[i]))) +
                                            " (the columns are file, animal, group, day, trial, kind, goal, "
                                            "previous_goal)"});
      continue;
    }
    const auto column = static_cast<size_t>(known - kColumnNames.begin());
    if (position[column] >= 0) {
      problems.push_back({header->Line, "the column " + Quoted(name) + " is given twice"});
    }
    position[column] = static_cast<int>(i);
  }
  for (Column required : kRequired) {
    if (position[required] < 0) {
      problems.push_back({header->Line, "the column " + Quoted(kColumnNames[required]) + " is missing"});
    }
  }
  if (problems.size() != problemsBefore) return false;

  std::map<std::string, std::pair<std::string, int>, std::less<>> groupOfAnimal;
  for (auto it = std::next(header); it != records.end(); ++it) {
    const CsvRecord& record = *it;
    if (blank(record)) continue;
    auto field = [&](Column column) {
      const int at = position[column];
      return at >= 0 && static_cast<size_t>(at) < record.Fields.size() ? std::string(Trim(record.Fields[at]))
                                                                       : std::string();
    };
    const int line = record.Line;
    auto problem = [&](std::string textOfProblem) { problems.push_back({line, std::move(textOfProblem)}); };
    auto number = [&](Column column, int low, int high, int& out, bool required) {
      const std::string value = field(column);
      if (value.empty()) {
        if (required) problem("no " + std::string(kColumnNames[column]) + " given");
        return;
      }
      const auto parsed = WholeNumber(value);
      if (!parsed || *parsed < low || *parsed > high) {
        problem(std::string(kColumnNames[column]) + " " + Quoted(value) + " is not a whole number from " +
                std::to_string(low) + " to " + std::to_string(high));
        return;
      }
      out = *parsed;
    };

    StudySheetRow row;
    row.Line = line;
    row.FileText = field(kFile);
    row.Animal = field(kAnimal);
    row.Group = field(kGroup);
    if (row.FileText.empty()) {
      problem("no file given");
    } else {
      std::filesystem::path file(row.FileText);
      if (file.is_relative()) file = folder / file;
      row.IsRawFile = EndsWithRaw(row.FileText);
      if (row.IsRawFile) {
        if (const auto found = FindExistingFile(file)) {
          row.File = *found;
        } else {
          row.File = file;
          problem("no file " + row.FileText);
        }
      } else {
        row.File = file;
        if (ListNumberedRawFiles(file).empty()) {
          problem((FindExistingFile(file) ? row.FileText + " has no tracks" : "no file " + row.FileText) +
                  " (an experiment row needs its raw files " + DataFileStem(file).filename().string() +
                  "??.RAW)");
        }
      }
    }
    if (row.Group.empty()) problem("no group given");
    if (row.IsRawFile && row.Animal.empty()) problem("a row of one raw file needs its animal");
    // The animals of an experiment are its subjects: one name for all of them would make
    // every subject's trials one animal's.
    if (!row.IsRawFile && !row.FileText.empty() && !row.Animal.empty())
      problem("an experiment row takes its animals from the experiment's subject IDs: leave animal empty, or "
              "list the raw files one per row");
    number(kDay, 0, 100000, row.Day, true);
    number(kTrial, 1, 100000, row.Trial, false);
    number(kGoal, 1, 4, row.Goal, false);
    number(kPreviousGoal, 1, 4, row.PreviousGoal, false);
    const std::string kindText = field(kKind);
    if (const auto kind = ParseTrialKind(kindText)) {
      row.Kind = *kind;
    } else {
      problem("kind " + Quoted(kindText) + " is none of acquisition, probe, reversal, visible");
    }
    if (!row.Animal.empty() && !row.Group.empty()) {
      const auto [entry, inserted] = groupOfAnimal.try_emplace(row.Animal, row.Group, line);
      if (!inserted && entry->second.first != row.Group) {
        problem("animal " + Quoted(row.Animal) + " is in group " + Quoted(row.Group) + " here but in group " +
                Quoted(entry->second.first) + " on line " + std::to_string(entry->second.second));
      }
    }
    sheet.Rows.push_back(std::move(row));
  }
  if (sheet.Rows.empty() && problems.size() == problemsBefore) {
    problems.push_back({0, "the sheet lists no trials"});
  }
  return problems.size() == problemsBefore;
}

bool ReadStudySheet(const std::filesystem::path& file, StudySheet& sheet,
                    std::vector<SheetProblem>& problems) {
  sheet = StudySheet{};
  sheet.File = file;
  std::string text;
  const auto found = FindExistingFile(file);
  if (!found || !ReadWholeFile(*found, text)) {
    problems.push_back({0, "cannot read " + file.string()});
    return false;
  }
  return ParseStudySheet(text, std::filesystem::absolute(*found).parent_path(), sheet, problems);
}

bool ParseAnimalsSheet(std::string_view text, AnimalsSheet& animals, std::vector<SheetProblem>& problems) {
  const size_t before = problems.size();
  animals = AnimalsSheet{};
  const std::vector<CsvRecord> records = ParseCsvRecords(text, DetectCsvSeparator(text));
  auto blank = [](const CsvRecord& r) {
    return std::all_of(r.Fields.begin(), r.Fields.end(), [](const std::string& f) { return std::string(Trim(f)).empty(); });
  };
  auto header = std::find_if(records.begin(), records.end(), [&](const CsvRecord& r) { return !blank(r); });
  if (header == records.end()) {
    problems.push_back({0, "the animals sheet is empty: it needs a header row with the columns animal and group"});
    return false;
  }
  int animalColumn = -1, groupColumn = -1;
  std::vector<int> variableColumns;
  for (size_t i = 0; i < header->Fields.size(); ++i) {
    const std::string name = ToLowerAscii(std::string(Trim(header->Fields[i])));
    if (name == "animal" || name == "group") {
      int& column = name == "animal" ? animalColumn : groupColumn;
      if (column >= 0) problems.push_back({header->Line, "the column " + Quoted(name) + " is given twice"});
      column = static_cast<int>(i);
      continue;
    }
    if (name.empty()) {
      problems.push_back({header->Line, "column " + std::to_string(i + 1) + " has no name"});
      continue;
    }
    const bool taken = std::find(kColumnNames.begin(), kColumnNames.end(), name) != kColumnNames.end() ||
                       std::find(animals.Variables.begin(), animals.Variables.end(), name) != animals.Variables.end();
    if (taken) {
      problems.push_back({header->Line, "the column " + Quoted(name) + " is given twice or is a column of the study"});
      continue;
    }
    animals.Variables.push_back(name);
    variableColumns.push_back(static_cast<int>(i));
  }
  if (animalColumn < 0) problems.push_back({header->Line, "the column \"animal\" is missing"});
  if (groupColumn < 0) problems.push_back({header->Line, "the column \"group\" is missing"});
  if (problems.size() != before) return false;
  for (auto it = std::next(header); it != records.end(); ++it) {
    if (blank(*it)) continue;
    auto field = [&](int column) {
      return static_cast<size_t>(column) < it->Fields.size() ? std::string(Trim(it->Fields[static_cast<size_t>(column)]))
                                                             : std::string();
    };
    AnimalsSheet::Animal animal;
    animal.Line = it->Line;
    animal.Group = field(groupColumn);
    for (int column : variableColumns) animal.Values.push_back(field(column));
    const std::string id = field(animalColumn);
    if (id.empty()) {
      problems.push_back({it->Line, "no animal given"});
      continue;
    }
    if (animal.Group.empty()) problems.push_back({it->Line, "no group given for " + Quoted(id)});
    const auto [at, fresh] = animals.Animals.try_emplace(id, animal);
    if (!fresh) {
      problems.push_back({it->Line, "animal " + Quoted(id) + " is listed on line " + std::to_string(at->second.Line) +
                                        " already"});
    }
  }
  return problems.size() == before;
}

bool ReadAnimalsSheet(const std::filesystem::path& file, AnimalsSheet& animals, std::vector<SheetProblem>& problems) {
  std::string text;
  const auto found = FindExistingFile(file);
  if (!found || !ReadWholeFile(*found, text)) {
    problems.push_back({0, "cannot read " + file.string()});
    return false;
  }
  return ParseAnimalsSheet(text, animals, problems);
}

}  // namespace tarnwell
