// The experiment setup's text form and the checks fed from typed text: any bytes give
// the designed result and never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/scripted_operator.h"
#include "experiment/experiment_file.h"
#include "pool/pool_defaults.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  ExperimentSetup experiment;
  ReadExperimentTextLines(text, experiment);
  // What the reader promises: IDs are never empty, never longer than 64 bytes, counted.
  for (const auto& id : experiment.SubjectIDs) {
    if (id.empty() || id.size() > 64) __builtin_trap();
  }
  if (static_cast<std::size_t>(experiment.SubjectCount) != experiment.SubjectIDs.size() &&
      experiment.SubjectIDs.size() < 32767)
    __builtin_trap();

  // Whatever was read, writes as text that reads back to the same numbers and IDs
  // (quotes in IDs become apostrophes).
  ExperimentSetup again;
  ReadExperimentTextLines(FormatExperimentText(experiment), again);
  if (again.MaxTime != experiment.MaxTime || again.ActivePlatform != experiment.ActivePlatform ||
      again.DistFromStart != experiment.DistFromStart ||
      again.SubjectIDs.size() != experiment.SubjectIDs.size())
    __builtin_trap();

  ScriptedOperator op;
  PoolSetup pool = DefaultPool();
  pool.ActualSizeX = static_cast<int16_t>(size * 37);
  const std::string box = CheckDistanceFromStart(op, text.substr(0, 64), pool, experiment);
  if (op.Messages().size() > 2) __builtin_trap();
  (void)box;
  const int16_t code = ParseActivePlatformAnswer(text.substr(0, 64));
  if (code < 0 || code > 5) __builtin_trap();
  CheckTrialIDs(op, experiment);
  return 0;
}
