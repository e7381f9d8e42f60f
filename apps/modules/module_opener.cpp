#include "modules/module_opener.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "core/module_paths.h"

namespace tarnwell {

void* FindModuleEntry(std::string_view name, std::string& error) {
  const std::string entry = "tarnwell_module_" + std::string(name);
  // Linked in (the tests link the modules' sources): nothing to open.
  if (void* own = ::dlsym(RTLD_DEFAULT, entry.c_str())) return own;

  const std::filesystem::path folder = ModuleFolder();
  if (folder.empty()) {
    error = "the program's own folder is not known";
    return nullptr;
  }
  const std::filesystem::path file = folder / ModuleFileName(name);
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    error = "no module " + file.string();
    return nullptr;
  }
  // RTLD_NOW: a missing library is reported here, not as a crash in the middle of a
  // command. RTLD_LOCAL: one module's libraries never serve another's symbols.
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : "the module " + file.string() + " does not load";
    return nullptr;
  }
  void* address = ::dlsym(handle, entry.c_str());
  if (address == nullptr) {
    error = "the module " + file.string() + " has no entry " + entry;
    ::dlclose(handle);
    return nullptr;
  }
  return address;
}

}  // namespace tarnwell
