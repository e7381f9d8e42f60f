// The labelled paths of the search-strategy tests: behaviours named the way judges name
// them, drawn by the swim model in varied pools and recordings. A behaviour is a recipe
// (what the animal does, with one number: seconds of the behaviour, a bend, a wait) and a
// seed that draws the pool, goal, release point, rate, noise and lost stretches.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "study/study_sheet.h"
#include "swim_model.h"

namespace tarnwell::test {

struct LabelledPath {
  std::string Name;
  std::string Label;  // the class a judge gives it
  TrialKind Kind = TrialKind::Acquisition;
  SwimScene Scene;
  std::vector<SwimPoint> Truth;  // the swim before recording
  std::vector<PoolPoint> Samples;
};

/// A scene drawn from `seed`: pool 100..200 cm at 60..90 units, goal 0.3..0.65 radii from
/// the centre, the previous goal a quarter to half a turn away, release at the wall at
/// least 60° from the goal, 5..30 positions a second, noise and lost stretches.
inline SwimScene DrawScene(unsigned seed) {
  std::mt19937 rng(seed * 7919u + 13u);
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  SwimScene s;
  s.PoolCm = uniform(100, 200);
  s.RadiusUnits = uniform(60, 90);
  const double rates[] = {5, 10, 12.5, 15, 25, 30};
  s.RateHz = rates[std::uniform_int_distribution<int>(0, 5)(rng)];
  s.NoiseUnits = uniform(0.2, 1.0);
  s.GapShare = uniform(0, 1) < 0.3 ? uniform(0.02, 0.12) : 0.0;
  const double goalAngle = uniform(-kSwimPi, kSwimPi), goalRing = uniform(0.3, 0.65);
  s.Goal = {goalRing * std::cos(goalAngle), goalRing * std::sin(goalAngle)};
  const double previousAngle = goalAngle + (uniform(0, 1) < 0.5 ? 1 : -1) * uniform(kSwimPi / 2, kSwimPi);
  s.PreviousGoal = {goalRing * std::cos(previousAngle), goalRing * std::sin(previousAngle)};
  s.PlatformRadius = uniform(0.05, 0.1);
  const double startAngle = goalAngle + (uniform(0, 1) < 0.5 ? 1 : -1) * uniform(kSwimPi / 3, kSwimPi);
  s.Start = {0.92 * std::cos(startAngle), 0.92 * std::sin(startAngle)};
  return s;
}

/// The behaviour of `recipe` with its number `param` (see strategy_labels.csv).
inline std::vector<SwimPoint> Behave(const std::string& recipe, double param, SwimScene& scene, unsigned seed,
                                     TrialKind& kind) {
  std::mt19937 pick(seed * 31u + 7u);
  const double speed = std::uniform_real_distribution<double>(14, 26)(pick);
  const int turn = std::uniform_int_distribution<int>(0, 1)(pick) ? 1 : -1;
  kind = TrialKind::Acquisition;
  if (recipe == "probe_focal" || recipe == "probe_random" || recipe == "probe_thigmotaxis")
    scene.PlatformStopsTrial = false, scene.MaxSeconds = 60, kind = TrialKind::Probe;
  if (recipe == "perseverance") kind = TrialKind::Reversal;
  Swimmer a(scene, seed, speed);
  const SwimPoint goal = scene.Goal, old = scene.PreviousGoal;
  auto toward = [&](SwimPoint from, SwimPoint to, double share) {
    return SwimPoint{from.X + (to.X - from.X) * share, from.Y + (to.Y - from.Y) * share};
  };
  if (recipe == "direct") {  // param: constant bend, radians per second
    a.Wait(a.Uniform(0, 1.5));
    a.SwimTo(goal, 0.25, 4, param);
  } else if (recipe == "wait_direct") {  // param: seconds waiting at the wall first
    a.Wait(param);
    a.SwimTo(goal, 0.3, 4);
  } else if (recipe == "directed") {  // param: heading noise
    a.SwimTo(goal, param, 2.5);
  } else if (recipe == "directed_detour") {  // param: how far off the line the detour goes
    const SwimPoint mid = toward(scene.Start, goal, 0.5);
    const double dx = goal.X - scene.Start.X, dy = goal.Y - scene.Start.Y, len = std::hypot(dx, dy);
    a.SwimTo({mid.X - dy / len * param * turn, mid.Y + dx / len * param * turn}, 0.8, 2, 0, 0.08);
    a.SwimTo(goal, 0.8, 2);
  } else if (recipe == "focal" || recipe == "probe_focal") {  // param: seconds searching at the goal
    a.SetPlatformActive(false);
    a.SwimTo(toward(goal, scene.Start, 0.15), 0.6, 3, 0, 0.1);
    a.Search(param, goal, a.Uniform(0.12, 0.25));
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.5, 3);
  } else if (recipe == "perseverance") {  // param: seconds searching at the previous goal
    a.SetPlatformActive(false);
    a.SwimTo(old, 0.5, 3, 0, 0.1);
    a.Search(param, old, a.Uniform(0.12, 0.25));
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.8, 2);
  } else if (recipe == "thigmotaxis" || recipe == "probe_thigmotaxis") {  // param: seconds at the wall
    a.SetPlatformActive(false);
    a.FollowWall(param, a.Uniform(0.86, 0.94), turn, 1.2);
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.8, 2);
  } else if (recipe == "wall_then_goal") {  // param: seconds along the wall, then to the goal
    a.SetPlatformActive(false);
    a.FollowWall(param, 0.9, turn, 0.8);
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.4, 3);
  } else if (recipe == "chaining") {  // param: seconds circling at the goal's distance
    const double ring = std::hypot(goal.X, goal.Y);
    a.SetPlatformActive(false);
    const double at = std::atan2(scene.Start.Y, scene.Start.X);
    a.SwimTo({ring * std::cos(at), ring * std::sin(at)}, 0.6, 3, 0, 0.08);
    a.FollowWall(param, ring, turn, 0.9);
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.6, 3);
  } else if (recipe == "scanning") {  // param: seconds sweeping the inner pool
    a.SetPlatformActive(false);
    const SwimPoint centre{a.Uniform(-0.15, 0.15), a.Uniform(-0.15, 0.15)};
    a.SwimTo(centre, 0.6, 3, 0, 0.2);
    a.Scan(param, centre, a.Uniform(0.35, 0.5));
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.6, 3);
  } else if (recipe == "random" || recipe == "probe_random") {  // param: seconds searching the pool
    a.SetPlatformActive(false);
    a.Search(param, {0, 0}, 0.95, a.Uniform(1.5, 2.5));
    a.SetPlatformActive(true);
    a.SwimTo(goal, 0.8, 2);
  } else if (recipe == "random_near_end") {  // param: seconds searching, then it meets the goal
    a.SetPlatformActive(false);
    a.Search(param, {0, 0}, 0.95, 2.0);
    a.SetPlatformActive(true);
    a.Search(20, goal, 0.3, 2.0);
  }
  return a.Path();
}

