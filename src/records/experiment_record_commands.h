// The operator's commands that read or write an experiment's binary record (.EXP): loading
// an experiment setup from either form, saving the setup as a record, changing a record's
// active platform, and whether a record's status words lock the subject IDs.
//
// They sit above experiment/ because the record is a stored format of records/; the text form
// and the checks that need no record stay in experiment/experiment_file.h.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/operator.h"
#include "experiment/experiment_setup.h"
#include "experiment/subject_table.h"
#include "pool/pool_setup.h"

namespace tarnwell {

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

/// The "Set active platform" command: choose an experiment file, show its active platform,
/// store the answer in place. An older record is rewritten in the current layout first when
/// the operator agrees. Returns whether a new value was stored.
bool SetActivePlatformCommand(Operator& op, const std::filesystem::path& programFolder);

/// `SubjectEditLocked`: the experiment's file (DataFile, extension EXP) exists and a subject
/// it lists has a non-zero status word. Recompute whenever the data file changes or a
/// trial has been recorded.
bool ComputeSubjectEditLocked(const ExperimentSetup& experiment);

}  // namespace tarnwell
