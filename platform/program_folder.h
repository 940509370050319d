#pragma once

#include <string>

namespace brisa {

// The folder that holds the program's data files, without a trailing
// separator: $BRISAMAIL_HOME when it is set, otherwise the folder of the
// running executable.
std::string ProgramFolder();

// The real path of the running executable, links resolved; empty when the
// system cannot tell. Not the program folder: $BRISAMAIL_HOME may name a
// folder that holds only data.
std::string ProgramExecutable();

// Joins the program folder and a relative part such as "/sounds/click.wav".
std::string ProgramPath(const std::string& pRelative);

} // namespace brisa
