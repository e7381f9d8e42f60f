// frmStudy on a study of two experiments (two groups, day 1): its summary, pages, printing
// and animals sheet, and a curve's point opening that day's experiment.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "core/file_access.h"
#include "io/print_output.h"
#include "study/study_report.h"

#include "analysis/experiment_folder.h"
#include "support/experiment_scene.h"
#include "ui/screens/study_screen.h"
#include "ui/widgets/picture_box.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// WEEK1 (group WT, its subjects' IDs as animals) and two of its tracks copied on their
// own as two KO mice's trials (files of no experiment, so named by their rows).
std::filesystem::path WriteStudy(const TempDir& home) {
  TempDir scratch;
  WriteWeek1(scratch);
  const auto folder = home.Path() / "STUDY";
  std::filesystem::create_directories(folder);
  for (const char* suffix : {"00.RAW", "02.RAW", ".EXP"}) {
    const std::string from = std::string("WEEK1") + suffix;
    if (std::filesystem::exists(scratch.Path() / from)) std::filesystem::copy_file(scratch.Path() / from, folder / from);
  }
  std::filesystem::copy_file(scratch.Path() / "WEEK100.RAW", folder / "KO1D1.RAW");
  std::filesystem::copy_file(scratch.Path() / "WEEK102.RAW", folder / "KO2D1.RAW");
  home.Write("STUDY/study.csv",
             "file;animal;group;day;kind\r\n"
             "WEEK1.EXP;;WT;1;acquisition\r\n"
             "KO1D1.RAW;K1;KO;1;acquisition\r\n"
             "KO2D1.RAW;K2;KO;1;acquisition\r\n");
  return folder / "study.csv";
}

// The study above on the Study screen, opened from the File menu.
StudyScreen* OpenStudy(ExperimentScene& scene) {
  scene.app.op.QueueReply(WriteStudy(scene.app.home).string());
  scene.app.Action("mnuStudy")->trigger();
  QCoreApplication::processEvents();
  return scene.app.window->findChild<StudyScreen*>("frmStudy");
}

// The print dialog's device when the operator cancels the dialog.
class CancelledPrinter : public PdfPrinterDevice {
 public:
  using PdfPrinterDevice::PdfPrinterDevice;
  bool ApplyPageSettings() override { return false; }
};

}  // namespace

class StudyScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void ClickingAPointOpensThatDaysTrialsOnTheDataScreen() {
    ExperimentScene scene;
    StudyScreen* study = OpenStudy(scene);
    QVERIFY(study != nullptr);
    auto* grid = study->findChild<QTableWidget*>("grStudySummary");
    QCOMPARE(grid->rowCount(), 2);
    // n counts animals in the means: WT's R3 stands still and its track ends early, an
    // aborted trial of WEEK1 (active platform 1), counted but out of the means.
    QCOMPARE(QStringList({grid->item(0, 0)->text(), grid->item(0, 3)->text(), grid->item(1, 0)->text(),
                          grid->item(1, 3)->text()}),
             QStringList({"KO", "2", "WT", "1"}));

