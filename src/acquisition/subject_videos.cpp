#include "acquisition/subject_videos.h"

#include <algorithm>

#include "tracker/video_unit.h"

namespace tarnwell {

TrialSource VideoTrialSource(const std::filesystem::path& video) {
  TrialSource source;
  source.Kind = TrialSourceKind::Video;
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(video, ec).lexically_normal();
  source.VideoPath = file.string();
  const auto size = std::filesystem::file_size(file, ec);
  if (!ec) source.VideoSize = size;
  source.VideoSha256 = FileSha256(file);
  return source;
}

SubjectVideos::SubjectVideos(VideoUnit& unit, Opener open) : unit_(unit), open_(std::move(open)) {
  source_.Kind = TrialSourceKind::Video;
}

void SubjectVideos::SetList(std::vector<VideoListLine> lines, std::string origin) {
  active_ = true;
  lines_ = std::move(lines);
  folder_.clear();
  rule_.clear();
  origin_ = std::move(origin);
}

void SubjectVideos::SetFolder(std::filesystem::path folder, std::string rule) {
  active_ = true;
  lines_.clear();
  folder_ = std::move(folder);
  rule_ = rule.empty() ? kDefaultVideoNameRule : std::move(rule);
  origin_ = "the folder " + folder_.string() + " (named " + rule_ + ")";
}

bool SubjectVideos::Lines(const std::vector<std::string>& ids, std::vector<VideoListLine>& lines,
                          std::string& error, std::vector<std::string>* unmatched) const {
  if (folder_.empty()) {
    lines = lines_;
    return true;
  }
  std::vector<std::string> left;
  lines.clear();
  const bool read = ReadVideoFolder(folder_, rule_, ids, lines, left, error);
  if (unmatched != nullptr) *unmatched = std::move(left);
  return read;
}

std::string SubjectVideos::PrepareTrial(int subject, const std::vector<std::string>& ids) {
  if (!active_) return {};  // one video for every subject
  std::vector<VideoListLine> lines;
  std::string error;
  if (!Lines(ids, lines, error))
    return "The videos of " + origin_ + "\ncannot be given to the subjects:\n" + error + ".";
  std::string video;
  for (const VideoListLine& line : lines) {
    if (VideoListSubject(line.subject, ids) != subject) continue;
    video = line.video;
    break;
  }
  if (video.empty()) {
    const std::string id =
        subject >= 0 && subject < static_cast<int>(ids.size()) ? ids[static_cast<std::size_t>(subject)] : "";
    return "There is no video for subject " + std::to_string(subject + 1) + " (" + id + ")\nin " + origin_ +
           ".";
  }
  std::unique_ptr<PositionSource> next = open_ ? open_(video, error) : nullptr;
  if (!next) return error.empty() ? "The video\n" + video + "\ncannot be opened." : error;
  unit_.SetSource(std::move(next));
  source_ = VideoTrialSource(video);
  return {};
}

}  // namespace tarnwell

namespace tarnwell {

bool ChooseVideoFolder(Operator& op, SubjectVideos& videos, const std::vector<std::string>& ids,
                       const std::string& startFolder) {
  const std::optional<std::string> folder = op.AskDirectory(
      "Folder of the subjects' videos", videos.Folder().empty() ? startFolder : videos.Folder().string());
  if (!folder || folder->empty()) return false;
  const std::optional<std::string> rule = op.AskText(
      "How the videos are named (without the extension):\n{id} the subject's ID, {n} its number,\n* any "
      "text. "
      "Example: week1_{id}_*",
      "Video Names", videos.Rule().empty() ? kDefaultVideoNameRule : videos.Rule());
  if (!rule) return false;
  const std::string ruleText = rule->empty() ? kDefaultVideoNameRule : *rule;
  std::vector<VideoListLine> lines;
  std::vector<std::string> unmatched;
  std::string error;
  if (!ReadVideoFolder(*folder, ruleText, ids, lines, unmatched, error)) {
    op.ShowMessage("The videos cannot be given to the subjects:\n" + error + ".", "Subject Videos",
                   MessageIcon::Exclamation);
    return false;
  }
  if (lines.empty()) {
    op.ShowMessage(
        "No video in\n" + *folder + "\nis named \"" + ruleText + "\" for a subject of the experiment.",
        "Subject Videos", MessageIcon::Exclamation);
    return false;
  }
  videos.SetFolder(*folder, ruleText);
  std::string text = std::to_string(lines.size()) + " of " + std::to_string(ids.size()) +
                     " subjects have a video; each subject's trial plays its own.";
  std::vector<std::string> without;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    bool has = false;
    for (const VideoListLine& line : lines)
      has = has || VideoListSubject(line.subject, ids) == static_cast<int>(i);
    if (!has) without.push_back(ids[i]);
  }
  const auto listed = [](const std::vector<std::string>& names) {
    std::string joined;
    const std::size_t shown = std::min<std::size_t>(names.size(), 10);
    for (std::size_t i = 0; i < shown; ++i) joined += (i > 0 ? ", " : "") + names[i];
    if (names.size() > shown) joined += " and " + std::to_string(names.size() - shown) + " more";
    return joined;
  };
  if (!without.empty()) text += "\nWithout a video (not run): " + listed(without) + ".";
  if (!unmatched.empty()) text += "\nVideos that fit no subject: " + listed(unmatched) + ".";
  op.ShowMessage(text, "Subject Videos", MessageIcon::Information);
  return true;
}

}  // namespace tarnwell
