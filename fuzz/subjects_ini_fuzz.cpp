// SUBJECTS.INI: any bytes fill the subject table without a crash, and the table writes
// a file whose IDs read back non-empty and no longer than 8 characters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "experiment/subject_table.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto ids = ParseSubjectsIni(text);
  SubjectTable table(size % 7 + 1);
  table.Fill(ids);
  ExperimentSetup experiment;
  table.RebuildSubjectIDs(experiment);
  if (experiment.SubjectIDs.size() != ids.size()) __builtin_trap();
  for (const auto& id : ParseSubjectsIni(FormatSubjectsIni(table))) {
    if (id.empty() || id.size() > kStoredSubjectIdLength) __builtin_trap();
  }
  if (!ids.empty()) {
    table.ClearRectangle(0, 0, 0, 0);
    table.Paste(1, 0, table.CopyRectangle(0, 0, table.Rows() - 1, table.Columns() - 1));
  }
  return 0;
}
