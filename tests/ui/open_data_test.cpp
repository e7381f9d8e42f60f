// The Open Data screen on a hand-written experiment: the subject grid and its legend,
// the three things a click can show (a trial, "No data for this subject", "There is no
// subject"), the track and its heat map, the epoch boxes' key filter, the epoch window
// and artifact filter giving exactly what `tarnwell-cli analyse` gives with the same
// options, and the output commands (F4, Trailmap, Print).
#include <QLineEdit>
#include <QProcess>

#include "analysis/experiment_folder.h"
#include "io/print_output.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "support/experiment_scene.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// WEEK102.RAW made long enough for an epoch window, swimming along y = 96 away from the
// platform with one jump of 31 pixels that the artifact filter leaves out.
std::string LongTrackWithJump() {
  std::string bytes;
  for (int i = 0; i < 60; ++i) AppendRawSampleBytes(bytes, PackRawSample(i < 30 ? 60 + i : 90 + i, 96));
  return bytes;
}

// The experiment WEEK1 in DATA/ of the home: R1 hit the goal, R2 has no raw file, R3's
// last trial was aborted.
std::filesystem::path WriteExperiment(const TempDir& home) {
  std::filesystem::create_directories(home.Path() / "DATA");
  TempDir scratch;
  const auto made = WriteWeek1(scratch);
  const auto folder = home.Path() / "DATA";
  for (const char* name : {"WEEK100.RAW", "WEEK1.EXP"}) {
    std::filesystem::copy_file(scratch.Path() / name, folder / name);
  }
  home.Write("DATA/WEEK102.RAW", LongTrackWithJump());
  const auto dataFile = folder / made.filename();
  WriteSubjectStatusWord(dataFile, 0, SubjectStatus::HitGoal);
  WriteSubjectStatusWord(dataFile, 2, SubjectStatus::Aborted);
  return dataFile;
}

struct DataScene : ExperimentScene {
  std::filesystem::path week1;
  DataScene() {
    app.window->resize(1000, 700);
    week1 = WriteExperiment(app.home);
    app.op.QueueReply(week1.string());
    app.Action("mnuFileOpen")->trigger();
    QCoreApplication::processEvents();
  }
  QLineEdit* EpochBox(int i) const { return app.window->findChild<QLineEdit*>(QString("txtEpoch%1").arg(i)); }
  QCheckBox* Check(const char* name) const { return app.window->findChild<QCheckBox*>(name); }
};

// The table `tarnwell-cli analyse` writes for a copy of the experiment with `options`.
std::vector<std::vector<std::string>> CliTable(const std::filesystem::path& dataFile,
                                               const QStringList& options) {
  TempDir copy, cliHome;
  for (const char* name : {"WEEK100.RAW", "WEEK102.RAW", "WEEK1.EXP"}) {
    std::filesystem::copy_file(dataFile.parent_path() / name, copy.Path() / name);
  }
  QProcess cli;
  cli.start(TARNWELL_BINARY_DIR "/apps/tarnwell-cli/tarnwell-cli",
            QStringList{"--home", QString::fromStdString(cliHome.Path().string()), "analyse",
                        QString::fromStdString((copy.Path() / "WEEK1.EXP").string())} +
                options);
  if (!cli.waitForFinished(30000) || cli.exitCode() != 0) {
    qWarning("tarnwell-cli: %s", cli.readAllStandardError().constData());
    return {};
  }
  return ReadRecords(copy.Path() / "WEEK1.CSV");
}

}  // namespace

class OpenDataTest : public QObject {
  Q_OBJECT
 private slots:
  void epochAndArtifactFilter_showExactlyWhatTheCommandLineToolComputes();
  void outputCommands_writeTheirFilesFromTheDataScreen();
  void loadAnalysisSettings_fromAnExperimentFileIsOffered();
};

void OpenDataTest::epochAndArtifactFilter_showExactlyWhatTheCommandLineToolComputes() {
  DataScene scene;
  QCheckBox* chkEpoch = scene.Check("chkEpoch");
  QCheckBox* chkArtifact = scene.Check("chkArtifact");
  struct Step {
    const char* name;
    bool epoch;
    const char* start;  // typed into the boxes
    const char* time;
    const char* option;  // the same window for the command-line tool
    bool artifact;
  };
  const Step steps[] = {
      {"whole trial", false, "", "", "", false},
      {"artifact filter", false, "", "", "", true},
      {"epoch and artifact filter", true, "0.5", "1", "0.5,1", true},
      {"epoch", true, "0.5", "1", "0.5,1", false},
      {"another epoch, typed with a decimal comma", true, "0,2", "0.4", "0.2,0.4", false},
      {"whole trial again", false, "", "", "", false},
  };
  ClickSubjectCell(scene, 0, 2);
  std::vector<std::vector<std::string>> shown;  // R3 at each step
  for (const Step& step : steps) {
    // The controls change what is shown at once, without another click.
    if (chkArtifact->isChecked() != step.artifact)
      QTest::mouseClick(chkArtifact, Qt::LeftButton, {}, QPoint(5, 5));
    if (chkEpoch->isChecked() != step.epoch) QTest::mouseClick(chkEpoch, Qt::LeftButton, {}, QPoint(5, 5));
    if (step.epoch) {
      for (int i = 0; i < 2; ++i) {
        scene.EpochBox(i)->setFocus();
        scene.EpochBox(i)->selectAll();
        QTest::keyClicks(scene.EpochBox(i), i == 0 ? step.start : step.time);
        QTest::keyClick(scene.EpochBox(i), Qt::Key_Return);
      }
    }
    QStringList options;
    if (step.epoch) options << "--epoch" << step.option;
    if (step.artifact) options << "--artifact-filter";
    const auto table = CliTable(scene.week1, options);
    QCOMPARE(table.size(), std::size_t(2));
    shown.push_back(ShownAsRecord(ReadShownTrial(scene)));
    QVERIFY2(
        Joined(shown.back()) == Joined(RecordValues(table[1])),
        qPrintable(
            QString("%1:\n%2\n%3").arg(step.name, Joined(shown.back()), Joined(RecordValues(table[1])))));
    ClickSubjectCell(scene, 0, 0);
    QCOMPARE(Joined(ShownAsRecord(ReadShownTrial(scene))), Joined(RecordValues(table[0])));
    ClickSubjectCell(scene, 0, 2);
  }
  // Each option changed the numbers (so the comparisons above could fail), and switching
  // everything off gives the first numbers back.
  for (std::size_t i = 1; i + 1 < shown.size(); ++i) QVERIFY2(shown[i] != shown[0], steps[i].name);
  QVERIFY(shown[3] != shown[4]);
  QCOMPARE(Joined(shown.back()), Joined(shown.front()));
  QCOMPARE(scene.EpochBox(0)->text() + " " + scene.Label("lblEpochL3")->text(), QString("000.2 000.6"));
}

