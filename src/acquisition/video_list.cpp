#include "acquisition/video_list.h"

#include <charconv>

#include "core/file_access.h"

namespace tarnwell {

bool ReadVideoList(const std::filesystem::path& list, std::vector<VideoListLine>& lines, std::string& error) {
  std::string whole;
  if (!ReadWholeFile(list, whole)) {
    error = "cannot read the list " + list.string();
    return false;
  }
  int number = 0;
  // CR LF, LF and a lone CR (an old Mac editor) all end a line.
  for (const std::string& text : SplitLines(whole)) {
    ++number;
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') continue;
    const std::size_t last = text.find_last_not_of(" \t");
    const std::size_t split = text.find_last_of(" \t", last);
    if (split == std::string::npos || split < first) {
      error = list.string() + " line " + std::to_string(number) + ": give a video and a subject";
      return false;
    }
    const std::size_t videoEnd = text.find_last_not_of(" \t", split);
    std::filesystem::path video = text.substr(first, videoEnd - first + 1);
    if (video.is_relative()) video = list.parent_path() / video;
    lines.push_back({video.string(), text.substr(split + 1, last - split), number});
  }
  return true;
}

std::optional<int> VideoListSubject(const std::string& word, const std::vector<std::string>& ids) {
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] == word) return static_cast<int>(i);
  }
  long long number = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), number);
  if (ec == std::errc() && end == word.data() + word.size() && number >= 1 &&
      number <= static_cast<long long>(ids.size()))
    return static_cast<int>(number - 1);
  return std::nullopt;
}

}  // namespace tarnwell
