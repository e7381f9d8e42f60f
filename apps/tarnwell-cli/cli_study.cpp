// tarnwell-cli study: the study level. Every trial a study sheet lists is analysed with
// its experiment's own settings (the home's setups where an experiment has no record),
// and the study's tables, summaries, strategies and PDF report are written into --out.
#include <clocale>
#include <iostream>

#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "study/study_output.h"
#include "core/file_util.h"
#include "study/strategy_agreement.h"
#include "study/study_report.h"

#if TARNWELL_HAVE_QT
#include "cli_offscreen_gui.h"
#include "io/study_pdf.h"
#endif

namespace tarnwell::cli {

namespace {

constexpr const char* kStudyPdfFile = "study.pdf";

#if TARNWELL_HAVE_QT
bool WriteStudyPdf(const StudyAggregator& aggregate, const std::string& title,
                   const std::filesystem::path& pdf, std::string& error) {
  return WithOffscreenGui([&] { return PrintStudyReportToPdf(aggregate, title, pdf, &error); });
}
#endif

}  // namespace

int RunStudy(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "study";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--out", "--strategies", "--labels"}, {kArtifactFilterFlag, "--no-pdf"}, error) ||
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

  // The judges' labels: every labelled raw file must be one of the study's trials.
  std::vector<StrategyLabel> labels;
  std::vector<int> labelCall;
  const auto labelsFile = args.Value("--labels");
  if (labelsFile) {
    std::string text;
    std::vector<SheetProblem> labelProblems;
    if (!ReadWholeFile(*labelsFile, text)) return Failure(kCommand, "cannot read " + *labelsFile);
    if (!ParseStrategyLabels(text, labels, labelProblems)) {
      for (const SheetProblem& problem : labelProblems)
        std::cerr << DescribeSheetProblem(*labelsFile, problem) << "\n";
      return Failure(kCommand, "the labels were not read");
    }
    labelCall.assign(labels.size(), -1);
    options.OnTrial = [&](const StudyTrial& trial) {
      for (size_t i = 0; i < labels.size(); ++i) {
        if (!LabelNamesRawFile(labels[i].RawFile, trial.RawFile)) continue;
        if (labelCall[i] == -1) {
          labelCall[i] = static_cast<int>(trial.Strategy);
        } else {
          labelCall[i] = -2;  // names more than one trial
        }
      }
    };
  }

  StudyAggregator aggregate;
  if (!WriteStudy(sheet, options, *out, aggregate, problems, error)) {
    if (!problems.empty()) return reportProblems();
    return Failure(kCommand, error);
  }
  std::cout << *out << ": " << aggregate.Trials << " trial" << (aggregate.Trials == 1 ? "" : "s") << "\n";
  if (labelsFile) {
    StrategyAgreement agreement;
    bool unmatched = false;
    for (size_t i = 0; i < labels.size(); ++i) {
      if (labelCall[i] < 0) {
        std::cerr << DescribeSheetProblem(*labelsFile, {labels[i].Line, labels[i].RawFile +
                                                                            (labelCall[i] == -1
                                                                                 ? " is no trial of the study"
                                                                                 : " names more than one trial of the study")})
                  << "\n";
        unmatched = true;
        continue;
      }
      agreement.Add(labels[i].Label, static_cast<SearchStrategy>(labelCall[i]));
    }
    if (unmatched) return Failure(kCommand, "some labels name no single trial");
    std::cout << "\n" << agreement.Text();
  }
  if (!args.Has("--no-pdf")) {
#if TARNWELL_HAVE_QT
    const std::filesystem::path pdf = std::filesystem::path(*out) / kStudyPdfFile;
    if (!WriteStudyPdf(aggregate, sheetFile.filename().string(), pdf, error)) {
      return Failure(kCommand, "the PDF " + pdf.string() + " was not written: " + error);
    }
#else
    std::cerr << "tarnwell-cli study: no PDF report: this tarnwell-cli was built without Qt\n";
#endif
  }
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
