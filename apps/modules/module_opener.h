// Opens the programs' modules (core/module_paths.h says where they are). Linked into the
// programs that open modules themselves: the desktop program, the module runner
// tarnwell-cli-modules (and tarnwell-cli where it is not linked statically), the tests. The
// statically linked tarnwell-cli has its own FindModuleEntry (cli_module_handover.cpp),
// which opens nothing.
#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

// The address of module `name`'s entry point `tarnwell_module_NAME`: from the program
// itself when it is linked in, else from the module file, opened once (the dynamic
// loader keeps it open for the rest of the process). nullptr, with the reason in `error`,
// when the module is not there or does not load (a library it needs is missing).
void* FindModuleEntry(std::string_view name, std::string& error);

}  // namespace tarnwell
