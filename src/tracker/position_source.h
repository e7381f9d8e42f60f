// PositionSource: where a VideoUnit's eyes are. A camera or a recorded video, with the
// detection that turns each frame into the animal's place in tracker units, lives outside
// the core (src/video); the unit sees only this.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tracker/track_sample.h"

namespace tarnwell {

/// One frame as the unit sees it: the animal's position in tracker units (X 0..254,
/// Y 0..190; 255/255 when it was not found) and the area of what was found, in overlay
/// pixels (0 when nothing was).
struct SourceFrame {
  TrackSample position;
  int area = 0;
};

/// What the camera sees now, for the live picture: the frame (8-bit BGR, row by row),
/// where the animal was found in it and where the pool lies, all in frame pixels.
struct LivePicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
  bool found = false;
  double x = 0, y = 0;
  double poolX = 0, poolY = 0, poolRadiusX = 0, poolRadiusY = 0;
  // Tracker units to frame pixels: frame x = unitOriginX + unit x × pixelsPerUnitX (y alike).
  double unitOriginX = 0, unitOriginY = 0, pixelsPerUnitX = 1, pixelsPerUnitY = 1;
};

/// What a source wrote while it recorded its own frames (a camera's trial video).
struct RecordedVideo {
  std::string path;   // the file written
  std::string codec;  // "FFV1" (lossless) or "MJPG"
  int64_t frames = 0;
  int64_t dropped = 0;  // frames that came faster than the file could take them
  double framesPerSecond = 0;
  std::string error;  // a file that could not be written whole
};

class PositionSource {
 public:
  virtual ~PositionSource() = default;

  /// The source's own frame rate, frames per second.
  virtual double FramesPerSecond() const = 0;
  /// A live source (a camera) runs on its own time: Next gives the newest frame's
  /// position at once and may give the same one twice. A recording gives every frame in
  /// turn, so the unit resamples it to its own rate.
  virtual bool IsLive() const = 0;
  /// The next frame; nothing once no more frames will come (the recording ended or the
  /// camera went away): EndMessage then says why, in the operator's words.
  virtual std::optional<SourceFrame> Next() = 0;
  virtual std::string EndMessage() const = 0;

  // The unit's settings, as the program sends them.
  /// Video inverted: a light animal on dark water instead of a dark one on light water.
  virtual void SetInverted(bool /*inverted*/) {}
  /// The object filter: ignore small objects (droppings, ripples).
  virtual void SetObjectFilter(bool /*on*/) {}
  /// The unit's 768-byte map: 32 × 24 cells of 8 × 8 tracker units, row by row; a cell
  /// "1" is masked (nothing found there counts).
  virtual void SetMaskMap(const std::string& /*map*/) {}
  /// Background-mask setup: learn the empty pool from the frames seen until it finishes;
  /// `keep` false leaves the old background.
  virtual void StartBackgroundCapture() {}
  virtual void FinishBackgroundCapture(bool /*keep*/) {}

  /// The pool's circle in the frame, in pixels (the operator's calibration); a radius of
  /// 0 makes the whole picture the unit's view.
  virtual void SetCalibration(double /*centreX*/, double /*centreY*/, double /*radius*/) {}
  /// The newest frame with what was found in it; false when there is none to show.
  virtual bool LatestPicture(LivePicture& /*picture*/) const { return false; }

  /// A live source keeps what it sees: every frame from now on goes into a video file,
  /// `basePath` followed by its container's extension (".mkv" for the lossless codec, else
  /// ".avi"). False when it cannot, with the reason in `error`; a recording, which is a
  /// video already, is not recorded again: false with `error` empty.
  virtual bool StartRecording(const std::string& /*basePath*/, std::string& error) {
    error.clear();
    return false;
  }
  /// Ends the recording and closes its file; nothing when none was running.
  virtual std::optional<RecordedVideo> StopRecording() { return std::nullopt; }
};

}  // namespace tarnwell
