// The Run Experiment screen on the simulated unit: a whole experiment run from the window
// (Start button, S key, the unit's remote button, ESC and a re-run) reaching the run
// controller, whose labels, statuses and files the acquisition tests pin.
#include "acquisition/run_controller.h"
#include "records/provenance.h"
#include "support/experiment_scene.h"
#include "ui/widgets/live_marker_view.h"
#include "ui/widgets/subject_status_grid.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

constexpr int kPlatformX = 158;  // platform 1 of the default pool, where the unit's animal finds it
constexpr int kPlatformY = 66;

std::string Prompt(const std::string& previous, const std::string& next) {
  std::string text;
  if (!previous.empty()) text = "\nPrevious finish status : \n" + previous + "\n\n";
  return text + "Please put subject \"" + next + "\"\nin the tank and click\n\"Start\" to begin recording.";
}

std::vector<std::string> GridCells(const ExperimentScene& scene) {
  return scene.RunScreen()->SubjectGrid()->Cells();
}

std::uintmax_t Size(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  return error ? 0 : size;
}

// Pixels of the run screen's white trace in picBackGround.
int TracePixels(const ExperimentScene& scene) {
  const QImage& image = scene.RunScreen()->View()->Background()->Image();
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
  }
  return n;
}

}  // namespace

class RunExperimentTest : public QObject {
  Q_OBJECT
 private slots:
  void wholeExperimentFromTheWindow() {
    ExperimentScene scene({"RAT1", "RAT2", "RAT3"}, /*maxTime=*/10);
    AppHarness& app = scene.app;
    app.program.settings.DrawTrace = true;

    app.Action("mnuRunExpt")->trigger();
    QCOMPARE(scene.Text("lblMessage"), Prompt("", "RAT1"));
    QVERIFY(scene.Shown("lblReadyToBegin") && !scene.Button("cmdStopExpt")->isEnabled());

    // ---- RAT1 by the Start button: it swims until it finds the platform or the time runs out.
    QTest::mouseClick(scene.Button("cmdRunExpt"), Qt::LeftButton);
    QVERIFY(!scene.Shown("lblReadyToBegin") && !scene.Shown("lblMessage") &&
            !scene.Button("cmdRunExpt")->isEnabled());
    scene.Run(2500);
    QVERIFY(scene.RunScreen()->IsTrialRunning() && !scene.RunScreen()->View()->Marker()->isHidden());
    QVERIFY2(TracePixels(scene) > 20, "the swim path is drawn during the trial");
    QCOMPARE(scene.Text("lblTimeElap").substr(0, 6), std::string("00:02."));
    scene.Run(3500);
    if (scene.RunScreen()->IsTrialRunning()) scene.Screenshot("run-experiment.png");
    QVERIFY(scene.RunUntilTrialEnds(5000));
    const std::string first = GetFinishStatusText(app.program.run.PreviousFinishStatus);
    QVERIFY2(first == "Hit Goal" || first == "Timed Out", first.c_str());
    QCOMPARE(scene.Text("lblMessage"), Prompt("Subject #1 (RAT1) : " + first, "RAT2"));
    QVERIFY(scene.Button("cmdRunExpt")->isEnabled());

    // ---- RAT2 by the S key, held away from the platform, then ESC.
    app.unit.HoldAnimalAt(70, 120);
    scene.Key(Qt::Key_S);
    scene.Tick();
    QCOMPARE(GridCells(scene)[1], std::string("W2) RAT2"));
    scene.Run(1000);
    scene.Key(Qt::Key_Escape);
    scene.Tick();
    QVERIFY(!scene.RunScreen()->IsTrialRunning() && !scene.RunScreen()->IsExperimentActive());
    QCOMPARE(Joined({scene.Text("lblExptStat"), GridCells(scene)[1]}), Joined({"Stopped", "B2) RAT2"}));

    // ---- RAT2 again, by the unit's remote button; timed out.
    app.unit.PressRemoteButton();
    scene.Tick();
    QVERIFY(scene.RunScreen()->IsTrialRunning() && scene.RunUntilTrialEnds(11000));
    QCOMPARE(scene.Text("lblMessage"), Prompt("Subject #2 (RAT2) : Timed Out", "RAT3"));

    // ---- RAT3 by the Start button, straight onto the platform: the experiment finishes.
    app.op.ClearLog();
    app.unit.ReleaseAnimal();
    QTest::mouseClick(scene.Button("cmdRunExpt"), Qt::LeftButton);
    scene.Run(700);
    QCOMPARE(scene.Text("lblSpecInstr"), std::string(kAbortInstruction));
    app.unit.HoldAnimalAt(kPlatformX, kPlatformY);
    // Nothing on screen still offers to abort a trial once the last one is over, not even
    // behind the message that says so.
    std::string promptAtMessage = "(no message)";
    app.op.onEntry = [&](const OperatorLogEntry&) {
      const QLabel* prompt = scene.Label("lblSpecInstr");
      promptAtMessage = prompt->isVisibleTo(app.window.get()) ? prompt->text().toStdString() : "";
    };
    QVERIFY(scene.RunUntilTrialEnds(1000));
    app.op.onEntry = nullptr;
    QCOMPARE(promptAtMessage, std::string());
    QVERIFY(!scene.Label("lblSpecInstr")->isVisibleTo(app.window.get()) || scene.Text("lblSpecInstr").empty());
    QCOMPARE(scene.Text("lblExptStat"), std::string("Finished"));
    QCOMPARE(CountMessages(app.op, kExperimentFinishedText), 1);
    QVERIFY(!scene.Button("cmdRunExpt")->isEnabled());

    // ---- Home: leaving builds the tabulated data file (no question: there was none).
    app.op.ClearLog();
    QTest::mouseClick(scene.Button("cmdExitRunExpt"), Qt::LeftButton);
    QCOMPARE(app.Mode(), ScreenMode::Home);
    QVERIFY(app.op.Messages().empty());
    const auto table = ReadRecords(scene.Numbered(".CSV"));
    QCOMPARE(table.size(), std::size_t(3));
    QCOMPARE(Joined({table[0][2], table[1][2], table[2][2]}), Joined({first, "Timed Out", "Hit Goal"}));
  }

