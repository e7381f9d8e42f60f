// DialogPrinterDevice: printing as a Linux desktop does it. The print dialog comes first,
// and it always offers "Print to File (PDF)", so a lab without a configured printer still
// gets its page; when the system has no printer at all, that choice is the one made, with
// a file name beside the data.
#pragma once

#include <QString>

#include "io/print_output.h"

namespace tarnwell {

class QtOperator;

class DialogPrinterDevice : public SystemPrinterDevice {
 public:
  // `modal` runs the dialog (so an ending session closes it); `pdfFile` is the file name
  // the PDF choice proposes; `title` names the print job.
  DialogPrinterDevice(QtOperator& modal, const QString& pdfFile, const QString& title);

  // A PDF file can always be written.
  bool IsAvailable() const override { return true; }
  // The page settings, then the print dialog (once per document); false when the
  // operator cancelled it.
  bool ApplyPageSettings() override;

 private:
  QtOperator& modal_;
  bool asked_ = false;
  bool accepted_ = false;
};

}  // namespace tarnwell
