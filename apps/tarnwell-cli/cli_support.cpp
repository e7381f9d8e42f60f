#include "cli_support.h"

#include <array>
#include <charconv>
#include <iostream>
#include <ostream>

#include "acquisition/start_up.h"
#include "core/file_access.h"

namespace tarnwell::cli {

namespace {

struct CommandHelp {
  std::string_view name;
  std::string_view text;  // the command's lines of the usage, without the leading "  "
};

// The commands in the order the usage lists them.
constexpr auto kCommandHelp = std::to_array<CommandHelp>({
    {"convert",
     "convert OLDFILE [--pool-out F.POL] [--experiment-out F.CFG] [--subjects-out F.INI]\n"
     "      read a binary experiment (.EXP) or old configuration (.CFG) and write the current setups\n"},
    {"unit-check",
     "unit-check (--port DEVICE | --simulator)\n"
     "      reset-and-initialise handshake; prints \"ready\" or the unit's message\n"},
    {"monitor",
     "monitor (--port DEVICE | --simulator | --camera DEVICE | --video FILE) [--seconds N]\n"
     "      stream samples, one \"X Y\" line each\n"},
    {"analyse",
     "analyse DATAFILE [--pool F.POL|F.EXP] [--experiment F.CFG|F.EXP] [--epoch START,TIME]\n"
     "        [--artifact-filter] [--json]\n"
     "      rebuild the experiment's tabulated data file from its raw files\n"},
    {"report",
     "report RAWFILE --out NAME [--pool F] [--experiment F] [--label TEXT] [--epoch START,TIME]\n"
     "        [--artifact-filter]\n"
     "      analyse one trial and write the report pair NAME.TXT and NAME.CSV\n"},
    {"run",
     "run DATAFILE (--simulator [--seed N] [--realtime] [--day N] [--learning-rate X]\n"
     "        [--previous-goal N] | --port DEVICE | --camera DEVICE | --video FILE [--realtime])\n"
     "        [--yes] [--trial-list FILE]\n"
     "      run the home's current experiment with DATAFILE as its data file\n"},
    {"create-experiment",
     "create-experiment OUT.EXP (--subjects FILE | --ids A,B,...) [--pool F.POL] [--max-time S]\n"
     "        [--platform OFF|1..4|ALL] [--distance CM]\n"
     "      create an experiment record with the setup screen's checks\n"},
    {"calibrate",
     "calibrate VIDEO|CAMERA [--circle X,Y,R] [--picture OUT.png] [--threshold N] [--min-area PX]\n"
     "        [--max-area PX] [--inverted|--not-inverted]\n"
     "      find the pool's rim (or take it), keep it in Default.SET, draw it into a picture\n"},
    {"track",
     "track VIDEO... --experiment DATA.EXP [--list FILE] [--start S|first-movement] [--end S]\n"
     "        [--threshold N] [--min-area PX] [--max-area PX] [--background IMAGE|--empty-seconds S]\n"
     "        [--preview DIR] [--yes]\n"
     "      track recorded trial videos (one per subject in order, or as the list file says) into\n"
     "      the experiment's raw files and status words, then build its tabulated data file\n"},
    {"save-all", "save-all DATAFILE [--yes]        every subject's report pair\n"},
    {"trailmap", "trailmap DATAFILE [--yes]        the Trailmap track text file and arena file\n"},
    {"print",
     "print RAWFILE --pdf OUT.pdf [--pool F] [--experiment F]\n"
     "      the printed page of one trial, into a PDF file\n"},
    {"study",
     "study SHEET.CSV --out DIR|--check [--animals FILE] [--strategies FILE] [--labels FILE]\n"
     "      [--per-trial] [--include-aborted] [--artifact-filter] [--no-pdf]\n"
     "      analyse every trial a study sheet lists; tables, summaries, strategies and study.pdf in DIR;\n"
     "      (--check: list every problem, write nothing; --animals: each animal's group and variables;\n"
     "      summaries across animals; --per-trial: across trials; aborted trials out of the means\n"
     "      unless --include-aborted); --labels: the strategies against judges' labels (raw_file,label)\n"},
    {"import",
     "import FILE... | --list LIST.CSV  --out DIR [--name STEM] [--format F] [--arena FILE]\n"
     "        [--pool X,Y,R] [--goal X,Y,R] [--fit-pool] [--fit-goal] [--goal-radius R] [--units cm|px]\n"
     "        [--pool-diameter-cm D] [--grid-radius U] [--max-time S] [--resample linear|nearest]\n"
     "        [--outside refuse|clip] [--margin PERCENT] [--bodypart P[,P...]] [--likelihood L] [--fps F]\n"
     "        [--y-axis up|down] [--group G] [--day N] [--kind K] [--overwrite]\n"
     "      tracks from EthoVision (text, .xlsx), ANY-maze, DeepLabCut (CSV, HDF5) or a plain CSV into\n"
     "      raw files, one experiment per day (STEM<day>.EXP) and a study sheet STEM_study.csv\n"},
    {"export-tracks",
     "export-tracks DATA.EXP --out DIR\n"
     "      the experiment's tracks as time_s,x_cm,y_cm files and an arena file for Rtrack and Pathfinder\n"},
});

constexpr std::string_view kGeneralFooter =
    "\nThe home folder is --home DIR, else $TARNWELL_HOME, else ~/.local/share/tarnwell.\n"
    "Questions are answered Yes/OK with --yes, No/Cancel otherwise; messages go to standard error.\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n"
    "tarnwell-cli help COMMAND (or COMMAND --help) shows one command;\n"
    "tarnwell-cli --version the version and the build date.\n";

std::string Indented(std::string_view text, std::string_view indent) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start + 1);
    out += indent;
    out += line;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return out;
}

