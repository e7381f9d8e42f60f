// The provenance record: where every trial of an experiment came from.
//
// A lab must be able to show, months after a run, that a track is what it claims to be:
// which unit or video recorded it, when, with which program and which setups, how it
// ended and how far its tracking can be trusted. The stored formats (.RAW, .EXP, the
// table) have no room for that and must stay as they are, so each experiment keeps one
// side file beside its data files:
//
//   WEEK1.EXP  ->  WEEK1.provenance.json
//
// It is the experiment's only side file: whatever else a command needs to remember about
// an experiment (the trial list's variables, which video holds which subject, where an
// imported track came from) goes into this record, not into a file of its own.
//
// Rules of the file:
//  - JSON, one object, with "format" (kProvenanceFormat). A reader takes every format: it
//    reads what it knows and keeps everything else.
//  - Written whole through a temporary file and a rename, so a crash or kill -9 leaves
//    either the old record or the new one, never a torn one.
//  - Members this program does not know (written by a newer version, or by a part of the
//    program that keeps its own fields) are kept as they were when the record is written
//    again (`Other` of each part).
//  - A missing or damaged record never stops anything: the reader says what is wrong
//    (the caller reports it once), a damaged file is kept aside (".damaged") and a new
//    record is started for the trials that follow.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnwell {

class FolderListing;  // core/file_access.h

/// The layout version written into "format". Readers accept any; see the file's rules.
inline constexpr int kProvenanceFormat = 1;

/// What a missing field says in tables and JSON output: never a guess.
inline constexpr const char* kUnknownProvenance = "unknown";

/// Where a trial's samples came from.
enum class TrialSourceKind { Unknown, SerialUnit, SimulatedUnit, Camera, Video, Imported };

/// The stored and shown name of a source kind: "serial", "simulated", "camera", "video",
/// "imported", "unknown".
std::string_view SourceKindName(TrialSourceKind kind);
TrialSourceKind SourceKindFromName(std::string_view name);

/// A camera trial's own video, recorded while it was tracked, so that it can be tracked
/// again later with other settings.
struct TrialRecording {
  std::string Path;                  ///< the video file ("WEEK103.mkv" beside the raw file)
  std::optional<uint64_t> Size;      ///< bytes
  std::string Sha256;                ///< checksum of the whole file
  std::string Codec;                 ///< "FFV1" (lossless) or "MJPG"
  int64_t Frames = 0;                ///< frames written
  int64_t DroppedFrames = 0;         ///< frames the writer could not keep up with
  double FramesPerSecond = 0;        ///< the rate the file plays at
  std::string Error;                 ///< why no video (or only part of it) was kept
  nlohmann::json Other = nlohmann::json::object();
};

/// The source of one trial. Only the members of its kind are written.
struct TrialSource {
  TrialSourceKind Kind = TrialSourceKind::Unknown;
  std::string Port;                                 ///< serial unit: the device it was opened on
  std::optional<uint64_t> Seed;                     ///< simulated unit: the swim model's seed
  std::string Device;                               ///< camera: the device (index or path)
  std::string VideoPath;                            ///< video: the file as given
  std::optional<uint64_t> VideoSize;                ///< video: bytes
  std::string VideoSha256;                          ///< video: checksum of the whole file
  std::optional<int64_t> FirstFrame;                ///< video: the first frame the trial used (0-based)
  std::optional<int64_t> LastFrame;                 ///< video: the last frame the trial used
  std::optional<TrialRecording> Recording;          ///< camera: the trial's own video
  nlohmann::json Other = nlohmann::json::object();  ///< members kept unread

  /// "serial /dev/ttyUSB0", "simulated unit, seed 7", "camera 0", "video mouse3.mp4".
  std::string Describe() const;
};

/// The tracking-quality figures of a trial as the run judged them (the analysis
/// recomputes what a stored track still shows; samples arriving too fast and a trial
/// ended in its first second are known only at run time and kept here).
struct TrialQualityRecord {
  int64_t Samples = 0;
  int64_t NotSeen = 0;
  double NotSeenPercent = 0.0;
  int64_t OutOfRange = 0;
  int64_t Jumps = 0;
  int64_t TooFast = 0;
  bool EndedInFirstSecond = false;  ///< camera or video trial over within its first second
  bool Suspect = false;
  std::vector<std::string> Reasons;  ///< the run's "Suspect tracking" words, if any
  nlohmann::json Other = nlohmann::json::object();
};

/// A stream whose X and Y swapped places part-way (one byte lost or gained on the line).
struct RealignmentRecord {
  int64_t FromSample = 0;  ///< the first sample (0-based) read with the shifted pairing
  int ByteOffset = 1;      ///< bytes to skip at that sample's first byte to pair again
};

