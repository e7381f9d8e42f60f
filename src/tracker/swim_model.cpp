#include "tracker/swim_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarnwell {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180.0;

double WrapAngle(double a) {
  while (a > kPi) a -= 2 * kPi;
  while (a < -kPi) a += 2 * kPi;
  return a;
}

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

uint64_t RotateLeft(uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

}  // namespace

SwimArena SwimArenaFromPool(const PoolSetup& pool, int activePlatform, double aspect) {
  SwimArena arena;
  arena.centreX = pool.X;
  arena.centreY = pool.Y;
  arena.radius = pool.Radius >= 1.0f ? pool.Radius : 1.0;
  arena.round = pool.Round;
  arena.cmPerUnit = pool.ActualSizeX > 0 ? pool.ActualSizeX / (2.0 * arena.radius) : 1.0;
  arena.aspect = aspect > 0 ? aspect : 1.0;
  for (int i = 0; i < 4; ++i) {
    if (activePlatform == i + 1 || activePlatform == 5) {
      const PlatformSetup& p = pool.Platforms[static_cast<std::size_t>(i)];
      arena.platforms.push_back({static_cast<double>(p.X), static_cast<double>(p.Y),
                                 p.Radius > 0 ? static_cast<double>(p.Radius) : 1.0, p.Round});
    }
  }
  return arena;
}

SwimRandom::SwimRandom(uint64_t seed) {
  uint64_t state = seed;
  for (auto& word : s_) word = SplitMix(state);
}

