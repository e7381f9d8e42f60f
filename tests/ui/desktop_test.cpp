// The program as a Linux desktop program: About, the licence, the manual, the window's
// sizes, distinct mnemonics on every screen, the monitor's picture, a fresh home, and the
// offer when no unit answers.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <map>

#include "support/app_harness.h"
#include "ui/dialogs/document_window.h"
#include "ui/screens/screen.h"
#include "ui/widgets/advanced_map_window.h"

using namespace tarnwell;
using namespace tarnwell::test;

namespace {

// The mnemonic letter of a caption ("E&xit" -> 'x'), 0 for none ("&&" is a plain "&").
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

// Every mnemonic shown in `root` (buttons, and labels that lead to a control), with the
// captions that use it; only widgets the operator can see count.
std::map<QChar, QStringList> ShownMnemonics(QWidget* root) {
  std::map<QChar, QStringList> used;
  for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
    if (b->isVisibleTo(root) && !Mnemonic(b->text()).isNull()) used[Mnemonic(b->text())] << b->text();
  }
  for (QLabel* l : root->findChildren<QLabel*>()) {
    if (l->isVisibleTo(root) && l->buddy() != nullptr && !Mnemonic(l->text()).isNull())
      used[Mnemonic(l->text())] << l->text();
  }
  return used;
}

