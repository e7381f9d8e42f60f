// One recorded video per subject, played into the video unit as each subject's trial
// starts (the desktop's --video-list and --video-folder): the next subject's trial starts
// at its own video's first frame, never where the last one left off, and a subject
// without a video is not run.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/video_list.h"
#include "core/operator.h"
#include "records/provenance.h"
#include "tracker/position_source.h"

namespace tarnwell {

class VideoUnit;

/// A video file as the provenance record names a trial's source: its absolute path, size
/// and checksum.
TrialSource VideoTrialSource(const std::filesystem::path& video);

class SubjectVideos {
 public:
  /// Opens a video as the unit's eyes; nothing, with the operator's message, when it
  /// cannot be opened.
  using Opener = std::function<std::unique_ptr<PositionSource>(const std::string& video, std::string& error)>;

  /// No mapping yet: the unit plays one video for every subject until one is given.
  SubjectVideos(VideoUnit& unit, Opener open);

  /// The videos of a list (ReadVideoList's lines); `origin` names the list in messages.
  void SetList(std::vector<VideoListLine> lines, std::string origin);
  /// The videos of a folder by a naming rule (ReadVideoFolder), looked at again before
  /// every trial, so that videos copied in meanwhile and a changed subject list count.
  void SetFolder(std::filesystem::path folder, std::string rule);
  /// A mapping has been given.
  bool IsActive() const { return active_; }
  const std::filesystem::path& Folder() const { return folder_; }
  const std::string& Rule() const { return rule_; }

  /// The mapping for the subjects `ids`; false with the reason when a folder's videos
  /// cannot be mapped. `unmatched` (when given) gets a folder's videos that fit no subject.
  bool Lines(const std::vector<std::string>& ids, std::vector<VideoListLine>& lines, std::string& error,
             std::vector<std::string>* unmatched = nullptr) const;

  /// Before the trial of `subject` (RunController::prepareTrial): the unit is given the
  /// subject's video from its first frame. Empty when it was; else why the trial cannot
  /// run, in the operator's words.
  std::string PrepareTrial(int subject, const std::vector<std::string>& ids);
  /// The video the unit plays now, as the provenance record names it.
  const TrialSource& Source() const { return source_; }

 private:
  VideoUnit& unit_;
  Opener open_;
  bool active_ = false;
  std::vector<VideoListLine> lines_;  // a list's
  std::filesystem::path folder_;      // or a folder's, by rule_
  std::string rule_;
  std::string origin_;
  TrialSource source_;
};

/// The operator gives a folder of videos and its naming rule (System Setup's "Subject
/// Videos..."): the folder is asked for (starting at `startFolder`), then the rule (the
/// current one, else "{id}"); the videos are mapped to the subjects `ids` and the operator
/// is told which subjects got a video and which videos fit none. True when the mapping
/// was taken; false when the operator cancelled, or nothing fits (told why; the mapping
/// stays as it was).
bool ChooseVideoFolder(Operator& op, SubjectVideos& videos, const std::vector<std::string>& ids,
                       const std::string& startFolder);

}  // namespace tarnwell
