#include "acquisition/trial_storage.h"

#include <algorithm>
#include <system_error>

#include "records/experiment_files.h"
#include "records/raw_track.h"
#include "acquisition/run_labels.h"
#include "acquisition/run_state.h"
#include "core/file_access.h"
#include "records/record_conversion.h"
#include "records/experiment_record.h"
#include "records/record_update.h"

namespace tarnwell {
namespace {

constexpr const char* kTrialNotStarted = "The trial was not started.";

}  // namespace

std::filesystem::path RecoveryFileFor(const std::filesystem::path& folder, const std::string& baseName) {
  for (int n = 1;; ++n) {
    const std::string suffix = n == 1 ? "" : "-" + std::to_string(n);
    std::filesystem::path candidate = folder / (baseName + "-RECOVERED" + suffix + ".RAW");
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) return candidate;
  }
}

std::filesystem::path PageOwnerNoteFile(const std::filesystem::path& pagePath) {
  return std::filesystem::path(pagePath).replace_extension(".INF");
}

bool FileHoldsBytes(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  return !error && size > 0;
}

TrialStorage::TrialStorage(const Program& program, TempPage& page, Operator& op)
    : program_(program), page_(page), op_(op) {}

std::string TrialStorage::Who(int subject) const {
  const auto& ids = program_.experiment.SubjectIDs;
  return SubjectText(subject, subject >= 0 && subject < static_cast<int>(ids.size())
                                  ? ids[static_cast<std::size_t>(subject)]
                                  : std::string());
}

std::optional<std::filesystem::path> TrialStorage::KeepUnfinishedPage() {
  if (page_.IsOpen()) return std::nullopt;
  // The home's files are used from here on: what a kill left of an atomic write goes.
  RemoveOrphanTemporaryFiles(page_.Path().parent_path());
  if (!FileHoldsBytes(page_.Path())) return std::nullopt;
  // The note names the experiment and subject of the page's trial; without it the page's
  // own name is used.
  std::string owner = "BINTEMP";
  std::string note;
  // The track goes beside its experiment's files, where whoever looks for the trial
  // looks (the note's second line names the data file); else it stays in the home.
  std::filesystem::path folder = page_.Path().parent_path();
  if (ReadWholeFile(PageOwnerNoteFile(page_.Path()), note)) {
    const std::vector<std::string> lines = SplitLines(note);
    if (!lines.empty() && !lines[0].empty() && lines[0].find_first_of("/\\") == std::string::npos) {
      owner = lines[0];
      std::error_code ec;
      if (lines.size() > 1 && !lines[1].empty()) {
        const std::filesystem::path dataFolder = std::filesystem::path(lines[1]).parent_path();
        if (!dataFolder.empty() && std::filesystem::is_directory(dataFolder, ec) &&
            FolderExistsOrCanBeCreated(dataFolder))
          folder = dataFolder;
      }
    }
  }
  std::filesystem::path recovery = RecoveryFileFor(folder, owner);
  std::error_code error;
  std::filesystem::rename(page_.Path(), recovery, error);
  if (error && folder != page_.Path().parent_path()) {
    // Another file system: copied there, then the page emptied; failing that, the home.
    std::string bytes;
    error.clear();
    if (ReadWholeFile(page_.Path(), bytes) && WriteFileAtomically(recovery, bytes)) {
      std::filesystem::remove(page_.Path(), error);
    } else {
      recovery = RecoveryFileFor(page_.Path().parent_path(), owner);
      std::filesystem::rename(page_.Path(), recovery, error);
    }
  }
  if (error) {
    op_.ShowMessage("A trial that did not finish left\nits samples in\n" + page_.Path().string() +
                        "\nThey could not be moved to\n" + recovery.string() +
                        "\nNo trial can be recorded until\nthat file has been moved away.",
                    "Unfinished Trial", MessageIcon::Critical);
    return page_.Path();
  }
  op_.ShowMessage(
      "A trial that did not finish left\nits samples in the temporary page.\nThey have been kept in\n" +
          recovery.string(),
      "Unfinished Trial", MessageIcon::Exclamation);
  return recovery;
}

