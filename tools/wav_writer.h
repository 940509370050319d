// RIFF WAVE files holding 16-bit PCM, as played by the interface sounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisa::art {

// The bytes of a PCM WAVE file: a 44-byte header ("RIFF", "WAVE", a 16-byte
// "fmt " chunk, a "data" chunk) followed by the samples, little-endian.
// Samples are interleaved when pChannels is above 1.
std::string EncodeWav(const std::vector<std::int16_t>& pSamples, int pSampleRate,
                      int pChannels = 1);

} // namespace brisa::art
