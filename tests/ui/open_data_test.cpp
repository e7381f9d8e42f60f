// The Open Data screen on a hand-written experiment: its analysis options reaching what
// `tarnwell-cli analyse` gives, the output commands, another experiment's settings, the
// subjects by keyboard, and a layout that grows with the window.
#include <QComboBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QTableWidget>
#include <QTimer>

#include "analysis/experiment_folder.h"
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
  TempDir scratch;
  const auto made = WriteWeek1(scratch);
  const auto folder = home.Path() / "DATA";
  for (const char* name : {"WEEK100.RAW", "WEEK1.EXP"})
    std::filesystem::copy_file(scratch.Path() / name, folder / name);
  home.Write("DATA/WEEK102.RAW", LongTrackWithJump());
  const auto dataFile = folder / made.filename();
  WriteSubjectStatusWord(dataFile, 0, SubjectStatus::HitGoal);
  WriteSubjectStatusWord(dataFile, 2, SubjectStatus::Aborted);
  return dataFile;
}

struct DataScene : ExperimentScene {
  std::filesystem::path week1;
  // `provenance`: the text of the experiment's provenance record (none when null).
  explicit DataScene(const char* provenance = nullptr) {
    app.window->resize(1000, 700);
    week1 = WriteExperiment(app.home);
    if (provenance != nullptr) app.home.Write("DATA/WEEK1.provenance.json", provenance);
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
  for (const char* name : {"WEEK100.RAW", "WEEK102.RAW", "WEEK1.EXP"})
    std::filesystem::copy_file(dataFile.parent_path() / name, copy.Path() / name);
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
  void epochAndArtifactFilter_showExactlyWhatTheCommandLineToolComputes() {
    DataScene scene;
    QCheckBox* chkEpoch = scene.Check("chkEpoch");
    QCheckBox* chkArtifact = scene.Check("chkArtifact");
    // Table: the epoch's start and time typed into the boxes, the same window for the
    // command-line tool, and the artifact filter (their numbers: the analysis tests).
    struct Step { const char* name; bool epoch; const char *start, *time, *option; bool artifact; };
    const Step steps[] = {
        {"whole trial", false, "", "", "", false},
        {"artifact filter", false, "", "", "", true},
        {"epoch, typed with a decimal comma", true, "0,2", "0.4", "0.2,0.4", false},
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
      shown.push_back(ShownRecord(scene));
      QVERIFY2(
          Joined(shown.back()) == Joined(RecordValues(table[1])),
          qPrintable(
              QString("%1:\n%2\n%3").arg(step.name, Joined(shown.back()), Joined(RecordValues(table[1])))));
    }
    // Each option changed the numbers (so the comparisons above could fail), and switching
    // everything off gives the first numbers back.
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) QVERIFY2(shown[i] != shown[0], steps[i].name);
    QCOMPARE(Joined(shown.back()), Joined(shown.front()));
    QCOMPARE(scene.EpochBox(0)->text() + " " + scene.Label("lblEpochL3")->text(), QString("000.2 000.6"));
  }

