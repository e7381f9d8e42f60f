// From another tracker's track to the unit's grid: resampling to the stored rate, the
// arena (pool and goal in the source's own units), the fit of the pool and the goal from
// the tracks themselves, and the conversion into tracker units that the analysis turns
// back into the same centimetres.
//
// The grid: the pool is placed at the picture's centre with a radius of `GridRadius`
// units (as large as the 256 × 192 picture allows). One unit is ActualSizeX / (2 ×
// Radius) cm, and y is stored divided by the home's aspect factor, since the analysis
// multiplies it back. Positions go to whole units chosen so that the analysis' path
// length, which adds whole steps, follows the source's (ConvertToGrid).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "import/imported_track.h"
#include "pool/pool_setup.h"

namespace tarnwell {

enum class ResampleMethod { Nearest, Linear };

/// One track at the stored rate: time i / rate after the source's first sample.
struct ResampledTrack {
  std::vector<double> X, Y;  ///< source units
  std::vector<bool> Missing;
  std::vector<int> Line;  ///< the source line nearest each instant
};

/// Resamples to `rate` per second. Nearest: the source sample nearest in time (the earlier
/// at a tie). Linear: interpolated between the two source samples around the instant when
/// both were seen, else as nearest. An instant farther than 1.5 source intervals (the
/// median interval) from any source sample is missing: a gap in the source stays a gap.
ResampledTrack ResampleTrack(const ImportedTrack& track, int rate, ResampleMethod method);

/// A circle in the source's units (cm, or pixels for a pixel track).
struct ArenaCircle {
  double X = 0.0, Y = 0.0, Radius = 0.0;
  friend bool operator==(const ArenaCircle&, const ArenaCircle&) = default;
};

/// The arena of an import: the pool, the goal platform(s) and what turns the source's
/// units into centimetres.
struct ImportArena {
  TrackUnit Unit = TrackUnit::Centimetres;
  std::optional<ArenaCircle> Pool;
  std::vector<ArenaCircle> Goals;          ///< the first is the active one
  std::optional<ArenaCircle> OldGoal;      ///< a reversal's former goal
  double PoolDiameterCm = 0.0;             ///< needed for pixel tracks: the pool's real size
  double TrialLengthSeconds = 0.0;         ///< 0: not given
  double GridRadius = 0.0;                 ///< tracker units; 0: the largest that fits
};

/// A circle written "X,Y,RADIUS" (blanks allowed around the numbers), radius above 0, as
/// the command's --pool and --goal and the import window take it.
bool ParseArenaCircle(std::string_view text, ArenaCircle& circle);

/// Reads an arena file: lines `key = value` ("#" starts a comment), keys as Rtrack's
/// arena files use them (`type`, `time.units`, `trial.length`, `arena.bounds = circle X Y
/// R`, `goal = circle X Y R`, `old.goal = circle X Y R`) and this program's own
/// (`units = cm|px`, `pool.diameter.cm`, `grid.radius`). An unknown key is a problem.
bool ParseArenaText(std::string_view text, const std::string& fileName, ImportArena& arena,
                    std::vector<ImportProblem>& problems);

/// The arena file written for Rtrack and Pathfinder: cm, the pool centre at 0, 0, y up.
std::string FormatArenaText(const ArenaCircle& poolCm, const std::vector<ArenaCircle>& goalsCm,
                            const std::optional<ArenaCircle>& oldGoalCm, double trialLengthSeconds);

/// The smallest circle holding every seen position of the tracks (the animal reaches
/// the wall in every pool; a median-free fit is what the wall-hugging path gives).
/// Nothing when there are fewer than three seen positions.
std::optional<ArenaCircle> FitPoolCircle(const std::vector<const ImportedTrack*>& tracks);

/// The goal from where the trials ended: the component-wise median of the last seen
/// position of each track that ended before `trialLength` (0: every track), and how many
/// ends it was taken from. Nothing when no track ended early.
struct GoalFit {
  ArenaCircle Goal;
  int Trials = 0;
  double SpreadCm = 0.0;  ///< median distance of the ends from the goal, source units
};
std::optional<GoalFit> FitGoalFromTrialEnds(const std::vector<const ImportedTrack*>& tracks,
                                            double trialLength, double goalRadius);

/// What to do with a position outside the pool (beyond its radius by more than the
/// margin) or outside the unit's picture.
enum class OutsidePolicy { Refuse, Clip };

/// The geometry that maps source units into the grid.
struct GridMapping {
  PoolSetup Pool;          ///< the pool and the four platforms, ring radii computed
  int ActivePlatform = 1;  ///< the platform that holds the first goal
  int OldGoalPlatform = 0;
  double UnitsPerSource = 1.0;  ///< tracker units per source unit (x)
  double AspectFactor = 1.0;
  ArenaCircle SourcePool;
  double CmPerSource = 1.0;
  bool YUp = true;
};

/// Builds the pool record for an arena. False (with a problem) when the arena lacks what
/// the unit needs: a pool, a goal, the real size of a pixel pool, or a goal outside it.
bool MakeGridMapping(const ImportArena& arena, double aspectFactor, bool yUp, GridMapping& mapping,
                     std::vector<ImportProblem>& problems, const std::string& arenaName);

/// How a converted track fared.
struct ImportQuality {
  int64_t Samples = 0;
  int64_t NotSeen = 0;
  int64_t Clipped = 0;  ///< outside the pool or the picture, moved onto the pool's edge
  friend bool operator==(const ImportQuality&, const ImportQuality&) = default;
};

/// The stored samples of a resampled track (X, Y bytes; 255/255 for missing). Each
/// position goes to a grid point within one cell of it, chosen so that the analysis'
/// path length (whole units, one-unit jitter ignored) follows the source's: within 2 %
/// on any path longer than about 100 units, within 2 units on shorter ones. With
/// Refuse, the first position outside the pool by more than `marginPercent` or outside the
/// picture is a problem naming the source line and the position; with Clip it is moved
/// onto the allowed circle and counted.
bool ConvertToGrid(const ResampledTrack& track, const GridMapping& mapping, OutsidePolicy policy,
                   double marginPercent, const std::string& sourceFile, std::string& rawBytes,
                   ImportQuality& quality, std::vector<ImportProblem>& problems);

/// The path length of a resampled track in cm over its first `samples` instants (the
/// span the analysis measures: up to the platform), seen-to-seen steps with missing
/// instants skipped over, counting, as the analysis does, only the steps that end inside
/// the pool, to set beside the analysis' figure.
double SourcePathLengthCm(const ResampledTrack& track, const ArenaCircle& pool, double cmPerSource,
                          std::size_t samples);

}  // namespace tarnwell