    // The WT point of the latency curve, clicked where it was drawn.
    const StudyPageLayout& layout = study->CurveLayout();
    auto point = std::find_if(layout.points.begin(), layout.points.end(),
                              [](const auto& p) { return p.second.Group == "WT"; });
    QVERIFY(point != layout.points.end());
    auto* picture = study->findChild<PictureBox*>("picStudy");
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(int(point->first.x), int(point->first.y)));
    QCoreApplication::processEvents();
    QCOMPARE(scene.app.Mode(), ScreenMode::OpenData);
    QCOMPARE(
        QString::fromStdString(std::filesystem::path(scene.DataScreen()->DataFile()).filename().string()),
        QString("WEEK1.EXP"));
  }

  // Pages 2 and 3 on screen; the whole report saved as a PDF and printed through the print
  // dialog's device (here a PDF file), three pages each.
  void EveryPageIsShownSavedAndPrinted() {
    ExperimentScene scene;
    StudyScreen* study = OpenStudy(scene);
    auto* pages = study->findChild<QComboBox*>("cboStudyPage");
    // This study has no probe trials: no probe page; its four animals' ribbons fill one.
    const int expectedPages = kStudyReportPages - 1 + 1;
    QCOMPARE(pages->count(), expectedPages);
    std::vector<std::vector<std::string>> shown;
    for (int page = 0; page < expectedPages; ++page) {
      pages->setCurrentIndex(page);
      QCOMPARE(study->ShownPage(), page);
      shown.push_back(study->CurveLayout().texts);
      QVERIFY2(!shown.back().empty(), qPrintable(QString("page %1").arg(page + 1)));
    }
    QVERIFY(shown[0] != shown[1]);  // what each page holds: the study report's tests

    const auto pageCount = [](const std::filesystem::path& pdf) {
      std::string bytes;
      if (!ReadWholeFile(pdf, bytes) || !bytes.starts_with("%PDF")) return -1;
      return int(QByteArray::fromStdString(bytes).count("/Type /Page\n"));
    };
    const auto saved = scene.app.home.Path() / "STUDY" / "saved.pdf";
    scene.app.op.QueueReply(saved.string());
    QTest::mouseClick(study->findChild<QPushButton*>("cmdSaveStudy"), Qt::LeftButton);
    QCOMPARE(pageCount(saved), expectedPages);

    const auto printed = scene.app.home.Path() / "STUDY" / "printed.pdf";
    study->printerFactory = [printed] { return std::make_unique<PdfPrinterDevice>(printed); };
    QTest::mouseClick(study->findChild<QPushButton*>("cmdPrintStudy"), Qt::LeftButton);
    QCOMPARE(pageCount(printed), expectedPages);
    QVERIFY(!scene.app.op.HasMessageContaining("could not"));
    // The print dialog cancelled: nothing printed, nothing said.
    std::filesystem::remove(printed);
    scene.app.op.ClearLog();
    study->printerFactory = [printed] { return std::make_unique<CancelledPrinter>(printed); };
    QTest::mouseClick(study->findChild<QPushButton*>("cmdPrintStudy"), Qt::LeftButton);
    QVERIFY(!std::filesystem::exists(printed) && scene.app.op.Messages().empty());
  }

  // An animals sheet moves R1 into KO (one experiment holds both groups) and adds its
  // variables; the Animals tab lists each animal with them and its trials. A sheet that
  // leaves out animals of the study is refused, naming them, and the one in use stays.
  void AnAnimalsSheetRegroupsTheStudyAndIsListed() {
    ExperimentScene scene;
    StudyScreen* study = OpenStudy(scene);
    auto* animals = study->findChild<QTableWidget*>("grStudyAnimals");
    // K1, K2, R1, R3 as the study sheet groups them.
    QCOMPARE(animals->item(2, 1)->text(), QString("WT"));

    scene.app.home.Write("STUDY/animals.csv", "animal;group;sex\r\nR1;KO;f\r\nR2;WT;m\r\nR3;WT;f\r\n"
                                              "K1;KO;m\r\nK2;KO;f\r\n");
    scene.app.op.QueueReply((scene.app.home.Path() / "STUDY" / "animals.csv").string());
    QTest::mouseClick(study->findChild<QPushButton*>("cmdAnimalsSheet"), Qt::LeftButton);
    QCOMPARE(animals->horizontalHeaderItem(2)->text(), QString("sex"));
    QStringList r1;
    for (int c = 0; c < 4; ++c) r1 << animals->item(2, c)->text();
    QCOMPARE(r1, QStringList({"R1", "KO", "f", "1"}));
    auto* summary = study->findChild<QTableWidget*>("grStudySummary");
    QCOMPARE(summary->item(0, 0)->text() + " " + summary->item(0, 3)->text(), QString("KO 3"));
    QVERIFY(study->findChild<QLabel*>("lblAnimals")->text().contains("animals.csv"));

    scene.app.home.Write("STUDY/few.csv", "animal;group\r\nR1;KO\r\n");
    scene.app.op.QueueReply((scene.app.home.Path() / "STUDY" / "few.csv").string());
    QTest::mouseClick(study->findChild<QPushButton*>("cmdAnimalsSheet"), Qt::LeftButton);
    QVERIFY(scene.app.op.HasMessageContaining("K1"));
    QCOMPARE(study->AnimalsSheetFile().filename().string(), std::string("animals.csv"));
    QCOMPARE(summary->item(0, 3)->text(), QString("3"));
  }
};

QTEST_MAIN(StudyScreenTest)
#include "study_screen_test.moc"
