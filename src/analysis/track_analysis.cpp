#include "analysis/track_analysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>
#include <optional>

#include "analysis/epoch.h"
#include "analysis/proximity.h"
#include "analysis/tracking_quality.h"
#include "analysis/zone_counters.h"
#include "core/file_access.h"
#include "core/numbers.h"
#include "core/sha256.h"
#include "records/provenance.h"
#include "core/system_settings.h"

namespace tarnwell {

namespace {

// The platform whose direction the initial heading is measured against, or -1 when the
// experiment has none (0 "OFF", 5 "ALL").
int GoalPlatformIndex(const ExperimentSetup& experiment) {
  const int active = experiment.ActivePlatform;
  return active >= 1 && active <= kPlatformCount ? active - 1 : -1;
}

// Centimetres per pixel for pass 2: a pool without a usable radius counts 1 cm a pixel.
float CentimetresPerPixel(const PoolSetup& pool) {
  if (!(pool.Radius > 0.0f)) return 1.0f;
  const float factor = static_cast<float>(pool.ActualSizeX) / (2.0f * pool.Radius);
  return std::isfinite(factor) ? factor : 1.0f;
}

// A point as one 32-bit pattern, so that comparing two takes one instruction.
static_assert(sizeof(PoolPoint) == sizeof(uint32_t));
uint32_t PointBits(PoolPoint p) {
  uint32_t bits = 0;
  std::memcpy(&bits, &p, sizeof bits);
  return bits;
}

// The stepper's remembered point lies within a pixel of the last point on both axes (a
// jitter leaves it so, a move puts it on the point): nine offsets, the states of an
// automaton whose input is the move from the last point. Moves of up to two pixels on
// both axes have the codes 0..24, (x + 2) + 5 (y + 2); any longer one (kFarMove) always
// counts and puts the remembered point on the point. A table of what two moves do from
// each state lets the geometry pass follow the point with one lookup a pair.
constexpr int kMoveCodes = 26;
constexpr int kFarMove = 25;
constexpr int kOffsetStates = 9;  // (x + 1) + 3 (y + 1)
constexpr int kOnThePoint = 4;
constexpr int kPairCodes = kMoveCodes * kMoveCodes;

int MoveCode(PoolPoint from, PoolPoint to) {
  const int dx = to.X - from.X, dy = to.Y - from.Y;
  return dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2 ? (dx + 2) + 5 * (dy + 2) : kFarMove;
}

constexpr int OffsetState(int x, int y) {
  return (x + 1) + 3 * (y + 1);
}

constexpr int AfterMove(int state, int code) {
  if (code == kFarMove) return kOnThePoint;
  // The move from the remembered point: the move from the last point less the offset.
  const int dx = code % 5 - 2 - (state % 3 - 1);
  const int dy = code / 5 - 2 - (state / 3 - 1);
  return FilteredStepper::IsJitter(dx, dy) ? OffsetState(-dx, -dy) : kOnThePoint;
}

// What the moves of a pair of samples do from a state: the state after each, and the
// second one's place in the table (state × kPairCodes).
struct JitterPair {
  uint16_t Next;
  uint8_t Mid;
  uint8_t End;
};

constexpr std::array<JitterPair, kOffsetStates * kPairCodes> MakeJitterPairs() {
  std::array<JitterPair, kOffsetStates * kPairCodes> pairs{};
  for (int state = 0; state < kOffsetStates; ++state) {
    for (int first = 0; first < kMoveCodes; ++first) {
      const int mid = AfterMove(state, first);
      for (int second = 0; second < kMoveCodes; ++second) {
        const int end = AfterMove(mid, second);
        pairs[static_cast<std::size_t>(state * kPairCodes + first * kMoveCodes + second)] = JitterPair{
            static_cast<uint16_t>(end * kPairCodes), static_cast<uint8_t>(mid), static_cast<uint8_t>(end)};
      }
    }
  }
  return pairs;
}
constexpr std::array<JitterPair, kOffsetStates * kPairCodes> kJitterPairs = MakeJitterPairs();

// Each state's offset as PoolPoint bits, for vector arithmetic on points.
constexpr std::array<uint32_t, kOffsetStates> MakeOffsetBits() {
  std::array<uint32_t, kOffsetStates> bits{};
  for (int state = 0; state < kOffsetStates; ++state) {
    const auto x = static_cast<uint16_t>(state % 3 - 1), y = static_cast<uint16_t>(state / 3 - 1);
    bits[static_cast<std::size_t>(state)] = static_cast<uint32_t>(x) | static_cast<uint32_t>(y) << 16;
  }
  return bits;
}
constexpr std::array<uint32_t, kOffsetStates> kOffsetBits = MakeOffsetBits();

#if defined(__SSE2__)
__m128i LoadFour(const PoolPoint* points) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(points));
}

// Four slots from 32-bit lanes to bytes.
void StoreFourSlots(uint8_t* slots, __m128i four) {
  const __m128i words = _mm_packs_epi32(four, four);
  const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
  std::memcpy(slots, &bytes, sizeof bytes);
}
#endif

// A stretch of points in the picture for Follow: their pair codes (first MoveCode ×
// kMoveCodes + second) and the offsets to write, offsets[-1] holding the one before the
// stretch; the squares tabled per axis for the proximity sums; where the zone table can
// take four points at once, its test and the slots to write.
struct FollowedStretch {
  const PoolPoint* Points;
  int64_t Count;
  const int32_t* PairCodes;
  uint32_t* Offsets;
  const ProximityAccumulator::Distances* XSquares;
  const ProximityAccumulator::Distances* YSquares;
  const ZoneTableBuilder::FourSlots* SlotsOf;  ///< or none
  uint8_t* Slots;
};

