// Writes every data file the program ships: the skins, the animated pictures,
// the house advertisements and the interface sounds.
#pragma once

#include <string>
#include <vector>

namespace brisa::art {

// The files written, relative to the output folder, '/'-separated.
std::vector<std::string> ArtFileNames();

// The bytes of one of those files (empty for an unknown name).
std::string ArtFileBytes(const std::string& pName);

// Writes all files below pFolder, creating it and its sub-folders. Each file
// is replaced as a whole. On failure pError tells which file and why.
bool WriteArtFiles(const std::string& pFolder, std::string& pError);

} // namespace brisa::art