  void closeBoxDuringATrial_abortsAndRecordsIt() {
    ExperimentScene scene;
    scene.app.Action("mnuRunExpt")->trigger();
    scene.app.unit.HoldAnimalAt(70, 120);
    QTest::mouseClick(scene.Button("cmdRunExpt"), Qt::LeftButton);
    scene.Run(1000);
    scene.app.window->close();
    QVERIFY(!scene.app.window->HasShutDown() && !scene.RunScreen()->IsTrialRunning() &&
            Size(scene.Numbered("00.RAW")) >= 2 * 25);
    QCOMPARE(scene.Text("lblExptStat"), std::string("Stopped"));
    QCOMPARE(scene.app.program.run.PreviousFinishStatus, kFinishAborted);
  }

  // A subject clicked between trials is prompted and recorded next; each trial's record
  // names the unit the program was started with.
  void subjectClickedBetweenTrials_isPromptedAndRecorded() {
    HarnessOptions seeded;
    seeded.configure = [](AppContext& context) {
      context.trialSource = [] {
        TrialSourceState state;
        state.Source.Kind = TrialSourceKind::SimulatedUnit;
        state.Source.Seed = 7;
        return state;
      };
    };
    ExperimentScene scene({"RAT1", "RAT2", "RAT3"}, 4, "RUN1.EXP", seeded);
    scene.app.unit.HoldAnimalAt(kPlatformX, kPlatformY);
    scene.app.Action("mnuRunExpt")->trigger();
    QTest::mouseClick(scene.Button("cmdRunExpt"), Qt::LeftButton);
    QVERIFY(scene.RunUntilTrialEnds(1000));
    QVERIFY(scene.RunScreen()->IsExperimentActive());
    SubjectStatusGrid* grid = scene.RunScreen()->SubjectGrid();
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(2).center());
    QCOMPARE(scene.Text("lblMessage"), Prompt("Subject #1 (RAT1) : Hit Goal", "RAT3"));
    QTest::mouseClick(scene.Button("cmdRunExpt"), Qt::LeftButton);
    QVERIFY(scene.RunUntilTrialEnds(1000));
    QVERIFY(Size(scene.Numbered("02.RAW")) > 0 && !std::filesystem::exists(scene.Numbered("01.RAW")));
    QCOMPARE(Joined(GridCells(scene)), Joined({"G1) RAT1", "B2) RAT2", "G3) RAT3"}));
    const ExperimentProvenance record = LoadProvenance(scene.dataFile).Record;
    for (const char* raw : {"RUN100.RAW", "RUN102.RAW"}) {
      const TrialProvenance* trial = record.FindTrial(raw);
      QVERIFY2(trial && trial->Source.Kind == TrialSourceKind::SimulatedUnit && trial->Source.Seed == 7u, raw);
    }
  }
};

QTEST_MAIN(RunExperimentTest)
#include "run_experiment_test.moc"