// Follows the remembered point from the state at `at` (state × kPairCodes) over the
// stretch, writing each sample's offset, and adds every point's distances to the sums in
// sample order: FromSquares of the tabled squares, the very values DistancesTo computes.
// Both chains wait on loads and adds, so the slots of each four points are worked out in
// the same loop, in the time it has to spare. Returns how many samples have their slots.
int64_t Follow(const FollowedStretch& stretch, int at, ProximityAccumulator::Distances& sums) {
  const PoolPoint* points = stretch.Points;
  auto distances = [&](PoolPoint p) {
    return ProximityAccumulator::FromSquares(stretch.XSquares[p.X], stretch.YSquares[p.Y]);
  };
  auto pairAt = [&](int64_t j) -> const JitterPair& {
    const JitterPair& pair = kJitterPairs[static_cast<std::size_t>(at + stretch.PairCodes[j / 2])];
    at = pair.Next;
    stretch.Offsets[j] = kOffsetBits[pair.Mid];
    stretch.Offsets[j + 1] = kOffsetBits[pair.End];
    return pair;
  };
  ProximityAccumulator::Distances sum = sums;
  int64_t j = 0;
#if defined(__SSE2__)
  if (stretch.SlotsOf != nullptr) {
    for (; j + 4 <= stretch.Count; j += 4) {
      pairAt(j);
      pairAt(j + 2);
      sum += distances(points[j]);
      sum += distances(points[j + 1]);
      sum += distances(points[j + 2]);
      sum += distances(points[j + 3]);
      StoreFourSlots(stretch.Slots + j, (*stretch.SlotsOf)(LoadFour(points + j)));
    }
  }
#endif
  const int64_t slotted = j;
  for (; j < stretch.Count; j += 2) {
    pairAt(j);
    sum += distances(points[j]);
    if (j + 1 < stretch.Count) sum += distances(points[j + 1]);
  }
  sums = sum;
  return slotted;
}

}  // namespace

float HeadingOf(int dx, int dy) {
  if (dx == 0 && dy == 0) return kNoHeading;
  if (dx == 0) return dy > 0 ? 90.0f : 270.0f;
  const float a = static_cast<float>(std::atan(static_cast<double>(dy) / dx) * 180.0 / 3.14159265358979);
  if (dx < 0) return a + 180.0f;
  if (dy < 0) return a + 360.0f;
  return a;
}

double UsableAnalysisAspect(double aspectFactor) {
  return AspectFactorOf(aspectFactor);
}

TrackingQuality LoadAnalysisSamples(std::string_view bytes, double aspectFactor,
                                    std::vector<PoolPoint>& samples) {
  const double aspect = UsableAnalysisAspect(aspectFactor);
  const std::size_t count = bytes.size() / 2;
  samples.resize(count);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  PoolPoint* points = samples.data();
  std::size_t i = 0;
  if (aspect == 1.0) {
#if defined(__SSE2__)
    // A byte pair widened to 16 bits each is a PoolPoint already; only a sample whose X
    // is 255 needs its Y made 255 (ORing 255 into a byte's value gives 255).
    static_assert(sizeof(PoolPoint) == 4 && offsetof(PoolPoint, X) == 0 && offsetof(PoolPoint, Y) == 2);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lostX = _mm_set1_epi32(255);
    const __m128i yLane = _mm_set1_epi32(0x00FF0000);
    auto widen = [&](__m128i pairs) {
      const __m128i xLost = _mm_cmpeq_epi32(_mm_and_si128(pairs, _mm_set1_epi32(0xFFFF)), lostX);
      return _mm_or_si128(pairs, _mm_and_si128(xLost, yLane));
    };
    for (; i + 8 <= count; i += 8) {
      const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(points + i), widen(_mm_unpacklo_epi8(raw, zero)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(points + i + 4), widen(_mm_unpackhi_epi8(raw, zero)));
    }
#endif
    for (; i < count; ++i) {
      const int x = data[2 * i], y = data[2 * i + 1];
      points[i] = PoolPoint{static_cast<int16_t>(x), static_cast<int16_t>(x >= 255 || y >= 255 ? 255 : y)};
    }
  } else {
    // Each of the 255 values of Y a seen sample may have, scaled once.
    std::array<int16_t, 256> scaled;
    for (int y = 0; y < 255; ++y) {
      scaled[static_cast<std::size_t>(y)] = static_cast<int16_t>(static_cast<int>(std::floor(y * aspect)));
    }
    scaled[255] = 255;
    for (; i < count; ++i) {
      const int x = data[2 * i], y = data[2 * i + 1];
      points[i] = PoolPoint{static_cast<int16_t>(x), x >= 255 ? int16_t{255} : scaled[static_cast<std::size_t>(y)]};
    }
  }
  return AssessTrackingQuality(bytes);
}

std::string OutOfPoolWarning(int32_t count) {
  if (count <= 0) return {};
  return "Warning: there are\n" + std::to_string(count) + "\npoints out of Pool";
}

TrackAnalyser::TrackAnalyser(const AnalysisSettings& settings, bool manyTracks)
    : TrackAnalyser(settings, manyTracks ? PictureMap::Now : PictureMap::None) {}

