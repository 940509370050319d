#pragma once

#include <string>

namespace brisa {

// The folder that holds the program's data files, without a trailing
// separator: $BRISAMAIL_HOME when it is set, otherwise the folder of the
// running executable.
std::string ProgramFolder();

// Joins the program folder and a relative part such as "/sounds/click.wav".
std::string ProgramPath(const std::string& pRelative);

} // namespace brisa
