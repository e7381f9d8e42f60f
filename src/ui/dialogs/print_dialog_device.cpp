#include "ui/dialogs/print_dialog_device.h"

#include <QPrintDialog>
#include <QPrinterInfo>

#include "ui/dialogs/qt_operator.h"

namespace tarnwell {

DialogPrinterDevice::DialogPrinterDevice(QtOperator& modal, const QString& pdfFile, const QString& title)
    : modal_(modal) {
  QPrinter& printer = Printer();
  printer.setDocName(title);
  // Without any printer the dialog opens on "Print to File (PDF)" with this name; with
  // printers it opens on the default one and the file name waits for the PDF choice.
  if (QPrinterInfo::availablePrinterNames().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfFile);
  }
}

bool DialogPrinterDevice::ApplyPageSettings() {
  if (!asked_) {
    asked_ = true;
    QPrintDialog dialog(&Printer());
    dialog.setObjectName("dlgPrint");
    dialog.setWindowTitle("Print");
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    accepted_ = modal_.RunModal(dialog) == QDialog::Accepted;
  }
  return accepted_ && SystemPrinterDevice::ApplyPageSettings();
}

}  // namespace tarnwell
