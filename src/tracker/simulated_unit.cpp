#include "tracker/simulated_unit.h"

namespace tarnwell {

SwimArena SimulatedUnitOptions::DefaultSwimArena() {
  SwimArena arena;
  arena.platforms.push_back({158, 66, 10, true});
  return arena;
}

SimulatedUnit::SimulatedUnit(SimulatedUnitOptions options)
    : EmulatedUnit(options.pal ? 25 : 30), swim_(options.arena, options.swim, options.seed) {}

}  // namespace tarnwell
