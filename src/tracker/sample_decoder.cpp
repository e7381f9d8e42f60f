#include "tracker/sample_decoder.h"

namespace tarnwell {

int16_t NormaliseSampleRate(int16_t sampleRate, int16_t videoType) {
  if (sampleRate < 2) return 1;
  if (sampleRate > 5) return videoType == 1 ? 25 : 30;
  return 5;
}

}  // namespace tarnwell
