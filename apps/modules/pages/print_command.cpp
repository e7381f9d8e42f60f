// tarnwell-cli print: the printed page of one trial, into a PDF file. The trial belongs to
// the experiment its name says (WEEK102.RAW is subject 2 of WEEK1.EXP), whose companion
// record gives the pool and the subject's label unless --pool or --experiment are given.
// The page is drawn by Qt on its offscreen platform, so no display is needed.
#include <iostream>

#include "records/experiment_files.h"
#include "analysis/reanalysis.h"
#include "cli_analysis_options.h"
#include "cli_support.h"
#include "core/file_access.h"
#include "io/print_output.h"
#include "modules/pages/offscreen_gui.h"
#include "modules/pages/pages_module.h"
#include "output/printed_report.h"

namespace tarnwell::cli {

int RunPrint(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "print";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--pdf", kPoolOption, kExperimentOption}, {}, error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const auto pdf = args.Value("--pdf");
  if (!pdf || pdf->empty()) return UsageError(kCommand, "--pdf OUT.pdf is required");
  const auto rawFile = FindExistingFile(args.Positional()[0]);
  if (!rawFile) return Failure(kCommand, "no raw file " + args.Positional()[0]);
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;

  ReanalysisState state;
  if (const auto owner = ExperimentOfRawFile(*rawFile)) {
    state.DataFile = owner->DataFile;
    state.CurrentSubject = owner->SubjectIndex;
  }
  if (const int status = ApplyAnalysisOptions(kCommand, args, *program, state, std::cerr);
      status != kExitOk) {
    return status;
  }
  PrintedTrial trial;
  if (!PrepareViewedTrial(state, *rawFile, trial))
    return Failure(kCommand, "cannot read " + rawFile->string());
  if (!state.ProvenanceProblem.empty()) std::cerr << "tarnwell-cli print: " << state.ProvenanceProblem << "\n";
  if (!WithOffscreenGui([&] { return PrintTrialToPdf(trial, *pdf, &error); }))
    return Failure(kCommand, "the PDF " + *pdf + " was not written: " + error);
  std::cout << *pdf << "\n";
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
