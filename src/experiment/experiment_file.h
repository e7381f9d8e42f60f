// The experiment setup's files and checks: the text form (DEFAULT.CFG in the home folder,
// and any file beginning with "[Windows Tarnwell"), loading either form, the checks run
// when the setup screen is left and before a run, and the "Set active platform" command.
//
// Nothing here touches a screen: the distance box is passed in as its text and its new
// text returned, and every message and dialog goes through the Operator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/operator.h"
#include "experiment/experiment_setup.h"
#include "experiment/subject_table.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// "[Windows Tarnwell Experiment Setup]".
std::string ExperimentTitleLine();

/// The text form: the title line, "Data File", "Maximum Time", "Active Platform",
/// "Distance from Start" and one "Subject ID k" line per ID, CR LF line ends. The three
/// numbers in the file-print form (" 10 "); the data file and IDs quoted, a double quote in
/// an ID written as an apostrophe.
std::string FormatExperimentText(const ExperimentSetup& experiment);

/// Reads text-form lines into `experiment`. The subject list is cleared first; lines
/// before the title line are skipped; then each line is matched by the key-line rule. A
/// data file is taken only when it exists or can be created; numbers that are no numbers
/// read as 0, numbers beyond 16 bits are limited to -32768..32767; IDs are trimmed, cut to
/// 64 characters and taken in file order (the number in the key is not used), blank ones
/// skipped.
void ReadExperimentTextLines(std::string_view text, ExperimentSetup& experiment);

/// `ReadExperimentText`: false, with nothing changed, when the file does not exist
/// (the name is also looked up case-insensitively).
bool ReadExperimentText(const std::filesystem::path& path, ExperimentSetup& experiment);

/// `WriteExperimentText`: replaces the file as a whole (temporary file and rename), so a
/// failure never leaves a truncated DEFAULT.CFG. False when nothing could be written.
bool WriteExperimentText(const std::filesystem::path& path, const ExperimentSetup& experiment,
                         std::string* error = nullptr);

/// DEFAULT.CFG in the program's (home) folder.
std::filesystem::path DefaultExperimentFile(const std::filesystem::path& programFolder);

/// `ReadExperimentFile`: a text-form file is read with ReadExperimentText; any other file
/// is an experiment record, converted into the experiment, the pool and the subject table.
/// False when the file does not exist or cannot be read or converted.
bool ReadExperimentFile(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                        PoolSetup& pool, SubjectTable& subjects);

/// `LoadExperimentSetup`: reads the file (ReadExperimentFile), remembers its folder as the
/// experiment folder, and makes the file with extension EXP next to it the data file when
/// that exists or can be created. The subject table then holds the loaded IDs, so the table
/// and the experiment's list agree. A file that does not exist changes nothing and says
/// nothing; a file that is neither a text setup nor a readable record changes nothing and
/// says so.
bool LoadExperimentSetup(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                         PoolSetup& pool, SubjectTable& subjects, std::filesystem::path& experimentFolder);

/// Start-up: DEFAULT.CFG of the program's folder (a missing file leaves the start-up
/// values), then the subject table from SUBJECTS.INI (PrepareSubjectTableAtStartUp), so
/// that the experiment's IDs come from the table. Returns whether DEFAULT.CFG was read.
bool LoadStartUpExperiment(const std::filesystem::path& programFolder, ExperimentSetup& experiment,
                           SubjectTable& subjects);

/// The dialog of "Load Experiment Setup" and "Save Experiment Setup": that title, filter
/// "*.EXP", default extension "EXP", starting in the experiment folder when it exists, else
/// in the program's folder.
FileDialogRequest ExperimentFileDialog(const std::string& title,
                                       const std::filesystem::path& experimentFolder,
                                       const std::filesystem::path& programFolder);

/// "Load Experiment Setup": the open dialog, then LoadExperimentSetup on the answer.
bool LoadExperimentSetupCommand(Operator& op, const std::filesystem::path& programFolder,
                                ExperimentSetup& experiment, PoolSetup& pool, SubjectTable& subjects,
                                std::filesystem::path& experimentFolder);

/// "Save Experiment Setup": the save dialog; an answer that can be created gets the
/// extension EXP and its folder becomes the experiment folder; `takeFromScreen` (may be
/// empty) brings the screen's values into the experiment; then the record of the
/// experiment and the pool is written (WriteExperimentRecord: an existing file keeps its
/// status words). A refusal or failure is shown. Returns the writer's result.
bool SaveExperimentSetupCommand(Operator& op, const std::filesystem::path& programFolder,
                                ExperimentSetup& experiment, const PoolSetup& pool,
                                std::filesystem::path& experimentFolder,
                                const std::function<void(ExperimentSetup&)>& takeFromScreen);

/// `CheckDistanceFromStart`: the distance box's text is checked against the pool's radius
/// in centimetres (ActualSizeX / 2) and then against 0..200, with the designed "Range
/// Error" messages. Returns the box's text afterwards. A distance beyond the radius sets
/// `DistFromStart` to the radius's integer part; one outside 0..200 to the nearer limit.
std::string CheckDistanceFromStart(Operator& op, std::string_view distanceBoxText, const PoolSetup& pool,
                                   ExperimentSetup& experiment);

/// `CheckTrialIDs`: a run needs at least one subject ID and at most the 100 an experiment
/// file holds; each refusal is shown and gives false. IDs longer than 8 characters are
/// accepted with a warning naming what will be stored. Skipped (true) while the program is
/// shutting down. IDs that repeat are no refusal: raw files, status words and labels go by
/// the subject's number, and some labs list an animal once per trial.
bool CheckTrialIDs(Operator& op, const ExperimentSetup& experiment, bool shuttingDown = false);

/// The warning about IDs that are the same in their 8 stored characters (naming the pairs),
/// empty when there are none. The setup screen shows it, titled "Trial IDs", when it is left.
std::string RepeatedTrialIDsText(const std::vector<std::string>& ids);

/// The current setting as the "Change active platform" prompt names it: "none", "1".."4",
/// "all", or "<undefined>".
std::string ActivePlatformSettingText(int16_t activePlatform);

/// The operator's answer to "Change active platform" as a code: "ALL" 5, "NONE" 0, else the
/// answer's numeric value limited to 0..5 (so "7" is 5 and "x" is 0). Case is ignored.
int16_t ParseActivePlatformAnswer(std::string_view answer);

/// The "Set active platform" command: choose an experiment file, show its active platform,
/// store the answer in place. An older record is rewritten in the current layout first when
/// the operator agrees. Returns whether a new value was stored.
bool SetActivePlatformCommand(Operator& op, const std::filesystem::path& programFolder);

}  // namespace tarnwell