TrackAnalyser::TrackAnalyser(const AnalysisSettings& settings, PictureMap map)
    : settings_(settings),
      pool_(settings.Pool),
      goal_(GoalPlatformIndex(settings.Experiment)),
      counterZones_(settings.Experiment, settings.Pool, 1.0),
      emptyZoneTable_(settings.Pool) {
  ComputeRingRadii(pool_);
  factors_ = CentimetreFactorsOf(pool_);
  squaresTabled_ = std::all_of(pool_.Platforms.begin(), pool_.Platforms.end(), ProximityAccumulator::WholeInFloat);
  if (squaresTabled_) {
    Squares centreX{}, centreY{};
    for (int i = 0; i < kPlatformCount; ++i) {
      centreX[i] = pool_.Platforms[i].X;
      centreY[i] = pool_.Platforms[i].Y;
    }
    for (int v = 0; v < 255; ++v) {
      const Squares dx = static_cast<float>(v) - centreX;
      const Squares dy = static_cast<float>(v) - centreY;
      xSquares_[static_cast<std::size_t>(v)] = dx * dx;
      ySquares_[static_cast<std::size_t>(v)] = dy * dy;
    }
  }
  tabledStepsWhole_ = true;
  for (int squared = 0; squared < kTabledSteps; ++squared) {
    const PixelStep step = PixelStep::Of(FilteredStepper::Length(squared));
    wholeSteps_[static_cast<std::size_t>(squared)] = step.Whole + step.Above;
    tabledStepsWhole_ = tabledStepsWhole_ && step.Half == 0;
  }
  // Lengths grow with the squared length, so the steps the filter acts on (longer than
  // the threshold) are those from the first such squared length on.
  if (settings.ArtifactFilterOn) {
    const double threshold = settings.ArtifactThreshold;
    auto beyond = [threshold](int64_t squared) {
      return static_cast<double>(FilteredStepper::Length(static_cast<int>(squared))) > threshold;
    };
    int64_t low = 0;
    int64_t high = std::numeric_limits<int>::max();  // no squared step reaches this
    if (beyond(low)) {
      filterFrom_ = 0;
    } else if (beyond(high)) {
      while (high - low > 1) {  // beyond(low) is false, beyond(high) true
        const int64_t middle = low + (high - low) / 2;
        (beyond(middle) ? high : low) = middle;
      }
      filterFrom_ = high;
    }
  }
  if (pool_.Round && pool_.NumRings >= 1 && pool_.NumRings <= kMaxRings && pool_.RingRadius[0] > 2.0f) {
    // A radius beyond any squared distance of the picture holds every point.
    constexpr float kHoldsEveryPoint = 2.0e9f;
    if (pool_.RingRadius[0] >= kHoldsEveryPoint) {
      surelyInside_ = std::numeric_limits<int64_t>::max();
    } else {
      const auto inner = static_cast<int64_t>(std::floor(static_cast<double>(pool_.RingRadius[0]))) - 1;
      surelyInside_ = inner * inner;
    }
  }
  quietBoxes_ = surelyInside_ >= 0 && CentreNearPicture(pool_.X, pool_.Y);
  surelyInside32_ =
      static_cast<int32_t>(std::min<int64_t>(surelyInside_, std::numeric_limits<int32_t>::max() - 1));
  for (int i = 0; i < kPlatformCount; ++i) {
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    quietBoxes_ =
        quietBoxes_ && counterZones_.ReachRun(i, false, x0, x1) && counterZones_.ReachRun(i, true, y0, y1);
    // An empty run makes a box no coordinate of the picture reaches.
    if (x0 > x1 || y0 > y1) x0 = y0 = 0x7FFF, x1 = y1 = 0x7FFF;
    reachCorner_[static_cast<std::size_t>(i)] = static_cast<uint32_t>(x0) | static_cast<uint32_t>(y0) << 16;
    reachExtent_[static_cast<std::size_t>(i)] =
        static_cast<uint32_t>(x1 - x0) | static_cast<uint32_t>(y1 - y0) << 16;
  }
  if (map == PictureMap::None) return;
  // Beyond this a point of a round pool is out of it without asking RingOf: its float
  // distance is at least the floor of the radius + 1.
  if (pool_.Round && pool_.NumRings >= 1 && pool_.NumRings <= kMaxRings && pool_.RingRadius[0] >= 0.0f &&
      pool_.RingRadius[0] < 1.0e6f) {
    const auto beyond = static_cast<int64_t>(std::floor(static_cast<double>(pool_.RingRadius[0]))) + 2;
    surelyOutside_ = beyond * beyond;
  }
  picture_.reset(new uint16_t[static_cast<std::size_t>(kPictureSide) * kPictureSide]);
  map_ = picture_.get();
  if (map == PictureMap::Now) {
    for (int part = 0; part < kMapParts; ++part) BuildMapPart(part);
  }
}

void TrackAnalyser::BuildMapPart(int part) noexcept {
  const int64_t surelyOutside = surelyOutside_;
  for (int y = part * kPictureSide / kMapParts; y < (part + 1) * kPictureSide / kMapParts; ++y) {
    uint16_t* row = picture_.get() + (static_cast<std::size_t>(y) << 8);
    // A row beyond the pool and beyond every zone's reach is out of the pool in no zone
    // throughout.
    const int64_t dy = y - pool_.Y;
    if (dy * dy >= surelyOutside && counterZones_.RowOutOfEveryReach(y)) {
      for (int x = 0; x < kPictureSide; ++x) {
        // A position not seen has no zone and is not out of the pool: the event pass
        // asks only about seen samples, and passes over the others eight at a time.
        row[x] = static_cast<uint16_t>((x < 255 && y < 255 ? kSeenBit | kOutsideBit : 0) |
                                       (ZoneTableBuilder::SlotOf(-1) << 8));
      }
    } else {
      // The zone-table slots of the row first, eight at a time where the zone table can
      // (the same answers as CellOf one by one, which the positions not seen get).
      std::array<PoolPoint, kPictureSide> points;
      std::array<uint8_t, kPictureSide> slots;
      for (int x = 0; x < kPictureSide; ++x)
        points[static_cast<std::size_t>(x)] = PoolPoint{static_cast<int16_t>(x), static_cast<int16_t>(y)};
      const int seenPositions = y < kPictureSide - 1 ? kPictureSide - 1 : 0;
      emptyZoneTable_.SlotsOf(points.data(), seenPositions, slots.data());
      for (int x = seenPositions; x < kPictureSide; ++x) {
        slots[static_cast<std::size_t>(x)] = static_cast<uint8_t>(
            ZoneTableBuilder::SlotOf(emptyZoneTable_.CellOf(points[static_cast<std::size_t>(x)])));
      }
      // Most rows lie beyond every zone's reach: their positions need no zone test.
      const bool noZone = counterZones_.RowOutOfEveryReach(y);
      for (int x = 0; x < kPictureSide; ++x) {
        const PoolPoint p{static_cast<int16_t>(x), static_cast<int16_t>(y)};
        const int16_t code = noZone ? kNoPlatformZone : counterZones_.Code(p);
        const int zone = code < 0 ? 0 : code >= kOnPlatformFlag ? 5 + (code - kOnPlatformFlag) : 1 + code;
        const int64_t dx = x - pool_.X;
        const int64_t squared = dx * dx + dy * dy;
        const bool outside =
            squared > surelyInside_ && (squared >= surelyOutside || RingOf(p, pool_) == kOutsidePool);
        // So far out the point lies beyond every ring too (the zone table's outer ring is
        // the pool's radius).
        const int slot =
            squared >= surelyOutside ? ZoneTableBuilder::SlotOf(-1) : slots[static_cast<std::size_t>(x)];
        // Written without a choice: the row is walked in one go, seen or not.
        const int seen = -static_cast<int>(IsSampleSeen(p));
        const int events = (kSeenBit | zone | (outside ? kOutsideBit : 0)) & seen;
        row[x] = static_cast<uint16_t>(events | (slot << 8));
      }
    }
    // The positions pass 1 passes over, one bit each: small enough to stay in the nearest
    // cache, where the map itself does not.
    for (int word = 0; word < kPictureSide / 64; ++word) {
      uint64_t bits = 0;
      int bit = 0;
#if defined(__SSE2__)
      const __m128i facts = _mm_set1_epi16(static_cast<int16_t>(kSeenBit | kEventBits));
      const __m128i seenOnly = _mm_set1_epi16(static_cast<int16_t>(kSeenBit));
      for (; bit < 64; bit += 16) {
        const uint16_t* at = row + word * 64 + bit;
        auto eventful = [&](const uint16_t* eight) {
          const __m128i places = _mm_loadu_si128(reinterpret_cast<const __m128i*>(eight));
          return _mm_cmpgt_epi16(_mm_and_si128(places, facts), seenOnly);
        };
        const auto passed = static_cast<uint64_t>(
            ~_mm_movemask_epi8(_mm_packs_epi16(eventful(at), eventful(at + 8))) & 0xFFFF);
        bits |= passed << bit;
      }
#endif
      for (; bit < 64; ++bit) {
        bits |= static_cast<uint64_t>((row[word * 64 + bit] & (kSeenBit | kEventBits)) <= kSeenBit) << bit;
      }
      passOver_[static_cast<std::size_t>(y) * (kPictureSide / 64) + static_cast<std::size_t>(word)] = bits;
    }
  }
}

