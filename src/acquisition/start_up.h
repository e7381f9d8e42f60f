// The start-up rules the desktop program and the command-line tool share, after the
// settings files and the default setups have been read. Each returns the notice for the
// operator (empty when there is nothing to say); the caller shows or prints it.
#pragma once

#include <string>

#include "acquisition/program.h"
#include "core/program_home.h"

namespace tarnwell {

/// An experiment file (the current experiment's DataFile) that is not set or does not
/// exist becomes DEFAULT.EXP in the data folder, or in the home folder when the data
/// folder does not exist either. The notice names the file that was replaced; none when
/// no file was set, or when it was DEFAULT.EXP already.
std::string FallBackToDefaultExperimentFile(Program& program);

/// A home folder that cannot be written loses every setup and setting at the end: the
/// notice says so at the start. Writes and removes a small test file in the home folder.
std::string CheckHomeFolderWritable(const ProgramHome& home);

}  // namespace tarnwell
