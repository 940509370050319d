// Reading a small file whole without ever waiting on what stands in its
// place: a pipe or device named like the file counts as unreadable.
#pragma once

#include <cstdint>
#include <string>

namespace brisa {

enum class FileRead { Missing, Read, Failed };

// Missing: nothing of that name. Failed: not a regular file, larger than
// pMaxSize bytes, or a read error (pBytes is then empty).
FileRead ReadRegularFile(const std::string& pPath, std::string& pBytes,
                         int64_t pMaxSize = INT64_MAX);

} // namespace brisa
