// tarnwell-cli convert: an experiment file (.EXP) or an old configuration file (.CFG) in
// the binary record form becomes the current setups: the pool (.POL), the experiment in
// text form (.CFG) and the subject list (SUBJECTS.INI). Without output options they replace
// the home folder's DEFAULT.POL, DEFAULT.CFG and SUBJECTS.INI, as loading the experiment in
// the desktop program and leaving its setup screens would.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "cli_support.h"
#include "core/file_access.h"
#include "core/home_lock.h"
#include "experiment/experiment_file.h"
#include "experiment/subject_table.h"
#include "records/experiment_record.h"
#include "pool/pool_defaults.h"
#include "pool/pool_file.h"
#include "records/experiment_record_commands.h"

namespace tarnwell::cli {

namespace {

constexpr const char* kCommand = "convert";

}  // namespace

int RunConvert(const std::string& home, const std::vector<std::string>& args) {
  Arguments arguments;
  std::string error;
  if (!arguments.Parse(args, {"--pool-out", "--experiment-out", "--subjects-out"}, {}, error) ||
      !arguments.ExpectPositional(1, 1, error))
    return UsageError(kCommand, error);

  const std::filesystem::path oldFile = arguments.Positional().front();
  const auto existing = FindExistingFile(oldFile);
  if (!existing) return Failure(kCommand, oldFile.string() + ": no such file");
  if (IsCurrentFormatFile(*existing))
    return Failure(kCommand,
                   existing->string() + " is already a setup file in text form; there is nothing to convert");
  LegacyExperimentRecord record;
  LegacyConfigRecord config;
  if (!ReadLegacySetup(*existing, record, config))
    return Failure(kCommand, existing->string() +
                                 " cannot be read as a binary experiment or configuration record"
                                 " (it is not one, or it is cut short)");

  const auto program = OpenProgram(kCommand, home);
  if (!program) return kExitFailure;
  // The home's own setups are the desktop program's: written only while no other program
  // holds the home.
  HomeLock lock;
  const bool writesHome = !arguments.Value("--pool-out") || !arguments.Value("--experiment-out") ||
                          !arguments.Value("--subjects-out");
  if (writesHome && !LockHome(kCommand, program->home, lock)) return kExitFailure;
  const std::filesystem::path poolOut =
      arguments.Value("--pool-out").value_or(DefaultPoolFile(program->home.Folder()).string());
  const std::filesystem::path experimentOut =
      arguments.Value("--experiment-out").value_or(program->home.DefaultExperimentPath().string());
  const std::filesystem::path subjectsOut =
      arguments.Value("--subjects-out").value_or(program->home.SubjectsIniPath().string());

  // Converted onto the start-up values, so nothing of the home's current setups leaks in.
  ConsoleOperator op(false);
  ExperimentSetup experiment;
  PoolSetup pool = DefaultPool();
  SubjectTable subjects;
  std::filesystem::path experimentFolder;
  if (!LoadExperimentSetup(op, *existing, experiment, pool, subjects, experimentFolder)) return kExitFailure;

  if (!WritePoolSetupFile(poolOut, pool, true, &error)) return Failure(kCommand, error);
  std::cout << "pool: " << poolOut.string() << "\n";
  if (!WriteExperimentText(experimentOut, experiment, &error)) return Failure(kCommand, error);
  std::cout << "experiment: " << experimentOut.string() << "\n";
  if (!SaveSubjectTable(subjectsOut, subjects))
    return Failure(kCommand, "cannot write " + subjectsOut.string());
  std::cout << "subjects: " << subjectsOut.string() << " (" << experiment.SubjectIDs.size() << " IDs)\n";
  return kExitOk;
}

}  // namespace tarnwell::cli