bool IsOptionLike(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  // A negative number is a value, not an option.
  return !(arg[1] >= '0' && arg[1] <= '9') && arg[1] != '.';
}

bool Contains(std::initializer_list<std::string_view> list, std::string_view name) {
  for (std::string_view item : list)
    if (item == name) return true;
  return false;
}

}  // namespace

// ---- usage ----

std::string GeneralUsage() {
  std::string out = "usage: tarnwell-cli [--home DIR] COMMAND ...\n\n";
  for (const CommandHelp& help : kCommandHelp) out += Indented(help.text, "  ");
  out += kGeneralFooter;
  return out;
}

std::string CommandUsage(std::string_view command) {
  for (const CommandHelp& help : kCommandHelp) {
    if (help.name == command)
      return "usage: tarnwell-cli [--home DIR] " + Indented(help.text, "  ").substr(2);
  }
  return {};
}

int UsageError(std::string_view command, const std::string& message) {
  return UsageError(command, message, std::cerr);
}

int UsageError(std::string_view command, const std::string& message, std::ostream& err) {
  err << "tarnwell-cli " << command << ": " << message << "\n";
  const std::string usage = CommandUsage(command);
  err << (usage.empty() ? GeneralUsage() : usage);
  return kExitUsage;
}

int Failure(std::string_view command, const std::string& message) {
  return Failure(command, message, std::cerr);
}

int Failure(std::string_view command, const std::string& message, std::ostream& err) {
  err << "tarnwell-cli " << command << ": " << message << "\n";
  return kExitFailure;
}

// ---- arguments ----

bool Arguments::Parse(const std::vector<std::string>& args,
                      std::initializer_list<std::string_view> valueOptions,
                      std::initializer_list<std::string_view> flagOptions, std::string& error) {
  values_.clear();
  flags_.clear();
  positional_.clear();
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !IsOptionLike(arg)) {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (Contains(valueOptions, name)) {
      if (equals != std::string::npos) {
        values_[name] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        values_[name] = args[++i];
      } else {
        error = "the option " + name + " needs a value";
        return false;
      }
    } else if (Contains(flagOptions, name)) {
      if (equals != std::string::npos) {
        error = "the option " + name + " takes no value";
        return false;
      }
      flags_.insert(name);
    } else {
      error = "unknown option " + name;
      return false;
    }
  }
  return true;
}

bool Arguments::Has(std::string_view option) const {
  return flags_.find(option) != flags_.end() || values_.find(option) != values_.end();
}