void TrackAnalyser::RunEventPass(std::span<const PoolPoint> samples, TrialResult& result) const {
  const AnalysisSettings& settings = settings_;
  const ExperimentSetup& experiment = settings.Experiment;
  const PoolSetup& pool = pool_;
  const CentimetreFactors factors = factors_;
  const int rate = settings.SampleRate();
  const int goal = goal_;
  TrialMeasures& measures = result.Measures;
  // The samples processed are those of the epoch window, a + 1 up to b (b itself adds one
  // latency sample when the pass gets there), or all of them.
  const int64_t count = static_cast<int64_t>(samples.size());
  int64_t begin = 0;
  int64_t end = count;
  bool latencyAtEnd = false;
  if (settings.EpochEnabled) {
    const EpochIndices window = EpochWindowIndices(settings);
    begin = std::clamp<int64_t>(window.First + 1, 0, count);
    end = std::clamp<int64_t>(window.Last, begin, count);
    latencyAtEnd = window.Last >= window.First + 1 && window.Last < count;
  }
  // The last sample seen before the window, for the path of a stay in a platform zone.
  PoolPoint previous{};
  for (int64_t i = begin - 1; i >= 0; --i) {
    if (IsSampleSeen(samples[static_cast<std::size_t>(i)])) {
      previous = samples[static_cast<std::size_t>(i)];
      break;
    }
  }

#if defined(__SSE2__)
  // The reach boxes and the pool's centre for the quiet test without the map.
  const __m128i centre = _mm_set1_epi32(static_cast<int32_t>(PointBits(PoolPoint{pool.X, pool.Y})));
  const __m128i nearLimit = _mm_set1_epi32(surelyInside32_ + 1);
  __m128i corners[kPlatformCount], extents[kPlatformCount];
  for (std::size_t z = 0; z < kPlatformCount; ++z) {
    corners[z] = _mm_set1_epi32(static_cast<int32_t>(reachCorner_[z]));
    extents[z] = _mm_set1_epi32(static_cast<int32_t>(reachExtent_[z]));
  }
#endif

  bool haveStart = false;
  PoolPoint start{};
  float goalHeading = kNoHeading;
  int inSecond = 0;
  int64_t seconds = 0;
  int16_t finish = kFinishAborted;
  int32_t latency = 0;
  int32_t outOfPool = 0;

  for (int64_t i = begin; i < end; ++i) {
    // Most of a swim changes nothing but the clock: samples not seen, and samples seen
    // well inside the pool beyond every platform zone's reach once the start and the
    // angle are settled. Such a stretch is passed over in a tight loop and counted at
    // once, exactly as the steps below would count it one sample at a time.
    if (haveStart && (measures.AngleValid || goal < 0 || goalHeading == kNoHeading)) {
      int64_t j = i;
      int64_t lastSeen = -1;
      if (map_ != nullptr) {
#if defined(__SSE2__)
        // Eight samples at a time while all are positions of the picture and none seen
        // has a platform zone or lies outside the pool.
        {
          const __m128i highBytes = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
          for (; j + 8 <= end; j += 8) {
            const PoolPoint* eight = samples.data() + j;
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(eight));
            const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(eight + 4));
            const __m128i beyond = _mm_and_si128(_mm_or_si128(first, second), highBytes);
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(beyond, _mm_setzero_si128())) != 0xFFFF) break;
            // Whether any of them has an event, from the map's own bits: the places
            // (y << 8) + x worked out together, then looked up one by one.
            auto places = [](__m128i four) {
              const __m128i place =
                  _mm_or_si128(_mm_and_si128(four, _mm_set1_epi32(0xFF)), _mm_srli_epi32(four, 8));
              // The low halves of the four lanes into the low 64 bits.
              return _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_shufflelo_epi16(place, 0x08), 0x08), 0x08);
            };
            alignas(16) std::array<uint16_t, 8> at;
            _mm_store_si128(reinterpret_cast<__m128i*>(at.data()),
                            _mm_unpacklo_epi64(places(first), places(second)));
            unsigned events = 0;
#pragma GCC unroll 8
            for (const uint16_t place : at) events |= map_[place];
            const bool quiet = (events & kEventBits) == 0;
            if (!quiet) break;
          }
        }
#endif
        // The map says both whether a position is seen and whether it is quiet; the last
        // seen sample is looked for once the stretch ends.
        for (; j < end; ++j) {
          const PoolPoint p = samples[static_cast<std::size_t>(j)];
          const auto x = static_cast<uint16_t>(p.X), y = static_cast<uint16_t>(p.Y);
          if ((x | y) >= kPictureSide) break;  // not a position of a raw file: the long way
          const std::size_t at = (static_cast<std::size_t>(y) << 8) + x;
          if ((passOver_[at >> 6] >> (at & 63) & 1) == 0) break;  // seen, and not quiet
        }
        for (int64_t k = j - 1; k >= i; --k) {
          if (IsSampleSeen(samples[static_cast<std::size_t>(k)])) {
            lastSeen = k;
            break;
          }
        }
      } else {
#if defined(__SSE2__)
        if (quietBoxes_) {
          // QuietAt four samples at a time while all are positions of the picture: not
          // seen, or surely in the pool and in no zone's reach box.
          const __m128i highBytes = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
          const __m128i notSeen = _mm_set1_epi16(255);
          const __m128i bothAxes = _mm_set1_epi32(-1);
          for (; j + 4 <= end; j += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples.data() + j));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(four, highBytes), _mm_setzero_si128())) !=
                0xFFFF)
              break;
            const __m128i seen = _mm_cmpeq_epi32(_mm_cmpeq_epi16(four, notSeen), _mm_setzero_si128());
            const __m128i d = _mm_sub_epi16(four, centre);
            const __m128i near = _mm_cmpgt_epi32(nearLimit, _mm_madd_epi16(d, d));
            __m128i reached = _mm_setzero_si128();
