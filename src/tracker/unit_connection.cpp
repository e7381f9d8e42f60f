#include "tracker/unit_connection.h"

#include "tracker/posix_serial_port.h"
#include "tracker/simulated_serial_port.h"

namespace tarnwell {

SimulatedUnitOptions SimulatedUnitFor(const PoolSetup& pool, int16_t activePlatform,
                                      const SystemSettings& settings, uint64_t seed) {
  SimulatedUnitOptions options;
  options.seed = seed;
  options.pal = settings.VideoType == 1;
  options.arena = SwimArenaFromPool(pool, activePlatform, AspectFactor(settings));
  return options;
}

UnitConnection::~UnitConnection() {
  // The port refers to the unit and the clock: it goes first.
  port_.reset();
  unit_.reset();
  clock_.reset();
}

std::unique_ptr<UnitConnection> UnitConnection::ForDevice(const std::string& device) {
  std::unique_ptr<UnitConnection> connection(new UnitConnection());
  connection->clock_ = std::make_unique<SteadyClock>();
  connection->port_ = std::make_unique<PosixSerialPort>();
  connection->device_ = device;
  return connection;
}

std::unique_ptr<UnitConnection> UnitConnection::ForPort(std::unique_ptr<SerialPort> port,
                                                        const std::string& device) {
  std::unique_ptr<UnitConnection> connection(new UnitConnection());
  connection->clock_ = std::make_unique<SteadyClock>();
  connection->port_ = std::move(port);
  connection->device_ = device;
  return connection;
}

std::unique_ptr<UnitConnection> UnitConnection::ForSimulator(const SimulatedUnitOptions& options,
                                                             bool realtime) {
  return ForEmulatedUnit(std::make_unique<SimulatedUnit>(options), realtime);
}

std::unique_ptr<UnitConnection> UnitConnection::ForEmulatedUnit(std::unique_ptr<EmulatedUnit> unit,
                                                                bool realtime) {
  std::unique_ptr<UnitConnection> connection(new UnitConnection());
  if (realtime) {
    connection->clock_ = std::make_unique<SteadyClock>();
  } else {
    connection->clock_ = std::make_unique<ManualClock>();
  }
  connection->unit_ = std::move(unit);
  connection->port_ = std::make_unique<SimulatedSerialPort>(*connection->unit_, *connection->clock_);
  connection->device_ = SimulatedSerialPort::kDeviceName;
  return connection;
}

}  // namespace tarnwell
