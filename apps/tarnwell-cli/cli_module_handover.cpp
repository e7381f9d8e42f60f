// The statically linked tarnwell-cli and modules: it opens none itself (a static program
// has no dynamic loader to share with them), so the commands that may open one run in the
// module runner (core/module_paths.h), which is the same tool linked to open modules.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "cli_commands.h"
#include "core/module_paths.h"
#include "modules/module_opener.h"

namespace tarnwell {

// Reached when the runner could not be started: the command then runs here, and a module
// it asks for is missing, as in a build without it. With the runner there, the command
// should have been handed to it (`opensModules` in cli_commands.cpp).
void* FindModuleEntry(std::string_view name, std::string& error) {
  const std::filesystem::path runner = ModuleRunnerFile();
  std::error_code ec;
  if (!runner.empty() && std::filesystem::exists(runner, ec)) {
    error = "the statically linked tarnwell-cli cannot open the module " + ModuleFileName(name) +
            "; this command must run in " + runner.string();
  } else {
    error = "no module runner " + (runner.empty() ? std::string(kModuleRunnerName) : runner.string()) +
            " to open the module " + ModuleFileName(name);
  }
  return nullptr;
}

namespace cli {

void HandOverToModuleRunner(char** argv) {
  const std::filesystem::path runner = ModuleRunnerFile();
  if (runner.empty()) return;
  // argv[0] stays as the user gave it: the runner is tarnwell-cli to them.
  ::execv(runner.c_str(), argv);
}

}  // namespace cli
}  // namespace tarnwell
