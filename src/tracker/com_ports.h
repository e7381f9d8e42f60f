// COM port numbers on a machine that has device files instead.
//
// The operator picks the unit's port as "COM" and a number 1..64, and QUENTRIX.INI keeps
// that number. A number must name the same device on every start, whatever order the
// system enumerates its devices in, so it is computed from the device's own name:
//
//   /dev/ttyS0   .. /dev/ttyS31    ->  COM1  .. COM32   (built-in and PCI UARTs)
//   /dev/ttyUSB0 .. /dev/ttyUSB15  ->  COM33 .. COM48   (USB serial adapters)
//   /dev/ttyACM0 .. /dev/ttyACM15  ->  COM49 .. COM64   (USB CDC-ACM devices)
//
// Any other device (a pseudo-terminal, a higher-numbered adapter) has no COM number and
// is opened by its path with --port DEVICE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/serial_port.h"

namespace tarnwell {

/// The COM number of a device path by the rule above; 0 when it has none.
int ComPortNumberForDevice(std::string_view devicePath);
/// The device path of COM `number`; empty outside 1..64.
std::string DeviceForComPortNumber(int number);

/// The port list of a machine with these serial devices: every device that has a COM
/// number, as "COMn", in increasing number order (that is the order the port control
/// lists them in). Devices without a number are left out.
std::vector<SerialPortInfo> ComPortsFromDevices(const std::vector<std::string>& devicePaths);

/// The serial devices of this machine that the rule can name: /dev/ttyUSB*, /dev/ttyACM*
/// and those /dev/ttyS* that have a real UART behind them (the kernel's unused
/// placeholders, driver "serial8250", are skipped as the Qt port list does).
std::vector<std::string> ScanSerialDevices();

/// `ComPortNames`: the names in `ports` that begin with "COM", in the given order.
std::vector<std::string> ListComPortNames(const std::vector<SerialPortInfo>& ports);

/// The entries of `cboMazeComPort` as `FillComPortList` builds them: last found first.
std::vector<std::string> ComPortListEntries(const std::vector<std::string>& comPortNames);
/// The entry `FillComPortList` selects: the one whose number equals `comPort`, else the
/// first; -1 when the list is empty.
int SelectedComPortEntry(const std::vector<std::string>& entries, int comPort);
/// `ComPort` taken from a selected entry: the number after its first three characters
/// ("COM12" gives 12); 1 when nothing is selected (the list was empty).
int16_t ComPortFromEntry(std::string_view entry);

/// What cboMazeComPort offers. The machine's ports as ComPortListEntries gives them; a
/// configured port (1 or more) that the machine does not have is shown, selected, as
/// "COMn (not found)" rather than replaced by the first port found (an unplugged adapter
/// keeps its number); with the unit opened by device path (--port), that device comes
/// first as "DEVICE (in use)" and is selected. Otherwise as SelectedComPortEntry.
struct ComPortChoice {
  std::vector<std::string> entries;
  int selected = -1;
};
ComPortChoice ComPortChoiceFor(const std::vector<std::string>& comPortNames, int comPort,
                               std::string_view deviceInUse);

/// `ComPort` after the screen is left with `entry` selected: the number of a port entry
/// ("COM12" gives 12); for the missing port, the device in use or an empty list the stored
/// number stays, and a port never set becomes 1.
int16_t ComPortAfterChoice(std::string_view entry, int16_t comPort);

}  // namespace tarnwell
