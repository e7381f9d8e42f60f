// The command table of tarnwell-cli. A command is a function of the home folder given
// with --home (empty: the default home) and its own arguments, returning the exit
// status: 0 success, 1 failure, 2 usage error.
#pragma once

#include <string>
#include <vector>

#include "modules/module_table.h"

namespace tarnwell::cli {

using CommandFn = int (*)(const std::string& home, const std::vector<std::string>& args);

// A command runs in the tool itself (`run`), or in a module (`module`: the tool opens it
// when the command is given and runs the module's command of the same name).
// `opensModules`: the tool's own command may open a module (a camera or a video as the
// unit, the study's PDF); with `module`, the command runs in the module runner where the
// tool is linked statically.
struct CommandEntry {
  const char* name;
  CommandFn run;
  const ModuleInfo* module = nullptr;
  bool opensModules = false;
};

// Whether `entry` may open a module.
inline bool MayOpenModules(const CommandEntry& entry) {
  return entry.module != nullptr || entry.opensModules;
}

// Declared here, defined in cli_<command>.cpp.
// (Add a command: declare it, define it in its own file, list it in cli_commands.cpp; a
// command that needs a heavy library goes into a module: README, "Adding a command".)
int RunConvert(const std::string& home, const std::vector<std::string>& args);
int RunAnalyse(const std::string& home, const std::vector<std::string>& args);
int RunReport(const std::string& home, const std::vector<std::string>& args);
int RunUnitCheck(const std::string& home, const std::vector<std::string>& args);
int RunMonitor(const std::string& home, const std::vector<std::string>& args);
int RunRun(const std::string& home, const std::vector<std::string>& args);
int RunSaveAll(const std::string& home, const std::vector<std::string>& args);
int RunTrailmap(const std::string& home, const std::vector<std::string>& args);
int RunTrack(const std::string& home, const std::vector<std::string>& args);
int RunStudy(const std::string& home, const std::vector<std::string>& args);
int RunExportTracks(const std::string& home, const std::vector<std::string>& args);
int RunCreateExperiment(const std::string& home, const std::vector<std::string>& args);
// The pool's circle of a camera or a video into Default.SET (the picture through the video module).
int RunCalibrateCommand(const std::string& home, const std::vector<std::string>& args);

const std::vector<CommandEntry>& Commands();

// The statically linked tool only (cli_module_handover.cpp): replaces this process by the
// module runner with the same arguments `argv` (as main got them). Returns only when the
// runner cannot be started (not installed beside the modules).
void HandOverToModuleRunner(char** argv);

// The function that runs `entry`: its own, or the one of its module. Nothing, with
// "PDF output is not available in this build (why)" in `error`, when the module cannot
// be opened or lacks the command.
CommandFn CommandFunction(const CommandEntry& entry, std::string& error);

}  // namespace tarnwell::cli
