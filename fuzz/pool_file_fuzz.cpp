// The pool setup reader takes any bytes: whatever it reads must be a pool that the writer
// stores and the reader brings back unchanged, and that the zone functions classify
// without trouble.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pool/pool_defaults.h"
#include "pool/pool_editor.h"
#include "pool/pool_file.h"
#include "pool/zones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PoolSetup pool = DefaultPool();
  ReadPoolSetupText(text, pool);
  (void)StartsWithCurrentSetupHeader(text);

  PoolSetup again = DefaultPool();
  if (!ReadPoolSetupText(FormatPoolSetupText(pool), again) || !(again == pool)) std::abort();

  for (int16_t x : {int16_t{-1}, int16_t{0}, int16_t{128}, int16_t{254}, int16_t{255}}) {
    for (int16_t y : {int16_t{-1}, int16_t{0}, int16_t{96}, int16_t{191}, int16_t{255}}) {
      const PoolPoint p{x, y};
      const int ring = RingOf(p, pool);
      if (ring < -1 || ring > 3) std::abort();
      const int quadrant = QuadrantOf(p, pool);
      if (quadrant < 1 || quadrant > 4) std::abort();
      const int zone = PlatformZoneOf(p, 5, pool, 1.5);
      if (zone < -1 || (zone > 3 && zone < 128) || zone > 131) std::abort();
    }
  }

  // The screen model over the same pool: showing and taking back every item.
  PoolEditor editor(pool);
  editor.SetPictureSize(648, 460, 1.0);
  for (int item = 0; item <= 4; ++item) {
    editor.SelectPoolItem(item);
    editor.TakePoolFromScreen();
    (void)editor.FindPlatformAt(300, 200);
  }
  return 0;
}
