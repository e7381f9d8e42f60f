// The Setup Experiment screen: the subject table's copy and paste and its lock once trials
// are recorded, the trial list, and what leaving writes (an ID still being typed included).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "records/provenance.h"
#include "records/trial_list.h"
#include "support/app_harness.h"
#include "ui/dialogs/trial_list_dialog.h"
#include "ui/screens/subject_grid.h"
#include "ui/widgets/file_picker.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

struct ExperimentScene {
  AppHarness app;
  SubjectGrid* grid = nullptr;

  explicit ExperimentScene(const std::vector<std::string>& ids = {}, bool recorded = false) {
    app.Start();
    app.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
    if (!ids.empty()) {
      app.subjects.Fill(ids);
      app.subjects.RebuildSubjectIDs(app.program.experiment);
    }
    if (recorded) {  // the first subject of the experiment file has been recorded
      ExperimentSetup& experiment = app.program.experiment;
      experiment.DataFile = (app.home.Path() / "WEEK1.EXP").string();
      QVERIFY(WriteExperimentRecord(experiment.DataFile, experiment, app.program.pool));
      QVERIFY(WriteSubjectStatusWord(experiment.DataFile, 0, SubjectStatus::HitGoal) ==
              RecordUpdate::Written);
    }
    app.Action("mnuSetupMazeExpt")->trigger();
    grid = app.Find<SubjectGrid>("grSubjID");
    QCoreApplication::processEvents();
  }
  std::vector<std::string> Ids() const { return app.program.experiment.SubjectIDs; }
  QString Cell(int row, int column) const {
    const QTableWidgetItem* item = grid->item(row, column);
    return item == nullptr ? QString() : item->text();
  }
  void TypeId(int row, int column, const QString& text, bool confirm = true) {
    grid->setCurrentCell(row, column);
    QTest::keyClick(grid, text.front().toLatin1());
    QTest::keyClicks(grid->Entry(), text.mid(1));
    if (confirm) QTest::keyClick(grid->Entry(), Qt::Key_Return);
  }
};

}  // namespace

class SetupExperimentScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void copyAndPaste_useTabsAndLines() {
    ExperimentScene scene({"A1", "A2", "A3", "A4", "B1", "B2"});
    scene.grid->setCurrentCell(0, 1);
    scene.grid->clearSelection();
    scene.grid->setRangeSelected(QTableWidgetSelectionRange(0, 1, 1, 2), true);
    QTest::keyClick(scene.grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("A2\tA3\r\nB2\t"));