bool TrialStorage::CheckBeforeTrial(int subject, bool experimentInProgress) {
  earlierTrackRefused_ = false;
  if (!page_.IsOpen() && FileHoldsBytes(page_.Path())) {
    KeepUnfinishedPage();
    if (FileHoldsBytes(page_.Path())) return false;
  }
  if (HasDataFile()) {
    std::string lockError;
    if (!experimentLock_.Acquire(DataFile(), &lockError)) {
      op_.ShowMessage(lockError + "\n" + kTrialNotStarted, "Experiment In Use", MessageIcon::Critical);
      return false;
    }
    const std::filesystem::path numbered = NumberedRawFile(DataFile(), subject);
    if (!FileExistsOrCanBeCreated(numbered)) {
      op_.ShowMessage(
          "The track of this trial cannot\nbe saved as\n" + numbered.string() + "\n" + kTrialNotStarted,
          "Output File Error", MessageIcon::Critical);
      return false;
    }
    // The record that will hold the subjects' finish status: without it no status is
    // kept, and the next run would take every finished subject for a pending one.
    const std::filesystem::path companion = CompanionFile(DataFile());
    std::string error;
    if (!experimentInProgress && !FindExistingFile(companion) &&
        !WriteExperimentRecord(companion, program_.experiment, program_.pool, &error)) {
      op_.ShowMessage("The experiment file\n" + companion.string() + "\ncannot be written (" + error +
                          ").\n" + kTrialNotStarted,
                      "Output File Error", MessageIcon::Critical);
      return false;
    }
    // A record that cannot take a status word (emptied, damaged, a text setup) is found
    // before an animal swims, not after.
    if (!experimentInProgress && !ReadSubjectStatusWord(companion, 0)) {
      op_.ShowMessage("The experiment file\n" + companion.string() +
                          "\nis not an experiment record, so the\nsubjects' finish status cannot be kept.\n" +
                          kTrialNotStarted,
                      "Output File Error", MessageIcon::Critical);
      return false;
    }
    if (!MoveEarlierTrackAside(subject)) return false;
  }
  return true;
}

bool TrialStorage::MoveEarlierTrackAside(int k) {
  const std::optional<std::filesystem::path> existing = FindExistingFile(NumberedRawFile(DataFile(), k));
  if (!existing || !FileHoldsBytes(*existing)) return true;
  // An aborted trial's track is the one a re-run replaces, as designed.
  if (ReadSubjectStatusWord(CompanionFile(DataFile()), k) == kStatusWordAborted) return true;
  std::error_code error;
  const std::uintmax_t samples = std::filesystem::file_size(*existing, error) / 2;
  const std::filesystem::path recovery =
      RecoveryFileFor(existing->parent_path(), RecoveryBaseName(DataFile(), k));
  const std::string who = Who(k);
  const Answer answer = op_.ShowMessage("The track file\n" + existing->string() + "\nof " + who +
                                            " already holds " + std::to_string(samples) +
                                            " samples,\nbut the experiment file does not say\nthat this "
                                            "subject has been run.\n\nMove that track to\n" +
                                            recovery.string() + "\nand record a new trial?",
                                        "Earlier Track Found", MessageIcon::Question, MessageButtons::YesNo);
  if (answer != Answer::Yes) {
    earlierTrackRefused_ = true;
    op_.ShowMessage("The track in\n" + existing->string() + "\nwas left as it is.\n" + kTrialNotStarted,
                    "Earlier Track Found", MessageIcon::Information);
    return false;
  }
  std::filesystem::rename(*existing, recovery, error);
  if (error) {
    op_.ShowMessage("The track in\n" + existing->string() + "\ncould not be moved to\n" + recovery.string() +
                        "\n(" + error.message() + ").\n" + kTrialNotStarted,
                    "Earlier Track Found", MessageIcon::Critical);
    return false;
  }
  return true;
}

