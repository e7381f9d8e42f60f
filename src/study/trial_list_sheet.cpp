#include "study/trial_list_sheet.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "core/file_access.h"
#include "core/text.h"

namespace tarnwell {
namespace {

// Cells as spreadsheets write them: any white space around a value is padding.
std::string TrimSpace(std::string_view text) {
  return std::string(Trim(text, " \t\r\n\v\f"));
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

enum Column { kSubject, kGroup, kTreatment, kStartPosition, kColumnCount };
constexpr std::array<std::string_view, kColumnCount> kNames = {"subject", "group", "treatment", "start_position"};

}  // namespace

bool ParseTrialListSheet(std::string_view text, const std::vector<std::string>& subjectIds,
                         std::vector<TrialListEdit>& edits, std::vector<SheetProblem>& problems) {
  const size_t before = problems.size();
  edits.clear();
  const std::vector<CsvRecord> records = ParseCsvRecords(text, DetectCsvSeparator(text));
  auto blank = [](const CsvRecord& r) {
    return std::all_of(r.Fields.begin(), r.Fields.end(), [](const std::string& f) { return TrimSpace(f).empty(); });
  };
  auto header = std::find_if(records.begin(), records.end(), [&](const CsvRecord& r) { return !blank(r); });
  if (header == records.end()) {
    problems.push_back({0, "the trial list is empty: it needs a header row with the column subject"});
    return false;
  }
  std::array<int, kColumnCount> column;
  column.fill(-1);
  for (size_t i = 0; i < header->Fields.size(); ++i) {
    const std::string name = ToLowerAscii(TrimSpace(header->Fields[i]));
    if (name.empty()) continue;
    if (name == "platform_position") {
      problems.push_back({header->Line, "platform_position is recorded by the run (the experiment's active "
                                        "platform); leave the column out"});
      continue;
    }
    const auto known = std::find(kNames.begin(), kNames.end(), name);
    if (known == kNames.end()) {
      problems.push_back({header->Line, "unknown column " + Quoted(TrimSpace(header->Fields[i])) +
                                            " (the columns are subject, group, treatment, start_position)"});
      continue;
    }
    int& at = column[static_cast<size_t>(known - kNames.begin())];
    if (at >= 0) problems.push_back({header->Line, "the column " + Quoted(name) + " is given twice"});
    at = static_cast<int>(i);
  }
  if (column[kSubject] < 0) problems.push_back({header->Line, "the column \"subject\" is missing"});
  if (problems.size() != before) return false;

  std::map<std::string, int, std::less<>> lineOf;
  for (auto it = std::next(header); it != records.end(); ++it) {
    if (blank(*it)) continue;
    auto field = [&](Column c) -> std::optional<std::string> {
      const int at = column[c];
      if (at < 0) return std::nullopt;
      return static_cast<size_t>(at) < it->Fields.size() ? it->Fields[static_cast<size_t>(at)] : std::string();
    };
    TrialListEdit edit;
    edit.Subject = TrimSpace(*field(kSubject));
    if (edit.Subject.empty()) {
      problems.push_back({it->Line, "no subject given"});
      continue;
    }
    if (std::none_of(subjectIds.begin(), subjectIds.end(),
                     [&](const std::string& id) { return TrimSpace(id) == edit.Subject; })) {
      problems.push_back({it->Line, "subject " + Quoted(edit.Subject) + " is not one of the experiment's IDs"});
      continue;
    }
    const auto [first, fresh] = lineOf.try_emplace(edit.Subject, it->Line);
    if (!fresh) {
      problems.push_back({it->Line, "subject " + Quoted(edit.Subject) + " is listed on line " +
                                        std::to_string(first->second) + " already"});
      continue;
    }
    bool usable = true;
    for (const auto& [c, out] : {std::pair{kGroup, &edit.Group}, std::pair{kTreatment, &edit.Treatment},
                                 std::pair{kStartPosition, &edit.StartPosition}}) {
      const std::optional<std::string> value = field(c);
      if (!value) continue;
      std::string problem;
      *out = TrialListValue(*value, &problem);
      if (!problem.empty()) {
        problems.push_back({it->Line, std::string(kNames[c]) + " " + problem});
        usable = false;
      }
    }
    if (usable) edits.push_back(std::move(edit));
  }
  return problems.size() == before;
}

bool ReadTrialListSheet(const std::filesystem::path& file, const std::vector<std::string>& subjectIds,
                        std::vector<TrialListEdit>& edits, std::vector<SheetProblem>& problems) {
  std::string text;
  const auto found = FindExistingFile(file);
  if (!found || !ReadWholeFile(*found, text)) {
    problems.push_back({0, "cannot read " + file.string()});
    return false;
  }
  return ParseTrialListSheet(text, subjectIds, edits, problems);
}

}  // namespace tarnwell
