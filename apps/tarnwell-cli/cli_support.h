// What every tarnwell-cli command shares: its usage text, argument parsing, the home
// folder (resolved, created, locked) and the console operator that answers the
// questions the desktop program would ask.
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/home_lock.h"
#include "acquisition/program.h"
#include "core/program_home.h"
#include "core/scripted_operator.h"

namespace tarnwell::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// ---- usage ----

// The whole usage text (tarnwell-cli --help).
std::string GeneralUsage();
// One command's lines of the usage text, starting "usage: tarnwell-cli [--home DIR] ";
// empty for a command the tool does not know.
std::string CommandUsage(std::string_view command);
// Prints "tarnwell-cli COMMAND: message" and the command's usage to `err`; returns 2.
int UsageError(std::string_view command, const std::string& message);
int UsageError(std::string_view command, const std::string& message, std::ostream& err);
// Prints "tarnwell-cli COMMAND: message" to `err`; returns 1.
int Failure(std::string_view command, const std::string& message);
int Failure(std::string_view command, const std::string& message, std::ostream& err);

// ---- arguments ----

// A command's arguments split into options and positional arguments.
//   Arguments a;
//   if (!a.Parse(args, {"--pool-out", "--experiment-out"}, {"--yes"}, error))
//     return UsageError("convert", error);
// Options are "--name value" or "--name=value" for value options, "--name" for flags;
// "--" ends the options; "-" and negative numbers are positional. An option given twice
// keeps its last value.
class Arguments {
 public:
  bool Parse(const std::vector<std::string>& args, std::initializer_list<std::string_view> valueOptions,
             std::initializer_list<std::string_view> flagOptions, std::string& error);

  bool Has(std::string_view option) const;
  std::optional<std::string> Value(std::string_view option) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  // Positional count in [min, max]; false with a message otherwise.
  bool ExpectPositional(std::size_t min, std::size_t max, std::string& error) const;

 private:
  std::map<std::string, std::string, std::less<>> values_;
  std::set<std::string, std::less<>> flags_;
  std::vector<std::string> positional_;
};

// Whole-text numbers for options ("--seconds 5", "--seed 42"): nothing when the text is
// not a number from start to end. A decimal point is "."; "," is not accepted here.
std::optional<long long> ParseInteger(std::string_view text);
std::optional<double> ParseNumber(std::string_view text);
// "START,TIME" (--epoch): two numbers separated by one ",".
std::optional<std::pair<double, double>> ParseNumberPair(std::string_view text);

// ---- home folder ----

// The home folder of --home (else $TARNWELL_HOME, else ~/.local/share/tarnwell), created
// when missing. On failure prints why to `err` and returns nothing.
std::optional<ProgramHome> OpenHome(std::string_view command, const std::string& homeOption);
std::optional<ProgramHome> OpenHome(std::string_view command, const std::string& homeOption,
                                    std::ostream& err);

// A Program on that home with its settings files loaded as at start-up.
std::unique_ptr<Program> OpenProgram(std::string_view command, const std::string& homeOption);
std::unique_ptr<Program> OpenProgram(std::string_view command, const std::string& homeOption,
                                     std::ostream& err);
// The same, also handing back the home as that start-up listed it (`homeFolder`), for a
// command that reads more of the home's setups right after (HomeAnalysisSettings): the
// home is read once for all of them.
std::unique_ptr<Program> OpenProgram(std::string_view command, const std::string& homeOption, std::ostream& err,
                                     std::unique_ptr<const FolderListing>& homeFolder);

// The lock of commands that record into the home (run), as the desktop program holds
// it; prints the refusal to `err`. With the lock held, a home folder that cannot be
// written is told on `err` (CheckHomeFolderWritable), as the desktop program's start-up
// tells it.
bool LockHome(std::string_view command, const ProgramHome& home, HomeLock& lock);
bool LockHome(std::string_view command, const ProgramHome& home, HomeLock& lock, std::ostream& err);

// ---- the operator ----

// Answers every question "Yes"/"OK" with --yes and "No"/"Cancel" otherwise, and writes
// every message and timed message to `err` as "Title: text" (the text's own line breaks
// kept), followed by the answer when the box asked a question. File and text dialogs are
// cancelled unless a reply was queued: a command takes its files from its arguments.
class ConsoleOperator : public ScriptedOperator {
 public:
  explicit ConsoleOperator(bool answerYes);
  ConsoleOperator(bool answerYes, std::ostream& err);
};

}  // namespace tarnwell::cli
