// The provenance record from any text: reading never fails other than by saying so, and
// whenever the quick reader of the written layout takes a text, the general reader takes
// it too and reads the same record (the quick one must never read damage differently).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "records/provenance.h"
#include "records/provenance_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ExperimentProvenance parsed;
  std::string problem;
  const bool read = ParseProvenance(text, parsed, &problem);
  fuzz::Check(read == problem.empty());
  ExperimentProvenance quick;
  if (ReadProvenanceAsWritten(text, quick)) {
    ExperimentProvenance general;
    fuzz::Check(ReadProvenanceInGeneral(text, general, nullptr));
    fuzz::Check(FormatProvenance(quick) == FormatProvenance(general));
    fuzz::Check(read && FormatProvenance(parsed) == FormatProvenance(general));
  }
  // What was read can always be written, and reads back as itself.
  const std::string written = FormatProvenance(parsed);
  ExperimentProvenance again;
  fuzz::Check(ParseProvenance(written, again) || !read);
  if (read) fuzz::Check(FormatProvenance(again) == written);
  return 0;
}
