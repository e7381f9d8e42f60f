// Where the programs' modules are. What needs a heavy library (Qt's drawing and PDF,
// OpenCV and FFmpeg, the import formats) is built as a module `tarnwell-NAME.so`, so a
// program that does not need it never loads it: `tarnwell-cli --version` or `analyse`
// start in a few milliseconds. The programs open them with apps/modules/module_opener.h.
//
// A module is looked for in the folder `../lib/<triplet>/tarnwell` beside the running
// program (the build's multiarch triplet, x86_64-linux-gnu on a PC): in the build tree
// build/<preset>/apps/lib/<triplet>/tarnwell, installed /usr/lib/<triplet>/tarnwell.
//
// Where tarnwell-cli is linked statically (it starts fastest so), it cannot open a module
// itself: the commands that may need one run in the module runner `tarnwell-cli-modules`,
// the same tool linked to open modules, which lives in the module folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwell {

// The module folder relative to the program's own folder ("../lib/<triplet>/tarnwell",
// set by the build).
extern const char* const kModuleFolderFromProgram;

// The file name of the module runner, in the module folder.
inline constexpr const char* kModuleRunnerName = "tarnwell-cli-modules";

// The file name of module `name`: "tarnwell-" + name + ".so".
std::string ModuleFileName(std::string_view name);

// The folder modules are looked for in: `kModuleFolderFromProgram` beside the running
// program (/proc/self/exe), or the module runner's own folder; empty when the program's
// own file is not known.
std::filesystem::path ModuleFolder();

// The module runner of this installation or build tree; empty as ModuleFolder.
std::filesystem::path ModuleRunnerFile();

}  // namespace tarnwell
