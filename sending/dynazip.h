// Zip packaging of the recording.
#pragma once

#include <string>

namespace brisa {

// Result codes of MakeZip.
enum ZipResult : int {
    kZipWritten = 0,          // the archive was written
    kZipSourceUnreadable = 1, // the file to pack is missing or cannot be read
    kZipNotCreated = 2,       // the archive cannot be created at that place
    kZipFailed = 3            // packing or writing the archive failed
};

// The compression level of the archive's entry (deflate, 1 fastest .. 9 best).
inline constexpr int kZipLevel = 6;

// Packs the file pSource into a new zip archive pZipFile that holds exactly
// one entry: the file under its bare name (".../in.wav" becomes "in.wav"),
// deflate-compressed at kZipLevel. An archive already at pZipFile is
// replaced. The archive is written under a temporary name and renamed into
// place, so a failure leaves no half-written archive behind (and an old one
// untouched). The source file stays where it is. Returns 0 on success, a
// ZipResult above otherwise; never throws.
int MakeZip(const std::string& pSource, const std::string& pZipFile);

} // namespace brisa
