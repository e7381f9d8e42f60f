// TrackSample: one position report of the tracking unit.
#pragma once

#include <cstdint>

namespace tarnwell {

/// One sample of the unit's stream: X then Y, one byte each on the wire, in tracker
/// units (x 0..255 across the picture, y 0..191 downward). Y = 255 means the unit saw no
/// animal in that frame; such a sample still counts as a frame of time.
struct TrackSample {
  int16_t X = 255;
  int16_t Y = 255;

  bool IsVisible() const { return Y < 255; }
  friend bool operator==(const TrackSample&, const TrackSample&) = default;
};

}  // namespace tarnwell
