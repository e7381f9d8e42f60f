// What the commands that record trials (run, track) share: the length of a recorded track.
#pragma once

#include <filesystem>
#include <system_error>

namespace tarnwell::cli {

// Samples in a raw track file (0 when it cannot be read).
inline std::size_t TrackSamples(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  return error ? 0 : static_cast<std::size_t>(size / 2);
}

}  // namespace tarnwell::cli
