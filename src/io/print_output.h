// The printed report on real devices: the system's default printer (QPrinter) and a PDF
// file (QPdfWriter), both drawn through QtSurface, and the font prober that tells which
// font Qt really gives for a family name.
//
// A QGuiApplication must exist before any of these is used (fonts and painting need the
// GUI part of Qt; the offscreen platform is enough).
#pragma once

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <filesystem>
#include <memory>
#include <string>

#include "io/qt_surface.h"
#include "output/printed_report.h"

namespace tarnwell {

/// Fonts as Qt resolves them: QFontInfo's family and the measured pitch of the font obtained for a
/// requested family (on Linux "Courier New" usually resolves to another family, which
/// then does not count as "Courier New").
class QtFontProber : public FontProber {
 public:
  ObtainedFont Obtain(const std::string& family) const override;
  std::string SystemFixedFont() const override;
};

/// A PDF file as the printer: the page is drawn at 72 units an inch (one unit a point)
/// on a sheet without printer margins (the report keeps its own), and the file is
/// written whole when the document ends, replacing an older one only then.
class PdfPrinterDevice : public PrinterDevice {
 public:
  explicit PdfPrinterDevice(std::filesystem::path pdfFile, QPageSize pageSize = QPageSize(QPageSize::A4));
  ~PdfPrinterDevice() override;

  const FontProber& Fonts() const override { return fonts_; }
  bool IsAvailable() const override { return true; }
  bool ApplyPageSettings() override;
  Surface* BeginDocument() override;
  bool EndDocument() override;
  /// Why the last EndDocument failed.
  const std::string& Error() const { return error_; }
  /// The document's title (set before BeginDocument).
  void SetTitle(std::string title) { title_ = std::move(title); }
  /// Starts the next page of a document of several (the study report); the surface stays.
  bool NewPage() override;

 private:
  std::filesystem::path file_;
  QPageSize pageSize_;
  QtFontProber fonts_;
  QBuffer buffer_;
  std::unique_ptr<QPdfWriter> writer_;
  std::unique_ptr<QtSurface> surface_;
  std::string error_;
  std::string title_ = "Trial report";
};

/// The system's default printer. Not available when the system has no printer.
class SystemPrinterDevice : public PrinterDevice {
 public:
  SystemPrinterDevice();
  ~SystemPrinterDevice() override;

  const FontProber& Fonts() const override { return fonts_; }
  bool IsAvailable() const override;
  bool ApplyPageSettings() override;
  Surface* BeginDocument() override;
  bool EndDocument() override;
  bool NewPage() override;

 protected:
  QPrinter& Printer() { return *printer_; }

 private:
  QtFontProber fonts_;
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QtSurface> surface_;
};

/// The printed page of `trial` into the PDF file `pdfFile`, in the fixed-pitch font
/// ChooseFixedFont picks at 10 points. False, with the reason in `error`, when the file
/// could not be written.
bool PrintTrialToPdf(const PrintedTrial& trial, const std::filesystem::path& pdfFile,
                     std::string* error = nullptr);

}  // namespace tarnwell
