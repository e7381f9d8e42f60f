// Between the binary experiment record and the current setups: building a record from
// ExperimentSetup and PoolSetup ("Save Experiment Setup", the run's companion file) and
// converting a record (an .EXP file of this program, an old .EXP or .CFG) back into them.
//
// A record this program writes converts back to the same experiment and pool for every
// value, provided the names fit the record (name 7 characters, IDs 8, at most 100 IDs) and
// the four platforms share one counter multiplier (the record holds one).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/operator.h"
#include "experiment/experiment_setup.h"
#include "experiment/subject_table.h"
#include "records/experiment_record.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// The experiment name stored in a record: the data file's name without folder and
/// extension (either "/" or "\" ends a folder, so Windows paths from old setups work too).
std::string ExperimentRecordName(std::string_view dataFile);

/// The record parts for the current setups: the name as given, status words as given,
/// the unconverted values zero; the pool's bounding box is its centre +- its radius, a
/// platform's is relative to the pool centre; shape "E" (round) or "S", ring rule "D"
/// (equal width) or "A" (equal area); the counter multiplier is platform 1's. Only the
/// first 100 IDs fit.
void BuildLegacyRecords(std::string_view name, const ExperimentSetup& experiment, const PoolSetup& pool,
                        const std::array<uint16_t, kRecordSubjects>& statusWords,
                        LegacyExperimentRecord& experimentRecord, LegacyConfigRecord& configRecord);

/// The first converted value of a record that lies outside what the setups hold (a
/// configuration record renamed .EXP reads as pool radius 0, 8224 rings, active platform
/// 45): the field as the operator knows it, its value and its range, e.g. "Number of
/// rings 8224 (1 to 4)". Empty when every value fits.
std::string LegacyRecordRangeProblem(const LegacyExperimentRecord& experimentRecord,
                                     const LegacyConfigRecord& configRecord);

/// The refusal shown for such a record: the file, then the field.
void ShowUnusableRecordMessage(Operator& op, const std::filesystem::path& path, const std::string& problem,
                               const std::string& title);

/// Converts a record into the experiment (maximum time, active platform, distance, subject
/// IDs; the data file is left alone) and the pool (ring radii recomputed). The IDs go into
/// `toSubjectList` (replacing its cells) and from there into the experiment when a table is
/// given, else straight into the experiment's list. A value that cannot be represented (a
/// coordinate beyond 16 bits, a size that is not a finite number) is the run-time error 6:
/// the box "Error 6" / "in ConvertLegacyTarnwellSetup." titled "Error" is shown and false
/// returned with experiment, pool and table unchanged.
bool ConvertLegacyTarnwellSetup(Operator& op, const LegacyExperimentRecord& experimentRecord,
                                const LegacyConfigRecord& configRecord, ExperimentSetup& experiment,
                                PoolSetup& pool, SubjectTable* toSubjectList);

/// Reads and converts the record file at `path`, then names the data file after the
/// record: the record's folder, its experiment name, extension EXP (the file's own name when
/// the record names none). False, with nothing changed, when the file does not exist, is a
/// text setup, is not a whole record, holds a value out of range (shown, naming the file
/// and the field, titled `title`) or does not convert.
bool ConvertLegacyExperimentFile(Operator& op, const std::filesystem::path& path, ExperimentSetup& experiment,
                                 PoolSetup& pool, SubjectTable* toSubjectList,
                                 const std::string& title = "Load Experiment Setup");

/// Everything an experiment record holds, read and converted without asking anything:
/// what the run (status words), the subject lock and the map comparison need.
struct ExperimentRecord {
  RecordLayout Layout = RecordLayout::Current;
  LegacyExperimentRecord Stored;  // as read
  LegacyConfigRecord StoredConfig;
  ExperimentSetup Experiment;  // converted; DataFile named as ConvertLegacyExperimentFile does
  PoolSetup Pool;              // converted, ring radii computed
};

/// The record at `path`; nothing when it cannot be read or converted.
std::optional<ExperimentRecord> ReadExperimentRecord(const std::filesystem::path& path);
/// The same of the file's first bytes (kLegacySetupReadLimit of them, fewer only for a
/// shorter file) already read, `path` the file they came from.
std::optional<ExperimentRecord> ParseExperimentRecord(const std::filesystem::path& path, std::string_view bytes);

/// Writes the record of the current setups to `path`, replacing the file as a whole. The
/// name is the data file's (or, without one, `path`'s own). Over an existing record the 100
/// status words are kept, so saving a setup onto an experiment's companion file does not
/// forget which subjects were recorded; a new file gets zeros. Refused (false, with the
/// reason in `error`) when the experiment has more IDs than a record holds.
bool WriteExperimentRecord(const std::filesystem::path& path, const ExperimentSetup& experiment,
                           const PoolSetup& pool, std::string* error = nullptr);

}  // namespace tarnwell
