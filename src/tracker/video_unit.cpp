#include "tracker/video_unit.h"

#include <cmath>

namespace tarnwell {

VideoUnit::VideoUnit(std::unique_ptr<PositionSource> source, VideoUnitOptions options)
    : EmulatedUnit(options.pal ? 25 : 30), options_(options) {
  SetSource(std::move(source));
  SetVideoInverted(options.inverted);
}

void VideoUnit::SetSource(std::unique_ptr<PositionSource> source) {
  source_ = std::move(source);
  last_ = {};
  outFrames_ = 0;
  sourceFrames_ = 0;
  leadLeft_ = options_.leadFrames;
  ended_ = false;
  endMessage_.clear();
  if (source_) {
    source_->SetInverted(VideoInverted());
    source_->SetObjectFilter(ObjectFilter());
    source_->SetMaskMap(Map());
  }
  SetPowered(true);
}

void VideoUnit::End() {
  if (ended_) return;
  ended_ = true;
  endMessage_ = source_ ? source_->EndMessage() : std::string("There is no camera or video.");
  if (onSourceEnded) onSourceEnded(endMessage_);
}

std::optional<TrackSample> VideoUnit::NextFrame() {
  if (leadLeft_ > 0) {
    --leadLeft_;
    ++outFrames_;
    return TrackSample{255, 255};
  }
  if (ended_ || !source_) {
    End();
    return std::nullopt;
  }
  if (source_->IsLive()) {
    const std::optional<SourceFrame> frame = source_->Next();
    if (!frame) {
      End();
      return std::nullopt;
    }
    last_ = *frame;
  } else {
    // Output frame k (counted from the source's first) shows the source's frame
    // floor(k × source rate / unit rate): frames are dropped or repeated, never shifted.
    const double sourceRate = source_->FramesPerSecond() > 0 ? source_->FramesPerSecond() : FramesPerSecond();
    const uint64_t k = outFrames_ - static_cast<uint64_t>(options_.leadFrames);
    const auto wanted =
        static_cast<uint64_t>(std::floor(static_cast<double>(k) * sourceRate / FramesPerSecond() + 1e-9));
    while (sourceFrames_ <= wanted) {
      const std::optional<SourceFrame> frame = source_->Next();
      if (!frame) {
        End();
        return std::nullopt;
      }
      last_ = *frame;
      ++sourceFrames_;
    }
  }
  ++outFrames_;
  return last_.position;
}

void VideoUnit::OnVideoInverted(bool inverted) {
  if (source_) source_->SetInverted(inverted);
}

void VideoUnit::OnObjectFilter(bool on) {
  if (source_) source_->SetObjectFilter(on);
}

void VideoUnit::OnMapStored(const std::string& map) {
  if (source_) source_->SetMaskMap(map);
}

void VideoUnit::OnMaskSetupStarted() {
  if (source_) source_->StartBackgroundCapture();
}

void VideoUnit::OnMaskSetupFinished(bool keep) {
  if (source_) source_->FinishBackgroundCapture(keep);
}

}  // namespace tarnwell
