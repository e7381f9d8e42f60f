#include "acquisition/trial_video.h"

#include <chrono>

#include "records/raw_track.h"

namespace tarnwell {

namespace fs = std::filesystem;

fs::path TrialVideoBase(const fs::path& dataFile, int subject) {
  fs::path raw = NumberedRawFile(dataFile, subject);
  return raw.replace_extension();
}

namespace {

// A name for an earlier video that is not taken: BASE-EARLIER.ext, BASE-EARLIER-2.ext, ...
fs::path FreeEarlierName(const fs::path& base, const std::string& extension) {
  std::error_code ec;
  for (int n = 1;; ++n) {
    const std::string suffix = n == 1 ? "-EARLIER" : "-EARLIER-" + std::to_string(n);
    fs::path candidate = base;
    candidate += suffix + extension;
    if (!fs::exists(candidate, ec)) return candidate;
  }
}

}  // namespace

TrialVideoRecording::~TrialVideoRecording() {
  if (recording_) Finish();
  WriteChecksums(true);
}

std::optional<TrialRecording> TrialVideoRecording::Start(const fs::path& dataFile, int subject) {
  if (recording_) Finish();
  WriteChecksums(false);
  PositionSource* source = source_ ? source_() : nullptr;
  if (source == nullptr) return std::nullopt;
  finalBase_ = TrialVideoBase(dataFile, subject);
  dataFile_ = dataFile;
  subject_ = subject;
  fs::path temporary = finalBase_;
  temporary += ".recording";
  std::string error;
  if (source->StartRecording(temporary.string(), error)) {
    recording_ = true;
    recordingSource_ = source;
    return std::nullopt;
  }
  if (error.empty()) return std::nullopt;  // a recording already: nothing to keep
  TrialRecording failed;
  failed.Error = error;
  return failed;
}

std::optional<TrialRecording> TrialVideoRecording::Finish() {
  if (!recording_) return std::nullopt;
  recording_ = false;
  PositionSource* source = source_ ? source_() : nullptr;
  TrialRecording record;
  if (source != recordingSource_ || source == nullptr) {
    // The camera was replaced during the trial; its file was closed with it.
    record.Error = "the camera was closed during the trial";
    return record;
  }
  recordingSource_ = nullptr;
  const std::optional<RecordedVideo> video = source->StopRecording();
  if (!video) {
    record.Error = "the camera stopped recording during the trial";
    return record;
  }
  record.Codec = video->codec;
  record.Frames = video->frames;
  record.DroppedFrames = video->dropped;
  record.FramesPerSecond = video->framesPerSecond;
  record.Error = video->error;
  const fs::path written = video->path;
  const std::string extension = written.extension().string();
  fs::path target = finalBase_;
  target += extension;
  std::error_code ec;
  if (fs::exists(target, ec)) {
    const fs::path earlier = FreeEarlierName(finalBase_, extension);
    fs::rename(target, earlier, ec);
    if (ec) {
      target = written;  // the earlier one stays; this one keeps its working name
    } else {
      // A checksum still being computed is the earlier video's, not this one's.
      const std::string was = fs::absolute(target, ec).lexically_normal().string();
      for (PendingChecksum& p : pending_) {
        if (p.video == was) p.video = fs::absolute(earlier, ec).lexically_normal().string();
      }
    }
  }
  if (target != written) {
    fs::rename(written, target, ec);
    if (ec) {
      target = written;
      if (record.Error.empty()) record.Error = "the video could not be renamed (" + ec.message() + ")";
    }
  }
  record.Path = fs::absolute(target, ec).lexically_normal().string();
  const auto size = fs::file_size(target, ec);
  if (!ec) record.Size = size;
  pending_.push_back({dataFile_, NumberedRawFile(dataFile_, subject_).filename().string(), record.Path,
                      std::async(std::launch::async, [file = target] { return FileSha256(file); })});
  return record;
}

void TrialVideoRecording::WriteChecksums(bool wait) {
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (!wait && it->sha256.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      ++it;
      continue;
    }
    const std::string sha256 = it->sha256.get();
    const std::string& video = it->video;
    UpdateProvenance(it->dataFile, [&](ExperimentProvenance& record) {
      // Only the trial whose video it is: a trial recorded since under the same name has
      // a video of its own.
      const auto trial = record.Trials.find(it->rawName);
      if (trial == record.Trials.end() || !trial->second.Source.Recording) return;
      TrialRecording& recording = *trial->second.Source.Recording;
      if (recording.Path == video) recording.Sha256 = sha256;
    });
    it = pending_.erase(it);
  }
}

}  // namespace tarnwell
