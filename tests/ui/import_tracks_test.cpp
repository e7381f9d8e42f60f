// frmImportTracks from the Study screen: two exports imported and their study opened; a
// malformed file refused with its line, nothing written; a window without files refused.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "import/track_examples.h"
#include "support/app_harness.h"
#include "ui/dialogs/import_tracks_dialog.h"
#include "ui/screens/study_screen.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// The Study screen (no sheet chosen) and its import window.
ImportTracksDialog* OpenImport(AppHarness& app) {
  app.Start();
  app.op.QueueReply(std::nullopt);  // the study screen's own sheet dialog: cancelled
  app.Action("mnuStudy")->trigger();
  QCoreApplication::processEvents();
  auto* study = app.window->findChild<StudyScreen*>("frmStudy");
  if (study == nullptr) return nullptr;
  QTest::mouseClick(study->findChild<QPushButton*>("cmdImportTracks"), Qt::LeftButton);
  return study->findChild<ImportTracksDialog*>("frmImportTracks");
}

void Fill(ImportTracksDialog* dialog, const char* name, const QString& text) {
  dialog->findChild<QLineEdit*>(name)->setText(text);
}

}  // namespace

class ImportTracksTest : public QObject {
  Q_OBJECT
 private slots:
  void TwoExportsAreImportedAndTheirStudyOpens() {
    AppHarness app;
    ImportTracksDialog* dialog = OpenImport(app);
    QVERIFY(dialog != nullptr && dialog->isVisible());
    const auto folder = app.home.Path() / "exports";
    std::filesystem::create_directories(folder);
    app.home.Write("exports/rat7.txt", EthoVisionText(25, 4));
    app.home.Write("exports/rat8.xlsx", XlsxWorkbook(CellsOf(EthoVisionText(25, 4, {}, "Rat 8")), folder));
    for (const char* file : {"rat7.txt", "rat8.xlsx"}) {
      app.op.QueueReply((folder / file).string());
      QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAddTrackFile"), Qt::LeftButton);
    }
    // The arena file's pool and grid (1 unit = 1 cm: the hand-computed figures); the goal
    // typed in the window wins over the file's.
    app.home.Write("exports/pool.arena", "arena.bounds = circle 0 0 75\ngoal = circle -30 0 5\ngrid.radius = 75\n");
    Fill(dialog, "txtArenaFile", QString::fromStdString((folder / "pool.arena").string()));
    Fill(dialog, "txtGoalCircle", "30,0,5");
    dialog->findChild<QComboBox*>("cboImportUnits")->setCurrentIndex(1);  // centimetres, as the files say
    Fill(dialog, "txtLikelihood", "1");  // a bound is inside the range
    Fill(dialog, "txtImportGroup", "WT");
    dialog->findChild<QSpinBox*>("spImportDay")->setValue(2);
    Fill(dialog, "txtImportFolder", QString::fromStdString((app.home.Path() / "imported").string()));
    Fill(dialog, "txtImportName", "EV");
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdRunImport"), Qt::LeftButton);

    QVERIFY2(app.op.Messages().empty(), app.op.Messages().empty() ? "" : app.op.Messages()[0].text.c_str());
    QVERIFY(std::filesystem::exists(app.home.Path() / "imported" / "EV2.EXP"));
    // The command line's lines (its numbers: the import tests), in the window: both trials
    // found the goal typed in the window.
    const QString log = dialog->findChild<QPlainTextEdit*>("txtImportLog")->toPlainText();
    QVERIFY2(log.contains("rat8.xlsx -> EV201.RAW (Rat 8): 121 samples"), qPrintable(log));
    QCOMPARE(log.count("path 84.0 cm (source 84.0 cm), latency 2.83 s, Hit Goal"), 2);
    // The imported study is on the Study screen: one group, day 2, both animals.
    auto* study = app.window->findChild<StudyScreen*>("frmStudy");
    const StudyAggregator& imported = study->Aggregate();
    QVERIFY(imported.Trials == 2 && imported.Summary.size() == 1);
    QVERIFY(imported.Summary.begin()->first.Group == "WT" && imported.Summary.begin()->first.Day == 2);
  }

  void AMalformedFileIsRefusedWithItsLineAndNothingIsWritten() {
    AppHarness app;
    ImportTracksDialog* dialog = OpenImport(app);
    QVERIFY(dialog != nullptr);
    // No files yet (an import list added, then removed): the window says what is missing.
    app.op.QueueReply((app.home.Path() / "list.csv").string());
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAddImportList"), Qt::LeftButton);
    dialog->findChild<QListWidget*>("lstImportFiles")->setCurrentRow(0);
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdRemoveTrackFile"), Qt::LeftButton);
    QVERIFY(!dialog->RunImport());
    QVERIFY(app.op.HasMessageContaining("Add the track files to import"));
    std::string text = PlainText(30, 1);
    text.replace(text.find(",-59.0000,"), 10, ",abc,");
    app.home.Write("bad.csv", text);
    app.home.Write("good.csv", PlainText(30, 4));
    dialog->AddTrackFile(app.home.Path() / "good.csv");
    dialog->AddTrackFile(app.home.Path() / "bad.csv");
    Fill(dialog, "txtPoolCircle", "0, 0, 75");
    Fill(dialog, "txtGoalCircle", "30, 0, 5");
    Fill(dialog, "txtImportFolder", QString::fromStdString((app.home.Path() / "out").string()));
    app.op.ClearLog();
    QVERIFY(!dialog->RunImport());
    QVERIFY(app.op.HasMessageContaining("Nothing was imported:"));
    QVERIFY(app.op.HasMessageContaining("bad.csv line 3: the x \"abc\" is not a number"));
    QVERIFY(!std::filesystem::exists(app.home.Path() / "out"));
    // The progress window does not stay up after a refusal.
    int lastProgress = 0;
    for (const OperatorLogEntry& entry : app.op.Log())
      if (entry.kind == OperatorLogEntry::Kind::Progress) lastProgress = entry.value;
    QCOMPARE(lastProgress, -1);
    // The good file alone, said to be in pixels: the pool's real size is needed.
    dialog->findChild<QListWidget*>("lstImportFiles")->setCurrentRow(1);
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdRemoveTrackFile"), Qt::LeftButton);
    dialog->findChild<QComboBox*>("cboImportUnits")->setCurrentIndex(2);
    QVERIFY(!dialog->RunImport());
    QVERIFY(app.op.HasMessageContaining("a pool in pixels needs its real size"));
  }
};

QTEST_MAIN(ImportTracksTest)
#include "import_tracks_test.moc"
