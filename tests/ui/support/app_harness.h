// The whole desktop application in one test process: a temporary home, the simulated unit
// behind its in-process port, a manual clock, the scripted operator and the main window.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "acquisition/program.h"
#include "core/scripted_operator.h"
#include "experiment/subject_table.h"
#include "support/temp_dir.h"
#include "tracker/simulated_serial_port.h"
#include "tracker/simulated_unit.h"
#include "tracker/tracker_link.h"
#include "ui/app_context.h"
#include "ui/dialogs/qt_operator.h"
#include "ui/key_state_filter.h"
#include "ui/main_window.h"

namespace tarnwell::test {

// The simulated port with a port list of our choosing (an empty list, several ports).
class ListedSimulatedPort : public SimulatedSerialPort {
 public:
  using SimulatedSerialPort::SimulatedSerialPort;
  std::optional<std::vector<SerialPortInfo>> listed;
  std::vector<SerialPortInfo> ListPorts() override {
    return listed ? *listed : SimulatedSerialPort::ListPorts();
  }
};

struct HarnessOptions {
  bool unitPowered = true;
  std::optional<std::vector<SerialPortInfo>> ports;
  // Another emulated unit behind the port (a video unit); not owned.
  EmulatedUnit* unit = nullptr;
  // Fills in the context (a video unit, its videos) before the window is made.
  std::function<void(AppContext&)> configure;
};

class AppHarness {
 public:
  explicit AppHarness(HarnessOptions options = {})
      : program(home.Path()),
        port(options.unit != nullptr ? *options.unit : static_cast<EmulatedUnit&>(unit), clock),
        tracker(port, clock, op, program.settings),
        context(program, op, modal, clock, tracker, keys) {
    unit.SetPowered(options.unitPowered);
    port.listed = options.ports;
    tracker.SetPortDevice(SimulatedSerialPort::kDeviceName);
    qApp->installEventFilter(&keys);
    QApplication::setQuitOnLastWindowClosed(false);
    if (options.configure) options.configure(context);
    window = std::make_unique<FrmMain>(context);
  }
  ~AppHarness() {
    window.reset();
    qApp->removeEventFilter(&keys);
  }

  // Form_Load and the unit's handshake, as the program starts.
  void Start() {
    window->FormLoad();
    window->StartUnit();
  }

  // Lets `ms` of unit time pass in steps of 10 ms, raising the port's notifications and
  // running the window's events as the program's event loop would.
  void Run(int ms) {
    for (int t = 0; t < ms; t += 10) {
      clock.Advance(10);
      port.DispatchEvents(0);
      QCoreApplication::processEvents();
    }
  }

  QAction* Action(const char* name) const { return window->Action(name); }
  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(name);
  }
  ScreenMode Mode() const { return window->CurrentScreenMode(); }
  // Leaves the screen the way an operator may: "close" (the window's close box), a menu
  // command ("mnu..."), or a button's name.
  void Leave(const QString& by) {
    if (by == "close") {
      window->close();
    } else if (by.startsWith("mnu")) {
      Action(qPrintable(by))->trigger();
    } else {
      Find<QPushButton>(qPrintable(by))->click();
    }
  }

  TempDir home;
  Program program;
  SubjectTable& subjects = program.subjects;
  ScriptedOperator op;
  QtOperator modal;
  ManualClock clock;
  SimulatedUnit unit;
  ListedSimulatedPort port;
  TrackerLink tracker;
  KeyStateFilter keys;
  AppContext context;
  std::unique_ptr<FrmMain> window;
};

// Counts the message boxes whose text contains `piece`.
inline int CountMessages(const ScriptedOperator& op, const std::string& piece) {
  int n = 0;
  for (const auto& m : op.Messages()) n += m.text.find(piece) != std::string::npos ? 1 : 0;
  return n;
}

}  // namespace tarnwell::test
