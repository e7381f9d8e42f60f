// The measures of small hand-made tracks, worked out by hand.
//
// Unless a case says otherwise: the default pool (centre 128, 96; radius 80; 160 cm, so
// 1 cm per pixel; four equal-width rings with outer radii 20, 40, 60, 80; platforms 1..4
// at (158, 66), (98, 66), (98, 126), (158, 126), radius 10, counter zones of radius 15),
// active platform 1, maximum time 10 s, distance from start 10 cm, NTSC (30 per second).
#include "analysis/track_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "analysis/epoch.h"
#include "analysis/proximity.h"
#include "pool/pool_defaults.h"
#include "support/temp_dir.h"
#include "support/tracks.h"

namespace tarnwell {
namespace {

using test::Repeat;
using test::Track;

AnalysisSettings BaseSettings() {
  AnalysisSettings settings;
  settings.Pool = DefaultPool();
  settings.Experiment.MaxTime = 10;
  settings.Experiment.ActivePlatform = 1;
  settings.Experiment.DistFromStart = 10;
  return settings;
}

TrialResult Analyse(const std::string& bytes, const AnalysisSettings& settings) {
  TrialResult result;
  AnalyseRawTrackBytes(bytes, settings, result);
  return result;
}

// The setting changes the cases below try, by name.
using Adjust = std::function<void(AnalysisSettings&)>;
const Adjust kPal = [](AnalysisSettings& s) { s.VideoType = 1; };
const Adjust kFilterOn = [](AnalysisSettings& s) { s.ArtifactFilterOn = true; };
const Adjust kQuadrantsOff = [](AnalysisSettings& s) { s.Pool.Quadrants = false; };
Adjust MaxTime(int16_t seconds, bool pal = false) {
  return [=](AnalysisSettings& s) {
    s.Experiment.MaxTime = seconds;
    if (pal) s.VideoType = 1;
  };
}
Adjust Active(int16_t platform) {
  return [=](AnalysisSettings& s) { s.Experiment.ActivePlatform = platform; };
}

TrialResult Analyse(const std::string& bytes, const Adjust& adjust) {
  AnalysisSettings settings = BaseSettings();
  if (adjust) adjust(settings);
  return Analyse(bytes, settings);
}

// Zone cell by the report's quadrant column ("1".."4") and ring letter.
const ZoneCell& Zone(const TrialResult& r, char ring, int column) {
  return r.Measures.Zones[ring - 'A'][column - 1];
}

TEST(AnalyseRawTrack, EndStatusLatencyAndPathLength) {
  const Adjust kThreeSecondsNoGoal = [](AnalysisSettings& s) {
    s.Experiment.MaxTime = 3;
    s.Experiment.ActivePlatform = 0;
  };
  constexpr int16_t kHit = kFinishHitGoal, kAbort = kFinishAborted, kOut = kFinishTimedOut;
  struct Case {
    const char* name;
    std::string track;
    Adjust adjust;
    int16_t status;
    int32_t latency;
    float path;
  };
  const std::string jump = Track({{128, 96}, {128, 96}, {160, 96}, {161, 96}, {170, 96}});
  const std::vector<Case> cases = {
      // The first sample stands on platform 1: hit, nothing counted towards latency.
      {"hit on first sample", Track({{158, 66}, {128, 96}}), nullptr, kHit, 0, 0.0f},
      // Two samples swum, the third on the platform; pass 2 stops at the latency: the hit
      // sample itself is not swum to.
      {"hit on third sample", Track({{128, 96}, {140, 80}, {158, 66}}), nullptr, kHit, 2, 20.0f},
      // Shorter than the maximum time and never on the platform.
      {"abort", Repeat({128, 96}, 12), nullptr, kAbort, 12, 0.0f},
      // Max time 1 s: the 30th sample completes it; the pass goes on and counts all 35.
      {"time-out counts every sample", Repeat({128, 96}, 35), MaxTime(1), kOut, 35, 0.0f},
      // PAL: 25 samples complete the second.
      {"PAL time-out after 25 samples", Repeat({128, 96}, 25), MaxTime(1, true), kOut, 25, 0.0f},
      {"PAL 24 samples still running", Repeat({128, 96}, 24), MaxTime(1, true), kAbort, 24, 0.0f},
      // Every second of a long stay counts (no goal, so no angle to wait for): 89 samples
      // are two seconds and some.
      {"three seconds of standing still", Repeat({128, 96}, 90), kThreeSecondsNoGoal, kOut, 90, 0.0f},
      {"two seconds and some", Repeat({128, 96}, 89), kThreeSecondsNoGoal, kAbort, 89, 0.0f},
      // Maximum time 0 ends the trial at the first completed second.
      {"max time 0", Repeat({128, 96}, 31), MaxTime(0), kOut, 31, 0.0f},
      // Active platform OFF: standing on platform 1 is only its counter zone.
      {"active platform off never hits", Repeat({158, 66}, 4), Active(0), kAbort, 4, 0.0f},
      // ALL: any platform ends the trial.
      {"active platform all hits platform 3", Track({{128, 96}, {98, 126}}), Active(5), kHit, 1, 0.0f},
      // Unseen samples count towards latency but never hit.
      {"unseen samples count", Track({{255, 255}, {158, 255}, {128, 96}}), nullptr, kAbort, 3, 0.0f},
      {"empty file", "", nullptr, kAbort, 0, 0.0f},
      // Moves of one pixel accumulate until an axis is 2 away from the remembered point.
      {"small moves accumulate", Track({{128, 96}, {129, 96}, {130, 96}}), nullptr, kAbort, 3, 2.0f},
      // 3-4-5 steps.
      {"two straight steps", Track({{100, 100}, {103, 104}, {106, 108}}), nullptr, kAbort, 3, 10.0f},
      // Each step is rounded to whole pixels, half to even, before it is summed:
      // sqrt(2 * 2 + 1) = 2.236 -> 2, twice.
      {"rounding after every step", Track({{100, 100}, {102, 101}, {104, 102}}), nullptr, kAbort, 3, 4.0f},
      // sqrt(8) = 2.828 -> 3, twice.
      {"rounding up after every step", Track({{100, 100}, {102, 102}, {104, 104}}), nullptr, kAbort, 3, 6.0f},
      // The jump of 32 pixels is counted with the filter off...
      {"artifact jump, filter off", jump, nullptr, kAbort, 5, 42.0f},
      // ...and dropped with it on; the next step is measured from the new position.
      {"artifact jump, filter on", jump, kFilterOn, kAbort, 5, 10.0f},
      // A step of exactly the threshold (20) is not an artifact...
      {"step at the threshold kept", Track({{128, 96}, {148, 96}}), kFilterOn, kAbort, 2, 20.0f},
      // ...one of sqrt(401) = 20.02, the shortest beyond it, is.
      {"step just beyond the threshold", Track({{128, 96}, {148, 97}}), kFilterOn, kAbort, 2, 0.0f},
      // A lost sample stands where the animal was; the next step is from there.
      {"lost sample in the middle", Track({{100, 100}, {103, 104}, {255, 255}, {106, 108}}), nullptr, kAbort,
       4, 10.0f},
      // First sample lost: the start point is the first seen sample, no step from Y 255.
      {"first sample unseen", Track({{255, 255}, {128, 96}, {131, 100}}), nullptr, kAbort, 3, 5.0f},
      // Steps that end outside the pool add nothing; coming back adds sqrt(122^2 + 4^2).
      {"steps outside the pool", Track({{128, 96}, {250, 96}, {250, 100}, {128, 96}}), nullptr, kAbort, 4,
       122.0f},
      // PAL: the remembered point is not scaled by 5/6 (that would add a 16-pixel step).
      {"PAL first step", Track({{128, 96}, {140, 96}}), kPal, kAbort, 2, 12.0f},
      {"odd last byte ignored", Track({{128, 96}, {131, 100}}) + '\x40', nullptr, kAbort, 2, 5.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TrialResult r = Analyse(c.track, c.adjust);
    EXPECT_EQ(r.FinishStatus, c.status);
    EXPECT_EQ(r.LatencySamples, c.latency);
    EXPECT_FLOAT_EQ(r.Measures.PathLength, c.path);
  }
}

TEST(AnalyseRawTrack, InitialAngleAgainstTheGoalHeading) {
  // Start (128, 96); platform 1 at (158, 66) lies at a heading of 45 degrees.
  struct Case {
    const char* name;
    std::string track;
    Adjust adjust;
    bool valid;
    float angle;
  };
  const std::vector<Case> cases = {
      {"east", Track({{128, 96}, {138, 96}}), nullptr, true, 45.0f},
      {"west", Track({{128, 96}, {118, 96}}), nullptr, true, 135.0f},
      // South is 270: |45 - 270| = 225, taken the short way round.
      {"south", Track({{128, 96}, {128, 106}}), nullptr, true, 135.0f},
      {"straight at the goal", Track({{128, 96}, {136, 88}}), nullptr, true, 0.0f},
      // Measured once: the first sample at 10 cm decides, later ones do not.
      {"first far enough sample decides", Track({{128, 96}, {133, 96}, {138, 96}, {118, 96}}), nullptr, true,
       45.0f},
      {"distance never reached", Track({{128, 96}, {133, 96}, {130, 99}}), nullptr, false, 0.0f},
      // Distance 0: measured on the first sample, then set to 0 by pass 2.
      {"distance 0", Track({{128, 96}, {118, 96}}),
       [](AnalysisSettings& s) { s.Experiment.DistFromStart = 0; }, true, 0.0f},
      {"no goal with all platforms", Track({{128, 96}, {118, 96}}), Active(5), false, 0.0f},
      // Platform 4 at (158, 126) lies at 315 degrees; east is 0: error 45.
      {"goal platform 4", Track({{128, 96}, {138, 96}}), Active(4), true, 45.0f},
      // Unseen first sample: the start is the first seen one.
      {"start after a lost sample", Track({{255, 255}, {128, 96}, {138, 96}}), nullptr, true, 45.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TrialResult r = Analyse(c.track, c.adjust);
    EXPECT_EQ(r.Measures.AngleValid, c.valid);
    EXPECT_NEAR(r.Measures.InitialAngle, c.angle, 1e-4);
  }
}

TEST(AnalyseRawTrack, ZoneTable) {
  struct Case {
    const char* name;
    std::string track;
    Adjust adjust;
    char ring;
    int column;
    ZoneCell expected;
  };
  const std::string jump = Track({{128, 96}, {128, 96}, {160, 96}, {161, 96}, {170, 96}});
  const std::string corner = Track({{128, 86}, {118, 86}, {118, 106}});
  constexpr float k1 = 1.0f / 30.0f, k2 = 2.0f / 30.0f;  // seconds of one and two NTSC samples
  const std::vector<Case> cases = {
      // Hit on the first sample: that one sample is still placed, at 42.4 px right and up
      // of the centre: ring C, quadrant "1"; no entry (it is the start point).
      {"hit on first sample", Track({{158, 66}}), nullptr, 'C', 1, {0, k1, 0.0f}},
      // The centre itself is in ring A, quadrant "4" (dx = dy = 0 count as right, lower).
      {"standing at the centre", Repeat({128, 96}, 6), nullptr, 'A', 4, {0, 6.0f / 30.0f, 0.0f}},
      // Moving from ring A into B along the right axis: an entry of B with the step's path.
      {"entry with path", Track({{128, 96}, {150, 96}, {155, 96}}), nullptr, 'B', 4, {1, k2, 27.0f}},
      // Artifact filter on: the jump into B is neither path nor entry; the step inside B
      // that follows is measured, but B is already the remembered cell.
      {"artifact jump drops entry", jump, kFilterOn, 'B', 4, {0, k2, 0.0f}},
      {"no filter keeps entry", jump, nullptr, 'B', 4, {1, k2, 32.0f}},
      // Leaving the pool forgets the cell: coming back counts an entry.
      {"return from outside", Track({{128, 96}, {250, 96}, {250, 100}, {128, 96}}), nullptr, 'A', 4,
       {1, k2, 122.0f}},
      // Quadrants off: everything in column "4" (the report moves it to "1"); steps 10, 20.
      {"quadrants off", corner, kQuadrantsOff, 'A', 4, {0, 3.0f / 30.0f, 30.0f}},
      {"quadrants on, upper left", corner, nullptr, 'A', 2, {1, k1, 10.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TrialResult result = Analyse(c.track, c.adjust);
    const ZoneCell& cell = Zone(result, c.ring, c.column);
    EXPECT_EQ(cell.Entries, c.expected.Entries);
    EXPECT_FLOAT_EQ(cell.Time, c.expected.Time);
    EXPECT_FLOAT_EQ(cell.Path, c.expected.Path);
  }
}

TEST(AnalyseRawTrack, OutOfPoolCountAndWarning) {
  struct Case {
    const char* name;
    std::string track;
    bool squarePool;
    int32_t count;
  };
  const std::vector<Case> cases = {
      {"two outside", Track({{128, 96}, {250, 96}, {250, 100}, {128, 96}}), false, 2},
      // Exactly on the rim of a round pool is outside; the first sample counts too.
      {"on the rim", Track({{208, 96}}), false, 1},
      // Lost samples are never out of the pool.
      {"lost samples", Track({{255, 255}, {128, 255}, {128, 96}}), false, 0},
      // Square pool: the corner is inside, one further out is not.
      {"square corner", Track({{208, 176}, {209, 176}}), true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnalysisSettings settings = BaseSettings();
    settings.Pool.Round = !c.squarePool;
    const TrialResult r = Analyse(c.track, settings);
    EXPECT_EQ(r.OutOfPoolCount, c.count);
    EXPECT_EQ(r.OutOfPoolText,
              c.count ? "Warning: there are\n" + std::to_string(c.count) + "\npoints out of Pool" : "");
  }
}

TEST(AnalyseRawTrack, EpochWindow) {
  struct Case {
    const char* name;
    std::string track;
    int64_t start;  // ten-thousandths of a second
    int64_t time;
    int16_t status;
    int32_t latency;
    float path;
  };
  const std::string walk = Track({{128, 96}, {140, 96}, {150, 96}, {151, 96}, {160, 96}, {160, 96}});
  const std::vector<Case> cases = {
      // Start 0 over the whole trial: pass 1 skips sample 0 only.
      {"whole trial", walk, 0, 2000, kFinishAborted, 5, 32.0f},
      // Start 0.1 s (a = 3), time 0.1 s (b = 6, beyond the last sample): samples 4 and 5.
      // Pass 2 starts at sample 3 (151, 96) and takes 2 samples: one step of 9.
      {"window from sample 3", walk, 1000, 1000, kFinishAborted, 2, 9.0f},
      // b = 4 inside the track: sample 4 adds one latency sample without being processed.
      {"stop inside the track", walk, 1000, 334, kFinishAborted, 1, 0.0f},
      // a = b: the one sample is skipped by the first rule: latency 0.
      {"a equals b", walk, 1000, 0, kFinishAborted, 0, 0.0f},
      // Start beyond the end: nothing is measured, the file still exists.
      {"start beyond the end", walk, 100000, 10000, kFinishAborted, 0, 0.0f},
      {"start at the end", walk, 2000, 10000, kFinishAborted, 0, 0.0f},
      // A hit inside the window ends it: samples 1 and 2 counted, 3 is the platform. Pass 2
      // starts one sample earlier (at a = 0) and takes two samples: no step.
      {"hit in the window", Track({{128, 96}, {128, 96}, {130, 96}, {158, 66}, {128, 96}}), 0, 10000,
       kFinishHitGoal, 2, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnalysisSettings settings = BaseSettings();
    settings.EpochEnabled = true;
    SetEpochWindow(settings, c.start, c.time);
    const TrialResult r = Analyse(c.track, settings);
    EXPECT_EQ(r.FinishStatus, c.status);
    EXPECT_EQ(r.LatencySamples, c.latency);
    EXPECT_FLOAT_EQ(r.Measures.PathLength, c.path);
    // A window that misses the track measures nothing at all; one of a single sample index
    // no cumulative proximity, though its sample lies 31 px from platform 1.
    if (c.start >= 2000) {
      EXPECT_EQ(r.Measures, TrialMeasures{});
    }
    if (c.time == 0) {
      EXPECT_EQ(r.Measures.Counters[0], (CounterRecord{}));
    }
  }
}

TEST(AnalyseRawTrack, EpochResultDoesNotDependOnEarlierAnalyses) {
  AnalysisSettings settings = BaseSettings();
  settings.EpochEnabled = true;
  SetEpochWindow(settings, 1000, 10000);
  const std::string track =
      Track({{128, 96}, {128, 96}, {128, 96}, {150, 96}, {151, 96}, {160, 96}, {160, 96}});
  const TrialResult alone = Analyse(track, settings);
  TrialResult after;
  AnalyseRawTrackBytes(Track({{10, 10}, {200, 150}, {30, 20}, {100, 100}}), BaseSettings(), after);
  AnalyseRawTrackBytes(track, settings, after);
  EXPECT_EQ(after, alone);
  // From (150, 96): (151, 96) is jitter, (160, 96) is 10 from the remembered point.
  EXPECT_FLOAT_EQ(alone.Measures.PathLength, 10.0f);
}

TEST(AnalyseRawTrack, TracksLongerThan32767Samples) {
  AnalysisSettings settings = BaseSettings();
  settings.Experiment.MaxTime = 10000;
  std::string track = Repeat({128, 96}, 39999) + Track({{158, 66}});
  const TrialResult hit = Analyse(track, settings);
  EXPECT_EQ(hit.FinishStatus, kFinishHitGoal);
  EXPECT_EQ(hit.LatencySamples, 39999);
  EXPECT_FLOAT_EQ(Zone(hit, 'A', 4).Time, 39999.0f / 30.0f);
}

TEST(AnalyseRawTrack, AspectFactorScalesYWithFloor) {
  AnalysisSettings settings = BaseSettings();
  settings.AspectFactor = 1.5;
  // Y 44 * 1.5 = 66: on platform 1. Y 45 * 1.5 = 67.5 -> 67: the point (158, 67).
  EXPECT_EQ(Analyse(Track({{158, 44}}), settings).FinishStatus, kFinishHitGoal);
  // Two samples 1 raw pixel apart in Y: 65 -> 97 and 66 -> 99: a step of 2.
  EXPECT_FLOAT_EQ(Analyse(Track({{128, 65}, {128, 66}}), settings).Measures.PathLength, 2.0f);
  // A factor below 1 never turns a lost sample (Y 255 -> 229) into a position.
  settings.AspectFactor = 0.9;
  const TrialResult lost = Analyse(Track({{128, 96}, {255, 255}, {128, 96}}), settings);
  EXPECT_FLOAT_EQ(lost.Measures.PathLength, 0.0f);
  EXPECT_EQ(lost.OutOfPoolCount, 0);
}

TEST(AnalyseRawTrack, FromFile) {
  test::TempDir dir;
  AnalysisSettings settings = BaseSettings();
  TrialResult result;
  result.FinishStatus = kFinishHitGoal;
  result.Measures.AngleValid = true;
  // A missing file: false, everything as reset, "Unknown".
  EXPECT_FALSE(AnalyseRawTrack(dir.Path() / "WEEK100.RAW", settings, result));
  EXPECT_EQ(result, TrialResult{});
  // A file copied from Windows in lower case is found.
  dir.Write("week100.raw", Track({{128, 96}, {131, 100}}));
  ASSERT_TRUE(AnalyseRawTrack(dir.Path() / "WEEK100.RAW", settings, result));
  EXPECT_EQ(result.FinishStatus, kFinishAborted);
  EXPECT_FLOAT_EQ(result.Measures.PathLength, 5.0f);
  // A folder of that name is not a track.
  std::filesystem::create_directory(dir.Path() / "WEEK101.RAW");
  EXPECT_FALSE(AnalyseRawTrack(dir.Path() / "WEEK101.RAW", settings, result));
}

// A table analyses every file with the picture map; a single trial answers each sample
// directly. Both must give the very same results, on wandering tracks that cross every
// zone, ring and edge of the picture, under settings that move each of them.
TEST(TrackAnalyser, ThePictureMapAnswersAsTheDirectTests) {
  std::mt19937 random(7);  // raw outputs only: distributions differ between libraries
  auto below = [&random](unsigned n) { return static_cast<int>(random() % n); };
  std::vector<std::string> tracks;
  for (int t = 0; t < 6; ++t) {
    std::string bytes;
    int x = 20 + below(200), y = 20 + below(200);
    for (int i = 0; i < 4000; ++i) {
      x = std::clamp(x + below(5) - 2, 0, 254);
      y = std::clamp(y + below(5) - 2, 0, 254);
      const int roll = below(100);
      const int sx = roll == 0 ? below(256) : x, sy = roll == 1 ? 255 : roll == 2 ? below(256) : y;
      bytes += Track({{sx, sy}});
    }
    tracks.push_back(bytes);
  }
  const std::vector<std::function<void(AnalysisSettings&)>> variants = {
      [](AnalysisSettings&) {},
      [](AnalysisSettings& s) { s.Pool.Round = false; },
      [](AnalysisSettings& s) { s.Pool.Quadrants = false, s.Pool.NumRings = 3, s.Pool.EquArea = true; },
      [](AnalysisSettings& s) { s.Pool.Radius = 57.5f, s.Experiment.ActivePlatform = 5; },
      [](AnalysisSettings& s) { s.Pool.Platforms[2] = {230, 200, 12.5f, false, 220}; },
      [](AnalysisSettings& s) { s.AspectFactor = 1.25, s.VideoType = 1; },
      [](AnalysisSettings& s) { s.ArtifactFilterOn = true, s.ArtifactThreshold = 1.5; },
      [](AnalysisSettings& s) { s.EpochEnabled = true, s.EpochStart = 20000, s.EpochTime = 300000; },
      [](AnalysisSettings& s) { s.Experiment.ActivePlatform = 0, s.Experiment.MaxTime = 200; },
  };
  for (std::size_t v = 0; v < variants.size(); ++v) {
    AnalysisSettings settings = BaseSettings();
    variants[v](settings);
    settings.EpochStop = settings.EpochStart + settings.EpochTime;
    const TrackAnalyser direct(settings, false);
    // The map made part by part, in any order, is the constructor's map.
    TrackAnalyser mapped(settings, TrackAnalyser::PictureMap::ByParts);
    for (int part = TrackAnalyser::kMapParts - 1; part >= 0; --part) mapped.BuildMapPart(part);
    std::vector<PoolPoint> samples;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
      TrialResult expected, actual;
      direct.AnalyseBytes(tracks[t], expected, samples);
      mapped.AnalyseBytes(tracks[t], actual, samples);
      EXPECT_EQ(actual, expected) << "settings " << v << ", track " << t;
    }
  }
}

// The pass decides the stepper's remembered point two samples at a time and in stretches;
// its path must be the stepper's, one sample after another: jitter of one and two pixels
// (where the pairing matters), lost samples, odd lengths across stretch ends.
TEST(TrackAnalyser, ThePathIsTheSteppersSampleBySample) {
  std::mt19937 random(11);
  for (const int length : {1, 2, 3, 511, 512, 513, 1500, 2049}) {
    std::string bytes;
    std::vector<PoolPoint> swim;
    int x = 128, y = 96;
    for (int i = 0; i < length; ++i) {
      // Now and then a move of more than two pixels, which always counts.
      x = std::clamp(x + (random() % 23 == 0 ? 7 : static_cast<int>(random() % 5) - 2), 100, 156);
      y = std::clamp(y + static_cast<int>(random() % 3) - 1, 70, 122);
      const bool lost = random() % 9 == 0;
      bytes += Track({{lost ? 255 : x, lost ? 255 : y}});
      swim.push_back(lost ? PoolPoint{255, 255} : PoolPoint{static_cast<int16_t>(x), static_cast<int16_t>(y)});
    }
    PoolPoint previous = *std::find_if(swim.begin(), swim.end(), IsSampleSeen);  // the start
    FilteredStepper stepper;
    int32_t pixels = 0;
    for (std::size_t i = 0; i < swim.size(); ++i) {
      const PoolPoint current = IsSampleSeen(swim[i]) ? swim[i] : previous;
      if (i < 2) stepper.Restart(previous);
      const int squared = stepper.SquaredStep(current);
      if (!(current == previous)) pixels = AddPixelStep(pixels, PixelStep::Of(FilteredStepper::Length(squared)));
      previous = current;
    }
    AnalysisSettings settings = BaseSettings();
    settings.Experiment.ActivePlatform = 0;  // nothing ends the swim
    settings.Experiment.MaxTime = 1000;
    EXPECT_EQ(Analyse(bytes, settings).Measures.PathLength, static_cast<float>(pixels)) << length;
  }
}

// The epoch window's fields: reading, limits, and the sample indices they give.
TEST(ParseEpochField, ReadsTypedSeconds) {
  struct Case {
    const char* text;
    int64_t value;
  };
  const Case cases[] = {
      {"12.5", 125000},
      {"12,5", 125000},  // a decimal comma reads the same
      {"", 0},
      {"-4", 0},  // a window cannot start before the trial
      {"100000", 1000000000},
      {"100001", 1000000000},  // limited to 100000 s
      {"2.5x", 25000},  // reading stops at the first other character
      {"0.00005", 0},   // half to even at four places
      {"0.00015", 2},
      {"0.000051", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseEpochField(c.text), c.value);
  }
}

TEST(EpochSampleIndex, RoundsHalfToEven) {
  struct Case {
    int64_t value;
    int rate;
    int64_t index;
  };
  const Case cases[] = {
      {5000, 25, 12},                                          // 12.5 -> 12
      {15000, 25, 38},                                         // 37.5 -> 38
      {500, 30, 2},                                            // 1.5 -> 2
      {1500, 30, 4},                                           // 4.5 -> 4
      {1667, 30, 5},                                           // 5.001 -> 5
      {10000, 30, 30}, {0, 30, 0}, {1000000000, 30, 3000000},  // far beyond 32767 samples
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " at " << c.rate);
    EXPECT_EQ(EpochSampleIndex(c.value, c.rate), c.index);
  }
}

// Proximity: summed distances to each platform, corrected for a straight swim.
TEST(ProximityAccumulator, CumulativeAndAverage) {
  // Platform 1 at (158, 66). Start (158, 96) is 30 px from it.
  const double kCloser = 20.0 / 30.0 - 7.5;  // the "negative" case below
  struct Case {
    const char* name;
    std::vector<PoolPoint> points;
    int32_t steps;
    int32_t pathPixels;
    float cmPerPixel;
    float fps;
    bool zeroCumulative;
    double cumulative;
    double average;
  };
  const std::vector<Case> cases = {
      // K = 30^2 * (1/30) / 10 / 2 = 1.5; A = 50/30 - 1.5 = 1/6; average A / (1/30) = 5.
      {"straight swim", {{158, 96}, {158, 86}}, 1, 10, 1.0f, 30.0f, false, 1.0 / 6.0, 5.0},
      // No path: no correction. 60 px over 2 samples at 25 per second: 2.4 over 1/25 s.
      {"no path", {{158, 96}, {158, 96}}, 1, 0, 1.0f, 25.0f, false, 2.4, 60.0},
      // One sample: no duration, no average.
      {"single sample", {{158, 96}}, 0, 0, 1.0f, 30.0f, false, 1.0, 0.0},
      // Epoch of one sample index: cumulative 0, the average stays as computed.
      {"single-index epoch", {{158, 96}, {158, 86}}, 1, 10, 1.0f, 30.0f, true, 0.0, 5.0},
      // A path that stays closer than the straight swim: negative, reported as is.
      // Samples at 10 px: sum 20 / 30 = 0.667; K = 900 * (1/30) / 2 / 2 = 7.5.
      {"negative", {{158, 76}, {158, 76}}, 1, 2, 1.0f, 30.0f, false, kCloser, kCloser * 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PoolSetup pool = DefaultPool();
    ProximityAccumulator accumulator(pool, PoolPoint{158, 96});
    for (PoolPoint p : c.points) accumulator.Add(p);
    TrialMeasures m;
    accumulator.StoreInto(m, c.steps, c.fps, c.pathPixels, c.cmPerPixel, c.zeroCumulative);
    EXPECT_NEAR(m.Counters[0].Cumulative, c.cumulative, 1e-4);
    EXPECT_NEAR(m.Counters[0].ProximityAvg, c.average, std::max(1e-3, std::abs(c.average) * 1e-5));
  }
}

}  // namespace
}  // namespace tarnwell
