#include "cli_commands.h"

#include <string_view>

namespace tarnwell::cli {

const std::vector<CommandEntry>& Commands() {
  constexpr bool kOpensModules = true;
  static const std::vector<CommandEntry> commands = {
      {"convert", RunConvert},
      {"analyse", RunAnalyse},
      {"report", RunReport},
      {"unit-check", RunUnitCheck, nullptr, kOpensModules},  // --camera, --video
      {"monitor", RunMonitor, nullptr, kOpensModules},
      {"run", RunRun, nullptr, kOpensModules},
      {"save-all", RunSaveAll},
      {"trailmap", RunTrailmap},
      {"print", nullptr, &kPagesModule},
      {"track", RunTrack, nullptr, kOpensModules},
      {"study", RunStudy, nullptr, kOpensModules},  // the PDF report
      {"import", nullptr, &kImportModule},
      {"export-tracks", RunExportTracks},
      {"calibrate", RunCalibrateCommand, nullptr, kOpensModules},
      {"create-experiment", RunCreateExperiment},
  };
  return commands;
}

CommandFn CommandFunction(const CommandEntry& entry, std::string& error) {
  if (entry.module == nullptr) return entry.run;
  const ModuleTable* table = LoadModule(*entry.module, error);
  if (table == nullptr) return nullptr;
  for (const ModuleCommand& command : table->commands) {
    if (std::string_view(command.name) == entry.name) return command.run;
  }
  error = std::string(entry.module->provides) + " is not available in this build (the module " +
          ModuleFileName(entry.module->name) + " has no command " + entry.name + ")";
  return nullptr;
}

}  // namespace tarnwell::cli
