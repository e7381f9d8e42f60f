#include "cli_commands.h"

#include "cli_video.h"

namespace tarnwell::cli {

const std::vector<CommandEntry>& Commands() {
  static const std::vector<CommandEntry> commands = {
      {"convert", RunConvert},
      {"analyse", RunAnalyse},
      {"report", RunReport},
      {"unit-check", RunUnitCheck},
      {"monitor", RunMonitor},
      {"run", RunRun},
      {"save-all", RunSaveAll},
      {"trailmap", RunTrailmap},
      {"print", RunPrint},
      {"track", RunTrack},
      {"study", RunStudy},
      {"calibrate", RunCalibrateCommand},
      {"create-experiment", RunCreateExperiment},
  };
  return commands;
}

}  // namespace tarnwell::cli
