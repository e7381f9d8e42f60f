// Screens and menus: every transition runs the leaving actions, the two refusals, the
// port and aspect ratio taken from the System Setup screen, the window's size rules,
// the caption, About and the manual.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "support/app_harness.h"
#include "ui/screens/system_setup_screen.h"
#include "ui/widgets/file_picker.h"

using namespace tarnwell;
using namespace tarnwell::test;

Q_DECLARE_METATYPE(tarnwell::ScreenMode)

class NavigationTest : public QObject {
  Q_OBJECT
 private slots:
  void everyDesignedMenuEntryExists_data();
  void everyDesignedMenuEntryExists();
  void leavingAScreen_runsItsLeavingActions_data();
  void leavingAScreen_runsItsLeavingActions();
  void currentScreensMenuEntry_isDisabledUntilLeft();
  void invertQuestion_answers_data();
  void invertQuestion_answers();
  void invertPressedTwice_asksNothing();
  void missingDataFile_cancelKeepsTheExperimentScreen_data();
  void missingDataFile_cancelKeepsTheExperimentScreen();
  void comPort_takenFromTheList_data();
  void comPort_takenFromTheList();
  void aspectRatioOutOfRange_isLimitedWithTheRangeMessage();
  void resizeBelowMinimum_snapsTo8500By6780Twips();
  void resizeWhileMouseButtonDown_isDeferredToTheTick();
  void caption_followsTheOpenDataFile();
  void altF10_showsAboutOnEveryScreen_data();
  void altF10_showsAboutOnEveryScreen();
  void help_opensTheShippedManual();
  void monitorMenu_withUnitOff_retriesTheHandshake();
  void overlayTextOfAScreen_isClearedWhenTheScreenIsLeft();
};

void NavigationTest::everyDesignedMenuEntryExists_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");  // empty: any caption
  for (const char* name :
       {"mnuLoad",    "mnuSave",     "mnuSaveAs",      "mnuSaveAll", "mnuExport", "mnuTrailmap",
        "mnuPrint",   "mnuClose",    "mnuCut",         "mnuCopy",    "mnuPaste",  "mnuClearAll",
        "mnuProject", "mnuAdvanced", "mnuSetExptPlat", "mnuLoadCfg", "mnuHelp",   "mnuExit",
        "mnuMonitor", "mnuRunExpt",  "mnuReset",       "mnuFileOpen"}) {
    QTest::newRow(name) << name << QString();
  }
  QTest::newRow("mnuSetupMazeExpt") << "mnuSetupMazeExpt"
                                    << "&Experiment";
  QTest::newRow("mnuSetupSystem") << "mnuSetupSystem"
                                  << "S&ystem";
  QTest::newRow("mnuSetupPool") << "mnuSetupPool"
                                << "&Pool";
}

void NavigationTest::everyDesignedMenuEntryExists() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  AppHarness app;
  app.Start();
  QAction* action = app.window->Action(name);
  QVERIFY2(action != nullptr, qPrintable(name));
  QVERIFY(!action->text().isEmpty());
  if (!caption.isEmpty()) QCOMPARE(action->text(), caption);
  QCOMPARE(app.window->findChild<QMenu*>("mnuSetup")->title(), QString("Set&up"));
  // Set active platform starts hidden.
  QVERIFY(!app.Action("mnuSetExptPlat")->isVisible());
}

void NavigationTest::leavingAScreen_runsItsLeavingActions_data() {
  QTest::addColumn<QString>("entry");
  QTest::addColumn<ScreenMode>("mode");
  QTest::addColumn<QString>("fileWritten");  // in the home folder, on leaving
  QTest::newRow("pool") << "mnuSetupPool" << ScreenMode::SetupPool << "DEFAULT.POL";
  QTest::newRow("experiment") << "mnuSetupMazeExpt" << ScreenMode::SetupExperiment << "DEFAULT.CFG";
  QTest::newRow("system") << "mnuSetupSystem" << ScreenMode::SetupSystem << "Default.SET";
  QTest::newRow("monitor") << "mnuMonitor" << ScreenMode::Monitor << "";
  QTest::newRow("run") << "mnuRunExpt" << ScreenMode::RunExperiment << "";
}

