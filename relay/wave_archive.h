// The recording inside a post's zip archive: exactly one entry, a readable
// WAVE file.
//
// The archive is read from memory and distrusted: only stored and deflated
// entries without encryption, an uncompressed size of at most
// kMaxWaveBytes, no entry that claims to inflate more than deflate can
// (kMaxInflateRatio), and the entry is read with a cap so that it can never
// grow beyond what its header declares.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisa {

inline constexpr std::uint64_t kMaxWaveBytes = 256ull * 1024 * 1024;
// Deflate cannot shrink data by more than about 1:1032; a larger claim is a
// forged header.
inline constexpr std::uint64_t kMaxInflateRatio = 1100;

// What a WAVE file says about itself.
struct WaveFacts {
    int formatTag = 0;
    int channels = 0;
    std::uint32_t samplesPerSecond = 0;
    int bitsPerSample = 0;
    std::uint32_t dataBytes = 0;
};

// Checks the RIFF/WAVE structure: "RIFF" size "WAVE", chunks that fit, one
// "fmt " chunk (at least 16 bytes, sensible values) before one "data" chunk
// that lies wholly inside the file.
bool ReadWave(std::string_view pBytes, WaveFacts& pFacts, std::string& pProblem);

// Takes the single entry out of the archive and checks that it is a WAVE
// file. pEntryName receives the entry's name.
bool ExtractWave(std::string_view pZip, std::string& pWave, std::string& pEntryName,
                 std::string& pProblem);

} // namespace brisa
