// The raw track file: one trial's samples, two bytes each (X, then Y), in the order they
// arrived, with no header and no terminator. Y = 255 marks a sample in which the unit
// saw no animal. Coordinates are stored as the unit delivered them; readers scale Y.
//
// An experiment's raw files are named from the stem of its data file: the stem, the
// subject's 0-based index as two digits, ".RAW" (WEEK1.EXP, third subject: WEEK102.RAW).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

class FolderListing;  // core/file_access.h

/// One stored sample: the X and Y bytes as written.
struct RawSample {
  uint8_t X = 0;
  uint8_t Y = 0;
  friend bool operator==(const RawSample&, const RawSample&) = default;
};

/// Packs a position for storage. Each coordinate is clamped to 0..255 (a sample of
/// X = 300, Y = -5 is stored as 255, 0), so a stray value can never spill into the
/// neighbouring byte.
RawSample PackRawSample(int x, int y);

/// The two bytes of a packed sample, X first (the little-endian word Y × 256 + X).
inline void AppendRawSampleBytes(std::string& bytes, RawSample sample) {
  bytes.push_back(static_cast<char>(sample.X));
  bytes.push_back(static_cast<char>(sample.Y));
}

/// A recorded track in memory.
struct RawTrack {
  std::vector<RawSample> Samples;
  /// The file ended in half a sample (a trial cut off mid-write); the odd byte was
  /// dropped. Reported so that a tool can warn; the analysis ignores it.
  bool HadOddByte = false;
  friend bool operator==(const RawTrack&, const RawTrack&) = default;
};

/// The complete samples of any byte sequence; a trailing odd byte is ignored.
RawTrack ParseRawTrack(std::string_view bytes);

/// The file form of a track: two bytes per sample.
std::string SerializeRawTrack(const RawTrack& track);

/// Reads a raw track file (found case-insensitively in its folder, as data copied from
/// Windows may be named in any case). False when it does not exist or cannot be read;
/// the track is then empty.
bool ReadRawTrack(const std::filesystem::path& file, RawTrack& track);

/// Hands every whole sample of a raw track file to `visit`, in order, reading the file in
/// pieces, so a track of any length is never held in memory at once. The file is found
/// as ReadRawTrack finds it. False when it does not exist or cannot be read.
bool ForEachRawSample(const std::filesystem::path& file, const std::function<void(RawSample)>& visit);

/// Writes a raw track file through a temporary file and a rename, so an older file of
/// that name is replaced whole or not at all.
bool WriteRawTrack(const std::filesystem::path& file, const RawTrack& track, std::string* error = nullptr);

/// The stem of a data file: its full path without the extension. The extension is cut
/// at the last "." of the file's own name; a name without "." is its own stem. (A dot in
/// a folder name never counts: cutting there would put an experiment's files into
/// another folder under a mangled name.)
std::filesystem::path DataFileStem(const std::filesystem::path& dataFile);

/// The subject's numbered raw file: stem + index as at least two digits + ".RAW"
/// (EXP1.CSV: subject 0 gives EXP100.RAW, subject 10 EXP110.RAW).
std::filesystem::path NumberedRawFile(const std::filesystem::path& dataFile, int subjectIndex);

/// The plain raw file: stem + ".RAW" (deleted at the end of every experiment).
std::filesystem::path PlainRawFile(const std::filesystem::path& dataFile);

/// The subject index a numbered raw file's name carries, for the experiment of
/// `dataFile`: WEEK102.RAW gives 2 for WEEK1.EXP. The name must be the stem's file name,
/// exactly two digits and ".RAW", compared without regard to case; -1 otherwise.
int SubjectIndexOfRawFile(const std::filesystem::path& dataFile, const std::filesystem::path& rawFile);

/// One of an experiment's numbered raw files.
struct NumberedRawFileEntry {
  int SubjectIndex = 0;
  std::filesystem::path File;
  friend bool operator==(const NumberedRawFileEntry&, const NumberedRawFileEntry&) = default;
};

/// The experiment's numbered raw files (stem + "??.RAW", case-insensitive) in its data
/// file's folder, in subject order. Each carries the index from its own name, so a
/// missing file never shifts another subject's label. With `listing` (of that folder,
/// read a moment before) the folder is not read again.
std::vector<NumberedRawFileEntry> ListNumberedRawFiles(const std::filesystem::path& dataFile,
                                                       const FolderListing* listing = nullptr);
/// Whether that list would hold any file, without making it: the check before a command
/// that lists them again for its work.
bool HasNumberedRawFiles(const std::filesystem::path& dataFile, const FolderListing* listing = nullptr);

}  // namespace tarnwell
