#include "core/module_paths.h"

#include <system_error>

// The build sets this (CMakeLists.txt, TARNWELL_MODULE_DIR) to where it installs the modules.
#ifndef TARNWELL_MODULE_FOLDER
#define TARNWELL_MODULE_FOLDER "../lib/tarnwell"
#endif

namespace tarnwell {

const char* const kModuleFolderFromProgram = TARNWELL_MODULE_FOLDER;

std::string ModuleFileName(std::string_view name) {
  return "tarnwell-" + std::string(name) + ".so";
}

std::filesystem::path ModuleFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  // The runner lives among the modules it opens.
  if (program.filename() == kModuleRunnerName) return program.parent_path();
  return (program.parent_path() / kModuleFolderFromProgram).lexically_normal();
}

std::filesystem::path ModuleRunnerFile() {
  const std::filesystem::path folder = ModuleFolder();
  return folder.empty() ? folder : folder / kModuleRunnerName;
}

}  // namespace tarnwell
