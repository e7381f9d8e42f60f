// tarnwell-cli analyse: rebuilds an experiment's tabulated data file from its raw files,
// as leaving the run screen does. Running the command is the operator's OK, so nothing is
// asked; --json also prints every subject's measures, one JSON object per line.
#include <iostream>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"

namespace tarnwell::cli {

int RunAnalyse(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "analyse";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {kPoolOption, kExperimentOption, kEpochOption}, {kArtifactFilterFlag, "--json"},
                  error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const std::filesystem::path dataFile = args.Positional()[0];
  // A mistyped name must not remove a table: a rebuild needs raw files to rebuild from.
  if (ListNumberedRawFiles(dataFile).empty()) {
    return Failure(kCommand, "no raw files " + DataFileStem(dataFile).filename().string() + "??.RAW in " +
                                 std::filesystem::absolute(dataFile).parent_path().string());
  }
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;

  ReanalysisState state;
  state.DataFile = dataFile;
  if (const int status = ApplyAnalysisOptions(kCommand, args, *program, state, std::cerr);
      status != kExitOk) {
    return status;
  }
  const CommandTempReport tempReport(program->home);
  state.TempReportPath = tempReport.Path();
  ConsoleOperator op(/*answerYes=*/true);
  const std::filesystem::path table = TabulatedDataFile(dataFile);
  if (!BuildTabulatedDataFile(state, table, true, op, nullptr)) {
    return Failure(kCommand, "the tabulated data file " + table.string() + " was not written");
  }
  if (args.Has("--json")) {
    for (const AnalysedTrial& trial : state.LastTable) std::cout << TrialJson(trial, state) << "\n";
  } else {
    std::cout << table.string() << ": " << state.LastTable.size() << " trial"
              << (state.LastTable.size() == 1 ? "" : "s") << "\n";
  }
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
