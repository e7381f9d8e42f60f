// The unit a program talks to: a real device on a terminal port, or an emulated unit (the
// simulated unit, a camera or a recorded video) on an in-process port. The command-line
// tool builds one from --port DEVICE, --simulator, --camera or --video; the tracker link
// then works the same on each.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/serial_port.h"
#include "core/system_settings.h"
#include "pool/pool_setup.h"
#include "tracker/simulated_unit.h"

namespace tarnwell {

/// The simulated unit that fits a program's setup: PAL when `VideoType` is 1, the pool
/// of `pool` with `activePlatform` (0 OFF, 1..4, 5 ALL) as the animal's goal, samples' y
/// divided by the aspect factor as the run's classification expects.
SimulatedUnitOptions SimulatedUnitFor(const PoolSetup& pool, int16_t activePlatform,
                                      const SystemSettings& settings, uint64_t seed);

class UnitConnection {
 public:
  /// A real device (a USB adapter, a pty) through the POSIX terminal port, on the
  /// steady clock.
  static std::unique_ptr<UnitConnection> ForDevice(const std::string& device);
  /// A program's own serial port (the desktop's Qt port) for `device` (empty: the port of
  /// the settings), on the steady clock.
  static std::unique_ptr<UnitConnection> ForPort(std::unique_ptr<SerialPort> port, const std::string& device);
  /// The simulated unit. `realtime` false: on a manual clock that jumps to the next byte
  /// whenever the program waits, so simulated time runs as fast as the machine allows.
  static std::unique_ptr<UnitConnection> ForSimulator(const SimulatedUnitOptions& options, bool realtime);
  /// Any emulated unit (a VideoUnit), on the steady clock when `realtime`, else on a
  /// manual clock as the simulator.
  static std::unique_ptr<UnitConnection> ForEmulatedUnit(std::unique_ptr<EmulatedUnit> unit, bool realtime);

  ~UnitConnection();
  SerialPort& Port() { return *port_; }
  Clock& GetClock() { return *clock_; }
  /// The emulated unit; nullptr on a real device.
  EmulatedUnit* Unit() { return unit_.get(); }
  /// What TrackerLink::SetPortDevice needs.
  const std::string& Device() const { return device_; }

 private:
  UnitConnection() = default;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<EmulatedUnit> unit_;
  std::unique_ptr<SerialPort> port_;
  std::string device_;
};

}  // namespace tarnwell
