// A small experiment written by hand, whose table is worked out by hand in
// golden/tabulated_week1.CSV:
//
//   pool: centre (128, 96), radius 80 px = 160 cm (1 cm per pixel), one ring, quadrants on;
//   platform 1 at (168, 96), radius 10, counter zone 15 px, active; platforms 2..4 at (0, 0),
//   whose zones lie outside the pool, so they report zeros.
//   experiment WEEK1: maximum time 10 s, distance from start 10 cm, IDs R1, R2, R3.
//   WEEK100.RAW: nine samples along y = 96 from x = 128 in steps of 4; the ninth (x = 160)
//                is on the platform.
//   WEEK101.RAW: missing.
//   WEEK102.RAW: five samples standing still at (100, 96).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "analysis/reanalysis.h"
#include "core/scripted_operator.h"
#include "experiment/experiment_setup.h"
#include "records/raw_track.h"
#include "records/record_conversion.h"
#include "pool/pool_setup.h"
#include "pool/zones.h"
#include "support/temp_dir.h"
#include "support/tracks.h"

namespace tarnwell::test {

inline PoolSetup Week1Pool() {
  PoolSetup pool;
  pool.X = 128;
  pool.Y = 96;
  pool.Radius = 80.0f;
  pool.NumRings = 1;
  pool.EquArea = false;
  pool.Round = true;
  pool.Quadrants = true;
  pool.ActualSizeX = 160;
  pool.ActualSizeY = 160;
  for (auto& platform : pool.Platforms) platform = PlatformSetup{0, 0, 10.0f, true, 150};
  pool.Platforms[0].X = 168;
  pool.Platforms[0].Y = 96;
  ComputeRingRadii(pool);
  return pool;
}

inline ExperimentSetup Week1Experiment(const std::filesystem::path& folder) {
  ExperimentSetup experiment;
  experiment.DataFile = (folder / "WEEK1.EXP").string();
  experiment.DataFileValid = true;
  experiment.MaxTime = 10;
  experiment.ActivePlatform = 1;
  experiment.DistFromStart = 10;
  experiment.SubjectIDs = {"R1", "R2", "R3"};
  experiment.SubjectCount = 3;
  return experiment;
}

/// Writes the raw files (and, when `withCompanion`, the companion record WEEK1.EXP) into
/// `dir`; returns the data file's path.
inline std::filesystem::path WriteWeek1(const TempDir& dir, bool withCompanion = true) {
  std::vector<std::pair<int, int>> walk;
  for (int x = 128; x <= 160; x += 4) walk.emplace_back(x, 96);
  dir.Write("WEEK100.RAW", Track(walk));
  dir.Write("WEEK102.RAW", Repeat({100, 96}, 5));
  const std::filesystem::path dataFile = dir.Path() / "WEEK1.EXP";
  if (withCompanion) WriteExperimentRecord(dataFile, Week1Experiment(dir.Path()), Week1Pool());
  return dataFile;
}

/// WEEK1 in a fresh folder, with the state that analyses it (its temporary report in home/)
/// and an operator that answers nothing unless told.
struct Week1Folder {
  TempDir dir;
  std::filesystem::path dataFile;
  ReanalysisState state;
  ScriptedOperator op;

  explicit Week1Folder(bool withCompanion = true, NumberLocale locale = {})
      : dataFile(WriteWeek1(dir, withCompanion)) {
    state.DataFile = dataFile;
    std::filesystem::create_directories(dir.Path() / "home");
    state.TempReportPath = dir.Path() / "home" / "~TMPDAT.CSV";
    state.Locale = locale;
  }
  std::string Read(const std::string& name) const { return dir.Read(name); }
};

}  // namespace tarnwell::test
