#include "cli_commands.h"

namespace tarnwell::cli {

const std::vector<CommandEntry>& Commands() {
  static const std::vector<CommandEntry> commands = {
  };
  return commands;
}

}  // namespace tarnwell::cli
