// Shared modules opened on demand. What needs a heavy library (Qt's drawing and PDF,
// OpenCV and FFmpeg, the import formats) is built as a module `tarnwell-NAME.so`, so a
// program that does not need it never loads it: `tarnwell-cli --version` or `analyse`
// start in a few milliseconds.
//
// A module is looked for in the folder `../lib/<triplet>/tarnwell` beside the running
// program (the build's multiarch triplet, x86_64-linux-gnu on a PC): in the build tree
// build/<preset>/apps/lib/<triplet>/tarnwell, installed /usr/lib/<triplet>/tarnwell. Its one
// entry point is the C function `tarnwell_module_NAME` (see io/program_modules.h for what
// it returns). A program that has the module linked in (the tests) finds the entry in
// itself first and opens nothing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwell {

// The module folder relative to the program's own folder ("../lib/<triplet>/tarnwell",
// set by the build).
extern const char* const kModuleFolderFromProgram;

// The file name of module `name`: "tarnwell-" + name + ".so".
std::string ModuleFileName(std::string_view name);

// The folder modules are looked for in: `kModuleFolderFromProgram` beside the running
// program (/proc/self/exe).
std::filesystem::path ModuleFolder();

// The address of module `name`'s entry point `tarnwell_module_NAME`: from the program
// itself when it is linked in, else from the module file, opened once (the dynamic
// loader keeps it open for the rest of the process). nullptr, with the reason in `error`,
// when the module is not there or does not load (a library it needs is missing).
void* FindModuleEntry(std::string_view name, std::string& error);

}  // namespace tarnwell
