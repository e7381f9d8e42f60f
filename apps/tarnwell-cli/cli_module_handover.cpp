// The statically linked tarnwell-cli and modules: it opens none itself (a static program
// has no dynamic loader to share with them), so the commands that may open one run in the
// module runner (core/module_paths.h), which is the same tool linked to open modules.
#include <unistd.h>

#include <string>
#include <string_view>

#include "cli_commands.h"
#include "core/module_paths.h"
#include "modules/module_opener.h"

namespace tarnwell {

// Reached only when the runner could not be started: the command then runs here, and a
// module it asks for is missing, as in a build without it.
void* FindModuleEntry(std::string_view name, std::string& error) {
  const std::filesystem::path runner = ModuleRunnerFile();
  error = "no module runner " + (runner.empty() ? std::string(kModuleRunnerName) : runner.string()) +
          " to open the module " + ModuleFileName(name);
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
