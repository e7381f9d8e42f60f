// tarnwell-cli save-all: every subject's report pair written beside its raw file (WEEK102.RAW
// gives WEEK102.TXT and WEEK102.CSV), as Save All does on the data screen. Existing pairs
// are replaced only with --yes; the files that could not be written are named and the
// command then fails.
#include <iostream>

#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "output/export.h"

namespace tarnwell::cli {

int RunSaveAll(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "save-all";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {}, {"--yes"}, error) || !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const std::filesystem::path dataFile = args.Positional()[0];
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
  ConsoleOperator op(args.Has("--yes"));
  ExportState exportState;
  const SaveAllResult result = SaveAllSubjects(state, exportState, op);
  for (const auto& file : result.written) std::cout << file.string() << "\n";
  std::cout.flush();
  switch (result.status) {
    case SaveAllStatus::Saved:
      return std::cout ? kExitOk : kExitFailure;
    case SaveAllStatus::Declined:
      return Failure(kCommand, "nothing written: the existing files were kept (--yes replaces them)");
    case SaveAllStatus::NoFiles:
      return Failure(kCommand, "no raw files " + DataFileStem(dataFile).filename().string() + "??.RAW in " +
                                   std::filesystem::absolute(dataFile).parent_path().string());
    case SaveAllStatus::Incomplete:
      return Failure(kCommand, std::to_string(result.failed.size()) + " file(s) could not be written");
  }
  return kExitFailure;
}

}  // namespace tarnwell::cli