uint64_t SwimRandom::Next() {
  const uint64_t result = RotateLeft(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = RotateLeft(s_[3], 45);
  return result;
}

double SwimRandom::Uniform() {
  return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

double SwimRandom::Normal() {
  if (hasSpare_) {
    hasSpare_ = false;
    return spare_;
  }
  double u1 = Uniform();
  while (u1 <= 0) u1 = Uniform();
  const double u2 = Uniform();
  const double r = std::sqrt(-2.0 * std::log(u1));
  spare_ = r * std::sin(2 * kPi * u2);
  hasSpare_ = true;
  return r * std::cos(2 * kPi * u2);
}

int SwimRandom::Below(int n) {
  if (n <= 1) return 0;
  return static_cast<int>(Next() % static_cast<uint64_t>(n));
}

SwimModel::SwimModel(SwimArena arena, SwimModelParameters parameters, uint64_t seed)
    : arena_(std::move(arena)), params_(parameters), random_(seed) {
  Release();
}

void SwimModel::SetArena(SwimArena arena) {
  arena_ = std::move(arena);
  KeepInside();
}

void SwimModel::Release() {
  static constexpr double kStartDirections[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};  // N E S W
  const auto& dir = kStartDirections[random_.Below(4)];
  const double inset = params_.wallMarginCm / arena_.cmPerUnit + 1.0;
  const double distance = std::max(0.0, arena_.radius - inset);
  x_ = arena_.centreX + dir[0] * distance;
  y_ = arena_.centreY + dir[1] * distance;
  heading_ = std::atan2(-dir[1], -dir[0]) + random_.Normal() * 20 * kDegree;
  speed_ = params_.meanSpeedCmPerS;
  time_ = 0;
  onPlatform_ = false;
  held_ = false;
  lostFramesLeft_ = 0;
  nearMemoryS_ = 0;
  const double level = std::clamp(learning_.level, 0.0, 1.0);
  ignoresPlatform_ = random_.Uniform() < params_.searchFailureChance * (1 - level);
}

void SwimModel::HoldAt(double trackerX, double trackerY) {
  held_ = true;
  onPlatform_ = false;
  x_ = trackerX;
  y_ = trackerY * arena_.aspect;
}

void SwimModel::Swim() {
  held_ = false;
}

const SwimArena::Platform* SwimModel::NearestPlatform() const {
  const SwimArena::Platform* nearest = nullptr;
  double best = 0;
  for (const auto& p : arena_.platforms) {
    const double d = std::hypot(p.x - x_, p.y - y_);
    if (nearest == nullptr || d < best) {
      nearest = &p;
      best = d;
    }
  }
  return nearest;
}

void SwimModel::KeepInside() {
  const double limit = std::max(0.5, arena_.radius - params_.wallMarginCm / arena_.cmPerUnit);
  const double dx = x_ - arena_.centreX;
  const double dy = y_ - arena_.centreY;
  if (arena_.round) {
    const double r = std::hypot(dx, dy);
    if (r <= limit || r == 0) return;
    x_ = arena_.centreX + dx / r * limit;
    y_ = arena_.centreY + dy / r * limit;
    // Slide along the wall: keep the tangential part of the heading.
    const double ux = dx / r, uy = dy / r;
    const double hx = std::cos(heading_), hy = std::sin(heading_);
    const double along = -hx * uy + hy * ux;  // component along (-uy, ux)
    heading_ = along >= 0 ? std::atan2(ux, -uy) : std::atan2(-ux, uy);
  } else {
    double hx = std::cos(heading_), hy = std::sin(heading_);
    if (std::abs(dx) > limit) {
      x_ = arena_.centreX + std::copysign(limit, dx);
      hx = 0;
    }
    if (std::abs(dy) > limit) {
      y_ = arena_.centreY + std::copysign(limit, dy);
      hy = 0;
    }
    if (hx == 0 && hy == 0) hx = -std::copysign(1.0, dx);
    heading_ = std::atan2(hy, hx);
  }
}

TrackSample SwimModel::Step(double dt) {
  if (!held_ && !onPlatform_ && dt > 0) {
    time_ += dt;
    // Speed: a mean-reverting random walk.
    const double tau = std::max(0.05, params_.speedMemoryS);
    speed_ += (params_.meanSpeedCmPerS - speed_) * dt / tau +
              params_.speedSpreadCmPerS * std::sqrt(2 * dt / tau) * random_.Normal();
    speed_ = std::clamp(speed_, params_.minSpeedCmPerS, params_.maxSpeedCmPerS);

    // Where the animal wants to go: its own heading, the wall band, the platform.
    const double level = std::clamp(learning_.level, 0.0, 1.0);
    const double hx = std::cos(heading_), hy = std::sin(heading_);
    double wantX = hx, wantY = hy;
    const double dx = x_ - arena_.centreX, dy = y_ - arena_.centreY;
    const double r = std::hypot(dx, dy);
    if (r > 1e-6) {
      const double ux = dx / r, uy = dy / r;
      double tx = -uy, ty = ux;
      if (tx * hx + ty * hy < 0) {
        tx = -tx;
        ty = -ty;
      }
      const double band = params_.wallBandFraction * arena_.radius;
      const double outward = std::clamp((band - r) / (0.1 * arena_.radius), -1.0, 1.0);
      const double wallWeight = 2.0 * (1 - level) * std::exp(-time_ / std::max(0.1, params_.wallHuggingTimeS));
      wantX += wallWeight * (tx + outward * ux);
      wantY += wallWeight * (ty + outward * uy);
    }
    const SwimArena::Platform* goal = ignoresPlatform_ ? nullptr : NearestPlatform();
    if (goal != nullptr) {
      const double gx = goal->x - x_, gy = goal->y - y_;
      const double gd = std::hypot(gx, gy);
      if (gd > 1e-6) {
        const double searchTime = learning_.searchTimeS > 0 ? learning_.searchTimeS : params_.goalLearningTimeS;
        const double goalWeight = 3.0 * (1.0 - std::exp(-time_ / std::max(0.1, searchTime)));
        wantX += goalWeight * gx / gd;
        wantY += goalWeight * gy / gd;
      }
    }
    // Spatial memory: from the release on, toward where the platform was; it fades while
    // the animal searches an empty spot (a probe, the old place after a reversal).
    if (learning_.rememberedGoal && level > 0) {
      const SwimArena::Platform& spot = *learning_.rememberedGoal;
      const double mx = spot.x - x_, my = spot.y - y_;
      const double md = std::hypot(mx, my);
      if (md <= params_.memoryZoneRadii * spot.radius) nearMemoryS_ += dt;
      const double memoryWeight = params_.memoryPull * level * level *
                                  std::exp(-nearMemoryS_ / std::max(0.1, params_.memoryExtinctionS));
      if (md > 1e-6) {
        wantX += memoryWeight * mx / md;
        wantY += memoryWeight * my / md;
      }
    }
    if (std::hypot(wantX, wantY) > 1e-9) {
      const double maxTurn = params_.maxTurnDegPerS * kDegree * dt;
      const double turn = std::clamp(WrapAngle(std::atan2(wantY, wantX) - heading_), -maxTurn, maxTurn);
      heading_ = WrapAngle(heading_ + turn + (1 - 0.6 * level) * params_.headingNoiseDegPerSqrtS * kDegree *
                                                 std::sqrt(dt) * random_.Normal());
    }
    const double step = speed_ / arena_.cmPerUnit * dt;
    x_ += std::cos(heading_) * step;
    y_ += std::sin(heading_) * step;
    KeepInside();

    for (const auto& p : arena_.platforms) {
      const double reach = p.radius * params_.platformStopFraction;
      const double px = std::abs(p.x - x_), py = std::abs(p.y - y_);
      if (p.round ? std::hypot(px, py) <= reach : std::max(px, py) <= reach) {
        onPlatform_ = true;
        break;
      }
    }
  }

  // What the camera reports for this frame.
  if (hidden_) return TrackSample{255, 255};
  if (!held_) {
    if (lostFramesLeft_ > 0) {
      --lostFramesLeft_;
      return TrackSample{255, 255};
    }
    if (random_.Uniform() < params_.lostRunsPerSecond * dt) {
      lostFramesLeft_ = random_.Below(std::max(1, params_.lostRunMaxFrames));
      return TrackSample{255, 255};
    }
  }
  return Position();
}

TrackSample SwimModel::Position() const {
  const double y = y_ / (arena_.aspect > 0 ? arena_.aspect : 1.0);
  return TrackSample{static_cast<int16_t>(std::clamp(std::lround(x_), 0L, 254L)),
                     static_cast<int16_t>(std::clamp(std::lround(y), 0L, 191L))};
}

int SwimModel::ObjectArea() {
  if (hidden_) return 0;
  return 40 + random_.Below(21);
}

}  // namespace tarnwell
