#include "io/print_output.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrinterInfo>
#include <string_view>

#include "core/file_access.h"

namespace tarnwell {

ObtainedFont QtFontProber::Obtain(const std::string& family) const {
  QFont font;
  font.setFamilies({QString::fromStdString(family)});
  return ObtainedFont{QFontInfo(font).family().toStdString(), QtSurface::DrawsFixedPitch(font)};
}

std::string QtFontProber::SystemFixedFont() const {
  // The family really behind the system's choice ("monospace" is only an alias), or another
  // one when that one does not really print in fixed pitch.
  const QString family = QtSurface::FixedPitchFamily();
  if (!family.isEmpty()) return family.toStdString();
  return QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family().toStdString();
}

PdfPrinterDevice::PdfPrinterDevice(std::filesystem::path pdfFile, QPageSize pageSize)
    : file_(std::move(pdfFile)), pageSize_(std::move(pageSize)) {}

PdfPrinterDevice::~PdfPrinterDevice() {
  surface_.reset();
  writer_.reset();
}

bool PdfPrinterDevice::ApplyPageSettings() {
  return pageSize_.isValid() && !file_.empty();
}

Surface* PdfPrinterDevice::BeginDocument() {
  surface_.reset();
  writer_.reset();
  buffer_.close();
  buffer_.setData(QByteArray());
  if (!buffer_.open(QIODevice::WriteOnly)) return nullptr;
  writer_ = std::make_unique<QPdfWriter>(&buffer_);
  writer_->setCreator("Tarnwell");
  writer_->setTitle(QString::fromStdString(title_));
  writer_->setResolution(72);
  writer_->setPageLayout(QPageLayout(pageSize_, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  surface_ = std::make_unique<QtSurface>(writer_.get());
  return surface_.get();
}

bool PdfPrinterDevice::NewPage() {
  return writer_ && surface_ && writer_->newPage();
}

bool PdfPrinterDevice::EndDocument() {
  error_.clear();
  if (!surface_) {
    error_ = "no document was started";
    return false;
  }
  surface_->End();
  surface_.reset();
  writer_.reset();
  buffer_.close();
  const QByteArray& bytes = buffer_.data();
  if (bytes.isEmpty()) {
    error_ = "nothing was drawn";
    return false;
  }
  return WriteFileAtomically(file_, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                             &error_);
}

SystemPrinterDevice::SystemPrinterDevice() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

SystemPrinterDevice::~SystemPrinterDevice() {
  surface_.reset();
}

bool SystemPrinterDevice::IsAvailable() const {
  return !QPrinterInfo::defaultPrinter().isNull();
}

bool SystemPrinterDevice::ApplyPageSettings() {
  printer_->setPageOrientation(QPageLayout::Portrait);
  printer_->setCopyCount(1);
  printer_->setFullPage(true);
  printer_->setColorMode(QPrinter::Color);
  return printer_->isValid();
}

Surface* SystemPrinterDevice::BeginDocument() {
  surface_.reset();
  if (!printer_->isValid()) return nullptr;
  surface_ = std::make_unique<QtSurface>(printer_.get());
  return surface_.get();
}

bool SystemPrinterDevice::EndDocument() {
  if (!surface_) return false;
  surface_->End();
  surface_.reset();
  const QPrinter::PrinterState state = printer_->printerState();
  return state != QPrinter::Error && state != QPrinter::Aborted;
}

bool PrintTrialToPdf(const PrintedTrial& trial, const std::filesystem::path& pdfFile, std::string* error) {
  PdfPrinterDevice device(pdfFile);
  PrinterState printerState;
  if (!SetupPrinter(device, printerState) || !device.ApplyPageSettings()) {
    if (error) *error = "the PDF page cannot be set up";
    return false;
  }
  if (!PrintTrialPage(device, trial, printerState.PrinterFont)) {
    if (error) *error = device.Error().empty() ? "the PDF page could not be drawn" : device.Error();
    return false;
  }
  return true;
}

}  // namespace tarnwell