TrialStorage::StoredTrack TrialStorage::StoreTrack(int subject) {
  if (!HasDataFile()) {
    // Nothing of this experiment is kept; the page must not look like a lost trial.
    page_.EmptyPage();
    return StoredTrack::NotKept;
  }
  const std::filesystem::path numbered = NumberedRawFile(DataFile(), subject);
  if (page_.CopyBinaryFileOverToNumberedBinaryFile(numbered)) {
    page_.EmptyPage();
    return StoredTrack::InNumberedFile;
  }
  const std::string who = Who(subject);
  fault_ = "the track could not be saved as " + numbered.string();
  const std::filesystem::path recovery =
      RecoveryFileFor(page_.Path().parent_path(), RecoveryBaseName(DataFile(), subject));
  std::error_code error;
  std::filesystem::rename(page_.Path(), recovery, error);
  if (error) {
    lastRecoveryFile_ = page_.Path();
    op_.ShowMessage("The track of " + who + "\ncould not be saved as\n" + numbered.string() +
                        "\nIts samples remain in\n" + page_.Path().string() +
                        "\nNo trial can be recorded until\nthat file has been moved away.\nThe experiment "
                        "has been stopped.",
                    "Track Not Saved", MessageIcon::Critical);
  } else {
    lastRecoveryFile_ = recovery;
    op_.ShowMessage("The track of " + who + "\ncould not be saved as\n" + numbered.string() +
                        "\nIt has been kept in\n" + recovery.string() + "\nThe experiment has been stopped.",
                    "Track Not Saved", MessageIcon::Critical);
  }
  return StoredTrack::Failed;
}

bool TrialStorage::WriteStatusWord(int subject, int16_t status) {
  if (!HasDataFile() || subject < 0 || subject >= kMaxSubjects) return true;
  const std::filesystem::path companion =
      FindExistingFile(CompanionFile(DataFile())).value_or(CompanionFile(DataFile()));
  SubjectStatus code = SubjectStatus::Unknown;
  if (status >= 1 && status <= 3) code = static_cast<SubjectStatus>(status);
  const RecordUpdate result = UpdateSubjectStatusWord(op_, companion, subject, code);
  // Declined: the operator chose to leave an older record as it is.
  if (result == RecordUpdate::Written || result == RecordUpdate::Declined) return true;
  // A status that is not stored makes the next run take this finished subject for a
  // pending one; the experiment stops here rather than go on without its record.
  const char* why = result == RecordUpdate::NoFile        ? "the file is missing"
                    : result == RecordUpdate::WriteFailed ? "the file could not be written"
                                                          : "the file is not an experiment record";
  fault_ = "the finish status could not be written to " + companion.string();
  op_.ShowMessage("The finish status of " + Who(subject) + "\ncould not be written to\n" +
                      companion.string() + "\n(" + why + ").\nIts track is kept in\n" +
                      NumberedRawFile(DataFile(), subject).string() + "\nThe experiment has been stopped.",
                  "Status Not Saved", MessageIcon::Critical);
  return false;
}

void TrialStorage::NotePageOwner(int subject) {
  const std::filesystem::path note = PageOwnerNoteFile(page_.Path());
  const std::string owner = HasDataFile() ? RecoveryBaseName(DataFile(), subject) : "";
  // Without a note a page left by a crash is kept under its own name; a stale note must
  // never name another trial's page. The second line says where the experiment lives.
  if (owner.empty() || !WriteFileAtomically(note, owner + "\r\n" + DataFile().string() + "\r\n")) {
    std::error_code error;
    std::filesystem::remove(note, error);
  }
}

std::vector<int16_t> TrialStorage::SubjectStatesFromRecord(int subjectCount) const {
  std::vector<int16_t> states(static_cast<std::size_t>(std::max(subjectCount, 0)), kSubjectPending);
  if (!HasDataFile()) return states;
  const std::optional<std::filesystem::path> companion = FindExistingFile(CompanionFile(DataFile()));
  if (!companion) return states;
  for (int k = 0; k < subjectCount && k < kMaxSubjects; ++k) {
    const std::optional<uint16_t> word = ReadSubjectStatusWord(*companion, k);
    if (!word) continue;
    const SubjectStatus status = SubjectStatusOfWord(*word);
    if (status == SubjectStatus::HitGoal || status == SubjectStatus::TimedOut) {
      states[static_cast<std::size_t>(k)] = kSubjectDone;
    }
  }
  return states;
}

}  // namespace tarnwell
