// The study report (study/study_report.h) rendered into a PDF file, page after page, on
// the same PDF device and in the same print font as the printed trial report.
#pragma once

#include <filesystem>
#include <string>

#include "core/surface.h"
#include "study/study_summary.h"

namespace tarnwell {

class PrinterDevice;

/// The study report of `aggregate`, every page, on `device` (set up already, see
/// SetupPrinter) in `font`. False, with the reason in `error`, when a page failed.
bool PrintStudyReport(PrinterDevice& device, const StudyAggregator& aggregate, const std::string& title,
                      const Font& font, std::string* error = nullptr);

/// Writes the study report of `aggregate` into `pdfFile`, replacing it only when whole.
/// A QGuiApplication must exist. False, with the reason in `error`, when it failed.
bool PrintStudyReportToPdf(const StudyAggregator& aggregate, const std::string& title,
                           const std::filesystem::path& pdfFile, std::string* error = nullptr);

}  // namespace tarnwell
