// A camera trial's own video: recorded while the trial is tracked, so that a lab can track
// it again later with other settings.
//
// The video is named after the trial as its raw file is, beside it: WEEK103.RAW ->
// WEEK103.mkv (WEEK103.avi where the lossless codec cannot be written). While the trial
// runs it is written as WEEK103.recording.mkv and renamed when the trial ends, so a crash
// never leaves a half video under the trial's name. A video already there (an earlier,
// aborted trial of the subject) is kept as WEEK103-EARLIER.mkv (-EARLIER-2, ... when
// taken), never overwritten. The provenance record names the file with its checksum.
//
// A trial's video is large (a minute of lossless 640 x 480 is most of a gigabyte), so its
// checksum is computed on a thread of its own while the next animal is readied, and
// written into the provenance record by the run's own thread when it is done: as the next
// trial starts, when the run screen is left, at the latest when the recording ends.
#pragma once

#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "records/provenance.h"
#include "tracker/position_source.h"

namespace tarnwell {

/// The trial video's name without its extension: the numbered raw file's.
std::filesystem::path TrialVideoBase(const std::filesystem::path& dataFile, int subject);

class TrialVideoRecording {
 public:
  TrialVideoRecording() = default;
  ~TrialVideoRecording();
  TrialVideoRecording(const TrialVideoRecording&) = delete;
  TrialVideoRecording& operator=(const TrialVideoRecording&) = delete;

  /// The unit's eyes now (the source can change between trials); nullptr or unset: no
  /// video is recorded. Only a live source (a camera) records.
  using SourceOf = std::function<PositionSource*()>;
  void SetSource(SourceOf source) { source_ = std::move(source); }

  /// A trial of `subject` starts. Nothing when its video is being recorded or the source
  /// records none; else the record of why not (its Error, in the operator's words).
  std::optional<TrialRecording> Start(const std::filesystem::path& dataFile, int subject);
  bool IsRecording() const { return recording_; }
  /// The trial has ended: the video is closed, given its name and described for the
  /// provenance record (its size; its checksum follows, see WriteChecksums); nothing when
  /// none was recorded.
  std::optional<TrialRecording> Finish();
  /// Writes the checksums computed since into the trials' provenance records: those
  /// done, or (`wait`) all, waiting for them.
  void WriteChecksums(bool wait);

 private:
  struct PendingChecksum {
    std::filesystem::path dataFile;
    std::string rawName;  // the trial's key in the record
    std::string video;    // the file the checksum is of
    std::future<std::string> sha256;
  };

  SourceOf source_;
  PositionSource* recordingSource_ = nullptr;
  bool recording_ = false;
  std::filesystem::path finalBase_;
  std::filesystem::path dataFile_;
  int subject_ = 0;
  std::vector<PendingChecksum> pending_;
};

}  // namespace tarnwell