void NavigationTest::leavingAScreen_runsItsLeavingActions() {
  QFETCH(QString, entry);
  QFETCH(ScreenMode, mode);
  QFETCH(QString, fileWritten);
  // Every transition, not only the way home: from this screen to each other one.
  for (const char* next :
       {"mnuSetupPool", "mnuSetupMazeExpt", "mnuSetupSystem", "mnuMonitor", "mnuRunExpt"}) {
    if (entry == next) continue;
    AppHarness app;
    app.Start();
    for (const char* f : {"DEFAULT.POL", "DEFAULT.CFG", "Default.SET", "SUBJECTS.INI"}) {
      std::filesystem::remove(app.home.Path() / f);
    }
    app.Action(entry.toLatin1().constData())->trigger();
    QCOMPARE(app.Mode(), mode);
    if (mode == ScreenMode::Monitor) QVERIFY(app.unit.IsStreaming());
    if (!fileWritten.isEmpty()) QVERIFY(!app.home.Exists(fileWritten.toStdString()));
    const int refreshesBefore = app.unit.TextRefreshes();

    app.Action(next)->trigger();
    QVERIFY2(app.Mode() != mode, next);
    if (!fileWritten.isEmpty()) QVERIFY2(app.home.Exists(fileWritten.toStdString()), next);
    if (mode == ScreenMode::SetupExperiment) QVERIFY(app.home.Exists("SUBJECTS.INI"));
    if (mode == ScreenMode::RunExperiment) QVERIFY(app.unit.TextRefreshes() > refreshesBefore);
    if (std::string(next) != "mnuMonitor") QVERIFY2(!app.unit.IsStreaming(), next);
  }
}

void NavigationTest::currentScreensMenuEntry_isDisabledUntilLeft() {
  AppHarness app;
  app.Start();
  app.Action("mnuSetupPool")->trigger();
  QVERIFY(!app.Action("mnuSetupPool")->isEnabled());
  QVERIFY(app.Action("mnuSetupSystem")->isEnabled());
  app.Find<QPushButton>("cmdExitSetupPool")->click();
  QCOMPARE(app.Mode(), ScreenMode::Home);
  QVERIFY(app.Action("mnuSetupPool")->isEnabled());
}

void NavigationTest::invertQuestion_answers_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("staysOnScreen");
  QTest::addColumn<int>("settingsSaved");
  QTest::addColumn<bool>("askedAgain");
  QTest::newRow("Yes saves into the unit") << int(Answer::Yes) << false << 1 << false;
  QTest::newRow("No leaves, asks again") << int(Answer::No) << false << 0 << true;
  QTest::newRow("Cancel stays") << int(Answer::Cancel) << true << 0 << true;
}

