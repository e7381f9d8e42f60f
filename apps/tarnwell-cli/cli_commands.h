// The command table of tarnwell-cli. A command is a function of the home folder given
// with --home (empty: the default home) and its own arguments, returning the exit
// status: 0 success, 1 failure, 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::cli {

using CommandFn = int (*)(const std::string& home, const std::vector<std::string>& args);

struct CommandEntry {
  const char* name;
  CommandFn run;
};

// Declared here, defined in cli_<command>.cpp.
// (Add a command: declare it, define it in its own file, list it in cli_commands.cpp.)
int RunConvert(const std::string& home, const std::vector<std::string>& args);
int RunAnalyse(const std::string& home, const std::vector<std::string>& args);
int RunReport(const std::string& home, const std::vector<std::string>& args);
int RunUnitCheck(const std::string& home, const std::vector<std::string>& args);
int RunMonitor(const std::string& home, const std::vector<std::string>& args);
int RunRun(const std::string& home, const std::vector<std::string>& args);
int RunSaveAll(const std::string& home, const std::vector<std::string>& args);
int RunTrailmap(const std::string& home, const std::vector<std::string>& args);
int RunPrint(const std::string& home, const std::vector<std::string>& args);
int RunTrack(const std::string& home, const std::vector<std::string>& args);
int RunStudy(const std::string& home, const std::vector<std::string>& args);
int RunCreateExperiment(const std::string& home, const std::vector<std::string>& args);

const std::vector<CommandEntry>& Commands();

}  // namespace tarnwell::cli
