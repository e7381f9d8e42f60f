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

class FolderListing;  // core/file_access.h

/// Text-form files: those that begin with the header, and text files that carry the
/// experiment title line as a line of their own after other text. Anything else is taken
/// for an experiment record.
bool IsExperimentTextFile(const std::filesystem::path& path);

/// "<file>\nis not an experiment setup\nor experiment file.", titled `title`.
void ShowNotAnExperimentFile(Operator& op, const std::filesystem::path& path, const std::string& title);

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
/// (the name is also looked up case-insensitively). With `folder` (a listing of the file's
/// folder) the file is found and opened through it.
bool ReadExperimentText(const std::filesystem::path& path, ExperimentSetup& experiment,
                        const FolderListing* folder = nullptr);

/// `WriteExperimentText`: replaces the file as a whole (temporary file and rename), so a
/// failure never leaves a truncated DEFAULT.CFG. False when nothing could be written.
bool WriteExperimentText(const std::filesystem::path& path, const ExperimentSetup& experiment,
                         std::string* error = nullptr);

/// DEFAULT.CFG in the program's (home) folder.
std::filesystem::path DefaultExperimentFile(const std::filesystem::path& programFolder);

/// Start-up: DEFAULT.CFG of the program's folder (a missing file leaves the start-up
/// values), then the subject table from SUBJECTS.INI (PrepareSubjectTableAtStartUp), so
/// that the experiment's IDs come from the table. Returns whether DEFAULT.CFG was read.
bool LoadStartUpExperiment(const std::filesystem::path& programFolder, ExperimentSetup& experiment,
                           SubjectTable& subjects);

/// `CheckDistanceFromStart`: the distance box's text is checked against the pool's radius
/// in centimetres (ActualSizeX / 2) and then against 0..200, with the designed "Range
/// Error" messages. Returns the box's text afterwards. A distance beyond the radius sets
/// `DistFromStart` to the radius's integer part; one outside 0..200 to the nearer limit.
std::string CheckDistanceFromStart(Operator& op, std::string_view distanceBoxText, const PoolSetup& pool,
                                   ExperimentSetup& experiment);

/// `CheckTrialIDs`: a run needs at least one subject ID and at most the 100 an experiment
/// file holds, and no two different IDs that are the same in their 8 stored characters
/// (the study would take two animals for one); each refusal is shown and gives false. IDs
/// longer than 8 characters are accepted with a warning naming what will be stored.
/// Skipped (true) while the program is shutting down. An ID typed twice is no refusal: raw
/// files, status words and labels go by the subject's number, and some labs list an animal
/// once per trial.
bool CheckTrialIDs(Operator& op, const ExperimentSetup& experiment, bool shuttingDown = false);

/// The refusal of IDs that differ as typed but not in their 8 stored characters, naming
/// the pairs by number; empty when there are none.
std::string TrialIDsMergedByCutText(const std::vector<std::string>& ids);

/// At start-up SUBJECTS.INI gives the IDs back cut to their stored characters, where
/// DEFAULT.CFG keeps them as typed. While the subject list is still DEFAULT.CFG's IDs cut,
/// the typed IDs say whether the cut made two animals one: then the refusal (as
/// TrialIDsMergedByCutText), else empty (also once the operator has changed the IDs).
std::string StartUpIdsMergedByCutText(const std::vector<std::string>& typedIds,
                                      const std::vector<std::string>& subjectIds);

/// The warning about IDs typed alike (naming the pairs), empty when there are none. The
/// setup screen shows it, titled "Trial IDs", when it is left.
std::string RepeatedTrialIDsText(const std::vector<std::string>& ids);

/// The current setting as the "Change active platform" prompt names it: "none", "1".."4",
/// "all", or "<undefined>".
std::string ActivePlatformSettingText(int16_t activePlatform);

/// The operator's answer to "Change active platform" as a code: "ALL" 5, "NONE" 0, else the
/// answer's numeric value limited to 0..5 (so "7" is 5 and "x" is 0). Case is ignored.
int16_t ParseActivePlatformAnswer(std::string_view answer);

}  // namespace tarnwell
