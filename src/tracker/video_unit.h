// VideoUnit: the tracking unit with a camera or a recorded video as its eyes.
//
// It answers the unit's whole command set (the emulated unit's) and streams one sample
// per frame at the unit's own rate, 30 a second (25 with PAL), so the tracker link, the
// run and the raw files cannot tell it from the serial unit. A recording made at another
// rate is resampled: output frame k shows the recording's frame at k / rate seconds. A
// recording that ends, or a camera that goes away, leaves the unit silent, as a unit whose
// camera cable was pulled; onSourceEnded says why, once.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tracker/emulated_unit.h"
#include "tracker/position_source.h"

namespace tarnwell {

struct VideoUnitOptions {
  bool pal = false;       // 25 frames a second instead of 30
  bool inverted = false;  // the video-inverted state the unit starts with (its memory)
  // Samples sent before a source's first frame. The program discards the first two
  // samples of every stream; offline tracking puts two blank ones in front so that no
  // frame of the recording is lost.
  int leadFrames = 0;
};

class VideoUnit : public EmulatedUnit {
 public:
  VideoUnit(std::unique_ptr<PositionSource> source, VideoUnitOptions options);

  /// Puts the next recording in (offline tracking: one per trial); the unit wakes up.
  void SetSource(std::unique_ptr<PositionSource> source);
  PositionSource* Source() { return source_.get(); }
  bool SourceEnded() const { return ended_; }
  const std::string& EndMessage() const { return endMessage_; }
  /// The last frame the unit saw.
  const SourceFrame& LastFrame() const { return last_; }
  /// Samples streamed from the current source (lead samples included).
  uint64_t FramesSent() const { return outFrames_; }

  std::function<void(const std::string&)> onSourceEnded;

 protected:
  std::optional<TrackSample> NextFrame() override;
  TrackSample SeenNow() const override { return last_.position; }
  int ObjectArea() override { return last_.area; }
  void OnVideoInverted(bool inverted) override;
  void OnObjectFilter(bool on) override;
  void OnMapStored(const std::string& map) override;
  void OnMaskSetupStarted() override;
  void OnMaskSetupFinished(bool keep) override;

 private:
  void End();

  VideoUnitOptions options_;
  std::unique_ptr<PositionSource> source_;
  SourceFrame last_;
  uint64_t outFrames_ = 0;     // frames sent from this source
  uint64_t sourceFrames_ = 0;  // frames read from this source
  int leadLeft_ = 0;
  bool ended_ = false;
  std::string endMessage_;
};

}  // namespace tarnwell
