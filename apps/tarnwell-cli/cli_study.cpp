// tarnwell-cli study: the study level. Every trial a study sheet lists is analysed with
// its experiment's own settings (the home's setups where an experiment has no record),
// and the study's tables, summaries, strategies and PDF report are written into --out.
#include <clocale>
#include <iostream>

#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "modules/module_table.h"
#include "study/study_output.h"
#include "study/study_report.h"


namespace tarnwell::cli {

namespace {

constexpr const char* kStudyPdfFile = "study.pdf";


}  // namespace

int RunStudy(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "study";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--out", "--strategies"}, {kArtifactFilterFlag, "--no-pdf"}, error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const auto out = args.Value("--out");
  if (!out || out->empty()) return UsageError(kCommand, "--out DIR is required");

  StudyOptions options;
  if (const auto file = args.Value("--strategies")) {
    if (!ReadStrategyThresholdsFile(*file, options.Thresholds, error)) {
      return Failure(kCommand, *file + ": " + error);
    }
  }
  StudySheet sheet;
  std::vector<SheetProblem> problems;
  const std::filesystem::path sheetFile = args.Positional()[0];
  auto reportProblems = [&] {
    for (const SheetProblem& problem : problems)
      std::cerr << DescribeSheetProblem(sheetFile, problem) << "\n";
    return Failure(kCommand, "the study was not analysed");
  };
  if (!ReadStudySheet(sheetFile, sheet, problems)) return reportProblems();

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  options.BaseSettings = HomeAnalysisSettings(*program);
  options.BaseSettings.ArtifactFilterOn = args.Has(kArtifactFilterFlag);
  options.ProgramVersion = program->ProductName + " " + program->ProductVersion;

  StudyAggregator aggregate;
  if (!WriteStudy(sheet, options, *out, aggregate, problems, error)) {
    if (!problems.empty()) return reportProblems();
    return Failure(kCommand, error);
  }
  std::cout << *out << ": " << aggregate.Trials << " trial" << (aggregate.Trials == 1 ? "" : "s") << "\n";
  if (!args.Has("--no-pdf")) {
    // The report is drawn by the pages module; without it the tables stand alone.
    const ModuleTable* pages = LoadModule(kPagesModule, error);
    if (pages == nullptr || pages->writeStudyPdf == nullptr) {
      std::cerr << "tarnwell-cli study: no PDF report: " << (pages ? "PDF output is not available" : error) << "\n";
    } else {
      const std::filesystem::path pdf = std::filesystem::path(*out) / kStudyPdfFile;
      if (!pages->writeStudyPdf(aggregate, sheetFile.filename().string(), pdf, error))
        return Failure(kCommand, "the PDF " + pdf.string() + " was not written: " + error);
    }
  }
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
