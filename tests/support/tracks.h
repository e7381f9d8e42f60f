// Raw tracks for tests: the bytes a raw file holds for a list of (x, y) samples, one byte
// each, X first (255 for a sample in which the unit saw no animal).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarnwell::test {

inline std::string Track(const std::vector<std::pair<int, int>>& points) {
  std::string bytes;
  for (const auto& [x, y] : points) {
    bytes.push_back(static_cast<char>(x));
    bytes.push_back(static_cast<char>(y));
  }
  return bytes;
}

// `count` samples at one place.
inline std::string Repeat(std::pair<int, int> point, int count) {
  return Track(std::vector<std::pair<int, int>>(static_cast<std::size_t>(count), point));
}

}  // namespace tarnwell::test
