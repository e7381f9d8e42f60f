// tarnwell-cli import: tracks recorded by another tracker into this program's raw files,
// experiments and a study sheet. It prints what it fitted and chose, then one line per trial
// with its tracking quality, its path length beside the source's, its latency and end status,
// and where it came from (file, format, body part, checksum). It lives in the import module
// (tarnwell-import.so) because .xlsx and HDF5 need libzip, expat and libhdf5, which the rest
// of the tool never loads.
#include <iostream>
#include <sstream>

#include "cli_support.h"
#include "core/file_access.h"
#include "import/formats/binary_track_formats.h"
#include "import/track_import.h"
#include "modules/import/import_module.h"

namespace tarnwell::cli {

namespace {

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::string Fixed(double value, int decimals) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << value;
  return out.str();
}

int ReportProblems(std::string_view command, const std::vector<ImportProblem>& problems) {
  for (const ImportProblem& problem : problems) std::cerr << DescribeImportProblem(problem) << "\n";
  return Failure(command, "nothing was imported");
}

}  // namespace

int RunImport(const std::string& home, const std::vector<std::string>& rawArgs) {
  constexpr std::string_view kCommand = "import";
  Arguments args;
  std::string error;
  if (!args.Parse(rawArgs,
                  {"--out", "--name", "--list", "--format", "--arena", "--pool", "--goal", "--goal-radius", "--units",
                   "--pool-diameter-cm", "--grid-radius", "--max-time", "--resample", "--outside", "--margin",
                   "--bodypart", "--likelihood", "--fps", "--y-axis", "--group", "--day", "--kind"},
                  {"--fit-pool", "--fit-goal", "--overwrite"}, error)) {
    return UsageError(kCommand, error);
  }
  const auto out = args.Value("--out");
  if (!out || out->empty()) return UsageError(kCommand, "--out DIR is required");
  const auto list = args.Value("--list");
  if (list.has_value() == !args.Positional().empty()) return UsageError(kCommand, "give the files or --list LIST.CSV");

  ImportOptions options;
  options.OutFolder = *out;
  options.BinaryReader = ReadBinaryTrackFile;
  options.Overwrite = args.Has("--overwrite");
  options.FitPool = args.Has("--fit-pool");
  options.FitGoal = args.Has("--fit-goal");
  if (const auto name = args.Value("--name")) {
    if (name->empty() || name->find_first_of("/\\.") != std::string::npos)
      return UsageError(kCommand, "--name needs a plain file name stem");
    options.Name = *name;
  }
  if (const auto text = args.Value("--format")) {
    TrackFormat format;
    if (!ParseTrackFormat(*text, format))
      return UsageError(kCommand, "--format is one of ethovision, ethovision-xlsx, anymaze, dlc-csv, dlc-h5, csv");
    options.Format = format;
  }
  std::vector<ImportProblem> problems;
  if (const auto file = args.Value("--arena")) {
    std::string text;
    if (!ReadWholeFile(*file, text)) return Failure(kCommand, "cannot read the arena file " + *file);
    options.ArenaName = *file;
    if (!ParseArenaText(text, *file, options.Arena, problems)) return ReportProblems(kCommand, problems);
  }
  if (const auto text = args.Value("--units")) {
    if (*text != "cm" && *text != "px") return UsageError(kCommand, "--units is cm or px");
    options.Read.Unit = *text == "cm" ? TrackUnit::Centimetres : TrackUnit::Pixels;
  }
  ArenaCircle circle;
  if (const auto text = args.Value("--pool")) {
    if (!ParseArenaCircle(*text, circle)) return UsageError(kCommand, "--pool needs X,Y,RADIUS");
    options.Arena.Pool = circle;
  }
  if (const auto text = args.Value("--goal")) {
    if (!ParseArenaCircle(*text, circle)) return UsageError(kCommand, "--goal needs X,Y,RADIUS");
    options.Arena.Goals.insert(options.Arena.Goals.begin(), circle);
  }
  struct NumberOption {
    const char* name;
    double low, high;
    double* target;
  };
  double maxTime = 0, day = 1;
  const NumberOption numbers[] = {
      {"--goal-radius", 0.001, 1e6, &options.GoalRadius},
      {"--pool-diameter-cm", 1, 999, &options.Arena.PoolDiameterCm},
      {"--grid-radius", 10, 95, &options.Arena.GridRadius},
      {"--max-time", 1, 32767, &maxTime},
      {"--margin", 0, 100, &options.MarginPercent},
      {"--likelihood", 0, 1, &options.Read.LikelihoodThreshold},
      {"--fps", 0.1, 10000, &options.Read.FramesPerSecond},
      {"--day", 1, 9999, &day},
  };
  for (const NumberOption& option : numbers) {
    const auto text = args.Value(option.name);
    if (!text) continue;
    const auto value = ParseNumber(*text);
    if (!value || *value < option.low || *value > option.high) {
      return UsageError(kCommand, std::string(option.name) + " needs a number from " + Fixed(option.low, 0) + " to " +
                                      Fixed(option.high, 0));
    }
    *option.target = *value;
  }
  options.MaxTime = static_cast<int>(maxTime);
  if (const auto units = args.Value("--units"); units && !args.Value("--arena")) {
    options.Arena.Unit = *units == "px" ? TrackUnit::Pixels : TrackUnit::Centimetres;
  }
  if (const auto text = args.Value("--resample")) {
    if (*text != "linear" && *text != "nearest") return UsageError(kCommand, "--resample is linear or nearest");
    options.Method = *text == "linear" ? ResampleMethod::Linear : ResampleMethod::Nearest;
  }
  if (const auto text = args.Value("--outside")) {
    if (*text != "refuse" && *text != "clip") return UsageError(kCommand, "--outside is refuse or clip");
    options.Outside = *text == "clip" ? OutsidePolicy::Clip : OutsidePolicy::Refuse;
  }
  if (const auto text = args.Value("--y-axis")) {
    if (*text != "up" && *text != "down") return UsageError(kCommand, "--y-axis is up or down");
    options.Read.YUp = *text == "up";
  }
  if (const auto text = args.Value("--bodypart")) options.Read.BodyParts = SplitCommas(*text);

  std::vector<ImportEntry> entries;
  if (list) {
    std::string text;
    if (!ReadWholeFile(*list, text)) return Failure(kCommand, "cannot read the list " + *list);
    if (!ParseImportList(text, std::filesystem::path(*list).parent_path(), entries, problems, *list))
      return ReportProblems(kCommand, problems);
  } else {
    std::string kind = "acquisition";
    if (const auto text = args.Value("--kind")) kind = *text;
    if (kind != "acquisition" && kind != "probe" && kind != "reversal" && kind != "visible")
      return UsageError(kCommand, "--kind is acquisition, probe, reversal or visible");
    for (const std::string& file : args.Positional()) {
      ImportEntry entry;
      entry.File = file;
      entry.Day = static_cast<int>(day);
      entry.Kind = kind;
      if (const auto group = args.Value("--group")) entry.Group = *group;
      entries.push_back(entry);
    }
  }

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  options.VideoType = program->settings.VideoType == 1 ? 1 : 0;
  options.AspectFactor = AspectFactor(program->settings);

  ImportSummary summary;
  if (!ImportTracks(entries, options, summary, problems)) return ReportProblems(kCommand, problems);
  for (const std::string& line : DescribeImportSummary(summary)) std::cout << line << "\n";
  return std::cout.flush() ? kExitOk : kExitFailure;
}

}  // namespace tarnwell::cli
