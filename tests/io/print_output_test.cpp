// The printed report's Qt side: the font really obtained decides the printed font, and a
// PDF document is written whole or not at all.
#include "io/print_output.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <algorithm>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

// Measured on a whole line, the way the report's columns need it to hold.
bool PrintsFixedPitch(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal width = metrics.horizontalAdvance("iiiiiiiiii");
  return width > 0 && width == metrics.horizontalAdvance("WWWWWWWWWW") &&
         width == metrics.horizontalAdvance("0000000000");
}

bool PrintsFixedPitch(const std::string& family) {
  QFont font;
  font.setFamilies({QString::fromStdString(family)});
  return PrintsFixedPitch(font);
}

bool AnyFamilyPrintsFixedPitch() {
  const QStringList families = QFontDatabase::families();
  return std::any_of(families.begin(), families.end(),
                     [](const QString& f) { return PrintsFixedPitch(f.toStdString()); });
}

TEST(QtFontProber, ReportsTheFamilyObtainedNotTheOneAskedFor) {
  const QtFontProber prober;
  const ObtainedFont obtained = prober.Obtain("Tarnwell No Such Family");
  EXPECT_TRUE(!obtained.family.empty() && obtained.family != "Tarnwell No Such Family") << obtained.family;
  EXPECT_EQ(obtained.fixedPitch, PrintsFixedPitch(obtained.family)) << obtained.family;
}

// Holds on any font set: fontconfig does not mark every monospaced family as fixed pitch.
TEST(QtFontProber, TheChosenPrintFontIsReallyFixedPitch) {
  if (!AnyFamilyPrintsFixedPitch()) GTEST_SKIP() << "no installed font prints in fixed pitch";
  const QtFontProber prober;
  const std::string system = prober.SystemFixedFont();
  EXPECT_TRUE(PrintsFixedPitch(system)) << system;
  EXPECT_TRUE(prober.Obtain(system).fixedPitch) << system;
  const std::string chosen = ChooseFixedFont(prober);
  EXPECT_TRUE(PrintsFixedPitch(chosen)) << chosen;
  const ObtainedFont obtained = prober.Obtain(chosen);
  EXPECT_EQ(
      QString::fromStdString(obtained.family).compare(QString::fromStdString(chosen), Qt::CaseInsensitive), 0)
      << chosen << " resolved to " << obtained.family;
  // A fixed-pitch font asked for under the name of an installed proportional family.
  for (const QString& family : QFontDatabase::families()) {
    if (PrintsFixedPitch(family.toStdString())) continue;
    const QFont drawn = QtSurface::ToQFont(Font{family.toStdString(), 10, false, true}, nullptr);
    EXPECT_TRUE(PrintsFixedPitch(drawn))
        << family.toStdString() << " drawn as " << QFontInfo(drawn).family().toStdString();
    break;
  }
}

PrintedTrial SmallTrial() {
  PrintedTrial trial;
  for (int i = 0; i < 20; ++i) trial.Track.push_back(RawSample{static_cast<uint8_t>(100 + 3 * i), 96});
  trial.ReportText = "Results of Experiment:WEEK1.EXP\r\n Entries:      |     1         0\r\n";
  return trial;
}

TEST(PdfPrinterDevice, DrawsOnAnA4PageInPointsAndWritesTheFileAtTheEnd) {
  test::TempDir dir;
  PdfPrinterDevice device(dir.Path() / "page.pdf");
  EXPECT_FALSE(device.EndDocument()) << "nothing was started";
  ASSERT_TRUE(device.ApplyPageSettings());
  Surface* page = device.BeginDocument();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Width(), 595);
  EXPECT_EQ(page->Height(), 842);
  ComposePrintedPage(*page, SmallTrial(), Font{ChooseFixedFont(device.Fonts()), 10, false, true});
  EXPECT_FALSE(dir.Exists("page.pdf")) << "nothing is written before the document ends";
  ASSERT_TRUE(device.EndDocument()) << device.Error();
  EXPECT_EQ(dir.Read("page.pdf").substr(0, 5), "%PDF-");
}

TEST(PrintTrialToPdf, AFileThatCannotBeWrittenIsAFailureWithAReason) {
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(PrintTrialToPdf(SmallTrial(), dir.Path() / "missing" / "page.pdf", &error));
  EXPECT_FALSE(error.empty() || dir.Exists("missing"));
  dir.Write("page.pdf", "older");
  ASSERT_TRUE(PrintTrialToPdf(SmallTrial(), dir.Path() / "page.pdf", &error)) << error;
  EXPECT_EQ(dir.Read("page.pdf").substr(0, 5), "%PDF-");
}

}  // namespace
}  // namespace tarnwell
