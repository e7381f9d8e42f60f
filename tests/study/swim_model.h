// A swimming animal for the search-strategy tests: paths made the way an animal swims
// (a heading that drifts and turns, a speed that varies, a wall it cannot pass), each
// drawn with the behaviour a judge would name, then recorded as a tracker records it:
// at 5 to 30 positions a second, with position noise, whole tracker units and stretches
// of lost positions, in pools of 100 to 200 cm seen at different sizes in the picture.
//
// Everything is measured in pool radii from the pool's centre until the recording turns
// it into tracker units, so one behaviour gives the same path in every pool.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "pool/pool_setup.h"
#include "pool/zones.h"

namespace tarnwell::test {

constexpr double kSwimPi = 3.14159265358979;

struct SwimPoint {
  double X = 0, Y = 0;  // pool radii from the centre
};

/// The pool, goal and release point of one trial, and how it is recorded.
struct SwimScene {
  double RadiusUnits = 80;  // pool radius in tracker units
  double PoolCm = 160;      // pool diameter
  double RateHz = 30;
  double NoiseUnits = 0.5;  // tracking noise, SD in tracker units
  double GapShare = 0;      // share of the time lost in stretches of 0.2..1.5 s
  SwimPoint Goal{0.35, -0.35};
  SwimPoint PreviousGoal{-0.35, 0.35};
  double PlatformRadius = 0.07;  // pool radii
  SwimPoint Start{-0.9, 0};
  bool PlatformStopsTrial = true;
  double MaxSeconds = 90;

  PoolSetup Pool() const {
    PoolSetup pool;
    pool.X = 128;
    pool.Y = 96;
    pool.Radius = static_cast<float>(RadiusUnits);
    pool.ActualSizeX = pool.ActualSizeY = static_cast<int16_t>(std::lround(PoolCm));
    const SwimPoint spots[4] = {Goal, PreviousGoal, {-Goal.X, -Goal.Y}, {-PreviousGoal.X, -PreviousGoal.Y}};
    for (int i = 0; i < 4; ++i) {
      pool.Platforms[i].X = static_cast<int16_t>(std::lround(128 + spots[i].X * RadiusUnits));
      pool.Platforms[i].Y = static_cast<int16_t>(std::lround(96 + spots[i].Y * RadiusUnits));
      pool.Platforms[i].Radius = static_cast<float>(PlatformRadius * RadiusUnits);
    }
    return pool;
  }
};

inline double AngleDiff(double a, double b) {
  double d = std::fmod(a - b, 2 * kSwimPi);
  if (d > kSwimPi) d -= 2 * kSwimPi;
  if (d < -kSwimPi) d += 2 * kSwimPi;
  return d;
}

/// The animal: a correlated random walk steered by each behaviour, at 60 steps a second.
class Swimmer {
 public:
  static constexpr double kDt = 1.0 / 60;

  Swimmer(const SwimScene& scene, unsigned seed, double speedCmS = 22)
      : scene_(scene), rng_(seed), p_(scene.Start) {
    speed_ = speedCmS / (scene.PoolCm / 2);  // radii per second
    heading_ = std::atan2(-p_.Y, -p_.X) + Normal(0.6);
    path_.push_back(p_);
  }

  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  double Normal(double sd) { return std::normal_distribution<double>(0, sd)(rng_); }
  bool Done() const { return done_ || Seconds() >= scene_.MaxSeconds; }
  double Seconds() const { return static_cast<double>(path_.size() - 1) * kDt; }
  const std::vector<SwimPoint>& Path() const { return path_; }
  /// Whether the platform ends the trial while this behaviour lasts.
  void SetPlatformActive(bool active) { platformActive_ = active; }

  /// Floating at one spot, drifting a little.
  void Wait(double seconds) {
    const SwimPoint at = p_;
    for (double t = 0; t < seconds && !Done(); t += kDt) {
      p_.X += 0.2 * (at.X - p_.X) * kDt * 10 + Normal(0.002);
      p_.Y += 0.2 * (at.Y - p_.Y) * kDt * 10 + Normal(0.002);
      Record();
    }
  }

  /// Toward `target` with a heading that wanders (`noise`, radians per √s), pulled back
  /// with `pull`, and a constant turn `curve` (radians per second) that bends the path.
  void SwimTo(SwimPoint target, double noise, double pull, double curve = 0, double within = -1,
              double maxSeconds = 60) {
    if (within < 0) within = scene_.PlatformRadius;
    for (double t = 0; t < maxSeconds && !Done(); t += kDt) {
      if (std::hypot(target.X - p_.X, target.Y - p_.Y) <= within) return;
      // Close to the target an animal turns harder: it does not circle round it.
      const double near = std::max(1.0, 0.3 / std::max(0.01, std::hypot(target.X - p_.X, target.Y - p_.Y)));
      const double bearing = std::atan2(target.Y - p_.Y, target.X - p_.X);
      heading_ += (pull * near * AngleDiff(bearing, heading_) + curve / near) * kDt +
                  Normal(noise * std::sqrt(kDt) / near);
      Step();
    }
  }

