// tarnwell-cli study: the study level. Every trial a study sheet lists is analysed with
// its experiment's own settings (the home's setups where an experiment has no record),
// and the study's tables, summaries, strategies and PDF report are written into --out.
#include <clocale>
#include <iostream>

#include "cli_analysis_options.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "core/file_access.h"
#include "modules/module_table.h"
#include "study/strategy_agreement.h"
#include "study/study_output.h"
#include "study/study_report.h"

namespace tarnwell::cli {

int RunStudy(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "study";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--out", "--strategies", "--labels", "--animals"}, {kArtifactFilterFlag, "--no-pdf", "--per-trial", "--include-aborted", "--check"}, error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const auto out = args.Value("--out");
  const bool check = args.Has("--check");
  if (!check && (!out || out->empty())) return UsageError(kCommand, "--out DIR is required (or --check)");

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
  const bool sheetRead = ReadStudySheet(sheetFile, sheet, problems);
  if (const auto animals = args.Value("--animals")) {
    std::vector<SheetProblem> animalProblems;
    options.Animals.emplace();
    if (!ReadAnimalsSheet(*animals, *options.Animals, animalProblems)) {
      for (const SheetProblem& problem : animalProblems)
        std::cerr << DescribeSheetProblem(*animals, problem) << "\n";
      if (!sheetRead) reportProblems();
      return Failure(kCommand, "the animals sheet was not read");
    }
  }
  if (!sheetRead) return reportProblems();

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

  if (check) {
    // Every problem of the study, found as the analysis finds them; nothing is written.
    StudyAggregator aggregate;
    const bool analysed = ForEachStudyTrial(
        sheet, options,
        [&](const StudyTrial& trial) {
          aggregate.Add(trial);
          return true;
        },
        problems);
    if (!analysed) {
      for (const SheetProblem& problem : problems)
        std::cerr << DescribeSheetProblem(sheetFile, problem) << "\n";
      return Failure(kCommand, std::to_string(problems.size()) + " problem" + (problems.size() == 1 ? "" : "s") +
                                   " in the study");
    }
    std::cout << sheetFile.string() << ": " << aggregate.Trials << " trial" << (aggregate.Trials == 1 ? "" : "s")
              << ", no problem\n";
    return std::cout.flush() ? kExitOk : kExitFailure;
  }
  options.PerTrial = args.Has("--per-trial");
  options.IncludeAborted = args.Has("--include-aborted");
  if (!args.Has("--no-pdf")) {
    // The report is drawn by the pages module; without it the tables stand alone.
    std::string moduleError;
    const ModuleTable* pages = LoadModule(kPagesModule, moduleError);
    if (pages == nullptr || pages->writeStudyPdf == nullptr) {
      std::cerr << "tarnwell-cli study: no PDF report: " << (pages ? "PDF output is not available" : moduleError)
                << "\n";
    } else {
      const std::string title = sheetFile.filename().string();
      options.WriteReport = [pages, title](const StudyAggregator& aggregate, const std::filesystem::path& pdf,
                                           std::string& reportError) {
        return pages->writeStudyPdf(aggregate, title, pdf, reportError);
      };
    }
  }

  StudyAggregator aggregate;
  if (!WriteStudy(sheet, options, *out, aggregate, problems, error)) {
    if (!problems.empty()) return reportProblems();
    return Failure(kCommand, error);
  }
  // Said once for the study, not per trial.
  if (aggregate.NoGoalTrials > 0) {
    std::cerr << "tarnwell-cli study: " << aggregate.NoGoalTrials << " trial"
              << (aggregate.NoGoalTrials == 1 ? " has" : "s have")
              << " no goal (no goal column and no active platform; first on line " << aggregate.NoGoalLine
              << "): direct swim, focal search, directed search and perseverance cannot be called for "
              << (aggregate.NoGoalTrials == 1 ? "it" : "them") << ", nor goal measures taken\n";
  }
  std::cout << *out << ": " << aggregate.Trials << " trial" << (aggregate.Trials == 1 ? "" : "s");
  if (aggregate.AbortedTrials > 0) {
    std::cout << " (" << aggregate.AbortedTrials << " aborted, "
              << (options.IncludeAborted ? "in the means" : "left out of the means") << ")";
  }
  std::cout << "\n";
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
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
