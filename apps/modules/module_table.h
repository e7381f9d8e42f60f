// What a program module offers: command-line commands and services (a video source, the
// study's PDF). See core/module_paths.h for where modules are found, module_opener.h for
// how they are opened, README "Adding a command" for how to add to one.
//
// A module and the programs are built together from one tree, so the table is plain C++;
// `interfaceVersion` guards against a stale module file left in the folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/module_paths.h"
#include "core/system_settings.h"
#include "modules/module_opener.h"
#include "pool/pool_setup.h"
#include "tracker/position_source.h"

namespace tarnwell {

class StudyAggregator;

// Raised whenever ModuleTable changes its layout.
inline constexpr int kModuleInterfaceVersion = 2;

// A tarnwell-cli command: the home of --home (empty: the default home) and the command's
// own arguments; returns the exit status (0 success, 1 failure, 2 usage error).
using ModuleCommandFn = int (*)(const std::string& home, const std::vector<std::string>& args);

struct ModuleCommand {
  const char* name;
  ModuleCommandFn run;
};

// What a camera or a recorded video is opened with. Plain numbers, so that asking needs
// none of the video library's headers.
struct VideoSourceRequest {
  bool camera = false;
  std::string path;  // the device or the file
  // The pool's circle in the frame, pixels; a radius of 0 makes the whole picture the view.
  double calibrationX = 0, calibrationY = 0, calibrationRadius = 0;
  // The pool in tracker units and the aspect factor of the settings.
  double poolX = 0, poolY = 0, poolRadius = 1, aspectFactor = 1;
  // A recording only: where the trial starts and ends, in seconds of the video.
  double startSeconds = 0;
  bool startAtFirstMovement = false;
  double endSeconds = 0;  // 0: to the end
  // The detector's tuning (Default.SET's Video Threshold, Min Area, Max Area, or a
  // command's options); 0: automatic.
  int threshold = 0;
  int minimumArea = 0;
  int maximumArea = 0;
  // A picture of the empty pool as the background; empty: made from the video itself.
  std::string backgroundImage;
  // A recording only: its first seconds show the pool without the animal.
  double emptySeconds = 0;
  // A recording only: a PNG of sampled frames with the positions found, written at the end.
  std::string previewPath;
  // Told what the operator should know that is no error (a calibration found by itself).
  std::function<void(const std::string&)> notice;
};

// What `tarnwell-cli calibrate` asks of the video module: a still picture of the camera or
// the video, the pool's rim found on it (or the circle given), and that picture as a PNG
// with the circle drawn.
struct VideoCalibrationRequest {
  bool camera = false;
  std::string path;
  bool circleGiven = false;
  double circleX = 0, circleY = 0, circleRadius = 0;  // pixels, when given
};

struct VideoCalibrationResult {
  double circleX = 0, circleY = 0, circleRadius = 0;  // pixels, to a tenth
  int width = 0, height = 0;                          // of the picture
  std::vector<uint8_t> png;                           // the picture with the circle
};

// The request for a camera or a video with the settings' calibration and the pool (a pool
// radius under 1 counts as 1, as the mapping divides by it).
inline VideoSourceRequest VideoRequestFor(const SystemSettings& settings, const PoolSetup& pool, bool camera,
                                          const std::string& path) {
  VideoSourceRequest request;
  request.camera = camera;
  request.path = path;
  request.calibrationX = settings.VideoPoolX;
  request.calibrationY = settings.VideoPoolY;
  request.calibrationRadius = settings.VideoPoolRadius;
  request.poolX = pool.X;
  request.poolY = pool.Y;
  request.poolRadius = pool.Radius >= 1.0f ? pool.Radius : 1.0;
  request.aspectFactor = AspectFactor(settings);
  request.threshold = settings.VideoThreshold;
  request.minimumArea = settings.VideoMinArea;
  request.maximumArea = settings.VideoMaxArea;
  return request;
}

// Nothing, with the operator's message in `error`, when the source cannot be opened.
using OpenVideoSourceFn = std::unique_ptr<PositionSource> (*)(const VideoSourceRequest& request,
                                                                std::string& error);
// False, with the operator's message in `error`, when the source gives no picture or no rim
// is found on it.
using CalibrateVideoFn = bool (*)(const VideoCalibrationRequest& request, VideoCalibrationResult& result,
                                  std::string& error);
using WriteStudyPdfFn = bool (*)(const StudyAggregator& aggregate, const std::string& title,
                                 const std::filesystem::path& pdf, std::string& error);

struct ModuleTable {
  int interfaceVersion = kModuleInterfaceVersion;
  // tarnwell-cli commands this module runs (each also listed in cli_commands.cpp with the
  // module's name, so that usage and help need no module).
  std::vector<ModuleCommand> commands;
  // Services; nullptr where the module has none.
  OpenVideoSourceFn openVideoSource = nullptr;
  WriteStudyPdfFn writeStudyPdf = nullptr;
  CalibrateVideoFn calibrateVideo = nullptr;
};

// A module by name, with what a build without it lacks (for the message).
struct ModuleInfo {
  const char* name;
  const char* provides;
};
// Qt's drawing and printing: tarnwell-cli print, the study's PDF.
inline constexpr ModuleInfo kPagesModule{"pages", "PDF output"};
// OpenCV and FFmpeg: a camera or a recorded video as the unit.
inline constexpr ModuleInfo kVideoModule{"video", "video tracking"};
// libzip, expat and libhdf5: tarnwell-cli import (.xlsx and HDF5 tracks among the others).
inline constexpr ModuleInfo kImportModule{"import", "importing tracks"};

// The table of `module`; nullptr when it cannot be had, with "PDF output is not available
// in this build (why)" in `error`.
inline const ModuleTable* LoadModule(const ModuleInfo& module, std::string& error) {
  std::string reason;
  void* entry = FindModuleEntry(module.name, reason);
  const ModuleTable* table = nullptr;
  if (entry != nullptr) {
    table = reinterpret_cast<const ModuleTable* (*)()>(entry)();
    if (table == nullptr || table->interfaceVersion != kModuleInterfaceVersion) {
      reason = "the module " + ModuleFileName(module.name) + " belongs to another version of the program";
      table = nullptr;
    }
  }
  if (table == nullptr) error = std::string(module.provides) + " is not available in this build (" + reason + ")";
  return table;
}

// The camera or video of `request` through the video module; nothing, with the message in
// `error` (the module's absence included), when it cannot be opened.
inline std::unique_ptr<PositionSource> OpenModuleVideoSource(const VideoSourceRequest& request, std::string& error) {
  const ModuleTable* module = LoadModule(kVideoModule, error);
  if (module == nullptr) return nullptr;
  if (module->openVideoSource == nullptr) {
    error = std::string(kVideoModule.provides) + " is not available in this build";
    return nullptr;
  }
  return module->openVideoSource(request, error);
}

}  // namespace tarnwell

// Defines module NAME's entry point; its body returns the module's table:
//   TARNWELL_MODULE_ENTRY(pages) {
//     static const ModuleTable table = [] {
//       ModuleTable t;
//       t.commands = {{"print", RunPrint}};
//       t.writeStudyPdf = WriteStudyPdf;
//       return t;
//     }();
//     return &table;
//   }
#define TARNWELL_MODULE_ENTRY(NAME) \
  extern "C" __attribute__((visibility("default"), used)) const ::tarnwell::ModuleTable* tarnwell_module_##NAME()