  // A provenance record cut off mid-way is said once as the experiment opens; viewing,
  // exporting and opening it again analyse without it, unsaid, and it stays as it was.
  void outputCommands_writeTheirFiles_pastADamagedProvenanceRecord() {
    DataScene scene("{\"format\": 1, \"trials\": ");
    AppHarness& app = scene.app;
    QCOMPARE(app.op.Messages().size(), std::size_t(1));
    const OperatorLogEntry said = app.op.Messages()[0];
    QVERIFY(said.title == "Provenance Record" && said.icon == MessageIcon::Exclamation);
    QVERIFY2(said.text.starts_with("The provenance record of this experiment:\n"
                                   "WEEK1.provenance.json is damaged (not JSON).\n"),
             said.text.c_str());
    ClickSubjectCell(scene, 0, 0);
    for (const char* name : {"mnuSaveAs", "mnuSaveAll", "mnuExport"}) QVERIFY2(app.Action(name)->isEnabled(), name);
    QVERIFY(!app.Action("mnuTrailmap")->isEnabled());

    // F4: every subject into WEEK1.CSV; the Trailmap export becomes available.
    app.op.ClearLog();
    scene.Key(Qt::Key_F4);
    scene.Tick();
    QVERIFY(ReadRecords(scene.week1.parent_path() / "WEEK1.CSV").size() == 2 && app.Action("mnuTrailmap")->isEnabled());
    app.Action("mnuTrailmap")->trigger();
    QVERIFY(app.home.Exists("DATA/WEEK1.TXT") && app.home.Exists("DATA/WEEK1Arena.WSP"));
    app.op.QueueReply(scene.week1.string());
    app.Action("mnuFileOpen")->trigger();
    QCoreApplication::processEvents();
    QVERIFY(!app.op.HasMessageContaining("provenance") && app.home.Exists("DATA/WEEK1.provenance.json"));

    // Leaving the data screen takes its entries away; F4 anywhere else does nothing.
    app.Action("mnuSetupSystem")->trigger();
    for (const char* name : {"mnuClose", "mnuSaveAs", "mnuSaveAll", "mnuExport", "mnuTrailmap", "mnuPrint"})
      QVERIFY2(!app.Action(name)->isEnabled(), name);
    app.op.ClearLog();
    scene.Key(Qt::Key_F4);
    scene.Tick();
    QVERIFY(app.op.Messages().empty());
  }

  // Another experiment's file gives reanalysis its IDs, time and pool; legacy
  // configurations load on Setup Pool only.
  void loadAnalysisSettings_fromAnExperimentFileIsOffered() {
    DataScene scene;
    AppHarness& app = scene.app;
    ExperimentSetup other;
    other.MaxTime = 7;
    other.SubjectIDs = {"X1", "X2", "X3"};
    PoolSetup otherPool = app.program.pool;
    otherPool.NumRings = 2;
    const auto otherFile = scene.week1.parent_path() / "OTHER.EXP";
    QVERIFY(WriteExperimentRecord(otherFile, other, otherPool));
    QAction* load = app.Action("mnuLoadAnalysis");
    QVERIFY(load->isVisible() && load->isEnabled() && !app.Action("mnuLoadCfg")->isVisible());
    const ReanalysisState& state = scene.DataScreen()->Analysis();
    QVERIFY(!state.SettingsLoaded);
    app.op.QueueReply(otherFile.string());
    load->trigger();
    QVERIFY(state.SettingsLoaded && state.Settings.Experiment.MaxTime == 7 && state.Settings.Pool.NumRings == 2 &&
            state.Settings.Experiment.SubjectIDs == other.SubjectIDs);
    QVERIFY(scene.Label("lblDataFile")->text().endsWith("Settings: OTHER.EXP"));
    app.Action("mnuSetupPool")->trigger();
    QVERIFY(app.Action("mnuLoadCfg")->isVisible() && !load->isEnabled());
  }

