// The binary experiment record: any bytes are refused or read, and what is read converts
// or is refused with the designed message; a record read in the current layout encodes
// back to bytes that read the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/scripted_operator.h"
#include "records/record_conversion.h"
#include "records/experiment_record.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (bool isExperimentFile : {true, false}) {
    LegacyExperimentRecord record;
    LegacyConfigRecord config;
    const auto layout = ParseLegacySetup(bytes, isExperimentFile, record, config);
    if (!layout) continue;
    if (*layout == RecordLayout::Current) {
      const std::string encoded = EncodeExperimentRecord(record, config);
      if (encoded.size() != kCurrentRecordLength) __builtin_trap();
      LegacyExperimentRecord record2;
      LegacyConfigRecord config2;
      if (ParseLegacySetup(encoded, isExperimentFile, record2, config2) != RecordLayout::Current)
        __builtin_trap();
      if (EncodeExperimentRecord(record2, config2) != encoded) __builtin_trap();
    }
    ScriptedOperator op;
    ExperimentSetup experiment;
    PoolSetup pool;
    SubjectTable table;
    const bool converted = ConvertLegacyTarnwellSetup(op, record, config, experiment, pool, &table);
    if (converted != op.Messages().empty()) __builtin_trap();
    if (converted && experiment.SubjectIDs.size() > static_cast<std::size_t>(kRecordSubjects))
      __builtin_trap();
  }
  return 0;
}
