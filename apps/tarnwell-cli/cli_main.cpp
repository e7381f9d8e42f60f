// tarnwell-cli: the command-line tool. Works on the same home folder and files as the
// desktop program, with the same core; each command lives in its own cli_<command>.cpp.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli_commands.h"

namespace {

constexpr const char* kUsage = R"(usage: tarnwell-cli [--home DIR] COMMAND ...

  convert OLDFILE [--pool-out F.POL] [--experiment-out F.CFG] [--subjects-out F.INI]
        read a binary experiment (.EXP) or old configuration (.CFG) and write the current setups
  unit-check (--port DEVICE | --simulator)
        reset-and-initialise handshake; prints "ready" or the unit's message
  monitor (--port DEVICE | --simulator) [--seconds N]
        stream samples, one "X Y" line each
  analyse DATAFILE [--pool F.POL|F.EXP] [--experiment F.CFG|F.EXP] [--epoch START,TIME]
          [--artifact-filter] [--json]
        rebuild the experiment's tabulated data file from its raw files
  report RAWFILE --out NAME [--pool F] [--experiment F] [--label TEXT] [--epoch START,TIME]
          [--artifact-filter]
        analyse one trial and write the report pair NAME.TXT and NAME.CSV
  run DATAFILE (--simulator [--seed N] [--realtime] | --port DEVICE) [--yes]
        run the home's current experiment with DATAFILE as its data file
  save-all DATAFILE [--yes]        every subject's report pair
  trailmap DATAFILE [--yes]        the Trailmap track text file and arena file
  print RAWFILE --pdf OUT.pdf [--pool F] [--experiment F]
        the printed page of one trial, into a PDF file

The home folder is --home DIR, else $TARNWELL_HOME, else ~/.local/share/tarnwell.
Questions are answered Yes/OK with --yes, No/Cancel otherwise; messages go to standard error.
Exit status: 0 success, 1 failure, 2 usage error.
)";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string home;
  while (!args.empty() && args.front().rfind("--", 0) == 0) {
    if (args.front() == "--help" || args.front() == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (args.front() == "--home" && args.size() >= 2) {
      home = args[1];
      args.erase(args.begin(), args.begin() + 2);
      continue;
    }
    std::cerr << "tarnwell-cli: unknown option " << args.front() << "\n" << kUsage;
    return 2;
  }
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  for (const auto& entry : tarnwell::cli::Commands()) {
    if (command == entry.name) return entry.run(home, args);
  }
  std::cerr << "tarnwell-cli: unknown command " << command << "\n" << kUsage;
  return 2;
}
