// The pool setup file (.POL): the text form of PoolSetup, and DEFAULT.POL in the home
// folder, which holds the last used pool. One title line, then one `key = value` line per
// field, read by the key-line rule of core/key_line.h so that files edited by hand (other
// case, other spacing, extra lines) still load.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "pool/pool_setup.h"

namespace tarnwell {

class FolderListing;  // core/file_access.h

// "[Windows Tarnwell Pool Setup]": the line that starts the pool's section of a file.
std::string PoolSetupTitleLine();

// Whether text starting with these bytes is a setup file of this generation: it begins
// with "[" followed by "Windows Tarnwell". Anything else offered to the pool loader is an
// old binary record for the legacy conversion.
bool StartsWithCurrentSetupHeader(std::string_view leadingBytes);

// The 30 lines of the file, each ending in CR LF. Singles are written in the shortest form
// that reads back to the same value, so writing and reading give the same pool.
std::string FormatPoolSetupText(const PoolSetup& pool);

// Reads the lines of a pool setup into `pool`: lines before the title line are skipped,
// every later line that matches a key sets its field (a key given twice: the later line
// wins), fields without a line keep their values. Ring radii are recomputed in any case.
// Takes any bytes. Returns whether the title line was found; when it was not, nothing but
// the ring radii changed.
bool ReadPoolSetupText(std::string_view text, PoolSetup& pool);

// Fills `pool` from the file at `path` (or, when no file has that exact name, from the one
// entry of its folder whose name matches case-insensitively), then recomputes the ring
// radii. False when the file does not exist or cannot be read; the pool is then unchanged.
// With `folder` (a listing of the file's folder) the file is found and opened through it.
bool ReadPoolSetupFile(const std::filesystem::path& path, PoolSetup& pool, const FolderListing* folder = nullptr);

// Writes `pool` to `path`. overwrite true replaces the file as a whole (through a temporary
// file and a rename, so a failure never leaves a truncated setup; a read-only file is made
// writable first); false appends to it. False, with the reason in `error` when given, when
// nothing could be written.
bool WritePoolSetupFile(const std::filesystem::path& path, const PoolSetup& pool, bool overwrite = true,
                        std::string* error = nullptr);

// DEFAULT.POL in the program's (home) folder.
std::filesystem::path DefaultPoolFile(const std::filesystem::path& programFolder);

// What the Load command found in the file the operator chose.
enum class PoolLoadStatus {
  Loaded,                 // a pool setup of this generation, read into the pool
  Missing,                // no such file, or it cannot be read; the pool is unchanged
  NeedsLegacyConversion,  // an old binary record: the caller hands the path to the legacy
                          // conversion, which takes the pool from it; the pool is unchanged
};

// The Load command's reading step: a setup file of this generation is read with
// ReadPoolSetupFile, any other existing file is left to the legacy conversion. A text file
// that carries the pool title line as a line of its own, after other text, is read as a
// pool setup too rather than decoded as a binary record.
PoolLoadStatus LoadPoolSetupFile(const std::filesystem::path& path, PoolSetup& pool);

// The start-up pool: the defaults, then DEFAULT.POL of the program's folder over them.
// Returns whether DEFAULT.POL was read (when it was not, the defaults stand). `folder`
// (optional): the program folder as the start-up listed it.
bool LoadStartUpPool(const std::filesystem::path& programFolder, PoolSetup& pool,
                     const FolderListing* folder = nullptr);

}  // namespace tarnwell
