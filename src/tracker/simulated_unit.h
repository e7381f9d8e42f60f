// SimulatedUnit: a Quentrix tracking unit whose camera watches a seeded swim model.
//
// The command set is the emulated unit's; what it adds is the animal: every stream start
// puts a freshly released animal in the pool (unless the operator holds it somewhere),
// and the animal swims while the unit streams.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "tracker/emulated_unit.h"
#include "tracker/swim_model.h"

namespace tarnwell {

/// How the simulated animals learn. Each subject ID is an animal of its own: its own
/// random numbers (from the unit's seed and the ID), its own aptitude (a factor of 0.6 to
/// 1.4 on the rate), and its own count of trials. Before trial k (0 for its first) an animal
/// has learnt level = 1 − (1 − rate × aptitude)^k, so that its swims grow shorter and more
/// direct trial by trial and day by day. It remembers where it last found a platform; the
/// first place it knows is `previousGoal` (the goal of earlier days, for a probe or a
/// reversal), else the platform of its first trial.
struct SimulatedLearning {
  double rate = 0.1;     ///< share of what is left to learn that one trial teaches
  /// How long a naive animal takes to be drawn to a platform it comes near (the search's
  /// time constant), shrinking to the swim model's own as it learns.
  double naiveSearchTimeS = 60;
  int day = 1;           ///< the day of the animals' first trial here: earlier days are trials done
  int trial = 1;         ///< the trial of that day their first one here is
  int trialsPerDay = 4;  ///< trials of each earlier day
  std::optional<SwimArena::Platform> previousGoal;
};

/// One trial of a simulated animal.
struct SimulatedTrial {
  uint64_t seed = 0;
  int trialsBefore = 0;  ///< the trials the animal had done, earlier days included
  SwimLearning learning;
};

/// The animals of a simulated study: what each has done and where it last found the goal.
class SimulatedAnimals {
 public:
  SimulatedAnimals(uint64_t seed, SimulatedLearning learning) : seed_(seed), learning_(std::move(learning)) {}
  /// The next trial of animal `id` in `arena` (its active platforms); the animal then
  /// remembers the arena's platform (when it has exactly one) as the goal.
  SimulatedTrial NextTrial(const std::string& id, const SwimArena& arena);
  const SimulatedLearning& Learning() const { return learning_; }

 private:
  struct Animal {
    int trialsDone = 0;
    std::optional<SwimArena::Platform> goal;
  };
  uint64_t seed_;
  SimulatedLearning learning_;
  std::map<std::string, Animal, std::less<>> animals_;
};

struct SimulatedUnitOptions {
  uint64_t seed = 1;
  bool pal = false;  // 25 frames a second instead of 30
  SwimArena arena = DefaultSwimArena();
  SwimModelParameters swim;
  SimulatedLearning learning;

  /// The default pool (centre 128, 96, radius 80, 160 cm) with platform 1 active at its
  /// default place (158, 66), radius 10.
  static SwimArena DefaultSwimArena();
};

class SimulatedUnit : public EmulatedUnit {
 public:
  explicit SimulatedUnit(SimulatedUnitOptions options = {});

  // ---- The animal ------------------------------------------------------------------------
  /// Holds the animal at a tracker position until Swim or Release.
  void HoldAnimalAt(int x, int y) { swim_.HoldAt(x, y); }
  void LetAnimalSwim() { swim_.Swim(); }
  void ReleaseAnimal() { swim_.Release(); }
  void SetAnimalHidden(bool hidden) { swim_.SetHidden(hidden); }
  void SetArena(SwimArena arena) { swim_.SetArena(std::move(arena)); }
  const SwimModel& Animal() const { return swim_; }
  /// The next release puts in animal `id` for its next trial (its own seed, what it has
  /// learnt so far, the goal it remembers). Until the first call the animal is a naive one
  /// on the unit's seed.
  SimulatedTrial PrepareAnimal(const std::string& id);

 protected:
  std::optional<TrackSample> NextFrame() override { return swim_.Step(FramePeriodMs() / 1000.0); }
  TrackSample SeenNow() const override { return swim_.IsHidden() ? TrackSample{255, 255} : swim_.Position(); }
  int ObjectArea() override { return swim_.ObjectArea(); }
  void OnStreamStart() override {
    if (!swim_.IsHeld()) swim_.Release();  // an animal the operator holds stays put
  }

 private:
  SwimModel swim_;
  SimulatedAnimals animals_;
};

}  // namespace tarnwell
