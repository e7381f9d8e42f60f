// The simulated animal: a seeded, plausible swim in the pool.
//
// Every developer, test and demo runs against the simulated unit, so its animal must
// swim like a rat or mouse in a water maze, or the analysis is exercised on nonsense:
//
//  - Release: at the pool wall, at one of the four classic start points (north, east,
//    south, west, drawn at random), heading roughly for the centre.
//  - Speed: a slowly varying random speed around `meanSpeedCmPerS` (an Ornstein-Uhlenbeck
//    process with spread `speedSpreadCmPerS` and memory `speedMemoryS`), kept within
//    `minSpeedCmPerS`..`maxSpeedCmPerS`. Centimetres become tracker units through the
//    pool's scale (`ActualSizeX` cm across 2 × `Radius` units; 1 cm per unit by default).
//  - Wall-hugging (thigmotaxis): early in the swim the animal keeps to a band at
//    `wallBandFraction` of the radius and swims along it; the pull fades with time
//    constant `wallHuggingTimeS`.
//  - Search: the pull toward the active platform grows as 1 − exp(−t / `goalLearningTimeS`)
//    and is weighed against the wall pull and the animal's own heading; random turning of
//    `headingNoiseDegPerSqrtS`, at most `maxTurnDegPerS`. With the chance
//    `searchFailureChance` per release the animal ignores the platform for the whole swim
//    and times out. With no active platform ("OFF") it searches the pool at random.
//  - Platform: once its centre is within `platformStopFraction` of the platform radius the
//    animal climbs on and stays there.
//  - Camera: with `lostRunsPerSecond` the camera loses the animal for 1..`lostRunMaxFrames`
//    frames (the unit reports Y = 255, X = 255).
//  - Learning (SwimLearning): a trained animal (level near 1) keeps less to the wall,
//    turns less at random, rarely ignores the platform, and swims from its release toward
//    where it remembers the platform, with a pull of `memoryPull` × level². With no
//    platform there (a probe) it searches around that spot; when the platform has moved
//    (a reversal) it searches the old spot first and gives it up once it has spent
//    `memoryExtinctionS` seconds near it. Level 0 is the naive animal described above.
//
// The random numbers come from a generator of our own (xoshiro256**) rather than the
// standard distributions, whose results differ between standard libraries: one seed
// gives the same swim with any compiler.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "pool/pool_setup.h"
#include "tracker/track_sample.h"

namespace tarnwell {

struct SwimModelParameters {
  double meanSpeedCmPerS = 20.0;
  double speedSpreadCmPerS = 3.0;
  double speedMemoryS = 1.5;
  double minSpeedCmPerS = 8.0;
  double maxSpeedCmPerS = 35.0;
  double wallBandFraction = 0.85;
  double wallHuggingTimeS = 10.0;
  double goalLearningTimeS = 15.0;
  double headingNoiseDegPerSqrtS = 60.0;
  double maxTurnDegPerS = 240.0;
  double searchFailureChance = 0.15;
  double platformStopFraction = 0.6;
  double lostRunsPerSecond = 0.3;
  int lostRunMaxFrames = 4;
  double wallMarginCm = 4.0;  // the animal's centre stays this far inside the wall
  double memoryPull = 4.0;           // pull toward the remembered goal of a fully trained animal
  double memoryExtinctionS = 3.0;    // time constant of the memory's fading while near the spot
  double memoryZoneRadii = 2.5;      // "near" the remembered spot: this many platform radii
};

/// Where the animal swims, in pool coordinates: tracker units, with y already multiplied
/// by the aspect factor (the classification's y′ = y × aspect).
struct SwimArena {
  struct Platform {
    double x = 0, y = 0, radius = 10;
    bool round = true;
  };
  double centreX = 128, centreY = 96, radius = 80;
  bool round = true;
  double cmPerUnit = 1.0;
  double aspect = 1.0;              // the samples' y is pool y / aspect
  std::vector<Platform> platforms;  // the active ones; empty: none active
};

/// What the animal has learnt before a swim.
struct SwimLearning {
  double level = 0;  ///< 0 naive .. 1 fully trained
  /// Where the animal believes the platform is; none: it has no place in mind.
  std::optional<SwimArena::Platform> rememberedGoal;
  /// The time constant with which it is drawn to a platform it comes near by chance (its
  /// search); 0: `goalLearningTimeS`. An animal new to the pool searches longer.
  double searchTimeS = 0;
};

/// The arena of a pool setup: `activePlatform` 1..4 makes that platform the goal, 5 ("ALL")
/// all four, 0 ("OFF") none.
SwimArena SwimArenaFromPool(const PoolSetup& pool, int activePlatform, double aspect);

/// Deterministic random numbers (xoshiro256** seeded through splitmix64).
class SwimRandom {
 public:
  explicit SwimRandom(uint64_t seed);
  uint64_t Next();
  double Uniform();  // [0, 1)
  double Normal();   // mean 0, sd 1
  int Below(int n);  // 0..n-1

 private:
  uint64_t s_[4];
  bool hasSpare_ = false;
  double spare_ = 0;
};

class SwimModel {
 public:
  SwimModel(SwimArena arena, SwimModelParameters parameters, uint64_t seed);

  const SwimArena& Arena() const { return arena_; }
  void SetArena(SwimArena arena);
  const SwimModelParameters& Parameters() const { return params_; }

  /// A new swim: the animal is put in at the wall.
  void Release();
  /// What the animal knows from the next release on.
  void SetLearning(SwimLearning learning) { learning_ = std::move(learning); }
  const SwimLearning& Learning() const { return learning_; }
  /// Restarts the random numbers (another animal, another trial) from `seed`.
  void Reseed(uint64_t seed) { random_ = SwimRandom(seed); }
  /// Advances the swim by one frame of `dtSeconds` and returns what the camera reports.
  TrackSample Step(double dtSeconds);

  /// Holds the animal at a tracker position (an operator's "move"); Release or Swim end it.
  void HoldAt(double trackerX, double trackerY);
  /// Lets a held animal swim on from where it is.
  void Swim();
  /// The camera does not see the animal while hidden.
  void SetHidden(bool hidden) { hidden_ = hidden; }

  /// Where the animal is, in tracker units (y not scaled).
  TrackSample Position() const;
  bool OnPlatform() const { return onPlatform_; }
  bool IsHeld() const { return held_; }
  bool IsHidden() const { return hidden_; }
  bool IgnoresPlatform() const { return ignoresPlatform_; }
  double SwimSeconds() const { return time_; }
  /// The apparent size of the animal in the camera's picture (pixels), for the area query.
  int ObjectArea();

 private:
  void KeepInside();
  const SwimArena::Platform* NearestPlatform() const;

  SwimArena arena_;
  SwimModelParameters params_;
  SwimRandom random_;
  SwimLearning learning_;
  double nearMemoryS_ = 0;  // time spent near the remembered spot in this swim
  double x_ = 0, y_ = 0;  // pool coordinates
  double heading_ = 0;    // radians, pool coordinates (y downward)
  double speed_ = 0;      // cm/s
  double time_ = 0;
  bool onPlatform_ = false;
  bool held_ = false;
  bool hidden_ = false;
  bool ignoresPlatform_ = false;
  int lostFramesLeft_ = 0;
};

}  // namespace tarnwell
