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

/// The naming rule of a folder of videos when none is given: the name is the subject's ID.
inline constexpr const char* kDefaultVideoNameRule = "{id}";

/// A folder of videos as a list: each video (.avi, .mp4, .mkv, .mov, .mpg, .mpeg, .m4v,
/// .wmv, .webm, in any case) whose name without its extension fits `rule` for a subject,
/// in the subjects' order, its line naming the subject as ReadVideoList's do (line 0).
/// In the rule `{id}` stands for the subject's ID, `{n}` for its number from 1 (with or
/// without leading zeros: "{n}" fits 7, 07 and 007 for the seventh) and `*` for any text;
/// everything else must be there as written, letters in either case. So "{id}" takes
/// RAT01.avi for subject RAT01, "week1_{id}_*" takes week1_RAT01_cam2.mp4, "trial{n}"
/// takes trial03.avi for the third subject. Videos that fit no subject are named in
/// `unmatched` (files only, in name order). False with the reason in `error` when the
/// folder cannot be read, the rule has neither `{id}` nor `{n}`, a video fits two
/// subjects or two videos fit one.
bool ReadVideoFolder(const std::filesystem::path& folder, const std::string& rule,
                     const std::vector<std::string>& ids, std::vector<VideoListLine>& lines,
                     std::vector<std::string>& unmatched, std::string& error);

}  // namespace tarnwell