#pragma GCC unroll 4
            for (std::size_t z = 0; z < kPlatformCount; ++z) {
              const __m128i beyond = _mm_subs_epu16(_mm_sub_epi16(four, corners[z]), extents[z]);
              reached = _mm_or_si128(reached,
                                     _mm_cmpeq_epi32(_mm_cmpeq_epi16(beyond, _mm_setzero_si128()), bothAxes));
            }
            const __m128i quiet = _mm_andnot_si128(reached, near);
            if (_mm_movemask_epi8(_mm_or_si128(quiet, _mm_andnot_si128(seen, bothAxes))) != 0xFFFF) break;
            const auto seenLanes = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(seen)));
            if (seenLanes != 0) lastSeen = j + std::bit_width(seenLanes) - 1;
          }
        }
#endif
        for (; j < end; ++j) {
          const PoolPoint p = samples[static_cast<std::size_t>(j)];
          if (!IsSampleSeen(p)) continue;
          if (!QuietAt(p)) break;
          lastSeen = j;
        }
      }
      int64_t passed = j - i;
      if (passed > 0 && lastSeen >= 0) {
        previous = samples[static_cast<std::size_t>(lastSeen)];
        UpdateCounters(kNoPlatformZone, previous, previous, factors, measures);
      }
      // A stay in the platform zone the animal is already in, inside the pool: each seen
      // sample adds its time and its path from the sample before, as UpdateCounters does,
      // the sums kept in registers.
      const int zone = measures.LastCounter;
      if (zone >= 0 && zone < kPlatformCount && j < end) {
        CounterRecord& counter = measures.Counters[static_cast<std::size_t>(zone)];
        float time = counter.Time, path = counter.Path;
        PoolPoint last = previous;
        if (map_ != nullptr) {
          const unsigned inZone = kSeenBit | static_cast<unsigned>(zone + 1);
          for (; j < end; ++j) {
            const PoolPoint p = samples[static_cast<std::size_t>(j)];
            if (!IsSampleSeen(p)) continue;
            const uint16_t* place = PlaceOf(p);
            if (place == nullptr || (*place & (kSeenBit | kEventBits)) != inZone) break;
            time += 1.0f;
            path += CentimetreDistance(last, p, factors);
            last = p;
          }
        } else {
          for (; j < end; ++j) {
            const PoolPoint p = samples[static_cast<std::size_t>(j)];
            if (!IsSampleSeen(p)) continue;
            if (CodeAt(p) != zone || OutsideAt(p)) break;
            time += 1.0f;
            path += CentimetreDistance(last, p, factors);
            last = p;
          }
        }
        counter.Time = time;
        counter.Path = path;
        previous = last;
        passed = j - i;
      }
      if (passed > 0) {
        latency += static_cast<int32_t>(passed);
        inSecond += static_cast<int>(passed);
        if (inSecond >= rate) {
          seconds += inSecond / rate;
          inSecond %= rate;
          if (seconds >= experiment.MaxTime) finish = kFinishTimedOut;
        }
        i = j;
        if (i >= end) break;
      }
    }
    const PoolPoint sample = samples[static_cast<std::size_t>(i)];
    const bool valid = IsSampleSeen(sample);
    if (valid) {
      if (!haveStart) {
        start = sample;
        haveStart = true;
        if (goal >= 0) {
          const PlatformSetup& platform = pool.Platforms[goal];
          goalHeading = HeadingOf(platform.X - start.X, start.Y - platform.Y);
        }
      }
      const int16_t code = CodeAt(sample);
      UpdateCounters(code, sample, previous, factors, measures);
      if (code >= kOnPlatformFlag) {
        finish = kFinishHitGoal;
        latencyAtEnd = false;
        break;
      }
      // Without a goal platform, or with the start on the goal's very centre, there is
      // no heading to compare with: the angle stays undefined.
      if (!measures.AngleValid && goal >= 0 && goalHeading != kNoHeading &&
          CentimetreDistance(start, sample, factors) >= static_cast<float>(experiment.DistFromStart)) {
        const float heading = HeadingOf(sample.X - start.X, start.Y - sample.Y);
        float error = 0.0f;  // not moved yet: only reached with a distance of 0 or less
        if (heading != kNoHeading) {
          error = std::fabs(goalHeading - heading);
          if (error > 180.0f) error = 360.0f - error;
        }
        measures.InitialAngle = error;
        measures.AngleValid = true;
      }
    }
    inSecond += 1;
    if (inSecond >= rate) {
      inSecond = 0;
      seconds += 1;
      // The trial goes on after its time: a later hit still counts as the finish.
      if (seconds >= experiment.MaxTime) finish = kFinishTimedOut;
    }
    if (valid && OutsideAt(sample)) outOfPool += 1;
    latency += 1;
    if (valid) previous = sample;
  }
  result.FinishStatus = finish;
  result.LatencySamples = latency + (latencyAtEnd ? 1 : 0);
  result.OutOfPoolCount = outOfPool;
}

