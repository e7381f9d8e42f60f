// An import: another tracker's trials into this program's files. Every input is read and
// converted in memory first; only when all of them are sound are the raw files, one
// experiment record per day and the study sheet written, so a bad file never leaves half
// an import behind. What was imported from where is returned as data (ImportSummary): the
// command line prints it, the Study screen shows it.
//
// Also the way back: an experiment's tracks as `time_s,x_cm,y_cm` files with an arena
// file, which Rtrack and Pathfinder read, so that a lab can set their results side by
// side with this program's.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "experiment/experiment_setup.h"
#include "import/imported_track.h"
#include "import/track_conversion.h"
#include "import/track_readers.h"
#include "pool/pool_setup.h"

namespace tarnwell {

/// One file to import and what it is in the study.
struct ImportEntry {
  std::filesystem::path File;
  std::string Animal;  ///< empty: the file's own header, else the file's name
  std::string Group = "all";
  int Day = 1;
  int Trial = 0;  ///< 0: numbered in the order of the animal's files
  std::string Kind = "acquisition";
  int Line = 0;  ///< the line of the import list that named it (0: the command line)
};

/// Reads an import list: a CSV with a header naming `file` and any of `animal`, `group`,
/// `day`, `trial`, `kind` (the study sheet's columns), relative files from its folder.
bool ParseImportList(std::string_view text, const std::filesystem::path& folder, std::vector<ImportEntry>& entries,
                     std::vector<ImportProblem>& problems, const std::string& listName);

/// Reads the formats that are not text (.xlsx, HDF5). Supplied by the library that links
/// their parsers, so that the core and the commands that never import stay free of them.
using BinaryTrackReader = std::function<bool(const std::filesystem::path& file, TrackFormat format,
                                             const TrackReadOptions& options, ImportedTrack& track,
                                             std::vector<ImportProblem>& problems)>;

/// Reads one file of any format; `format` empty: guessed from the name and first line.
bool ReadTrackFile(const std::filesystem::path& file, std::optional<TrackFormat> format,
                   const TrackReadOptions& options, const BinaryTrackReader& binaryReader, ImportedTrack& track,
                   std::vector<ImportProblem>& problems);

struct ImportOptions {
  std::optional<TrackFormat> Format;
  TrackReadOptions Read;
  BinaryTrackReader BinaryReader;
  ImportArena Arena;                ///< from the options or an arena file
  std::string ArenaName = "arena";  ///< names the arena in problems
  bool FitPool = false;             ///< the pool from the tracks (replaces Arena.Pool)
  bool FitGoal = false;             ///< the goal from where acquisition trials ended
  double GoalRadius = 0.0;          ///< of a fitted goal, source units; 0: 5 cm
  ResampleMethod Method = ResampleMethod::Linear;
  int VideoType = 0;  ///< 0: 30 samples a second, 1: 25
  double AspectFactor = 1.0;
  OutsidePolicy Outside = OutsidePolicy::Refuse;
  double MarginPercent = 10.0;  ///< positions this far beyond the pool's radius still count as in it
  int MaxTime = 0;              ///< seconds; 0: the arena's trial length, else the longest track
  int DistFromStart = 10;       ///< cm, for the initial heading
  std::filesystem::path OutFolder;
  std::string Name = "IMP";  ///< experiments are Name + day (IMP1.EXP ...)
  bool Overwrite = false;
  /// Told how far the import has come (0..100) and what it is at; may be empty.
  std::function<void(int percent, const std::string& what)> Progress;
};

/// Where an imported trial came from: what the per-experiment record keeps for it.
struct ImportProvenance {
  std::string SourceFile;
  std::string Format;
  std::string BodyPart;
  std::string Checksum;
  std::string Method;  ///< "linear" or "nearest", with the rate: "linear 30/s"
  std::filesystem::path RawFile;
};

struct ImportedTrial {
  ImportProvenance Source;
  std::string Animal, Group, Kind, SubjectID;
  int Day = 0, Trial = 0;
  ImportQuality Quality;
  double SourcePathCm = 0.0;    ///< the resampled source track's length over the analysed span
  double AnalysedPathCm = 0.0;  ///< what the analysis measures in the raw file
  double LatencySeconds = 0.0;
  int FinishStatus = 0;
};

struct ImportSummary {
  std::vector<std::string> Notes;  ///< the fits and choices, one line each, for printing
  std::vector<ImportedTrial> Trials;
  std::vector<std::filesystem::path> Experiments;
  std::filesystem::path StudySheet;
  PoolSetup Pool;
  int ActivePlatform = 0;
};

/// The whole import. False with problems (and nothing written) when any input, the arena
/// or an output stands in the way.
bool ImportTracks(const std::vector<ImportEntry>& entries, const ImportOptions& options, ImportSummary& summary,
                  std::vector<ImportProblem>& problems);

/// What an import did, as lines for the operator: the fits and choices, then per trial
/// its tracking quality, its path beside the source's, latency and end status, and where
/// it came from; then the experiments and the study sheet written.
std::vector<std::string> DescribeImportSummary(const ImportSummary& summary);

/// What creates an experiment of imported trials: its record (pool, setup, subject IDs)
/// and the trials' end statuses. One call, so that the experiment-creating command of the
/// video tracking can take its place.
bool CreateImportedExperiment(const std::filesystem::path& recordFile, const ExperimentSetup& experiment,
                              const PoolSetup& pool, const std::vector<SubjectStatus>& statuses, std::string& error);

/// The peer export of an experiment: `<stem>NN.csv` per recorded trial (`time_s,x_cm,y_cm`,
/// cm from the pool centre, y up, not-seen samples left out) and `<stem>.arena` (Rtrack's
/// arena file). Returns the files written.
bool ExportPeerTracks(const std::filesystem::path& recordFile, const std::filesystem::path& outFolder,
                      double aspectFactor, int videoType, std::vector<std::filesystem::path>& written,
                      std::string& error);

}  // namespace tarnwell
