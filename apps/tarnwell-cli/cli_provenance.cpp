#include "cli_provenance.h"

#include <filesystem>
#include <system_error>

#include "tracker/video_unit.h"

namespace tarnwell::cli {

TrialSourceProvider SerialSource(const std::string& device) {
  TrialSourceState state;
  state.Source.Kind = TrialSourceKind::SerialUnit;
  state.Source.Port = device;
  return [state] { return state; };
}

TrialSourceProvider SimulatedSource(uint64_t seed) {
  TrialSourceState state;
  state.Source.Kind = TrialSourceKind::SimulatedUnit;
  state.Source.Seed = seed;
  return [state] { return state; };
}

TrialSourceProvider PictureSource(const Program& program, bool camera, const std::string& path,
                                  UnitConnection& connection) {
  TrialSourceState state;
  const SystemSettings& s = program.settings;
  if (camera) {
    state.Source.Kind = TrialSourceKind::Camera;
    state.Source.Device = path;
  } else {
    state.Source.Kind = TrialSourceKind::Video;
    const std::filesystem::path file = std::filesystem::absolute(path).lexically_normal();
    state.Source.VideoPath = file.string();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error) state.Source.VideoSize = static_cast<uint64_t>(size);
    state.Source.VideoSha256 = FileSha256(file);
  }
  state.Detector = {{"light_animal", s.VideoInverted},
                    {"object_filter", s.ObjectFilter},
                    {"pool_circle_x", s.VideoPoolX},
                    {"pool_circle_y", s.VideoPoolY},
                    {"pool_circle_radius", s.VideoPoolRadius},
                    {"video_type", s.VideoType == 1 ? "PAL" : "NTSC"},
                    {"threshold", s.VideoThreshold},
                    {"min_area", s.VideoMinArea},
                    {"max_area", s.VideoMaxArea},
                    {"background", "from the video"}};
  auto* unit = dynamic_cast<VideoUnit*>(connection.Unit());
  return [state, unit]() mutable {
    if (unit != nullptr) {
      if (state.Source.Kind == TrialSourceKind::Video)
        state.Source.FirstFrame = static_cast<int64_t>(unit->FramesSent());
      state.SourceEnded = state.Source.Kind == TrialSourceKind::Video && unit->SourceEnded();
    }
    return state;
  };
}

}  // namespace tarnwell::cli
