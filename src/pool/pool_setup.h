// PoolSetup: the arena. Where the pool lies in the tracking unit's picture (tracker units:
// x 0..255 to the right, y 0..191 downward), its size in units and centimetres, its zone
// options and the four platforms. Stored in .POL files (pool/pool_file.h), classified
// against by pool/zones.h, edited through pool/pool_editor.h.
#pragma once

#include <array>
#include <cstdint>

namespace tarnwell {

// The pool always has four platforms, numbered 1..4 to the operator and 0..3 here.
inline constexpr int kPlatformCount = 4;
// RingRadius has room for four rings; NumRings outside 1..kMaxRings means "no rings".
inline constexpr int kMaxRings = 4;

struct PlatformSetup {
  int16_t X = 0;  // centre, absolute tracker units
  int16_t Y = 0;
  float Radius = 10.0f;
  bool Round = true;
  int16_t CMultiplier = 150;  // counter zone radius = Radius * CMultiplier / 100
  friend bool operator==(const PlatformSetup&, const PlatformSetup&) = default;
};

struct PoolSetup {
  int16_t X = 128;  // pool centre
  int16_t Y = 96;
  float Radius = 80.0f;
  int16_t NumRings = 4;  // meaningful 1..4
  bool EquArea = false;
  bool Round = true;
  bool Quadrants = true;
  std::array<float, 4> RingRadius{-1.0f, -1.0f, -1.0f, -1.0f};  // derived, see ComputeRingRadii
  int16_t ActualSizeX = 160;                                    // pool diameter in cm, 1..999
  int16_t ActualSizeY = 160;
  std::array<PlatformSetup, 4> Platforms{};
  friend bool operator==(const PoolSetup&, const PoolSetup&) = default;
};

// The pool's radius in centimetres: the limit of an experiment's distance from start.
inline double PoolRadiusCm(const PoolSetup& pool) {
  return pool.ActualSizeX / 2.0;
}

}  // namespace tarnwell