inline LabelledPath MakeLabelledPath(const std::string& name, const std::string& recipe, double param,
                                     unsigned seed, const std::string& label) {
  LabelledPath out;
  out.Name = name;
  out.Label = label;
  out.Scene = DrawScene(seed);
  out.Truth = Behave(recipe, param, out.Scene, seed, out.Kind);
  std::mt19937 rng(seed + 101u);
  out.Samples = Swimmer::Recorded(out.Scene, out.Truth, rng);
  return out;
}

/// The generated set: every class's behaviour drawn `perClass` times with its typical
/// numbers spread over their range.
inline std::vector<LabelledPath> GeneratedStrategyPaths(int perClass) {
  struct Recipe {
    const char* recipe;
    double low, high;
    const char* label;
  } recipes[] = {
      {"direct", -0.35, 0.35, "direct swim"},       {"directed", 3.5, 5.5, "directed search"},
      {"directed_detour", 0.35, 0.55, "directed search"}, {"focal", 15, 40, "focal search"},
      {"perseverance", 15, 40, "perseverance"},     {"thigmotaxis", 25, 60, "thigmotaxis"},
      {"chaining", 25, 50, "chaining"},             {"scanning", 25, 60, "scanning"},
      {"random", 40, 80, "random search"},          {"probe_focal", 40, 60, "focal search"},
      {"probe_random", 60, 60, "random search"},    {"probe_thigmotaxis", 60, 60, "thigmotaxis"},
  };
  std::vector<LabelledPath> out;
  unsigned seed = 1;
  for (const Recipe& r : recipes) {
    for (int i = 0; i < perClass; ++i, ++seed) {
      const double param = r.low + (r.high - r.low) * (perClass > 1 ? i / double(perClass - 1) : 0.5);
      out.push_back(MakeLabelledPath(std::string(r.recipe) + "#" + std::to_string(i), r.recipe, param, seed,
                                     r.label));
    }
  }
  return out;
}

}  // namespace tarnwell::test
