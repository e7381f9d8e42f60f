// The video lines of Default.SET (the camera, the pool's circle in its picture, the
// inverted picture) as a hand-edited file may hold them, with any frame size: read
// without a crash, and the mapping they make from frame pixels to the unit's coordinates
// stays on the unit's grid and defined for every pixel of the frame, whatever the numbers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/settings_files.h"
#include "core/system_settings.h"
#include "fuzz_input.h"
#include "video/frame_mapping.h"

using namespace tarnwell;
using fuzz::Check;

namespace {

void CheckOnGrid(const TrackSample& s) {
  Check(s.X >= 0 && s.X <= 254 && s.Y >= 0 && s.Y <= 190);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Reader head{data, size < 4 ? size : 4};
  const int width = static_cast<uint16_t>(head.Word()) % 4097;
  const int height = static_cast<uint16_t>(head.Word()) % 4097;
  const std::string_view text(reinterpret_cast<const char*>(data) + head.size, size - head.size);
  SystemSettings settings;
  ApplySystemConfigText(text, settings);
  const VideoCalibration calibration{settings.VideoPoolX, settings.VideoPoolY, settings.VideoPoolRadius};
  const UnitPoolCircle pool{128, 96, 80, AspectFactor(settings)};
  const FrameMapping mapping(width, height, calibration, pool);
  for (const double x : {0.0, width / 2.0, width - 1.0, -1e9, 1e9}) {
    for (const double y : {0.0, height / 2.0, height - 1.0, -1e9, 1e9}) CheckOnGrid(mapping.ToUnit(x, y));
  }
  CheckOnGrid(mapping.ToUnit(calibration.centreX, calibration.centreY));
  double cx, cy, rx, ry;
  mapping.PoolInFrame(cx, cy, rx, ry);
  if (mapping.PixelsPerUnitX() > 0 && std::isfinite(mapping.PixelsPerUnitX())) {
    Check(std::isfinite(cx) && std::isfinite(cy) && std::isfinite(rx) && std::isfinite(ry));
  }
  return 0;
}
