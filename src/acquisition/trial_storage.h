// Where a trial's samples are kept, and what keeps them safe: the checks before a trial
// starts, the copy of the temporary page to the subject's numbered raw file, the finish
// status word in the experiment's companion record, and the recovery files that hold a
// track which could not go where it belonged.
//
// The rules (the run controller's, see run_controller.h): a status word is written only
// over a track on disk; a track is never overwritten without the operator's agreement;
// a recovery file is never overwritten nor deleted. Every failure is told to the operator
// here, with the file it concerns.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "records/experiment_lock.h"
#include "records/temp_page.h"
#include "core/operator.h"
#include "acquisition/program.h"

namespace tarnwell {

/// A free name for keeping a track in `folder`: `baseName` + "-RECOVERED" + ".RAW", or
/// with "-2", "-3", ... before ".RAW" when taken, so one recovery never overwrites
/// another. Such files are never deleted by the program.
std::filesystem::path RecoveryFileFor(const std::filesystem::path& folder, const std::string& baseName);

/// The note beside the temporary page naming whose trial it holds ("WEEK1-03"), so a
/// page left by a crash is kept under the experiment's and subject's name.
std::filesystem::path PageOwnerNoteFile(const std::filesystem::path& pagePath);

/// True when `file` exists and is not empty.
bool FileHoldsBytes(const std::filesystem::path& file);

class TrialStorage {
 public:
  /// The experiment's data file and subject IDs are read from `program` when used; the
  /// page is the run controller's.
  TrialStorage(const Program& program, TempPage& page, Operator& op);

  /// A page left non-empty by a trial that never finished is moved to a recovery file
  /// named after its owner note, beside the experiment's data file the note names when
  /// that folder can take it, else in the home (see RunController::CheckForUnfinishedTrial).
  std::optional<std::filesystem::path> KeepUnfinishedPage();

  /// Before a trial of `subject` changes anything: a stale page kept, the numbered file
  /// and the companion record writable (the record made for the first trial of an
  /// experiment), an earlier track moved aside with the operator's agreement. The
  /// experiment's lock is taken here and held until ReleaseExperimentLock. False, with the
  /// reason shown, when the trial must not start.
  bool CheckBeforeTrial(int subject, bool experimentInProgress);
  /// The last CheckBeforeTrial failed because the operator kept an earlier track.
  bool EarlierTrackRefused() const { return earlierTrackRefused_; }

  enum class StoredTrack {
    NotKept,         ///< no data file: the page was emptied, nothing of the trial is kept
    InNumberedFile,  ///< the page is in the subject's numbered raw file and emptied
    Failed           ///< the page is a recovery file (or still the page); told, fault() says
  };
  /// The closed page to the subject's numbered raw file (temporary file and rename).
  StoredTrack StoreTrack(int subject);

  /// The subject's finish status word in the companion record. False (told, fault()
  /// says) when a status that should have been stored was not.
  bool WriteStatusWord(int subject, int16_t status);

  /// The subjects' states from the companion record's status words: kSubjectDone for a
  /// subject that hit the goal or timed out, kSubjectPending for every other.
  std::vector<int16_t> SubjectStatesFromRecord(int subjectCount) const;

  /// Writes the page's owner note for `subject`'s trial (removes it without a data file).
  void NotePageOwner(int subject);

  /// Held from the first trial until the run screen is left: no other program records
  /// into this experiment's files meanwhile.
  void ReleaseExperimentLock() { experimentLock_.Release(); }

  /// Where the last failed StoreTrack left the samples (a recovery file, or the page).
  const std::filesystem::path& LastRecoveryFile() const { return lastRecoveryFile_; }

  /// Why the last StoreTrack or WriteStatusWord failed.
  const std::string& Fault() const { return fault_; }

 private:
  bool HasDataFile() const { return !program_.experiment.DataFile.empty(); }
  std::filesystem::path DataFile() const { return std::filesystem::path(program_.experiment.DataFile); }
  std::string Who(int subject) const;
  bool MoveEarlierTrackAside(int subject);

  const Program& program_;
  TempPage& page_;
  Operator& op_;
  bool earlierTrackRefused_ = false;
  std::string fault_;
  std::filesystem::path lastRecoveryFile_;
  ExperimentLock experimentLock_;
};

}  // namespace tarnwell