void NavigationTest::invertQuestion_answers() {
  QFETCH(int, answer);
  QFETCH(bool, staysOnScreen);
  QFETCH(int, settingsSaved);
  QFETCH(bool, askedAgain);
  AppHarness app;
  app.Start();
  app.Action("mnuSetupSystem")->trigger();
  app.Find<QPushButton>("cmdInvMazeVideo")->click();
  QVERIFY(app.unit.VideoInverted());
  std::filesystem::remove(app.home.Path() / "Default.SET");
  app.op.ClearLog();

  app.op.QueueAnswer(static_cast<Answer>(answer));
  app.Action("mnuSetupPool")->trigger();
  QCOMPARE(app.op.Messages().size(), std::size_t(1));
  const auto question = app.op.Messages().front();
  QCOMPARE(QString::fromStdString(question.text),
           QString("The 'Video Inverted' status\nhas changed.\n\nWould you like to save\nthis setting to the "
                   "memory\nof the Quentrix?"));
  QCOMPARE(QString::fromStdString(question.title), QString("Confirm Setting Change"));
  QVERIFY(question.icon == MessageIcon::Question);
  QVERIFY(question.buttons == MessageButtons::YesNoCancel);
  QCOMPARE(app.Mode(), staysOnScreen ? ScreenMode::SetupSystem : ScreenMode::SetupPool);
  QCOMPARE(app.home.Exists("Default.SET"), !staysOnScreen);
  QCOMPARE(app.unit.SettingsSaved(), settingsSaved);

  // Come back and leave again: the question returns unless the state was saved.
  app.op.ClearLog();
  app.op.QueueAnswer(Answer::No);
  app.Action("mnuSetupSystem")->trigger();
  app.Action("mnuSetupPool")->trigger();
  QCOMPARE(CountMessages(app.op, "Video Inverted"), askedAgain ? 1 : 0);
}

void NavigationTest::invertPressedTwice_asksNothing() {
  AppHarness app;
  app.Start();
  app.Action("mnuSetupSystem")->trigger();
  auto* invert = app.Find<QPushButton>("cmdInvMazeVideo");
  invert->click();
  invert->click();
  app.op.ClearLog();
  app.Action("mnuSetupPool")->trigger();
  QCOMPARE(app.Mode(), ScreenMode::SetupPool);
  QVERIFY(app.op.Messages().empty());
  QVERIFY(!app.unit.VideoInverted());
}

void NavigationTest::missingDataFile_cancelKeepsTheExperimentScreen_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("staysOnScreen");
  QTest::newRow("Cancel") << int(Answer::Cancel) << true;
  QTest::newRow("OK") << int(Answer::Ok) << false;
}

void NavigationTest::missingDataFile_cancelKeepsTheExperimentScreen() {
  QFETCH(int, answer);
  QFETCH(bool, staysOnScreen);
  AppHarness app;
  app.Start();
  app.Action("mnuSetupMazeExpt")->trigger();
  // A data file in a folder that does not exist can be neither found nor created.
  app.Find<FilePicker>("pfExptFile")
      ->SetFileName(QString::fromStdString((app.home.Path() / "no-such-folder" / "RUN.EXP").string()));
  std::filesystem::remove(app.home.Path() / "DEFAULT.CFG");
  app.op.ClearLog();
  app.op.QueueAnswer(static_cast<Answer>(answer));

  app.Find<QPushButton>("cmdExitSetExp")->click();
  const std::string warningText = "No output data file has been\nselected.\nData will not be saved.";
  QCOMPARE(CountMessages(app.op, warningText), 1);
  const auto messages = app.op.Messages();
  const auto warning = std::find_if(messages.begin(), messages.end(),
                                    [&](const OperatorLogEntry& m) { return m.text == warningText; });
  QCOMPARE(QString::fromStdString(warning->title), QString("Warning"));
  QCOMPARE(app.Mode(), staysOnScreen ? ScreenMode::SetupExperiment : ScreenMode::Home);
  QCOMPARE(app.home.Exists("DEFAULT.CFG"), !staysOnScreen);
  QCOMPARE(app.Action("mnuSetupMazeExpt")->isEnabled(), !staysOnScreen);
}

void NavigationTest::comPort_takenFromTheList_data() {
  QTest::addColumn<QStringList>("ports");
  QTest::addColumn<int>("configured");
  QTest::addColumn<QString>("shownFirst");
  QTest::addColumn<int>("expected");
  QTest::newRow("empty list gives 1") << QStringList{} << 7 << "" << 1;
  QTest::newRow("configured port kept") << QStringList{"COM3", "COM12"} << 12 << "COM12" << 12;
  QTest::newRow("last found is first") << QStringList{"COM3", "COM12"} << 3 << "COM12" << 3;
  QTest::newRow("unknown port takes the first") << QStringList{"COM3", "COM12"} << 5 << "COM12" << 12;
}