void TrackAnalyser::RunGeometryPass(std::span<const PoolPoint> samples, TrialResult& result) const {
  const AnalysisSettings& settings = settings_;
  const PoolSetup& pool = settings.Pool;
  const int64_t count = static_cast<int64_t>(samples.size());
  int64_t first = 0;
  int64_t end = count;
  bool singleSampleEpoch = false;
  if (settings.EpochEnabled) {
    const EpochIndices window = EpochWindowIndices(settings);
    first = window.First;
    if (window.Last < count) end = window.Last;
    singleSampleEpoch = window.First == window.Last;
  }
  if (first >= count) return;

  // The start point is the first seen sample from `first` on; unseen samples before it
  // count as being there.
  int64_t seenAt = first;
  while (seenAt < count && !IsSampleSeen(samples[static_cast<std::size_t>(seenAt)])) ++seenAt;
  if (seenAt >= count) return;
  const PoolPoint start = samples[static_cast<std::size_t>(seenAt)];

  const float framesPerSecond = settings.FramesPerSecond();
  const float cmPerPixel = CentimetresPerPixel(pool);
  const int64_t latency = result.LatencySamples;

  // At least the first sample, then up to the latency or the window's end.
  const int64_t total = std::max<int64_t>(1, std::min(latency, end - first));

  ZoneTableBuilder zones = emptyZoneTable_;
  ZoneTableBuilder::Run run;
  ProximityAccumulator::Distances proximitySums{};
  ProximityAccumulator proximity(pool, start);
  PoolPoint previous = start;
  int32_t pathPixels = 0;
  // The stepper's remembered point (FilteredStepper, written out here).
  int rememberedX = start.X, rememberedY = start.Y;
  const int64_t filterFrom = filterFrom_;

  // The pass runs in short stretches of simple loops, each with little alive at once:
  // where the animal is taken to be; the stepper's remembered point together with the
  // proximity sums and the zone-table slots; the steps and whether the animal moved;
  // then the zone table and the path length. Two chains set the pace of the second loop: the
  // remembered point, every step waiting for the one before, and the proximity sums,
  // which must add every distance in turn. The remembered point is followed as an
  // automaton (kJitterPairs), a pair of samples a lookup, so that its chain is one load
  // every two samples and the proximity sums are the slower chain.
  constexpr int64_t kStretch = 512;
  // points[-1] is the point before the stretch.
  alignas(16) std::array<PoolPoint, kStretch + 4> track;
  PoolPoint* const points = track.data() + 4;
  // The remembered point less the point after each sample (offsets[-1]: before the
  // stretch), as PoolPoint bits; the moves of each pair of samples (first MoveCode ×
  // kMoveCodes + second).
  alignas(16) std::array<uint32_t, kStretch + 8> offsetStore;
  uint32_t* const offsets = offsetStore.data() + 4;
  alignas(16) std::array<int32_t, kStretch / 2 + 4> pairCodes;
  alignas(16) std::array<int, kStretch> steps;  // squared, 0 where the animal did not move
  std::array<bool, kStretch> moves;
  // The zone-table slot of each point; slots[-1] is the open run's (255 before any).
  alignas(16) std::array<uint8_t, kStretch + 16> slotStore;
  uint8_t* const slots = slotStore.data() + 1;
  // The artifact filter's limit as an int: the same test, as no sum of two squares is
  // 2^31 - 1 (it leaves 3 divided by 4).
  const int filterLimit = static_cast<int>(std::min<int64_t>(filterFrom, std::numeric_limits<int>::max()));
#if defined(__SSE2__)
  const std::optional<ZoneTableBuilder::FourSlots> vectorSlots =
      zones.VectorSlots() ? std::optional<ZoneTableBuilder::FourSlots>(zones) : std::nullopt;
  const ZoneTableBuilder::FourSlots* fourSlots = vectorSlots ? &*vectorSlots : nullptr;
#else
  const ZoneTableBuilder::FourSlots* fourSlots = nullptr;
#endif
  for (int64_t done = 0; done < total; done += kStretch) {
    const int64_t n = std::min(kStretch, total - done);
    const PoolPoint* from = samples.data() + first + done;
    // Where the animal is: a sample not seen counts as being where it was last seen.
    points[-1] = previous;
    int64_t j = 0;
    uint32_t signs = 0;  // any negative coordinate: not a position of the picture
#if defined(__SSE2__)
    {
      // Four seen samples are stored as they are; a group with one not seen is filled in
      // one by one.
      const __m128i notSeen = _mm_set1_epi16(254);
      __m128i anySign = _mm_setzero_si128();
      for (; j + 4 <= n; j += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + j));
        if (_mm_movemask_epi8(_mm_cmpgt_epi16(four, notSeen)) == 0) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(points + j), four);
          anySign = _mm_or_si128(anySign, four);
          continue;
        }
        for (int64_t k = j; k < j + 4; ++k) {
          points[k] = IsSampleSeen(from[k]) ? from[k] : points[k - 1];
          signs |= PointBits(points[k]);
        }
      }
      alignas(16) uint32_t lanes[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(lanes), anySign);
      signs |= lanes[0] | lanes[1] | lanes[2] | lanes[3];
    }
#endif
    for (; j < n; ++j) {
      points[j] = IsSampleSeen(from[j]) ? from[j] : points[j - 1];
      signs |= PointBits(points[j]);
    }
    previous = points[n - 1];
    // Every point seen lies in the picture (0..254 on both axes).
    const bool inPicture = (signs & 0x80008000u) == 0;
    int64_t slotted = 0;  // the points whose slots are known

    if (inPicture && squaresTabled_) {
      // The moves of each pair of samples from the point before each.
      j = 0;
#if defined(__SSE2__)
      {
        const __m128i two = _mm_set1_epi16(2);
        const __m128i four = _mm_set1_epi16(4);
        const __m128i bothAxes = _mm_set1_epi32(-1);
        const __m128i far = _mm_set1_epi32(kFarMove);
        const __m128i codeWeights = _mm_set1_epi32(0x00050001);  // x + 5 y
        const __m128i pairWeights = _mm_set1_epi32(0x0001001A);  // first × 26 + second
        auto codesOfFour = [&](int64_t at) {
          const __m128i now = _mm_load_si128(reinterpret_cast<const __m128i*>(points + at));
          const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(points + at - 1));
          const __m128i shifted = _mm_add_epi16(_mm_sub_epi16(now, before), two);
          const __m128i nearAxes = _mm_cmpeq_epi16(_mm_subs_epu16(shifted, four), _mm_setzero_si128());
          const __m128i near = _mm_cmpeq_epi32(nearAxes, bothAxes);
          const __m128i code = _mm_madd_epi16(shifted, codeWeights);
          return _mm_or_si128(_mm_and_si128(near, code), _mm_andnot_si128(near, far));
        };
        for (; j + 8 <= n; j += 8) {
          const __m128i codes = _mm_packs_epi32(codesOfFour(j), codesOfFour(j + 4));
          _mm_store_si128(reinterpret_cast<__m128i*>(pairCodes.data() + j / 2),
                          _mm_madd_epi16(codes, pairWeights));
        }
      }
#endif
      for (; j < n; j += 2) {
        // A last sample without a partner is paired with a long move, whose outcome is unused.
        const int second = j + 1 < n ? MoveCode(points[j], points[j + 1]) : kFarMove;
        pairCodes[static_cast<std::size_t>(j / 2)] = MoveCode(points[j - 1], points[j]) * kMoveCodes + second;
      }
      // The remembered point and the proximity sums: every point in the picture with
      // every centre near it, each distance from tabled squares, the very values
      // DistancesTo computes.
      const int offsetX = rememberedX - points[-1].X, offsetY = rememberedY - points[-1].Y;
      offsets[-1] = kOffsetBits[static_cast<std::size_t>(OffsetState(offsetX, offsetY))];
      const int at = OffsetState(offsetX, offsetY) * kPairCodes;
      const FollowedStretch stretch{
          points, n, pairCodes.data(), offsets, xSquares_.data(), ySquares_.data(), fourSlots, slots};
      slotted = Follow(stretch, at, proximitySums);
      const uint32_t lastOffset = offsets[n - 1];
      rememberedX = points[n - 1].X + static_cast<int16_t>(lastOffset & 0xFFFFu);
      rememberedY = points[n - 1].Y + static_cast<int16_t>(lastOffset >> 16);
      // The step counts, squared, where the sample put the remembered point on itself: the
      // move from the remembered point before it (four at a time in the loop below).
