#include "io/study_pdf.h"

#include "io/print_output.h"
#include "study/study_report.h"

namespace tarnwell {

bool PrintStudyReportToPdf(const StudyAggregator& aggregate, const std::string& title,
                           const std::filesystem::path& pdfFile, std::string* error) {
  PdfPrinterDevice device(pdfFile);
  device.SetTitle("Study report: " + title);
  PrinterState printerState;
  if (!SetupPrinter(device, printerState) || !device.ApplyPageSettings()) {
    if (error) *error = "the PDF page cannot be set up";
    return false;
  }
  if (!PrintStudyReport(device, aggregate, title, printerState.PrinterFont, error)) {
    if (error != nullptr && !device.Error().empty()) *error = device.Error();
    return false;
  }
  return true;
}

bool PrintStudyReport(PrinterDevice& device, const StudyAggregator& aggregate, const std::string& title,
                      const Font& font, std::string* error) {
  Surface* page = device.BeginDocument();
  if (page == nullptr) {
    if (error) *error = "the document cannot be started";
    return false;
  }
  for (int i = 0; i < StudyReportPageCount(aggregate); ++i) {
    if (i > 0 && !device.NewPage()) {
      if (error) *error = "a new page cannot be started";
      device.EndDocument();
      return false;
    }
    ComposeStudyReportPage(*page, aggregate, title, i, font);
  }
  if (!device.EndDocument()) {
    if (error) *error = "the document could not be finished";
    return false;
  }
  return true;
}

}  // namespace tarnwell
