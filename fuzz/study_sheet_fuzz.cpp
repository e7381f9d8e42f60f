// The study sheet as any spreadsheet (or any file named .CSV) may leave it: any bytes are
// read without a crash; the records keep their order of lines; a record written back with
// every field quoted reads back the same; a sheet that is accepted has only rows a study
// can use.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "study/study_sheet.h"

using namespace tarnwell;
using fuzz::Check;

namespace {

std::string Quoted(const std::string& field) {
  std::string out = "\"";
  for (char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char separator : {',', ';'}) {
    const std::vector<CsvRecord> records = ParseCsvRecords(text, separator);
    int previousLine = 1;
    std::string written;
    for (const CsvRecord& r : records) {
      Check(r.Line >= previousLine && !r.Fields.empty());
      previousLine = r.Line;
      for (std::size_t i = 0; i < r.Fields.size(); ++i)
        written += (i ? std::string(1, separator) : "") + Quoted(r.Fields[i]);
      written += "\r\n";
    }
    const std::vector<CsvRecord> again = ParseCsvRecords(written, separator);
    Check(again.size() == records.size());
    for (std::size_t k = 0; k < records.size() && k < again.size(); ++k)
      Check(again[k].Fields == records[k].Fields);
  }
  StudySheet sheet;
  std::vector<SheetProblem> problems;
  const bool accepted = ParseStudySheet(text, "/nonexistent-study-folder", sheet, problems);
  Check(accepted == problems.empty());
  for (const SheetProblem& p : problems) Check(p.Line >= 0 && !p.Text.empty());
  if (accepted) {
    for (const StudySheetRow& row : sheet.Rows) {
      Check(row.Line >= 1 && !row.FileText.empty() && !row.Group.empty());
      Check(row.Goal >= 0 && row.Goal <= 4 && row.PreviousGoal >= 0 && row.PreviousGoal <= 4);
      Check(row.Trial >= 0);
    }
  }
  return 0;
}
