// Point classification against the pool: quadrant, ring (or outside the pool) and
// platform counter zone. The live run classifies every incoming sample and the analysis
// every stored one, so these are plain functions over a const PoolSetup that neither
// allocate nor read any program state; whatever depends on the run (the active platform,
// the aspect factor) comes in as a parameter.
#pragma once

#include <cstdint>

#include "pool/pool_setup.h"

namespace tarnwell {

// A position in tracker units (x 0..255 to the right, y 0..191 downward; 255 = not seen).
struct PoolPoint {
  int16_t X = 0;
  int16_t Y = 0;
  friend bool operator==(const PoolPoint&, const PoolPoint&) = default;
};

// RingOf's answer for a point outside the pool (and for a pool without rings).
inline constexpr int kOutsidePool = -1;
// PlatformZoneOf's answer for a point in no platform's counter zone.
inline constexpr int kNoPlatformZone = -1;
// Added to the platform index when the point stands on an active platform.
inline constexpr int kOnPlatformFlag = 128;

// Fills pool.RingRadius with the outer radius of each ring, outermost first
// (RingRadius[0] is the pool radius), -1 where unused. Equal-width rings split the radius
// evenly; with EquArea every ring encloses the same area. NumRings outside 1..4 leaves
// all four at -1, which makes every point count as outside the pool. Must run whenever
// Radius, NumRings or EquArea change, or RingOf answers from stale rings.
void ComputeRingRadii(PoolSetup& pool);

// 1 upper right, 2 upper left, 3 lower left, 4 lower right. A point on the vertical
// centre line is on the left, one on the horizontal centre line is in the upper half.
// Points outside the pool have a quadrant too.
int QuadrantOf(PoolPoint p, const PoolSetup& pool);

// 0 for the innermost ring up to NumRings - 1 for the outermost, or kOutsidePool.
// Round pool: a point on a ring boundary belongs to the outer ring and a point at exactly
// the pool radius is outside. Square pool (concentric squares): a point on a boundary
// belongs to the inner square and a point at exactly the half width is inside.
// This is the program's out-of-pool test.
int RingOf(PoolPoint p, const PoolSetup& pool);

// The platform counter zone holding p: kNoPlatformZone, the platform index 0..3, or
// kOnPlatformFlag + index when p stands on an active platform (which wins over any
// counter zone). The highest-numbered platform wins where zones overlap.
// activePlatform: 0 none ("OFF"), 1..4 that platform, 5 ("ALL") every platform.
// yScale multiplies the sample's y before the test: the aspect factor (AspectFactor of
// the system settings) while an experiment is in progress, 1.0 otherwise. A sample with
// y >= 255 (not seen) is in no zone.
int PlatformZoneOf(PoolPoint p, int activePlatform, const PoolSetup& pool, double yScale);

// Euclidean distance in tracker units, computed in double and returned as a single, as
// every path length of the system is built from it.
float PoolDistance(PoolPoint p, PoolPoint q);

// False when the unit reported the animal as not seen (x or y is 255 or more).
inline bool IsSampleSeen(PoolPoint p) {
  return p.X < 255 && p.Y < 255;
}

}  // namespace tarnwell
