// The study's files, written for R and pandas: comma-separated, "." decimals whatever
// the locale, one header row, one type per column, empty fields where a value does not
// exist (NA). Text fields are quoted only when they hold a comma, a quote or a line break.
//
//   trials.csv          one row per trial: the sheet's columns, every measure of the trial
//                       report, the study measures, the strategy, and the provenance
//   summary.csv         per group × day × kind and measure: n, mean, sd, sem
//   probe.csv           one row per probe trial and quadrant (target, adjacent, opposite)
//   probe_summary.csv   per group × day and quadrant role and measure: n, mean, sd, sem
//   strategies.csv      per group × day × kind and strategy: count, n, proportion
//   segments.csv        one row per segment of each trial's path and its strategy
//   strategy_thresholds.txt   the thresholds the strategies were classified with
//
// Each file replaces an older one only when the whole study went through.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "study/study_summary.h"
#include "study/study_trial.h"

namespace tarnwell {

/// A number as R and pandas read it: the shortest text that reads back the same value,
/// "." decimals; empty for a value that is not finite.
std::string CsvNumber(double value);
/// A text field, quoted when it must be.
std::string CsvText(std::string_view text);

/// The header of trials.csv (with the animals sheet's variables after the group) and one
/// trial's row (both ending "\n").
std::string StudyTrialHeader(const std::vector<std::string>& variables = {});
void AppendStudyTrialRow(std::string& out, const StudyTrial& trial, const StudyOptions& options);

/// The header of segments.csv and a trial's segment rows.
std::string SegmentsHeader();
void AppendSegmentRows(std::string& out, const StudyTrial& trial);

/// The header of probe.csv and a probe trial's four rows (nothing for other trials).
std::string ProbeHeader();
void AppendProbeRows(std::string& out, const StudyTrial& trial);

std::string SummaryText(const StudyAggregator& aggregate);
std::string ProbeSummaryText(const StudyAggregator& aggregate);
std::string StrategyProportionsText(const StudyAggregator& aggregate);

/// The names of the files a study writes into its folder.
inline constexpr const char* kStudyTrialsFile = "trials.csv";
inline constexpr const char* kStudySummaryFile = "summary.csv";
inline constexpr const char* kStudyProbeFile = "probe.csv";
inline constexpr const char* kStudyProbeSummaryFile = "probe_summary.csv";
inline constexpr const char* kStudyStrategiesFile = "strategies.csv";
inline constexpr const char* kStudyThresholdsFile = "strategy_thresholds.txt";
inline constexpr const char* kStudyReportFile = "study.pdf";
inline constexpr const char* kStudySegmentsFile = "segments.csv";

/// Analyses the study and writes its files into `folder` (created when missing), the
/// report too when the options draw one. Every file is written under a temporary name and
/// all replace their old versions only once every one was written; files the study does
/// not write are left alone.
/// `aggregate` holds the study's aggregates afterwards (for the report). False, with the
/// problems (sheet lines) or `error` (files) filled and no file replaced, on failure.
bool WriteStudy(const StudySheet& sheet, const StudyOptions& options, const std::filesystem::path& folder,
                StudyAggregator& aggregate, std::vector<SheetProblem>& problems, std::string& error);

}  // namespace tarnwell
