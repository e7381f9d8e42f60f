// The pages module's table: the print command and the study's PDF report.
#include "modules/pages/pages_module.h"

#include "io/study_pdf.h"
#include "modules/module_table.h"
#include "modules/pages/offscreen_gui.h"

namespace {

bool WriteStudyPdf(const tarnwell::StudyAggregator& aggregate, const std::string& title,
                   const std::filesystem::path& pdf, std::string& error) {
  return tarnwell::WithOffscreenGui([&] { return tarnwell::PrintStudyReportToPdf(aggregate, title, pdf, &error); });
}

}  // namespace

TARNWELL_MODULE_ENTRY(pages) {
  static const tarnwell::ModuleTable table = [] {
    tarnwell::ModuleTable t;
    t.commands = {{"print", tarnwell::cli::RunPrint}};
    t.writeStudyPdf = WriteStudyPdf;
    return t;
  }();
  return &table;
}