void NavigationTest::comPort_takenFromTheList() {
  QFETCH(QStringList, ports);
  QFETCH(int, configured);
  QFETCH(QString, shownFirst);
  QFETCH(int, expected);
  HarnessOptions options;
  options.ports = std::vector<SerialPortInfo>{};
  for (const QString& p : ports) options.ports->push_back({p.toStdString(), "simulator"});
  AppHarness app(options);
  app.home.Write("Default.SET", "Com Port = " + std::to_string(configured) + "\r\n");
  app.Start();
  app.Action("mnuSetupSystem")->trigger();
  auto* list = app.Find<QComboBox>("cboMazeComPort");
  QCOMPARE(list->count(), ports.size());
  if (!ports.isEmpty()) QCOMPARE(list->itemText(0), shownFirst);
  app.Find<QPushButton>("cmdExitSetupSys")->click();
  QCOMPARE(int(app.program.settings.ComPort), expected);
  QVERIFY(app.home.Read("Default.SET").find("Com Port = " + std::to_string(expected) + "\r\n") !=
          std::string::npos);
}

void NavigationTest::aspectRatioOutOfRange_isLimitedWithTheRangeMessage() {
  AppHarness app;
  app.Start();
  app.Action("mnuSetupSystem")->trigger();
  auto* aspect = app.Find<QLineEdit>("txtAspect");
  aspect->setText("12");
  app.op.ClearLog();
  app.Find<QPushButton>("cmdExitSetupSys")->click();
  QCOMPARE(app.op.Messages().size(), std::size_t(1));
  QCOMPARE(QString::fromStdString(app.op.Messages().front().text),
           QString("The aspect ratio must be between\n0.1 and 10"));
  QCOMPARE(QString::fromStdString(app.op.Messages().front().title), QString("Range"));
  QCOMPARE(app.program.settings.CustomAspectRatio, 10.0);
  QCOMPARE(aspect->text(), QString("10"));
}

void NavigationTest::resizeBelowMinimum_snapsTo8500By6780Twips() {
  AppHarness app;
  app.Start();
  QCOMPARE(PixelsToTwips(app.window->width()), 9720);
  QCOMPARE(PixelsToTwips(app.window->height()), 6900);
  app.window->resize(5000 / kTwipsPerPixel, 4000 / kTwipsPerPixel);
  QCoreApplication::processEvents();
  QVERIFY(PixelsToTwips(app.window->width()) >= 8500);
  QVERIFY(PixelsToTwips(app.window->width()) < 8500 + kTwipsPerPixel);
  QCOMPARE(PixelsToTwips(app.window->height()), 6780);
}

void NavigationTest::resizeWhileMouseButtonDown_isDeferredToTheTick() {
  AppHarness app;
  app.Start();
  app.Action("mnuMonitor")->trigger();
  KeyboardState& keys = app.keys.State();
  keys.KeyDown(vk::LeftButton);
  const int layoutsBefore = app.window->LayoutCount();
  app.window->resize(app.window->width() + 40, app.window->height() + 30);
  QCoreApplication::processEvents();
  QCOMPARE(app.window->LayoutCount(), layoutsBefore);
  QVERIFY(app.window->IsResizeDeferred());
  app.window->Timer1_Timer();
  QCOMPARE(app.window->LayoutCount(), layoutsBefore);  // the button is still down

  keys.KeyUp(vk::LeftButton);
  app.window->Timer1_Timer();
  QCOMPARE(app.window->LayoutCount(), layoutsBefore + 1);
  QVERIFY(!app.window->IsResizeDeferred());
}

