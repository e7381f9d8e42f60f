// tarnwell-cli trailmap: the experiment's tracks for Trailmap (stem + ".TXT", every subject
// side by side) and its arena file (stem + "Arena.WSP"), with the pool of the experiment's
// companion record. An existing track file is replaced only with --yes.
#include <iostream>

#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "core/file_access.h"
#include "output/trailmap_export.h"

namespace tarnwell::cli {

int RunTrailmap(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "trailmap";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {}, {"--yes"}, error) || !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const std::filesystem::path dataFile = args.Positional()[0];
  if (!FindExistingFile(dataFile)) return Failure(kCommand, "no data file " + dataFile.string());
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;

  ReanalysisState state;
  state.DataFile = dataFile;
  if (const int status = ApplyAnalysisOptions(kCommand, args, *program, state, std::cerr);
      status != kExitOk) {
    return status;
  }
  ConsoleOperator op(args.Has("--yes"));
  const TrailmapExportResult result = ExportTrailmapFiles(dataFile, state.Settings.Pool, op);
  switch (result.status) {
    case TrailmapExportStatus::NoData:
      return Failure(kCommand, "no raw files " + DataFileStem(dataFile).filename().string() + "??.RAW in " +
                                   std::filesystem::absolute(dataFile).parent_path().string());
    case TrailmapExportStatus::Declined:
      return Failure(kCommand,
                     "nothing written: " + result.textFile.string() + " was kept (--yes replaces it)");
    case TrailmapExportStatus::Exported:
      break;
  }
  if (result.textWritten) std::cout << result.textFile.string() << "\n";
  if (result.arenaWritten) std::cout << result.arenaFile.string() << "\n";
  std::cout.flush();
  if (!result.textWritten || !result.arenaWritten) return Failure(kCommand, "not every file was written");
  return std::cout ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