/// Everything recorded about one trial, keyed by its raw file's name.
struct TrialProvenance {
  int SubjectIndex = -1;
  std::string Subject;       ///< the subject (trial) ID
  std::string StartedLocal;  ///< "2026-12-07T04:21:36+01:00"
  std::string StartedUtc;    ///< "2026-12-07T03:21:36Z"
  TrialSource Source;
  nlohmann::json Detector = nlohmann::json::object();  ///< camera/video detector settings
  std::string ProgramVersion;
  std::string PoolSetupSha256;        ///< of the pool setup the trial ran with
  std::string ExperimentSetupSha256;  ///< of the experiment setup it ran with
  std::string EndStatus;              ///< "Hit Goal", "Timed Out", "Aborted"
  std::string RawSha256;              ///< of the raw file's bytes as written at the end
  std::optional<TrialQualityRecord> Quality;
  std::optional<RealignmentRecord> Realigned;
  std::string RecoveryFile;  ///< where the samples went when the raw file could not be written
  nlohmann::json Other = nlohmann::json::object();
};

/// One row of the experiment's trial list (the per-trial variables).
struct TrialListEntry {
  std::string Subject;
  std::string Group;
  std::string Treatment;
  std::string StartPosition;
  std::string PlatformPosition;
  nlohmann::json Other = nlohmann::json::object();
};

/// Which video holds which subject, and the checksum of each recorded video.
struct VideoMappingEntry {
  std::string Subject;
  std::string VideoPath;
  std::string VideoSha256;
  nlohmann::json Other = nlohmann::json::object();
};

/// Where an imported track came from.
struct ImportedTrackSource {
  std::string SourceFile;
  std::string Format;
  std::string BodyPart;
  std::string SourceSha256;
  nlohmann::json Other = nlohmann::json::object();
};

/// The whole record of one experiment.
struct ExperimentProvenance {
  int Format = kProvenanceFormat;
  std::string Experiment;                         ///< the data file's name (WEEK1.EXP)
  std::string UpdatedUtc;                         ///< when the record was last written
  std::map<std::string, TrialProvenance> Trials;  ///< by raw file name ("WEEK102.RAW")
  std::vector<TrialListEntry> TrialList;
  std::vector<VideoMappingEntry> Videos;
  std::map<std::string, ImportedTrackSource> ImportedTracks;  ///< by raw file name
  nlohmann::json Other = nlohmann::json::object();            ///< top-level members kept unread

  /// The trial stored under the raw file's name (the name compared without regard to
  /// case: data copied from Windows keeps working); nullptr when none.
  const TrialProvenance* FindTrial(std::string_view rawFileName) const;
};

/// A trial's provenance as tables and JSON output show it: the source kind ("serial",
/// "simulated", "camera", "video", "imported"), the UTC start and the video's checksum.
/// Each says "unknown" when the record (or that field of it) is missing, never a guess;
/// the checksum says "none" for a trial whose source is not a video (a camera trial's
/// recorded video gives its own).
struct ProvenanceColumns {
  std::string Source;
  std::string RecordedAtUtc;
  std::string VideoSha256;
};
ProvenanceColumns ProvenanceColumnsOf(const TrialProvenance* trial);

/// The record's file: the data file's stem + ".provenance.json".
std::filesystem::path ProvenanceFile(const std::filesystem::path& dataFile);

/// The record as JSON text (two-space indented, members in a fixed order, a final LF).
std::string FormatProvenance(const ExperimentProvenance& record);

/// Reads a record from text. False with `problem` set when it is not a record (not JSON,
/// not an object, a member of the wrong type); `record` then holds what could be read.
bool ParseProvenance(std::string_view text, ExperimentProvenance& record, std::string* problem = nullptr);

/// What reading an experiment's record found.
struct ProvenanceLoad {
  enum class State { Absent, Read, Damaged } Status = State::Absent;
  ExperimentProvenance Record;
  std::string Problem;  ///< for Damaged: "WEEK1.provenance.json is damaged (…)"
};

/// Reads the record of `dataFile`'s experiment. Never fails: a missing file is Absent, a
/// damaged one Damaged with an empty or partial Record. With `listing` (of the data file's
/// folder, read a moment before) the record is looked for among its entries.
ProvenanceLoad LoadProvenance(const std::filesystem::path& dataFile, const FolderListing* listing = nullptr);

/// Writes the record atomically. False with `error` set when it cannot be written.
bool SaveProvenance(const std::filesystem::path& dataFile, const ExperimentProvenance& record,
                    std::string* error = nullptr);

/// Reads, changes and writes the record in one step: the way every command adds to it. A
/// damaged record is renamed to "<name>.damaged" (kept for a person to look at) and a new
/// one is started; `problem` (when given) then says so. The data file's name and the time
/// are set before writing. False when the record cannot be written.
bool UpdateProvenance(const std::filesystem::path& dataFile,
                      const std::function<void(ExperimentProvenance&)>& change,
                      std::string* problem = nullptr);

/// A time as the record stores it: UTC "2026-12-07T03:21:36Z" and local
/// "2026-12-07T04:21:36+01:00" (the zone of the machine).
std::string UtcTimestamp(int64_t unixSeconds);
std::string LocalTimestamp(int64_t unixSeconds);

/// The SHA-256 of a file's bytes, or empty when it cannot be read.
std::string FileSha256(const std::filesystem::path& file);

}  // namespace tarnwell
