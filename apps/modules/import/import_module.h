// The import module (tarnwell-import.so): tracks from other trackers, whose .xlsx and HDF5
// formats need libzip, expat and libhdf5.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::cli {

int RunImport(const std::string& home, const std::vector<std::string>& args);

}  // namespace tarnwell::cli
