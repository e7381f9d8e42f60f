// The operator's commands to the simulated unit, one line each (quentrix-sim's standard
// input; tests):
//
//   button            press the unit's remote "Select" button
//   move X Y          hold the animal at tracker position X, Y (it stays until swim or
//                     release, also across trial starts)
//   swim              let a held animal swim on from where it is
//   release           put a new animal in at the wall
//   animal ID         the next swims are animal ID's next trial: its own seed, and what
//                     it has learnt in its trials before (SimulatedLearning)
//   hide / show       the camera loses / finds the animal (samples with Y = 255)
//   power off|on      switch the unit off (silent) or on
//   overlay FILE      write the overlay picture (256 × 192) as a PGM image
//   clear             clear the overlay's lines and text
//   status            what the unit is doing
//   help              this list
//   quit              end the simulator
#pragma once

#include <string>
#include <string_view>

#include "tracker/simulated_unit.h"

namespace tarnwell {

struct SimulatorConsoleReply {
  bool ok = true;     // false: the line was not understood or failed
  bool quit = false;  // the operator asked to end
  std::string text;   // what to tell the operator (one or more lines, no final newline)
};

/// Carries out one command line on the unit. Blank lines and lines starting with "#" do
/// nothing. The animal's commands (move, swim, release, hide, show) need the simulated
/// unit; a unit that watches a camera or a video refuses them.
SimulatorConsoleReply RunSimulatorCommand(EmulatedUnit& unit, std::string_view line);

/// The command list above, for "help".
std::string SimulatorCommandHelp();

}  // namespace tarnwell
