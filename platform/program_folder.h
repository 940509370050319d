#pragma once

#include <string>

namespace brisa {

// The folder that holds the program's data files and its working files
// (outbox/, Tos.txt, in.wav, in.zip), without a trailing separator:
// - $BRISAMAIL_HOME when it is set;
// - otherwise the folder of the running executable when the data files sit
//   beside it (a build tree, an unpacked copy);
// - otherwise, for an installed program (data in <prefix>/share/brisamail,
//   executables in <prefix>/bin, which users cannot write to),
//   $XDG_DATA_HOME/brisamail (default ~/.local/share/brisamail): see
//   PrepareProgramFolder.
std::string ProgramFolder();

// The real path of the running executable, links resolved; empty when the
// system cannot tell. Not the program folder: $BRISAMAIL_HOME may name a
// folder that holds only data.
std::string ProgramExecutable();

// Joins the program folder and a relative part such as "/sounds/click.wav".
std::string ProgramPath(const std::string& pRelative);

// The program folder an executable in pExecutableFolder uses when
// $BRISAMAIL_HOME is unset, made ready for use. For an installed program the
// folder is created (owner-only) and every entry of the shipped data folder
// is linked into it; links are made again at every start, so they follow
// the installed version, entries the package no longer ships are dropped,
// and an entry the user replaced by a real file or folder is left alone.
std::string PrepareProgramFolder(const std::string& pExecutableFolder);

} // namespace brisa
