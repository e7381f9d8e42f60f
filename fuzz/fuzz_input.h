// Reading a fuzz input as a stream of settings bytes: past the end every read gives 0, so
// any input length is a complete set of choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tarnwell::fuzz {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint8_t Byte() { return pos < size ? data[pos++] : 0; }
  int16_t Word() {
    const int lo = Byte();
    const int hi = Byte();
    return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
  }
};

// A broken invariant ends the run, so libFuzzer records the input.
inline void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace tarnwell::fuzz