void NavigationTest::caption_followsTheOpenDataFile() {
  AppHarness app;
  app.Start();
  QCOMPARE(app.window->windowTitle(), QString("Tarnwell v4.64"));
  const auto file = app.home.Write("DATA/WEEK1.EXP", "x");
  app.op.ClearLog();
  app.op.QueueReply(file.string());
  app.Action("mnuFileOpen")->trigger();
  QCOMPARE(app.Mode(), ScreenMode::OpenData);
  QCOMPARE(app.window->windowTitle(), QString("Tarnwell v4.64 : WEEK1.EXP"));
  QCOMPARE(QString::fromStdString(app.op.Log().front().title), QString("Load Data File"));
  app.Find<QPushButton>("cmdExitData")->click();
  QCOMPARE(app.window->windowTitle(), QString("Tarnwell v4.64"));
  QVERIFY(!app.Action("mnuTrailmap")->isEnabled());
}

void NavigationTest::altF10_showsAboutOnEveryScreen_data() {
  QTest::addColumn<QString>("entry");
  QTest::newRow("home") << "";
  QTest::newRow("pool") << "mnuSetupPool";
  QTest::newRow("experiment") << "mnuSetupMazeExpt";
  QTest::newRow("system") << "mnuSetupSystem";
  QTest::newRow("monitor") << "mnuMonitor";
  QTest::newRow("run") << "mnuRunExpt";
}

void NavigationTest::altF10_showsAboutOnEveryScreen() {
  QFETCH(QString, entry);
  AppHarness app;
  app.Start();
  if (!entry.isEmpty()) app.Action(entry.toLatin1().constData())->trigger();
  QApplication::setActiveWindow(app.window.get());
  QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
  app.op.ClearLog();
  QTest::keyClick(app.window.get(), Qt::Key_F10, Qt::AltModifier);
  QCOMPARE(app.op.Messages().size(), std::size_t(1));
  const auto about = app.op.Messages().front();
  QCOMPARE(QString::fromStdString(about.text), QString("Tarnwell v4.64\n\nBuild Date : October 24, 2013"));
  QCOMPARE(QString::fromStdString(about.title), QString("About"));
  QVERIFY(about.icon == MessageIcon::Information);
}

void NavigationTest::help_opensTheShippedManual() {
  AppHarness app;
  app.Start();
  QUrl opened;
  app.window->openUrl = [&](const QUrl& url) {
    opened = url;
    return true;
  };
  app.Action("mnuHelp")->trigger();
  QVERIFY(opened.isLocalFile());
  QVERIFY(opened.toLocalFile().endsWith("manual/index.html"));
  QVERIFY(QFileInfo::exists(opened.toLocalFile()));
  QVERIFY(app.op.Messages().empty());
}

void NavigationTest::monitorMenu_withUnitOff_retriesTheHandshake() {
  HarnessOptions options;
  options.unitPowered = false;
  AppHarness app(options);
  app.Start();
  QCOMPARE(CountMessages(app.op, "not responding"), 1);
  app.Action("mnuMonitor")->trigger();
  QCOMPARE(app.Mode(), ScreenMode::Monitor);
  QCOMPARE(CountMessages(app.op, "not responding"), 2);
  // Switched on: the next entry finds it.
  app.unit.SetPowered(true);
  app.Action("mnuSetupPool")->trigger();
  app.Action("mnuMonitor")->trigger();
  QCOMPARE(CountMessages(app.op, "not responding"), 2);
  QVERIFY(app.program.UnitReady);
  QVERIFY(app.unit.IsStreaming());
}

void NavigationTest::overlayTextOfAScreen_isClearedWhenTheScreenIsLeft() {
  AppHarness app;
  app.Start();
  app.Action("mnuSetupPool")->trigger();
  app.Find<QPushButton>("cmdProject")->click();
  QVERIFY(QString::fromStdString(app.unit.Overlay().TextRow(12)).contains("Redrawing Pool"));
  QVERIFY(app.unit.Overlay().LineCount() > 0);
  app.Find<QPushButton>("cmdExitSetupPool")->click();
  QVERIFY(!QString::fromStdString(app.unit.Overlay().TextRow(12)).contains("Redrawing Pool"));
}

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
