// tarnwell-cli analyse: rebuilds an experiment's tabulated data file from its raw files,
// as leaving the run screen does. Running the command is the operator's OK, so nothing is
// asked; --json also prints every subject's measures, one JSON object per line.
#include <iostream>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "analysis/reanalysis.h"
#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_run_support.h"
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
  ExperimentAnalysis analysis;
  if (const int status = PrepareExperimentAnalysis(kCommand, args, home, analysis); status != kExitOk)
    return status;
  ReanalysisState& state = analysis.state;
  ConsoleOperator op(/*answerYes=*/true);
  const std::filesystem::path table = TabulatedDataFile(analysis.dataFile);
  if (!BuildTabulatedDataFile(state, table, true, op, nullptr)) {
    return Failure(kCommand, "the tabulated data file " + table.string() + " was not written");
  }
  // Tracks that cannot be what a run records are analysed as they are, but never
  // without a word: an empty file reads as Aborted, a longer one as a latency beyond the limit.
  const int rate = state.Settings.SampleRate();
  const int64_t limit = static_cast<int64_t>(state.Settings.Experiment.MaxTime) * rate;
  for (const AnalysedTrial& trial : state.LastTable) {
    // The size as the analysis read it; asked again only of a file it could not read.
    std::error_code ec;
    const std::uintmax_t bytes =
        trial.RawFileRead ? trial.RawFileRead->Size : std::filesystem::file_size(trial.RawFile, ec);
    if (ec) continue;
    const std::string name = trial.RawFile.filename().string();
    if (bytes < 2) {
      std::cerr << "tarnwell-cli analyse: " << name << " holds "
                << (bytes == 0 ? "no sample" : "1 byte, no whole sample") << ": reported as Aborted\n";
    } else if (bytes % 2 != 0) {
      std::cerr << "tarnwell-cli analyse: " << name << " ends in half a sample (" << bytes
                << " bytes): its last byte is ignored\n";
    }
    if (limit > 0 && static_cast<int64_t>(bytes / 2) > limit + rate) {
      std::cerr << "tarnwell-cli analyse: " << name << " holds " << bytes / 2 << " samples, more than the "
                << state.Settings.Experiment.MaxTime << " s time limit allows (" << limit
                << "): it is not one trial of this experiment as recorded\n";
    }
  }
  // Tracks kept aside are not in the table; whoever analyses should know they exist.
  for (const std::filesystem::path& kept :
       ListRecoveredTracks(std::filesystem::absolute(analysis.dataFile), analysis.folder.get()))
    std::cerr << "tarnwell-cli analyse: recovered track not in the table: " << kept.string() << " ("
              << TrackSamples(kept) << " samples)\n";
  // Said once; the analysis went on without the record.
  if (!state.ProvenanceProblem.empty())
    std::cerr << "tarnwell-cli analyse: " << state.ProvenanceProblem << "\n";
  if (args.Has("--json")) {
    for (const AnalysedTrial& trial : state.LastTable) std::cout << TrialJson(trial, state) << "\n";
  } else {
    std::cout << table.string() << ": " << state.LastTable.size() << " trial"
              << (state.LastTable.size() == 1 ? "" : "s") << "\n";
  }
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