QString Clashes(const std::map<QChar, QStringList>& used) {
  QStringList clashes;
  for (const auto& [letter, captions] : used)
    if (captions.size() > 1) clashes << captions.join(" / ");
  return clashes.join("; ");
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT
 private slots:
  void about_licenceAndCaption() {
    HarnessOptions simulated;
    simulated.configure = [](AppContext& context) { context.simulatedUnit = true; };
    AppHarness app(simulated);
    app.Start();
    QCOMPARE(app.window->windowTitle(), QString("Tarnwell v4.64 (simulated unit)"));
    app.op.ClearLog();
    app.Action("mnuAbout")->trigger();
    QCOMPARE(app.op.Messages().size(), std::size_t(1));
    const std::string text = app.op.Messages()[0].text;
    // The date --version prints ("tarnwell 4.64 (built 2026-12-07)").
    const std::string version = VersionText("tarnwell");
    QVERIFY2(text.find("Build Date : " + version.substr(version.find("(built ") + 7, 10)) != std::string::npos,
             text.c_str());
    QVERIFY(text.find("GNU General Public") != std::string::npos &&
            text.find("version 3 or later") != std::string::npos);

    app.Action("mnuLicence")->trigger();
    auto* window = app.window->findChild<DocumentWindow*>("frmLicence");
    QVERIFY(window != nullptr && window->isVisible());
    const QString licence = window->Browser()->toPlainText();
    // The licence itself and the copyright file's list of the parts and their licences.
    for (const char* piece : {"Version 3, 29 June 2007", "License: GPL-3+", "Permission is hereby granted"})
      QVERIFY2(licence.contains(piece), piece);
  }

  // The package puts the program in /usr/bin and the manual in /usr/share/doc/tarnwell/manual.
  // Without a browser the manual opens inside the program; with one, nothing of its own.
  void help_findsTheInstalledManual_andShowsItWithoutABrowser() {
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath("bin") && QDir(prefix.path()).mkpath("share/doc/tarnwell/manual"));
    QFile installed(prefix.path() + "/share/doc/tarnwell/manual/index.html");
    QVERIFY(installed.open(QIODevice::WriteOnly));
    installed.close();
    QCOMPARE(FrmMain::FindManual(prefix.path() + "/bin"), QDir::cleanPath(QFileInfo(installed).absoluteFilePath()));

    AppHarness app;
    app.Start();
    for (const bool browser : {false, true}) {
      QUrl asked;
      app.window->openUrl = [&](const QUrl& url) {
        asked = url;
        return browser;
      };
      app.op.ClearLog();
      app.Action("mnuHelp")->trigger();
      QCoreApplication::processEvents();
      QVERIFY(asked.isLocalFile() && asked.toLocalFile().endsWith("manual/index.html"));
      auto* window = app.window->findChild<DocumentWindow*>("frmManual");
      QCOMPARE(window != nullptr, !browser);
      if (window == nullptr) continue;
      QVERIFY(window->isVisible() && window->Browser()->toPlainText().contains("Before the first start"));
      QVERIFY(app.op.Messages().empty());
      delete window;
    }
  }

  void firstWindow_fitsTheScreen_thenOpensAsItWasLeft() {
    const QSize minimum(TwipsToPixels(kMinWidthTwips), TwipsToPixels(kMinHeightTwips));
    // Table: the screen's free area and the window it gets.
    const struct { QSize available, expected; } cases[] = {
        {{1920, 1050}, {1536, 892}},  // most of a large screen, its panels in view
        {{640, 480}, minimum},  // never below the smallest the screens are laid out for
    };
    for (const auto& c : cases) QCOMPARE(FrmMain::FirstWindowSize(c.available), c.expected);

    TempDir keep;
    QSize left;
    {
      AppHarness app;
      app.Start();
      QCOMPARE(app.window->size(), FrmMain::FirstWindowSize(app.window->screen()->availableGeometry().size()));
      // Made smaller than the screens are laid out for, it snaps to 8500 x 6780 twips.
      app.window->resize(5000 / kTwipsPerPixel, 4000 / kTwipsPerPixel);
      QCoreApplication::processEvents();
      QVERIFY(PixelsToTwips(app.window->width()) >= 8500 && PixelsToTwips(app.window->width()) < 8500 + kTwipsPerPixel);
      QCOMPARE(PixelsToTwips(app.window->height()), 6780);
      app.window->resize(minimum.width() + 123, minimum.height() + 45);
      QCoreApplication::processEvents();
      left = app.window->size();
      app.window->ShutdownProgram();
      QVERIFY(app.home.Exists(FrmMain::kWindowGeometryFile));
      std::filesystem::copy_file(app.home.Path() / FrmMain::kWindowGeometryFile,
                                 keep.Path() / FrmMain::kWindowGeometryFile);
    }
    AppHarness again;
    std::filesystem::copy_file(keep.Path() / FrmMain::kWindowGeometryFile,
                               again.home.Path() / FrmMain::kWindowGeometryFile);
    again.Start();
    QCOMPARE(again.window->size(), left);
  }

  void mnemonics_areDistinctOnEveryScreenAndMenu() {
    AppHarness app;
    app.Start();
    app.window->show();
    const std::pair<const char*, ScreenMode> screens[] = {
        {"mnuSetupPool", ScreenMode::SetupPool},
        {"mnuSetupMazeExpt", ScreenMode::SetupExperiment},
        {"mnuSetupSystem", ScreenMode::SetupSystem},
        {"mnuMonitor", ScreenMode::Monitor},
    };
    const auto checkMenus = [&](const char* where) {
      std::map<QChar, QStringList> bar;
      for (QAction* top : app.window->menuBar()->actions()) {
        bar[Mnemonic(top->text())] << top->text();
        std::map<QChar, QStringList> entries;
        for (QAction* a : top->menu()->actions())
          if (a->isVisible() && !a->isSeparator()) entries[Mnemonic(a->text())] << a->text();
        QVERIFY2(Clashes(entries).isEmpty(), qPrintable(QString(where) + ": " + Clashes(entries)));
      }
      QVERIFY2(Clashes(bar).isEmpty(), qPrintable(Clashes(bar)));
    };
    checkMenus("home");
    for (const auto& [entry, mode] : screens) {
      app.Action(entry)->trigger();
      QCOMPARE(app.Mode(), mode);
      checkMenus(entry);
    }
    // Every screen, shown or not (the run screen needs an experiment to be entered).
    // Alt and a letter reaches the menu bar as well as the screen's controls.
    for (Screen* screen : app.window->findChildren<Screen*>()) {
      std::map<QChar, QStringList> used = ShownMnemonics(screen);
      for (QAction* top : app.window->menuBar()->actions()) used[Mnemonic(top->text())] << top->text();
      QVERIFY2(Clashes(used).isEmpty(), qPrintable(screen->objectName() + ": " + Clashes(used)));
    }
    AdvancedMapWindow advanced(app.op, {}, app.window.get());
    QVERIFY2(Clashes(ShownMnemonics(&advanced)).isEmpty(), qPrintable(Clashes(ShownMnemonics(&advanced))));
  }

  void monitor_keepsThePicturesShapeAtAnyWindowShape() {
    AppHarness app;
    app.Start();
    app.window->show();
    app.Action("mnuMonitor")->trigger();
    for (const QSize window : {QSize(1920, 1080), QSize(700, 1000),  // wide, tall, the smallest
                               QSize(TwipsToPixels(kMinWidthTwips), TwipsToPixels(kMinHeightTwips))}) {
      app.window->resize(window);
      QCoreApplication::processEvents();
      auto* picture = app.Find<QWidget>("scrMonitor")->findChild<QWidget*>("picBackGround");
      const QString size = QString("%1 x %2").arg(picture->width()).arg(picture->height());
      // The unit's picture is 4:3, a pixel of rounding either way, and fills its room one way.
      QVERIFY2(picture->width() > 100 && std::abs(picture->width() * 3 - picture->height() * 4) <= 4, qPrintable(size));
      const QWidget* room = picture->parentWidget();
      QVERIFY2(picture->width() >= room->width() - 1 || picture->height() >= room->height() - 1, qPrintable(size));
    }
    // Leaving the monitor by another screen's entry stops the unit's stream.
    app.Action("mnuSetupPool")->trigger();
    QVERIFY(!app.unit.IsStreaming());
  }

  void freshHome_videoModeShowsTheModeInUse_andPoolBoxesSayTheirUnit() {
    AppHarness app;
    app.Start();
    app.Action("mnuSetupSystem")->trigger();
    QCOMPARE(app.Find<QComboBox>("cboVideoMode")->currentText(), QString("NTSC"));
    app.window->show();
    app.Action("mnuSetupPool")->trigger();
    QCoreApplication::processEvents();
    for (const char* name : {"Diam", "X", "Y"}) {
      auto* unit = app.Find<QLabel>(qPrintable(QString("lblPool%1Unit").arg(name)));
      QVERIFY2(unit->isVisibleTo(app.window.get()) && unit->text() == "units" && !unit->toolTip().isEmpty(),
               name);
    }
  }

  void noUnitAnswering_offersTheSimulatedUnitOrAVideo() {
    // Table: the answer to the offer, the video chosen, the arguments of the new start.
    const struct { Answer answer; std::optional<std::string> video; QStringList expected; } cases[] = {
        {Answer::Yes, std::nullopt, {"--simulator"}},
        {Answer::No, "/data/day1.mp4", {"--video", "/data/day1.mp4"}},
        {Answer::No, std::nullopt, {}},  // the file dialog cancelled
    };
    for (const auto& c : cases) {
      HarnessOptions unpowered;
      unpowered.unitPowered = false;
      AppHarness app(unpowered);
      app.tracker.SetPortDevice("/dev/ttyUSB7");  // a real port, as from the desktop menu
      app.window->show();
      app.op.QueueAnswer(Answer::Ok);  // "The Quentrix is not responding."
      app.op.QueueAnswer(c.answer);
      if (c.answer == Answer::No) app.op.QueueReply(c.video);
      app.Start();
      QVERIFY(app.op.HasMessageContaining("simulated unit"));
      QCoreApplication::processEvents();
      if (c.expected.isEmpty()) {
        QVERIFY(app.window->RestartArguments().isEmpty());
        QVERIFY(app.window->isVisible());
        continue;
      }
      const QString home = QString::fromStdString(app.home.Path().string());
      QCOMPARE(app.window->RestartArguments(), QStringList({"--home", home}) + c.expected);
      QVERIFY(app.window->HasShutDown() && !app.window->isVisible());
    }
    // The simulated unit itself never gets the offer.
    HarnessOptions unpowered;
    unpowered.unitPowered = false;
    AppHarness simulated(unpowered);
    simulated.Start();
    QVERIFY(!simulated.op.HasMessageContaining("simulated unit"));
  }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
