// What the recording commands (run, track) tell the run about their source, so every
// trial's provenance record says where its samples came from.
#pragma once

#include <cstdint>
#include <string>

#include "acquisition/run_controller.h"
#include "acquisition/program.h"
#include "tracker/unit_connection.h"

namespace tarnwell::cli {

// A serial unit on `device`.
TrialSourceProvider SerialSource(const std::string& device);
// The built-in simulated unit with the swim model's `seed`.
TrialSourceProvider SimulatedSource(uint64_t seed);
// A camera (`camera` true, `path` its device) or a video file, watched by `connection`'s
// video unit; the detector settings are the program's. A video's size and checksum are
// taken once, here.
TrialSourceProvider PictureSource(const Program& program, bool camera, const std::string& path,
                                  UnitConnection& connection);

// The words that say a simulated unit records: run's first and last lines end with them.
inline constexpr const char* kSimulatedUnitNote = "(simulated unit)";

}  // namespace tarnwell::cli
