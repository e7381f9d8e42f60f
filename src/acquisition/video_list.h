// The mapping of trial videos to subjects: the list of `tarnwell-cli track --list` and of
// `tarnwell --video-list`. One line per video: its path (relative to the list's folder)
// and, after a blank, the subject's ID or its number counted from 1. Empty lines and lines
// starting with "#" are skipped.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

struct VideoListLine {
  std::string video;    // the path as given, made absolute against the list's folder
  std::string subject;  // the subject's ID or number, as written
  int line = 0;         // its line in the list, from 1
};

/// The lines of `list`; false with the reason in `error` when it cannot be read or a line
/// names no subject.
bool ReadVideoList(const std::filesystem::path& list, std::vector<VideoListLine>& lines, std::string& error);

/// The subject (from 0) a list names: its ID, else its number from 1.
std::optional<int> VideoListSubject(const std::string& word, const std::vector<std::string>& ids);

}  // namespace tarnwell
