// tarnwell-cli create-experiment: a new experiment record from options and a subject list,
// with the setup screen's checks, so a study can be set up from a script. The pool is a
// pool setup file or the home's current one; the numbers default to the home's last
// experiment setup (DEFAULT.CFG), as the setup screen shows them.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <sstream>

#include "acquisition/experiment_creation.h"
#include "cli_commands.h"
#include "cli_support.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "pool/pool_file.h"
#include "core/text.h"

namespace tarnwell::cli {
namespace {

std::optional<int> PlatformCode(std::string text) {
  text = ToUpperAscii(text);
  if (text == "OFF" || text == "NONE") return 0;
  if (text == "ALL") return 5;
  const std::optional<long long> n = ParseInteger(text);
  if (n && *n >= 1 && *n <= 4) return static_cast<int>(*n);
  return std::nullopt;
}

}  // namespace

int RunCreateExperiment(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "create-experiment";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs, {"--subjects", "--ids", "--pool", "--max-time", "--platform", "--distance"},
                  {"--yes"}, error) ||
      !args.ExpectPositional(1, 1, error)) {
    return UsageError(kCommand, error);
  }
  const auto subjectsFile = args.Value("--subjects");
  const auto idsText = args.Value("--ids");
  if (subjectsFile.has_value() == idsText.has_value())
    return UsageError(kCommand, "give the subjects with --subjects FILE or --ids A,B,...");
  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;

  NewExperiment request;
  request.file = args.Positional()[0];
  ExperimentSetup last;
  SubjectTable table;
  LoadStartUpExperiment(program->home.Folder(), last, table);
  request.maxTime = last.MaxTime;
  request.activePlatform = last.ActivePlatform;
  request.distanceFromStart = last.DistFromStart;
  if (const auto pool = args.Value("--pool")) {
    if (!ReadPoolSetupFile(*pool, request.pool))
      return Failure(kCommand, "cannot read the pool setup " + *pool);
  } else {
    LoadStartUpPool(program->home.Folder(), request.pool);
  }
  if (const auto text = args.Value("--max-time")) {
    const std::optional<long long> n = ParseInteger(*text);
    if (!n) return UsageError(kCommand, "--max-time needs whole seconds");
    request.maxTime = static_cast<int>(std::clamp<long long>(*n, -1, 99999));
  }
  if (const auto text = args.Value("--platform")) {
    const std::optional<int> code = PlatformCode(*text);
    if (!code) return UsageError(kCommand, "--platform needs OFF, 1, 2, 3, 4 or ALL");
    request.activePlatform = *code;
  }
  if (const auto text = args.Value("--distance")) {
    const std::optional<long long> n = ParseInteger(*text);
    if (!n) return UsageError(kCommand, "--distance needs whole centimetres");
    request.distanceFromStart = static_cast<int>(std::clamp<long long>(*n, -1, 99999));
  }
  if (subjectsFile) {
    std::ifstream in(*subjectsFile, std::ios::binary);
    if (!in) return Failure(kCommand, "cannot read the subject list " + *subjectsFile);
    std::ostringstream text;
    text << in.rdbuf();
    request.subjectIds = SubjectIdsFromText(text.str());
  } else {
    std::string list = *idsText;
    for (char& c : list) c = c == ',' ? '\n' : c;
    request.subjectIds = SubjectIdsFromText(list);
  }
  ConsoleOperator op(args.Has("--yes"));
  std::filesystem::path written;
  if (!CreateExperiment(op, request, written, error)) return Failure(kCommand, error);
  std::cout << "experiment " << written.string() << " (" << request.subjectIds.size() << " subjects)\n";
  std::cout.flush();
  return std::cout ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