void OpenDataTest::outputCommands_writeTheirFilesFromTheDataScreen() {
  DataScene scene;
  AppHarness& app = scene.app;
  const auto folder = scene.week1.parent_path();
  ClickSubjectCell(scene, 0, 0);
  for (const char* name : {"mnuSaveAs", "mnuSaveAll", "mnuExport"})
    QVERIFY2(app.Action(name)->isEnabled(), name);
  QVERIFY(!app.Action("mnuTrailmap")->isEnabled());

  // F4: every subject into WEEK1.CSV; the Trailmap export becomes available.
  app.op.ClearLog();
  scene.Key(Qt::Key_F4);
  scene.Tick();
  QCOMPARE(app.op.Messages().size(), std::size_t(1));
  QCOMPARE(app.op.Messages()[0].title, std::string("Export Successful"));
  QVERIFY(ReadRecords(folder / "WEEK1.CSV").size() == 2 && app.Action("mnuTrailmap")->isEnabled());

  app.op.ClearLog();
  app.Action("mnuTrailmap")->trigger();
  QCOMPARE(app.op.Messages().back().title, std::string("Status"));
  QVERIFY(app.home.Exists("DATA/WEEK1.TXT") && app.home.Exists("DATA/WEEK1Arena.WSP"));

  // Print: the page of the trial on display.
  const auto pdf = folder / "R1.pdf";
  scene.DataScreen()->printerFactory = [pdf] { return std::make_unique<PdfPrinterDevice>(pdf); };
  QTest::mouseClick(scene.Button("cmdPrintData"), Qt::LeftButton);
  std::string bytes;
  QVERIFY(ReadWholeFile(pdf, bytes) && bytes.starts_with("%PDF"));
  QVERIFY(!app.op.HasMessageContaining("Printing is not available"));

  // Leaving the data screen takes its entries away; F4 anywhere else does nothing.
  app.Action("mnuSetupSystem")->trigger();
  for (const char* name : {"mnuClose", "mnuSaveAs", "mnuSaveAll", "mnuExport", "mnuTrailmap", "mnuPrint"})
    QVERIFY2(!app.Action(name)->isEnabled(), name);
  QCOMPARE(app.window->windowTitle(), QString("Tarnwell v4.64"));
  app.op.ClearLog();
  scene.Key(Qt::Key_F4);
  scene.Tick();
  QVERIFY(app.op.Messages().empty());
}

void OpenDataTest::loadAnalysisSettings_fromAnExperimentFileIsOffered() {
  DataScene scene;
  AppHarness& app = scene.app;
  // Another experiment's file: its IDs, time and pool are what reanalysis should use.
  ExperimentSetup other;
  other.MaxTime = 7;
  other.ActivePlatform = 3;
  other.SubjectIDs = {"X1", "X2", "X3"};
  PoolSetup otherPool = app.program.pool;
  otherPool.NumRings = 2;
  const auto otherFile = scene.week1.parent_path() / "OTHER.EXP";
  QVERIFY(WriteExperimentRecord(otherFile, other, otherPool));

  QAction* load = app.Action("mnuLoadAnalysis");
  QVERIFY(load->isVisible() && load->isEnabled());
  QVERIFY2(!app.Action("mnuLoadCfg")->isVisible(), "legacy configurations load on Setup Pool only");
  const ReanalysisState& state = scene.DataScreen()->Analysis();
  QVERIFY(!state.SettingsLoaded);

  app.op.QueueReply(otherFile.string());
  load->trigger();
  QVERIFY(state.SettingsLoaded && state.Settings.Experiment.MaxTime == 7 &&
          state.Settings.Pool.NumRings == 2);
  QVERIFY((state.Settings.Experiment.SubjectIDs == std::vector<std::string>{"X1", "X2", "X3"}));
  QVERIFY(scene.Label("lblDataFile")->text().endsWith("Settings: OTHER.EXP"));

  app.Action("mnuSetupPool")->trigger();
  QVERIFY(app.Action("mnuLoadCfg")->isVisible() && !load->isEnabled());
}

QTEST_MAIN(OpenDataTest)
#include "open_data_test.moc"