  /// Along the wall (or any ring round the centre) at `ring` radii, `direction` +1 counter-clockwise.
  void FollowWall(double seconds, double ring, int direction, double noise = 1.0) {
    for (double t = 0; t < seconds && !Done(); t += kDt) {
      const double r = std::hypot(p_.X, p_.Y), a = std::atan2(p_.Y, p_.X);
      const double tangent = a + direction * kSwimPi / 2;
      const double wanted = tangent - direction * 3.0 * (ring - r);
      heading_ += 4 * AngleDiff(wanted, heading_) * kDt + Normal(noise * std::sqrt(kDt));
      Step();
    }
  }

  /// Searching: a tortuous walk kept within `extent` radii of `centre`.
  void Search(double seconds, SwimPoint centre, double extent, double noise = 3.0) {
    for (double t = 0; t < seconds && !Done(); t += kDt) {
      const double dx = centre.X - p_.X, dy = centre.Y - p_.Y;
      const double away = std::hypot(dx, dy);
      if (away > extent) {
        heading_ += 3 * AngleDiff(std::atan2(dy, dx), heading_) * kDt;
      }
      heading_ += Normal(noise * std::sqrt(kDt));
      Step();
    }
  }

  /// Sweeps of an area: straight legs across the region around `centre`, turning at its edge.
  void Scan(double seconds, SwimPoint centre, double extent) {
    for (double t = 0; t < seconds && !Done(); t += kDt) {
      const double dx = centre.X - p_.X, dy = centre.Y - p_.Y;
      if (std::hypot(dx, dy) > extent) {
        const double back = std::atan2(dy, dx) + Normal(0.7);
        heading_ += 6 * AngleDiff(back, heading_) * kDt;
      }
      heading_ += Normal(1.0 * std::sqrt(kDt));
      Step();
    }
  }

  /// The recorded samples: at the scene's rate, with noise, whole units and lost stretches.
  static std::vector<PoolPoint> Recorded(const SwimScene& scene, const std::vector<SwimPoint>& path,
                                         std::mt19937& rng) {
    std::vector<PoolPoint> out;
    std::normal_distribution<double> noise(0, scene.NoiseUnits);
    std::uniform_real_distribution<double> unit(0, 1);
    const double seconds = static_cast<double>(path.size() - 1) * kDt;
    const int n = static_cast<int>(std::floor(seconds * scene.RateHz)) + 1;
    int lostLeft = 0;
    for (int i = 0; i < n; ++i) {
      const double t = i / scene.RateHz / kDt;
      const size_t k = std::min(static_cast<size_t>(t), path.size() - 1);
      const size_t k1 = std::min(k + 1, path.size() - 1);
      const double f = t - static_cast<double>(k);
      const double x = path[k].X + (path[k1].X - path[k].X) * f;
      const double y = path[k].Y + (path[k1].Y - path[k].Y) * f;
      if (lostLeft == 0 && scene.GapShare > 0 && i > 0 && i + 1 < n &&
          unit(rng) < scene.GapShare / (0.85 * scene.RateHz) ) {
        lostLeft = static_cast<int>((0.2 + 1.3 * unit(rng)) * scene.RateHz);
      }
      if (lostLeft > 0) {
        --lostLeft;
        out.push_back(PoolPoint{255, 255});
        continue;
      }
      const double ux = 128 + x * scene.RadiusUnits + noise(rng);
      const double uy = 96 + y * scene.RadiusUnits + noise(rng);
      out.push_back(PoolPoint{static_cast<int16_t>(std::lround(ux)), static_cast<int16_t>(std::lround(uy))});
    }
    return out;
  }

 private:
  void Step() {
    const double v = speed_ * (1 + 0.15 * std::sin(Seconds() * 1.7)) * kDt;
    p_.X += v * std::cos(heading_);
    p_.Y += v * std::sin(heading_);
    const double r = std::hypot(p_.X, p_.Y);
    if (r > 0.97) {  // the wall: slide along it
      p_.X *= 0.97 / r;
      p_.Y *= 0.97 / r;
      const double a = std::atan2(p_.Y, p_.X);
      const double along = AngleDiff(heading_, a) > 0 ? a + kSwimPi / 2 : a - kSwimPi / 2;
      heading_ = along;
    }
    Record();
  }

  void Record() {
    path_.push_back(p_);
    if (platformActive_ && scene_.PlatformStopsTrial &&
        std::hypot(scene_.Goal.X - p_.X, scene_.Goal.Y - p_.Y) <= scene_.PlatformRadius)
      done_ = true;
  }

  SwimScene scene_;
  std::mt19937 rng_;
  SwimPoint p_;
  double heading_ = 0;
  double speed_ = 0.3;
  bool platformActive_ = true;
  bool done_ = false;
  std::vector<SwimPoint> path_;
};

}  // namespace tarnwell::test
