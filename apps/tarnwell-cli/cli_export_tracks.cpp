// tarnwell-cli export-tracks: an experiment's tracks back out in the form Rtrack and
// Pathfinder read (time_s,x_cm,y_cm files and an arena file), to compare tool against tool.
#include <iostream>

#include "cli_commands.h"
#include "cli_support.h"
#include "import/track_import.h"

namespace tarnwell::cli {

int RunExportTracks(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "export-tracks";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--out"}, {}, error) || !args.ExpectPositional(1, 1, error))
    return UsageError(kCommand, error);
  const auto out = args.Value("--out");
  if (!out || out->empty()) return UsageError(kCommand, "--out DIR is required");
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  std::vector<std::filesystem::path> written;
  if (!ExportPeerTracks(args.Positional()[0], *out, AspectFactor(program->settings),
                        program->settings.VideoType == 1 ? 1 : 0, written, error))
    return Failure(kCommand, error);
  for (const auto& file : written) std::cout << file.string() << "\n";
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
