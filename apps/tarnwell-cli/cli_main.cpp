// tarnwell-cli: the command-line tool. Works on the same home folder and files as the
// desktop program, with the same core; each command lives in its own cli_<command>.cpp.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "cli_support.h"
#include "core/version.h"

namespace {

using tarnwell::cli::kExitFailure;
using tarnwell::cli::kExitOk;
using tarnwell::cli::kExitUsage;

const tarnwell::cli::CommandEntry* FindCommand(const std::string& name) {
  for (const auto& entry : tarnwell::cli::Commands()) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int GeneralUsageError(const std::string& message) {
  std::cerr << "tarnwell-cli: " << message << "\n" << tarnwell::cli::GeneralUsage();
  return kExitUsage;
}

int Run(char** argv, std::vector<std::string> args) {
  std::string home;
  while (!args.empty() && args.front().rfind("-", 0) == 0) {
    const std::string option = args.front();
    if (option == "--help" || option == "-h") {
      std::cout << tarnwell::cli::GeneralUsage();
      return kExitOk;
    }
    if (option == "--version") {
      std::cout << tarnwell::VersionText("tarnwell-cli");
      return kExitOk;
    }
    if (option == "--home") {
      if (args.size() < 2) return GeneralUsageError("the option --home needs a folder");
      home = args[1];
      args.erase(args.begin(), args.begin() + 2);
      continue;
    }
    if (option.rfind("--home=", 0) == 0) {
      home = option.substr(7);
      args.erase(args.begin());
      continue;
    }
    return GeneralUsageError("unknown option " + option);
  }
  if (args.empty()) return GeneralUsageError("no command given");

  const std::string command = args.front();
  args.erase(args.begin());

  if (command == "help") {
    if (args.empty()) {
      std::cout << tarnwell::cli::GeneralUsage();
      return kExitOk;
    }
    const std::string usage = tarnwell::cli::CommandUsage(args.front());
    if (usage.empty()) return GeneralUsageError("unknown command " + args.front());
    std::cout << usage;
    return kExitOk;
  }

  const tarnwell::cli::CommandEntry* entry = FindCommand(command);
  if (entry == nullptr) {
    if (!tarnwell::cli::CommandUsage(command).empty())
      return GeneralUsageError("the command " + command + " is not available in this build");
    return GeneralUsageError("unknown command " + command);
  }
  if (AsksForHelp(args)) {
    const std::string usage = tarnwell::cli::CommandUsage(command);
    std::cout << (usage.empty() ? tarnwell::cli::GeneralUsage() : usage);
    return kExitOk;
  }
#if TARNWELL_CLI_HANDS_OVER_MODULES
  // This tool is linked statically and cannot open a module: the module runner does the
  // command whole. Without a runner the command runs here, and fails as a build without
  // the module does if it needs one.
  if (tarnwell::cli::MayOpenModules(*entry)) tarnwell::cli::HandOverToModuleRunner(argv);
#endif
  std::string error;
  const tarnwell::cli::CommandFn run = tarnwell::cli::CommandFunction(*entry, error);
  if (run == nullptr) return tarnwell::cli::Failure(command, error);
  return run(home, args);
}

}  // namespace

int main(int argc, char** argv) {
  // The core reports failures by status, not by exceptions; anything that still escapes
  // (out of memory, a bug) ends the command as a failure with a message, never silently.
  try {
    return Run(argv, std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "tarnwell-cli: unexpected error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "tarnwell-cli: unexpected error\n";
  }
  return kExitFailure;
}