#if defined(__SSE2__)
      j = n & ~int64_t{3};
#else
      j = 0;
#endif
      for (; j < n; ++j) {
        const uint32_t before = offsets[j - 1];
        const int dx = points[j].X - points[j - 1].X - static_cast<int16_t>(before & 0xFFFFu);
        const int dy = points[j].Y - points[j - 1].Y - static_cast<int16_t>(before >> 16);
        steps[static_cast<std::size_t>(j)] = offsets[j] == 0 ? dx * dx + dy * dy : 0;
      }
    } else {
      // Points beyond the picture, or centres far from it: the stepper sample by sample.
      // Seen points' coordinates lie in -32768..254, so every squared difference below
      // fits 32 bits unsigned, with the bits of the stepper's int.
      for (j = 0; j < n; ++j) {
        // The first two samples of the pass step from the previous point afresh.
        if (done + j < 2) {
          rememberedX = points[j - 1].X;
          rememberedY = points[j - 1].Y;
        }
        const PoolPoint a = points[j];
        proximitySums += proximity.DistancesTo(a);
        const int ax = a.X - rememberedX, ay = a.Y - rememberedY;
        const bool still = FilteredStepper::IsJitter(ax, ay);
        rememberedX = still ? rememberedX : a.X;
        rememberedY = still ? rememberedY : a.Y;
        steps[static_cast<std::size_t>(j)] =
            static_cast<int>(still ? 0u : static_cast<uint32_t>(ax * ax) + static_cast<uint32_t>(ay * ay));
      }
    }

    // A step counts where the animal moved from the point before and the artifact filter
    // lets it through; kept as 0 otherwise, so that the sums below add it without asking.
    int largestStep = 0;
    j = 0;
#if defined(__SSE2__)
    {
      __m128i largest = _mm_setzero_si128();
      const __m128i limit = _mm_set1_epi32(filterLimit);
      const bool followed = inPicture && squaresTabled_;
      for (; j + 4 <= n; j += 4) {
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(points + j));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(points + j - 1));
        __m128i squared;
        if (followed) {
          const __m128i offsetBefore = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + j - 1));
          const __m128i move = _mm_sub_epi16(_mm_sub_epi16(now, before), offsetBefore);
          const __m128i taken = _mm_cmpeq_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(offsets + j)),
                                                _mm_setzero_si128());
          squared = _mm_and_si128(_mm_madd_epi16(move, move), taken);
        } else {
          squared = _mm_load_si128(reinterpret_cast<const __m128i*>(steps.data() + j));
        }
        const __m128i moved = _mm_andnot_si128(_mm_cmpeq_epi32(now, before), _mm_cmplt_epi32(squared, limit));
        const __m128i counted = _mm_and_si128(squared, moved);
        _mm_store_si128(reinterpret_cast<__m128i*>(steps.data() + j), counted);
        const __m128i larger = _mm_cmpgt_epi32(counted, largest);
        largest = _mm_or_si128(_mm_and_si128(larger, counted), _mm_andnot_si128(larger, largest));
        const __m128i flags =
            _mm_and_si128(_mm_packs_epi16(_mm_packs_epi32(moved, moved), moved), _mm_set1_epi8(1));
        const int bytes = _mm_cvtsi128_si32(flags);
        std::memcpy(moves.data() + j, &bytes, sizeof bytes);
      }
      alignas(16) int lanes[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(lanes), largest);
      largestStep = std::max({lanes[0], lanes[1], lanes[2], lanes[3]});
    }
#endif
    for (; j < n; ++j) {
      const int squared = steps[static_cast<std::size_t>(j)];
      const bool moved = PointBits(points[j]) != PointBits(points[j - 1]) && squared < filterLimit;
      const int counted = squared & -static_cast<int>(moved);
      steps[static_cast<std::size_t>(j)] = counted;
      moves[static_cast<std::size_t>(j)] = moved;
      largestStep = std::max(largestStep, counted);
    }

    // Where each point is counted in the zone table, where the loop above has not said.
    slots[-1] = static_cast<uint8_t>(run.at);
    if (inPicture) {
      zones.SlotsOf(points + slotted, n - slotted, slots + slotted);
    } else {
      for (j = 0; j < n; ++j) slots[j] = static_cast<uint8_t>(SlotAt(points[j]));
    }

    // A stretch of tabled steps without an exact half, whose sums stay far from
    // overflowing, adds whole pixels: no rounding per step.
    constexpr int32_t kFarFromOverflow = 1 << 29;
    if (tabledStepsWhole_ && largestStep < kTabledSteps &&
        std::max(pathPixels, zones.LargestPixelSum(run)) < kFarFromOverflow - kStretch * kTabledSteps) {
      // The path length gains every step but those outside the pool: all of the
      // stretch's pixels less what the outside slot gained (whole numbers, so the same).
      const int32_t outsideBefore = zones.PixelsIn(run, ZoneTableBuilder::kCells);
      int32_t stretchPixels = 0;
      auto countOne = [&](int64_t k) {
        const int32_t pixels = wholeSteps_[static_cast<std::size_t>(steps[static_cast<std::size_t>(k)])];
        stretchPixels += pixels;
        zones.CountWhole(run, slots[k], moves[static_cast<std::size_t>(k)], pixels);
      };
      j = 0;
#if defined(__SSE2__)
      // Sixteen samples at a time: those in the slot of the sample before them add to
      // the open run together (no entry, and whole pixels sum in any order); only where
      // the slot changes is a sample counted on its own. The block's pixels are summed
      // up front, each run's share being a difference of those sums.
      for (; j + 16 <= n; j += 16) {
        std::array<int32_t, 17> sums;
        sums[0] = 0;
#pragma GCC unroll 16
        for (std::size_t k = 0; k < 16; ++k) {
          sums[k + 1] =
              sums[k] + wholeSteps_[static_cast<std::size_t>(steps[static_cast<std::size_t>(j) + k])];
        }
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots + j));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots + j - 1));
        auto changes = static_cast<unsigned>(~_mm_movemask_epi8(_mm_cmpeq_epi8(now, before)) & 0xFFFF);
        int from = 0;
        while (changes != 0) {
          const int change = std::countr_zero(changes);
          changes &= changes - 1;
          ZoneTableBuilder::Continue(
              run, change - from,
              sums[static_cast<std::size_t>(change)] - sums[static_cast<std::size_t>(from)]);
          zones.CountWhole(
              run, slots[j + change], moves[static_cast<std::size_t>(j + change)],
              sums[static_cast<std::size_t>(change) + 1] - sums[static_cast<std::size_t>(change)]);
          from = change + 1;
        }
        ZoneTableBuilder::Continue(run, 16 - from, sums[16] - sums[static_cast<std::size_t>(from)]);
        stretchPixels += sums[16];
      }
