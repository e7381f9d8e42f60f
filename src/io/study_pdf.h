// The study report (study/study_report.h) rendered into a PDF file, page after page, on
// the same PDF device and in the same print font as the printed trial report.
#pragma once

#include <filesystem>
#include <string>

#include "study/study_summary.h"

namespace tarnwell {

/// Writes the study report of `aggregate` into `pdfFile`, replacing it only when whole.
/// A QGuiApplication must exist. False, with the reason in `error`, when it failed.
bool PrintStudyReportToPdf(const StudyAggregator& aggregate, const std::string& title,
                           const std::filesystem::path& pdfFile, std::string* error = nullptr);

}  // namespace tarnwell
