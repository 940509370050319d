#include "tools/wav_writer.h"

namespace brisa::art {

namespace {

void Put16(std::string& pOut, std::uint32_t pValue) {
    pOut.push_back(static_cast<char>(pValue & 0xFF));
    pOut.push_back(static_cast<char>((pValue >> 8) & 0xFF));
}

void Put32(std::string& pOut, std::uint32_t pValue) {
    Put16(pOut, pValue & 0xFFFF);
    Put16(pOut, pValue >> 16);
}

} // namespace

std::string EncodeWav(const std::vector<std::int16_t>& pSamples, int pSampleRate, int pChannels) {
    const std::uint32_t channels = pChannels < 1 ? 1 : static_cast<std::uint32_t>(pChannels);
    const std::uint32_t rate = pSampleRate < 1 ? 1 : static_cast<std::uint32_t>(pSampleRate);
    const std::uint32_t blockAlign = channels * 2;
    const auto dataBytes = static_cast<std::uint32_t>(pSamples.size() * 2);

    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVE";
    out += "fmt ";
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, channels);
    Put32(out, rate);
    Put32(out, rate * blockAlign);
    Put16(out, blockAlign);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (std::int16_t sample : pSamples)
        Put16(out, static_cast<std::uint16_t>(sample));
    return out;
}

} // namespace brisa::art