    QApplication::clipboard()->setText("P1\tP2\tP3\nQ1\n");
    scene.grid->clearSelection();
    scene.grid->setCurrentCell(1, 2);
    scene.app.Action("mnuPaste")->trigger();
    // Cells beyond the last column are dropped; rows grow as needed.
    QCOMPARE(QStringList({scene.Cell(1, 2), scene.Cell(1, 3), scene.Cell(2, 2)}),
             QStringList({"7) P1", "8) P2", "11) Q1"}));
    QVERIFY((scene.Ids() == std::vector<std::string>{"A1", "A2", "A3", "A4", "B1", "B2", "P1", "P2", "Q1"}));
  }

  void lockedExperiment_refusesEveryEdit() {
    for (const std::string attempt : {"typed key", "double click", "paste", "clear all"}) {
      ExperimentScene scene({"R1", "R2"}, true);
      QVERIFY(scene.grid->IsLocked());
      scene.app.op.ClearLog();
      QApplication::clipboard()->setText("X1\tX2");
      scene.grid->setCurrentCell(0, 0);
      if (attempt == "typed key") QTest::keyClick(scene.grid, Qt::Key_Q);
      if (attempt == "double click") {
        const QRect cell = scene.grid->visualRect(scene.grid->model()->index(0, 0));
        QTest::mouseDClick(scene.grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
      }
      if (attempt == "paste") QTest::keyClick(scene.grid, Qt::Key_V, Qt::ControlModifier);
      if (attempt == "clear all") scene.app.Action("mnuClearAll")->trigger();

      QVERIFY2(!scene.grid->IsEntryOpen() && scene.app.op.Messages().size() == 1, attempt.c_str());
      const OperatorLogEntry said = scene.app.op.Messages().front();
      QVERIFY2(said.title == "Editing subject IDs not allowed" &&
                   said.text.ends_with("cannot be edited\nat this time."),
               said.text.c_str());
      QVERIFY((scene.Ids() == std::vector<std::string>{"R1", "R2"}));
      // Copying changes nothing and is allowed.
      scene.app.op.ClearLog();
      QTest::keyClick(scene.grid, Qt::Key_C, Qt::ControlModifier);
      QVERIFY(scene.app.op.Messages().empty());
    }
  }

  void leaving_writesTheFilesIdenticalToTheModel() {
    for (const QString leaveBy : {"cmdExitSetExp", "mnuSetupPool", "mnuRunExpt", "close"}) {
      ExperimentScene scene({"R1", "R2"});
      auto* picker = scene.app.Find<FilePicker>("pfExptFile");
      picker->SetFileName(QString::fromStdString((scene.app.home.Path() / "week7.dat").string()));
      scene.app.Find<QComboBox>("cboActivePlat")->setCurrentIndex(5);
      scene.app.Find<QLineEdit>("txtMaxTime")->setText("90");
      // An ID typed and never confirmed is saved all the same.
      scene.TypeId(0, 2, "R3", false);
      QVERIFY(scene.grid->IsEntryOpen());

      scene.app.Leave(leaveBy);
      const ExperimentSetup& experiment = scene.app.program.experiment;
      QVERIFY((experiment.SubjectIDs == std::vector<std::string>{"R1", "R2", "R3"}));
      QCOMPARE(std::pair(experiment.ActivePlatform, experiment.MaxTime), std::pair(int16_t(5), int16_t(90)));
      QCOMPARE(experiment.DataFile, (scene.app.home.Path() / "week7.EXP").string());
      // The run's own checks decide whether its screen opens; the experiment is taken first.
      if (leaveBy == "mnuRunExpt") continue;
      QCOMPARE(scene.app.home.Read("SUBJECTS.INI"), FormatSubjectsIni(scene.app.subjects));
      QVERIFY(scene.app.home.Read("SUBJECTS.INI").find("\"R3\"") != std::string::npos);
      QCOMPARE(scene.app.home.Read("DEFAULT.CFG"), FormatExperimentText(experiment));
    }
  }

  void repeatedIds_warnOnceOnLeaving_neverRefuse() {
    ExperimentScene scene({"RAT1", "RAT2", "RAT1"});
    scene.app.Find<QPushButton>("cmdExitSetExp")->click();
    QCOMPARE(scene.app.Mode(), ScreenMode::Home);
    QCOMPARE(CountMessages(scene.app.op, "These trial IDs repeat"), 1);
    QVERIFY((scene.Ids() == std::vector<std::string>{"RAT1", "RAT2", "RAT1"}));
    // Back and away again with the same IDs: no second warning; the run takes them.
    scene.app.Action("mnuSetupMazeExpt")->trigger();
    scene.app.Find<QPushButton>("cmdExitSetExp")->click();
    QCOMPARE(CountMessages(scene.app.op, "These trial IDs repeat"), 1);
    QVERIFY(CheckTrialIDs(scene.app.op, scene.app.program.experiment));
  }

  void trialList_isEditedPerSubjectAndKeptInTheProvenanceRecordOnly() {
    ExperimentScene scene({"RAT1", "RAT2"});
    auto* button = scene.app.Find<QPushButton>("cmdTrialList");
    // The run recorded RAT1's platform already: shown, not editable, kept.
    const std::filesystem::path dataFile = scene.app.home.Path() / "DAY1.EXP";
    ExperimentProvenance recorded;
    RecordTrialListPlatform(recorded, "RAT1", 2);
    QVERIFY(SaveProvenance(dataFile, recorded));
    scene.app.Find<FilePicker>("pfExptFile")->SetFileName(QString::fromStdString(dataFile.string()));
    bool shown = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<TrialListDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      QTableWidget* table = dialog->Table();
      shown = table->rowCount() == 2 && table->item(0, TrialListDialog::kSubject)->text() == "RAT1" &&
              table->item(1, TrialListDialog::kSubject)->text() == "RAT2" &&
              table->item(0, TrialListDialog::kPlatformPosition)->text() == "2" &&
              !(table->item(0, TrialListDialog::kPlatformPosition)->flags() & Qt::ItemIsEditable) &&
              !(table->item(0, TrialListDialog::kSubject)->flags() & Qt::ItemIsEditable);
      table->item(0, TrialListDialog::kGroup)->setText("WT");
      table->item(0, TrialListDialog::kTreatment)->setText("saline");
      table->item(0, TrialListDialog::kStartPosition)->setText("NE");
      table->item(1, TrialListDialog::kGroup)->setText("KO");
      dialog->findChild<QDialogButtonBox*>("btnTrialList")->button(QDialogButtonBox::Ok)->click();
    });
    button->click();
    QVERIFY(shown);
    const ExperimentProvenance record = LoadProvenance(dataFile).Record;
    const TrialListEntry *rat1 = FindTrialListEntry(record, "RAT1"), *rat2 = FindTrialListEntry(record, "RAT2");
    QVERIFY(rat1 && rat2);
    QCOMPARE(QString::fromStdString(rat1->Group + "|" + rat1->Treatment + "|" + rat1->StartPosition + "|" +
                                    rat1->PlatformPosition),
             QString("WT|saline|NE|2"));
    QCOMPARE(QString::fromStdString(rat2->Group + "|" + rat2->Treatment), QString("KO|"));

    // Cancel changes nothing; leaving writes the home's setups without the list.
    const std::string before = scene.app.home.Read("DAY1.provenance.json");
    QTimer::singleShot(0, [] {
      if (auto* dialog = qobject_cast<TrialListDialog*>(QApplication::activeModalWidget())) {
        dialog->Table()->item(1, TrialListDialog::kGroup)->setText("HET");
        dialog->reject();
      }
    });
    button->click();
    QCOMPARE(scene.app.home.Read("DAY1.provenance.json"), before);
    scene.app.Find<QPushButton>("cmdExitSetExp")->click();
    for (const char* file : {"SUBJECTS.INI", "DEFAULT.CFG"})
      QVERIFY2(scene.app.home.Read(file).find("saline") == std::string::npos, file);
  }
};

QTEST_MAIN(SetupExperimentScreenTest)
#include "setup_experiment_screen_test.moc"