std::optional<std::string> Arguments::Value(std::string_view option) const {
  const auto it = values_.find(option);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool Arguments::ExpectPositional(std::size_t min, std::size_t max, std::string& error) const {
  if (positional_.size() < min) {
    error = min == 1 ? "a file name is missing" : "arguments are missing";
    return false;
  }
  if (positional_.size() > max) {
    error = "unexpected argument " + positional_[max];
    return false;
  }
  return true;
}

std::optional<long long> ParseInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::pair<double, double>> ParseNumberPair(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const auto first = ParseNumber(text.substr(0, comma));
  const auto second = ParseNumber(text.substr(comma + 1));
  if (!first || !second) return std::nullopt;
  return std::make_pair(*first, *second);
}

// ---- home folder ----

std::optional<ProgramHome> OpenHome(std::string_view command, const std::string& homeOption) {
  return OpenHome(command, homeOption, std::cerr);
}

std::optional<ProgramHome> OpenHome(std::string_view command, const std::string& homeOption,
                                    std::ostream& err) {
  ProgramHome home(ProgramHome::ResolveFolder(homeOption));
  std::string error;
  if (!home.EnsureExists(&error)) {
    Failure(command, error, err);
    return std::nullopt;
  }
  return home;
}

std::unique_ptr<Program> OpenProgram(std::string_view command, const std::string& homeOption) {
  return OpenProgram(command, homeOption, std::cerr);
}

std::unique_ptr<Program> OpenProgram(std::string_view command, const std::string& homeOption,
                                     std::ostream& err) {
  std::unique_ptr<const FolderListing> homeFolder;
  return OpenProgram(command, homeOption, err, homeFolder);
}

std::unique_ptr<Program> OpenProgram(std::string_view command, const std::string& homeOption, std::ostream& err,
                                     std::unique_ptr<const FolderListing>& homeFolder) {
  const std::optional<ProgramHome> home = OpenHome(command, homeOption, err);
  if (!home) return nullptr;
  auto program = std::make_unique<Program>(home->Folder());
  // Three settings files here, the current setups after: each missing one would otherwise
  // read the home again for another spelling of its name.
  homeFolder = std::make_unique<const FolderListing>(home->Folder());
  const SettingsLoadResult loaded = LoadSettings(*program, homeFolder.get());
  if (!loaded.aspectRatioNotice.empty()) err << loaded.aspectRatioNotice << "\n";
  const std::string notice = FolderFallbackNotice(program->folderFallbacks, program->settings);
  if (!notice.empty()) err << notice << "\n";
  return program;
}

bool LockHome(std::string_view command, const ProgramHome& home, HomeLock& lock) {
  return LockHome(command, home, lock, std::cerr);
}

bool LockHome(std::string_view command, const ProgramHome& home, HomeLock& lock, std::ostream& err) {
  std::string error;
  if (lock.Acquire(home.Folder(), &error)) {
    // As the desktop program at its start: a home that cannot be written is told now.
    if (const std::string notice = CheckHomeFolderWritable(home); !notice.empty()) err << notice << "\n";
    return true;
  }
  Failure(command, error, err);
  return false;
}

// ---- the operator ----

ConsoleOperator::ConsoleOperator(bool answerYes) : ConsoleOperator(answerYes, std::cerr) {}

ConsoleOperator::ConsoleOperator(bool answerYes, std::ostream& err) {
  defaultAnswer = answerYes ? Answer::Yes : Answer::No;
  onEntry = [&err](const OperatorLogEntry& entry) {
    if (entry.kind != OperatorLogEntry::Kind::Message && entry.kind != OperatorLogEntry::Kind::TimedMessage)
      return;
    if (!entry.title.empty()) err << entry.title << ": ";
    err << entry.text << "\n";
    if (entry.kind == OperatorLogEntry::Kind::Message && entry.buttons != MessageButtons::Ok) {
      static constexpr std::array<std::string_view, 5> kAnswerNames = {"OK", "Cancel", "Yes", "No", "Retry"};
      err << "(answered " << kAnswerNames[static_cast<std::size_t>(entry.answer)] << ")\n";
    }
  };
}

}  // namespace tarnwell::cli
