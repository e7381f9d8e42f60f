#include "tracker/simulated_unit.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {

namespace {

// splitmix64's finaliser: seeds that differ in one bit give unrelated streams.
uint64_t Mix(uint64_t a, uint64_t b) {
  uint64_t z = a ^ (b + 0x9E3779B97F4A7C15ULL + (a << 6) + (a >> 2));
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// FNV-1a: the same ID gives the same animal with every compiler.
uint64_t HashId(const std::string& id) {
  uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : id) {
    h ^= c;
    h *= 0x100000001B3ULL;
  }
  return h;
}

}  // namespace

SwimArena SimulatedUnitOptions::DefaultSwimArena() {
  SwimArena arena;
  arena.platforms.push_back({158, 66, 10, true});
  return arena;
}

SimulatedTrial SimulatedAnimals::NextTrial(const std::string& id, const SwimArena& arena) {
  auto [it, added] = animals_.try_emplace(id);
  Animal& animal = it->second;
  if (added) animal.goal = learning_.previousGoal;
  const uint64_t animalSeed = Mix(seed_, HashId(id));
  const double aptitude = 0.6 + 0.8 * static_cast<double>(animalSeed >> 11) * 0x1.0p-53;
  SimulatedTrial trial;
  trial.trialsBefore = std::max(0, learning_.day - 1) * std::max(0, learning_.trialsPerDay) +
                       std::max(0, learning_.trial - 1) + animal.trialsDone;
  trial.seed = Mix(animalSeed, static_cast<uint64_t>(trial.trialsBefore));
  const double rate = std::clamp(learning_.rate * aptitude, 0.0, 1.0);
  trial.learning.level = 1 - std::pow(1 - rate, trial.trialsBefore);
  const double trainedSearch = SwimModelParameters{}.goalLearningTimeS;
  trial.learning.searchTimeS =
      trainedSearch + (std::max(learning_.naiveSearchTimeS, trainedSearch) - trainedSearch) * (1 - trial.learning.level);
  // With nothing remembered, a trained animal knows the one platform it has been trained to.
  trial.learning.rememberedGoal = animal.goal;
  if (!trial.learning.rememberedGoal && arena.platforms.size() == 1) trial.learning.rememberedGoal = arena.platforms[0];
  if (arena.platforms.size() == 1) animal.goal = arena.platforms[0];
  ++animal.trialsDone;
  return trial;
}

SimulatedUnit::SimulatedUnit(SimulatedUnitOptions options)
    : EmulatedUnit(options.pal ? 25 : 30),
      swim_(options.arena, options.swim, options.seed),
      animals_(options.seed, options.learning) {}

SimulatedTrial SimulatedUnit::PrepareAnimal(const std::string& id) {
  const SimulatedTrial trial = animals_.NextTrial(id, swim_.Arena());
  swim_.Reseed(trial.seed);
  swim_.SetLearning(trial.learning);
  return trial;
}

}  // namespace tarnwell
