// What the analysing commands (analyse, report) share: the analysis settings taken from
// the experiment's own companion record unless given on the command line, the epoch and
// artifact-filter options, a temporary report of the command's own, and the JSON form of
// an analysed trial.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/reanalysis.h"
#include "cli_support.h"
#include "acquisition/program.h"

namespace tarnwell::cli {

// The value options and flags every analysing command accepts.
inline constexpr std::string_view kPoolOption = "--pool";
inline constexpr std::string_view kExperimentOption = "--experiment";
inline constexpr std::string_view kEpochOption = "--epoch";
inline constexpr std::string_view kArtifactFilterFlag = "--artifact-filter";

// The analysis settings of the home's current setups (DEFAULT.POL, DEFAULT.CFG) and
// system values: what an experiment without its own record is analysed with. `homeFolder`
// (optional): the home as the start-up listed it (OpenProgram).
AnalysisSettings HomeAnalysisSettings(const Program& program, const FolderListing* homeFolder = nullptr);

// Fills the state's analysis settings for the experiment of `state.DataFile`: the home's
// current pool and experiment (DEFAULT.POL, DEFAULT.CFG) and system values, then the
// experiment's companion record over them, then --pool and --experiment over that; then
// the epoch window and the artifact filter. Says on `err` where the settings came from.
// Returns 0 on success, else the exit status (2 for a malformed option, 1 for a file that
// cannot be read) after printing why.
int ApplyAnalysisOptions(std::string_view command, const Arguments& args, const Program& program,
                         ReanalysisState& state, std::ostream& err, const FolderListing* homeFolder = nullptr);

// A temporary report in the home folder of this process's own ("~TMPDAT.<pid>.CSV"), so
// that a command running beside the desktop program never touches its ~TMPDAT files;
// removed with its text twin when the command ends.
class CommandTempReport {
 public:
  explicit CommandTempReport(const ProgramHome& home);
  ~CommandTempReport();
  CommandTempReport(const CommandTempReport&) = delete;
  CommandTempReport& operator=(const CommandTempReport&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// What the commands over a whole experiment (analyse, save-all, trailmap) work on: the
// program on the home, the analysis state of the experiment with its settings, and the
// command's own temporary report.
struct ExperimentAnalysis {
  std::filesystem::path dataFile;
  /// The data file's folder as read when the analysis was set up.
  std::shared_ptr<const FolderListing> folder;
  std::unique_ptr<Program> program;
  ReanalysisState state;
  std::unique_ptr<CommandTempReport> tempReport;
};

// The one set-up and the one set of checks of those commands, for the data file that is
// `args`' one positional argument: with `needsDataFile` the data file itself must exist
// (else "no data file NAME"), and the experiment must have raw files (else "no raw files
// STEM??.RAW in FOLDER"), both before the home is opened: a mistyped name changes nothing; then
// the home is opened and the settings applied (ApplyAnalysisOptions). Returns 0 with
// `analysis` ready, else the exit status after printing why.
int PrepareExperimentAnalysis(std::string_view command, const Arguments& args, const std::string& home,
                              ExperimentAnalysis& analysis, bool needsDataFile = false);

// "no raw files STEM??.RAW in FOLDER" for the experiment of `dataFile`.
std::string NoRawFilesMessage(const std::filesystem::path& dataFile);

// One analysed trial as one line of JSON: every measure, the latency in seconds, the
// platform counters with their time in seconds, and the zone table as the report shows it.
std::string TrialJson(const AnalysedTrial& trial, const ReanalysisState& state);

}  // namespace tarnwell::cli
