#include "tracker/simulator_console.h"

#include <charconv>
#include <sstream>
#include <vector>

#include "core/file_access.h"

namespace tarnwell {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool ToInt(std::string_view text, int& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

SimulatorConsoleReply Fail(std::string text) {
  return {false, false, std::move(text)};
}

}  // namespace

std::string SimulatorCommandHelp() {
  return "button            press the remote Select button\n"
         "move X Y          hold the animal at X (0..254), Y (0..191)\n"
         "swim              let a held animal swim on\n"
         "release           put a new animal in at the wall\n"
         "animal ID         the next swims are animal ID's next trial (it learns)\n"
         "hide | show       the camera loses / finds the animal\n"
         "power off | on    switch the unit off or on\n"
         "overlay FILE      write the overlay picture as a PGM image\n"
         "clear             clear the overlay\n"
         "status            what the unit is doing\n"
         "quit              end the simulator";
}

SimulatorConsoleReply RunSimulatorCommand(EmulatedUnit& emulated, std::string_view line) {
  const std::vector<std::string_view> words = Words(line);
  if (words.empty() || words[0].front() == '#') return {true, false, {}};
  const std::string_view command = words[0];
  const std::size_t args = words.size() - 1;
  EmulatedUnit& unit = emulated;
  SimulatedUnit* simulated = dynamic_cast<SimulatedUnit*>(&emulated);
  const bool animalCommand = command == "move" || command == "swim" || command == "release" ||
                             command == "hide" || command == "show" || command == "animal";
  if (animalCommand && simulated == nullptr)
    return Fail("the animal is in the video: " + std::string(command) + " is not available");

  if ((command == "button" || command == "press") && args == 0) {
    unit.PressRemoteButton();
    return {true, false, "remote button pressed"};
  }
  if (command == "move") {
    int x = 0, y = 0;
    if (args != 2 || !ToInt(words[1], x) || !ToInt(words[2], y) || x < 0 || x > 254 || y < 0 || y > 191) {
      return Fail("usage: move X Y  (X 0..254, Y 0..191)");
    }
    simulated->HoldAnimalAt(x, y);
    return {true, false, "animal held at " + std::to_string(x) + " " + std::to_string(y)};
  }
  if (command == "swim" && args == 0) {
    simulated->LetAnimalSwim();
    return {true, false, "animal swims"};
  }
  if (command == "release" && args == 0) {
    simulated->ReleaseAnimal();
    const TrackSample at = simulated->Animal().Position();
    return {true, false, "animal released at " + std::to_string(at.X) + " " + std::to_string(at.Y)};
  }
  if (command == "animal") {
    if (args != 1) return Fail("usage: animal ID");
    const SimulatedTrial trial = simulated->PrepareAnimal(std::string(words[1]));
    std::ostringstream out;
    out << "animal " << words[1] << ", trial " << trial.trialsBefore + 1 << ", learnt "
        << static_cast<int>(trial.learning.level * 100 + 0.5) << "%";
    if (trial.learning.rememberedGoal)
      out << ", remembers the goal at " << static_cast<int>(trial.learning.rememberedGoal->x) << " "
          << static_cast<int>(trial.learning.rememberedGoal->y);
    return {true, false, out.str()};
  }
  if ((command == "hide" || command == "show") && args == 0) {
    simulated->SetAnimalHidden(command == "hide");
    return {true, false, command == "hide" ? "animal hidden" : "animal visible"};
  }
  if (command == "power" && args == 1 && (words[1] == "on" || words[1] == "off")) {
    unit.SetPowered(words[1] == "on");
    return {true, false, words[1] == "on" ? "unit switched on" : "unit switched off"};
  }
  if (command == "overlay") {
    if (args != 1) return Fail("usage: overlay FILE");
    std::string error;
    const std::string path(words[1]);
    if (!WriteFileAtomically(path, unit.Overlay().ToPgm(), &error))
      return Fail("overlay not written: " + error);
    return {true, false, "overlay written to " + path};
  }
  if (command == "clear" && args == 0) {
    unit.ClearOverlay();
    return {true, false, "overlay cleared"};
  }
  if (command == "status" && args == 0) {
    std::ostringstream out;
    out << (unit.IsPowered() ? "on" : "off") << ", " << (unit.IsStreaming() ? "streaming" : "idle") << ", "
        << unit.SamplesSent() << " samples sent; ";
    if (simulated != nullptr) {
      const SwimModel& animal = simulated->Animal();
      const TrackSample at = animal.Position();
      out << "animal at " << at.X << " " << at.Y << (animal.IsHeld() ? " (held)" : "")
          << (animal.IsHidden() ? " (hidden)" : "") << (animal.OnPlatform() ? " (on the platform)" : "");
    } else {
      out << "watching a camera or video";
    }
    out << "; object filter " << (unit.ObjectFilter() ? "on" : "off") << "; overlay lines "
        << unit.Overlay().LineCount();
    return {true, false, out.str()};
  }
  if (command == "help" && args == 0) return {true, false, SimulatorCommandHelp()};
  if ((command == "quit" || command == "exit") && args == 0) return {true, true, "bye"};
  return Fail("unknown command: " + std::string(line) + " (type help)");
}

}  // namespace tarnwell