#endif
      for (; j < n; ++j) countOne(j);
      pathPixels += stretchPixels - (zones.PixelsIn(run, ZoneTableBuilder::kCells) - outsideBefore);
      continue;
    }
    for (j = 0; j < n; ++j) {
      const int slot = slots[j];
      const bool moved = moves[static_cast<std::size_t>(j)];
      // Steps are at most the picture's diagonal here, well inside PixelStep's range.
      const PixelStep pixelStep = PixelStep::Of(FilteredStepper::Length(steps[static_cast<std::size_t>(j)]));
      const int32_t walked = AddPixelStep(pathPixels, pixelStep);
      // Blended by a mask: compilers turn a choice here into a branch on whether the
      // animal moved, which a slow swim mispredicts often.
      const int32_t take =
          -(static_cast<int32_t>(slot < ZoneTableBuilder::kCells) & static_cast<int32_t>(moved));
      pathPixels ^= (walked ^ pathPixels) & take;
      zones.Count(run, slot, moved, pixelStep);
    }
  }

  zones.Close(run);
  proximity.AddSums(proximitySums);
  const int64_t stepCount = total - 1;
  result.Measures.PathLength = static_cast<float>(pathPixels) * cmPerPixel;
  if (settings.Experiment.DistFromStart <= 0) result.Measures.InitialAngle = 0.0f;
  zones.StoreInto(result.Measures, framesPerSecond, cmPerPixel);
  proximity.StoreInto(result.Measures, static_cast<int32_t>(stepCount), framesPerSecond, pathPixels,
                      cmPerPixel, singleSampleEpoch);
}

void TrackAnalyser::AnalyseLoadedSamples(std::span<const PoolPoint> samples, TrialResult& result) const {
  ClearAllMazeExptData(result);
  RunEventPass(samples, result);
  RunGeometryPass(samples, result);
  ClearUnusedPlatformCounters(settings_.Pool, result.Measures);
  result.OutOfPoolText = OutOfPoolWarning(result.OutOfPoolCount);
}

void TrackAnalyser::AnalyseBytes(std::string_view bytes, TrialResult& result,
                                 std::vector<PoolPoint>& samples) const {
  const TrackingQuality tracking = LoadAnalysisSamples(bytes, settings_.AspectFactor, samples);
  AnalyseLoadedSamples(samples, result);
  result.Tracking = tracking;
}

bool TrackAnalyser::AnalyseFile(const std::filesystem::path& file, TrialResult& result) const {
  return AnalyseFile(file, result, nullptr);
}

bool TrackAnalyser::AnalyseFile(const std::filesystem::path& file, TrialResult& result,
                                const TrialProvenance* record) const {
  return AnalyseFile(file, result, record, buffers_, nullptr);
}

bool TrackAnalyser::AnalyseFile(const std::filesystem::path& file, TrialResult& result,
                                const TrialProvenance* record, TrackBuffers& buffers,
                                FileFacts* facts, const FolderListing* folder) const {
  ClearAllMazeExptData(result);
  if (!ReadExistingFile(file, buffers.Bytes, facts, nullptr, folder)) return false;
  const TrackingQuality tracking = LoadRecordedSamples(buffers.Bytes, record, buffers.Samples);
  AnalyseLoadedSamples(buffers.Samples, result);
  result.Tracking = tracking;
  return true;
}

void TrackAnalyser::AnalyseRecordedBytes(std::string_view bytes, const TrialProvenance* record,
                                         TrialResult& result, std::vector<PoolPoint>& samples) const {
  const TrackingQuality tracking = LoadRecordedSamples(bytes, record, samples);
  AnalyseLoadedSamples(samples, result);
  result.Tracking = tracking;
}

void TakeRecordedQuality(const TrialProvenance& record, TrackingQuality& tracking) {
  if (!record.Quality) return;
  tracking.TooFast = record.Quality->TooFast;
  tracking.EndedInFirstSecond = record.Quality->EndedInFirstSecond;
}

bool RecordCanChangeAnalysis(const TrialProvenance& record) {
  // A stored track never shows these itself: its own figures are 0 and false, which is
  // what TakeRecordedQuality leaves of a record that holds them too.
  const TrackingQuality own;
  TrackingQuality taken = own;
  TakeRecordedQuality(record, taken);
  return record.Realigned.has_value() || !(taken == own);
}

TrackingQuality TrackAnalyser::LoadRecordedSamples(std::string_view bytes, const TrialProvenance* record,
                                                   std::vector<PoolPoint>& samples) const {
  // The record speaks only of the bytes it was written with; one without a checksum
  // speaks of none, and theirs need not be made.
  if (record != nullptr && (record->RawSha256.empty() || record->RawSha256 != Sha256Hex(bytes)))
    record = nullptr;
  TrackingQuality tracking;
  if (record != nullptr && record->Realigned) {
    const std::string realigned = RealignedBytes(bytes, record->Realigned->FromSample);
    tracking = LoadAnalysisSamples(realigned, settings_.AspectFactor, samples);
    tracking.RealignedFrom = record->Realigned->FromSample;
  } else {
    tracking = LoadAnalysisSamples(bytes, settings_.AspectFactor, samples);
    // Only a track with faults can have swapped: a clean one costs nothing more.
    if (tracking.OutOfRange + tracking.Jumps > 0) {
      if (const auto slip = FindByteSlip(bytes)) tracking.SwappedFrom = *slip;
    }
  }
  if (record != nullptr) TakeRecordedQuality(*record, tracking);
  return tracking;
}

void AnalyseRawTrackBytes(std::string_view bytes, const AnalysisSettings& settings, TrialResult& result,
                          std::vector<PoolPoint>& samples) {
  TrackAnalyser(settings, false).AnalyseBytes(bytes, result, samples);
}

void AnalyseRawTrackBytes(std::string_view bytes, const AnalysisSettings& settings, TrialResult& result) {
  std::vector<PoolPoint> samples;
  AnalyseRawTrackBytes(bytes, settings, result, samples);
}

bool AnalyseRawTrack(const std::filesystem::path& file, const AnalysisSettings& settings,
                     TrialResult& result) {
  return TrackAnalyser(settings, false).AnalyseFile(file, result);
}

}  // namespace tarnwell