  void keyboard_reachesAndWalksTheSubjects() {
    DataScene scene;
    SubjectSelectionGrid* grid = scene.DataScreen()->SubjectGrid();
    // Tab from the first control of the screen reaches the subjects.
    scene.Button("cmdExitData")->setFocus();
    for (int i = 0; i < 30 && QApplication::focusWidget() != grid; ++i)
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
    // Table: the key, the subject then on display (R1, R2 without data, R3).
    const struct { Qt::Key key; int shown; } steps[] = {{Qt::Key_Home, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 2},
        {Qt::Key_Right, 2}, {Qt::Key_Left, 1}, {Qt::Key_Home, 0},  {Qt::Key_End, 2}};
    for (const auto& step : steps) {
      QTest::keyClick(grid, step.key);
      QCOMPARE(grid->Cursor(), step.shown);
      // R2 has no data: it is reported, and no subject stays highlighted.
      QCOMPARE(grid->Selected(), step.shown == 1 ? -1 : step.shown);
      QCOMPARE(scene.Text("lblMazeExptParams")
                       .find(step.shown == 1   ? "No data"
                             : step.shown == 0 ? "R1"
                                               : "R3") != std::string::npos,
               true);
    }
    // The cursor follows a click; Enter shows the subject under it.
    ClickSubjectCell(scene, 0, 0);
    QCOMPARE(grid->Cursor(), 0);
    QTest::keyClick(grid, Qt::Key_Down);  // no row below
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->Selected(), 0);
  }

  void layout_showsWholeIdsAndGrowsWithTheWindow() {
    DataScene scene;
    SubjectSelectionGrid* grid = scene.DataScreen()->SubjectGrid();
    auto* table = scene.app.window->findChild<QTableWidget*>("grOpenData");
    QLabel* header = scene.Label("lblMazeExptParams");
    ClickSubjectCell(scene, 0, 0);
    scene.Screenshot("open-data.png");
    // Lab IDs as long as labs write them, more than fill whole rows: each whole in its cell.
    std::vector<ViewedSubject> subjects;
    for (int i = 0; i < 11; ++i)
      subjects.push_back(
          {i, "WT-2026-" + std::to_string(1000 + i) + "-L", ViewedSubjectState::Completed, true});
    grid->SetSubjects(subjects);

    std::vector<std::pair<double, int>> seen;  // the table's font size and columns' width
    for (const QSize window : {QSize(1000, 700), QSize(1920, 1080)}) {
      scene.app.window->resize(window);
      QCoreApplication::processEvents();
      const QString size = QString("%1 x %2").arg(window.width()).arg(window.height());
      for (int i = 0; i < 11; ++i) {
        const int row = i / grid->Columns(), column = i % grid->Columns();
        const QString text = grid->CellText(row, column);
        const QRect cell = grid->CellRect(row, column);
        QVERIFY2(cell.width() - 6 >= grid->fontMetrics().horizontalAdvance(text) && cell.bottom() < grid->height(),
                 qPrintable(size + ": " + text));
      }
      // The header shows its longest line whole ("DAY1.EX" was all a lab saw of a name).
      QVERIFY2(header->width() >= header->sizeHint().width(), qPrintable(size));
      QVERIFY(header->text().contains("WEEK1.EXP"));
      // The table's columns fill its width: no empty band beside small numbers.
      int columns = 0;
      for (int c = 0; c < table->columnCount(); ++c) columns += table->columnWidth(c);
      QVERIFY2(columns >= table->viewport()->width() - 2, qPrintable(size));
      seen.push_back({table->font().pointSizeF(), columns});
    }
    QVERIFY(seen[1].first > seen[0].first && seen[1].second > seen[0].second);
    // Table: the screen's size and its text's scale, in eighths, by the side with the least room.
    for (const auto& [size, scale] : {std::pair{QSize(640, 430), 1.0}, std::pair{QSize(1920, 500), 1.125},
                                      std::pair{QSize(700, 1000), 1.0}, std::pair{QSize(4000, 3000), 2.0}})
      QCOMPARE(OpenDataScreen::TextScaleFor(size), scale);
  }

  // With no printer on the system the print dialog opens on "Print to File (PDF)" with the
  // trial's name beside its raw file, and accepting it writes the page there.
  void print_opensTheDialogWithPdf_andWritesTheTrialsPage() {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("this computer has a printer");
    DataScene scene;
    ClickSubjectCell(scene, 0, 0);
    const auto pdf = scene.week1.parent_path() / "WEEK100.pdf";
    QStringList offered;
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      dialogSeen = true;
      for (QComboBox* box : dialog->findChildren<QComboBox*>())
        for (int i = 0; i < box->count(); ++i) offered << box->itemText(i);
      dialog->accept();
    });
    QTest::mouseClick(scene.Button("cmdPrintData"), Qt::LeftButton);
    QVERIFY(dialogSeen);
    QVERIFY2(offered.join("|").contains("PDF"), qPrintable(offered.join("|")));
    std::string bytes;
    QVERIFY(ReadWholeFile(pdf, bytes) && bytes.starts_with("%PDF"));

    // Cancelled: nothing is written and nothing said.
    std::filesystem::remove(pdf);
    scene.app.op.ClearLog();
    QTimer::singleShot(0, [] {
      if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    QTest::mouseClick(scene.Button("cmdPrintData"), Qt::LeftButton);
    QVERIFY(!std::filesystem::exists(pdf) && scene.app.op.Messages().empty());
  }
};

QTEST_MAIN(OpenDataTest)
#include "open_data_test.moc"
