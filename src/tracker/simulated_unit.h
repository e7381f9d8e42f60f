// SimulatedUnit: a Quentrix tracking unit whose camera watches a seeded swim model.
//
// The command set is the emulated unit's; what it adds is the animal: every stream start
// puts a freshly released animal in the pool (unless the operator holds it somewhere),
// and the animal swims while the unit streams.
#pragma once

#include <cstdint>

#include "tracker/emulated_unit.h"
#include "tracker/swim_model.h"

namespace tarnwell {

struct SimulatedUnitOptions {
  uint64_t seed = 1;
  bool pal = false;  // 25 frames a second instead of 30
  SwimArena arena = DefaultSwimArena();
  SwimModelParameters swim;

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

 protected:
  std::optional<TrackSample> NextFrame() override { return swim_.Step(FramePeriodMs() / 1000.0); }
  TrackSample SeenNow() const override { return swim_.IsHidden() ? TrackSample{255, 255} : swim_.Position(); }
  int ObjectArea() override { return swim_.ObjectArea(); }
  void OnStreamStart() override {
    if (!swim_.IsHeld()) swim_.Release();  // an animal the operator holds stays put
  }

 private:
  SwimModel swim_;
};

}  // namespace tarnwell
