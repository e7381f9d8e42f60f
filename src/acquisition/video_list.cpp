#include "acquisition/video_list.h"
#include "core/text.h"

#include <algorithm>
#include <cctype>
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

namespace tarnwell {

namespace {

bool IsVideoFile(const std::filesystem::path& file) {
  const std::string extension = ToLowerAscii(file.extension().string());
  for (const char* known : {".avi", ".mp4", ".mkv", ".mov", ".mpg", ".mpeg", ".m4v", ".wmv", ".webm"}) {
    if (extension == known) return true;
  }
  return false;
}

bool SameLetter(char a, char b) {
  return ToLowerAscii(a) == ToLowerAscii(b);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// One piece of a naming rule.
struct RulePiece {
  enum Kind { Text, Id, Number, Any } kind = Text;
  std::string text;
};

std::vector<RulePiece> ParseRule(const std::string& rule) {
  std::vector<RulePiece> pieces;
  std::size_t i = 0;
  auto text = [&pieces](char c) {
    if (pieces.empty() || pieces.back().kind != RulePiece::Text) pieces.push_back({RulePiece::Text, ""});
    pieces.back().text += c;
  };
  while (i < rule.size()) {
    if (rule.compare(i, 4, "{id}") == 0) {
      pieces.push_back({RulePiece::Id, ""});
      i += 4;
    } else if (rule.compare(i, 3, "{n}") == 0) {
      pieces.push_back({RulePiece::Number, ""});
      i += 3;
    } else if (rule[i] == '*') {
      if (pieces.empty() || pieces.back().kind != RulePiece::Any) pieces.push_back({RulePiece::Any, ""});
      ++i;
    } else {
      text(rule[i++]);
    }
  }
  return pieces;
}

// Whether `name` from `at` on fits pieces[p..] for the subject with `id` and `number`.
bool Fits(const std::vector<RulePiece>& pieces, std::size_t p, const std::string& name, std::size_t at,
          const std::string& id, int number) {
  if (p == pieces.size()) return at == name.size();
  const RulePiece& piece = pieces[p];
  switch (piece.kind) {
    case RulePiece::Text:
    case RulePiece::Id: {
      const std::string& want = piece.kind == RulePiece::Text ? piece.text : id;
      if (want.empty() || name.size() - at < want.size()) return false;
      for (std::size_t k = 0; k < want.size(); ++k) {
        if (!SameLetter(name[at + k], want[k])) return false;
      }
      return Fits(pieces, p + 1, name, at + want.size(), id, number);
    }
    case RulePiece::Number: {
      // All the digits there are: "trial12" is never subject 1 followed by "2".
      std::size_t end = at;
      while (end < name.size() && IsDigit(name[end])) ++end;
      if (end == at) return false;
      long long value = 0;
      for (std::size_t k = at; k < end && value <= number; ++k) value = value * 10 + (name[k] - '0');
      return value == number && Fits(pieces, p + 1, name, end, id, number);
    }
    case RulePiece::Any:
      for (std::size_t end = at; end <= name.size(); ++end) {
        if (Fits(pieces, p + 1, name, end, id, number)) return true;
      }
      return false;
  }
  return false;
}

}  // namespace

bool ReadVideoFolder(const std::filesystem::path& folder, const std::string& rule,
                     const std::vector<std::string>& ids, std::vector<VideoListLine>& lines,
                     std::vector<std::string>& unmatched, std::string& error) {
  const std::vector<RulePiece> pieces = ParseRule(rule);
  bool namesSubject = false;
  for (const RulePiece& piece : pieces)
    namesSubject = namesSubject || piece.kind == RulePiece::Id || piece.kind == RulePiece::Number;
  if (!namesSubject) {
    error = "the naming rule \"" + rule + "\" names no subject: give {id} (the subject's ID) or {n} (its number)";
    return false;
  }
  std::vector<std::filesystem::path> videos;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && IsVideoFile(it->path())) videos.push_back(it->path());
  }
  if (ec) {
    error = "cannot read the folder " + folder.string() + " (" + ec.message() + ")";
    return false;
  }
  std::sort(videos.begin(), videos.end());
  std::vector<std::optional<std::filesystem::path>> bySubject(ids.size());
  for (const std::filesystem::path& video : videos) {
    const std::string name = video.stem().string();
    std::optional<int> fitted;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (!Fits(pieces, 0, name, 0, ids[i], static_cast<int>(i + 1))) continue;
      if (fitted) {
        error = "the video " + video.filename().string() + " fits both subject " + ids[*fitted] + " and " +
                ids[i] + " by the rule \"" + rule + "\"";
        return false;
      }
      fitted = static_cast<int>(i);
    }
    if (!fitted) {
      unmatched.push_back(video.filename().string());
      continue;
    }
    auto& slot = bySubject[static_cast<std::size_t>(*fitted)];
    if (slot) {
      error = "subject " + ids[static_cast<std::size_t>(*fitted)] + " is given two videos by the rule \"" + rule +
              "\": " + slot->filename().string() + " and " + video.filename().string();
      return false;
    }
    slot = video;
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (!bySubject[i]) continue;
    // The line names the subject so that VideoListSubject finds this one: by its ID,
    // unless an earlier subject has the same ID; then by its number.
    const int index = static_cast<int>(i);
    const std::string word = VideoListSubject(ids[i], ids) == index ? ids[i] : std::to_string(i + 1);
    lines.push_back({bySubject[i]->string(), word, 0});
  }
  return true;
}

}  // namespace tarnwell
