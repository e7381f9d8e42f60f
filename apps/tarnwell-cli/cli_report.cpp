// tarnwell-cli report: one trial analysed and written as the report pair NAME.TXT and
// NAME.CSV, as Save As does on the data screen. The trial belongs to the experiment its
// name says (WEEK102.RAW is subject 2 of WEEK1.EXP), whose companion record gives the
// analysis settings and the subject's label unless they are given.
#include <iostream>

#include "records/experiment_files.h"
#include "analysis/reanalysis.h"
#include "analysis/trial_report.h"
#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "core/file_access.h"

namespace tarnwell::cli {

int RunReport(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "report";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--out", kPoolOption, kExperimentOption, "--label", kEpochOption},
                  {kArtifactFilterFlag}, error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const auto out = args.Value("--out");
  if (!out || out->empty()) return UsageError(kCommand, "--out NAME is required");
  const auto rawFile = FindExistingFile(args.Positional()[0]);
  if (!rawFile) return Failure(kCommand, "no raw file " + args.Positional()[0]);
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;

  ReanalysisState state;
  const auto owner = ExperimentOfRawFile(*rawFile);
  if (owner) {
    state.DataFile = owner->DataFile;
    state.CurrentSubject = owner->SubjectIndex;
  }
  if (const int status = ApplyAnalysisOptions(kCommand, args, *program, state, std::cerr);
      status != kExitOk) {
    return status;
  }
  // The run's own judgement of the trial (samples too fast, ended in its first second, a
  // realigned stream) is in the experiment's provenance record; the report says it too.
  LoadAnalysisProvenance(state);
  if (!state.ProvenanceProblem.empty()) std::cerr << "tarnwell-cli report: " << state.ProvenanceProblem << "\n";
  AnalysedTrial trial = AnalyseSubjectFile(state, state.CurrentSubject, *rawFile);
  TrialReportContext context = ReportContextFor(state, state.CurrentSubject);
  if (const auto label = args.Value("--label")) context.SubjectLabel = *label;

  const std::filesystem::path reportPath = WithReportExtension(*out, "CSV");
  ConsoleOperator op(/*answerYes=*/false);
  if (!WriteTrialReport(reportPath, false, trial.Result, context, op)) {
    return Failure(kCommand, "the report " + reportPath.string() + " was not written");
  }
  std::cout << ReportTextPath(reportPath).string() << "\n" << reportPath.string() << "\n";
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
