#include "acquisition/trial_video.h"

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

std::optional<TrialRecording> TrialVideoRecording::Start(const fs::path& dataFile, int subject) {
  if (recording_) Finish();
  PositionSource* source = source_ ? source_() : nullptr;
  if (source == nullptr) return std::nullopt;
  finalBase_ = TrialVideoBase(dataFile, subject);
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
    if (ec) target = written;  // the earlier one stays; this one keeps its working name
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
  record.Sha256 = FileSha256(target);
  return record;
}

}  // namespace tarnwell
