// The run and data screens in one test process: an experiment of our choosing, the 55 ms
// tick driven by the unit's own time, and readers for the screens and the data table.
#pragma once

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app_harness.h"
#include "core/file_access.h"
#include "study/study_sheet.h"
#include "ui/screens/open_data_screen.h"
#include "ui/screens/run_experiment_screen.h"
#include "ui/screens/subject_selection_grid.h"

namespace tarnwell::test {

struct ExperimentScene {
  AppHarness app;

  // Starts the program and makes `ids` the subjects of an experiment whose data file is
  // DATA/<name> in the home folder, platform 1 active, `maxTime` seconds per trial.
  explicit ExperimentScene(std::vector<std::string> ids = {"RAT1", "RAT2", "RAT3"}, int maxTime = 4,
                           const std::string& name = "RUN1.EXP", HarnessOptions options = {})
      : app(std::move(options)) {
    app.Start();
    // The tick runs on the unit's time (Run), not on the wall clock.
    app.window->Timer1().stop();
    app.window->show();
    QApplication::setActiveWindow(app.window.get());
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(app.window.get());
    std::filesystem::create_directories(app.home.Path() / "DATA");
    dataFile = app.home.Path() / "DATA" / name;
    ExperimentSetup& experiment = app.program.experiment;
    app.subjects.Fill(ids);
    app.subjects.RebuildSubjectIDs(experiment);
    experiment.DataFile = dataFile.string();
    experiment.DataFileValid = true;
    experiment.MaxTime = static_cast<int16_t>(maxTime);
    experiment.ActivePlatform = 1;
  }

  RunExperimentScreen* RunScreen() const { return app.window->findChild<RunExperimentScreen*>(); }
  OpenDataScreen* DataScreen() const { return app.window->findChild<OpenDataScreen*>(); }

  // `ms` of the unit's time in 10 ms steps; the 55 ms tick runs as it would.
  void Run(int ms) {
    for (int t = 0; t < ms; t += 10) {
      app.clock.Advance(10);
      sinceTickMs_ += 10;
      app.port.DispatchEvents(0);
      if (sinceTickMs_ >= FrmMain::kTimer1IntervalMs) {
        sinceTickMs_ = 0;
        app.window->Timer1_Timer();
      }
      QCoreApplication::processEvents();
    }
  }
  // Runs until the trial has ended (at most `limitMs`); false when it still runs.
  bool RunUntilTrialEnds(int limitMs) {
    for (int t = 0; t < limitMs && RunScreen()->IsTrialRunning(); t += 50) Run(50);
    return !RunScreen()->IsTrialRunning();
  }
  void Tick() { app.window->Timer1_Timer(); }
  void Key(Qt::Key key) { QTest::keyClick(app.window.get(), key); }

  // A control of the window by its design name.
  template <typename T>
  T* Child(const char* name) const {
    T* child = app.window->findChild<T*>(name);
    if (child == nullptr) qFatal("no control %s", name);
    return child;
  }
  QLabel* Label(const char* name) const { return Child<QLabel>(name); }
  QPushButton* Button(const char* name) const { return Child<QPushButton>(name); }
  std::string Text(const char* name) const { return Label(name)->text().toStdString(); }
  bool Shown(const char* name) const { return !Label(name)->isHidden(); }

  std::filesystem::path Numbered(const char* suffix) const {
    return dataFile.parent_path() / (dataFile.stem().string() + suffix);
  }

  // Saves a picture of the window when TARNWELL_SCREENSHOT_DIR names a folder (the
  // README's pictures are taken this way).
  void Screenshot(const char* fileName) const {
    const char* dir = std::getenv("TARNWELL_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') return;
    QCoreApplication::processEvents();
    app.window->grab().save(QString::fromStdString((std::filesystem::path(dir) / fileName).string()));
  }

  std::filesystem::path dataFile;

 private:
  int sinceTickMs_ = 0;
};

// The records of a tabulated data file, their fields without quotes.
inline std::vector<std::vector<std::string>> ReadRecords(const std::filesystem::path& table) {
  std::string text;
  std::vector<std::vector<std::string>> records;
  if (!ReadWholeFile(table, text)) return records;
  for (CsvRecord& record : ParseCsvRecords(text, ',')) {
    if (record.Fields.back().empty()) record.Fields.pop_back();  // every line ends in a comma
    if (!record.Fields.empty()) records.push_back(std::move(record.Fields));
  }
  return records;
}

// What the data screen shows of one trial in the order of a table record's values: the
// header's label, status, latency, path, angle and distance, then the grid's cells past
// its first column (the counters' 5 x 4, each ring's entries, times and paths 3 x 4).
inline std::vector<std::string> ShownRecord(const ExperimentScene& scene) {
  std::map<std::string, std::string> header;  // lblMazeExptParams: label -> value
  for (const QString& line : scene.Label("lblMazeExptParams")->text().split('\n')) {
    const int colon = line.indexOf(" : ");
    if (colon >= 0)
      header[line.left(colon).trimmed().toStdString()] = line.mid(colon + 3).trimmed().toStdString();
  }
  std::vector<std::string> record;
  for (const char* key : {"Subject Label", "Trial was ended by", "Latency (in seconds)",
                          "Path Length (in cms)", "Initial Angle (degs)", "@cms from start"})
    record.push_back(header.contains(key) ? header[key] : std::string("<missing ") + key + ">");
  const auto* grid = scene.app.window->findChild<QTableWidget*>("grOpenData");
  for (int r = 0; r < grid->rowCount(); ++r) {
    // The headings of the counters and of the zones: their cells name the columns 1..4.
    const QString first = grid->item(r, 0) ? grid->item(r, 0)->text() : QString();
    if (first.startsWith("Counters") || first.startsWith("Zones")) continue;
    for (int c = 1; c < grid->columnCount(); ++c)
      record.push_back(grid->item(r, c) ? grid->item(r, c)->text().toStdString() : std::string());
  }
  return record;
}

// A table record without its epoch items and its data file name, to compare with the
// shown values.
inline std::vector<std::string> RecordValues(std::vector<std::string> record) {
  if (!record.empty() && record[0] == "Epoch") record.erase(record.begin(), record.begin() + 3);
  if (!record.empty()) record.erase(record.begin());
  return record;
}

// Values joined with " | ", so that a failed comparison shows both sides.
inline QString Joined(const std::vector<std::string>& values) {
  QStringList list;
  for (const std::string& v : values) list << QString::fromStdString(v);
  return list.join(" | ");
}

// Clicks the subject grid's cell (row, column).
inline void ClickSubjectCell(const ExperimentScene& scene, int row, int column) {
  SubjectSelectionGrid* grid = scene.DataScreen()->SubjectGrid();
  QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, grid->CellRect(row, column).center());
}

}  // namespace tarnwell::test
