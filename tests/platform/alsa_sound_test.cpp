// Interface sounds on ALSA: which wave files the reader takes and what it
// takes from them, and the bytes the player hands to an ALSA "file" device.
#include "platform/linux/alsa_sound.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace brisa {
namespace {

std::string Le(uint32_t pValue, int pBytes) {
    std::string bytes;
    for (int i = 0; i < pBytes; ++i) bytes += static_cast<char>(pValue >> (8 * i) & 0xFF);
    return bytes;
}

std::string Chunk(const std::string& pId, const std::string& pBody) {
    return pId + Le(static_cast<uint32_t>(pBody.size()), 4) + pBody + (pBody.size() % 2 ? std::string(1, '\0') : "");
}

std::string Format(uint16_t pTag, uint16_t pChannels, uint32_t pRate, uint16_t pBits) {
    const uint32_t align = pChannels * pBits / 8u;
    return Le(pTag, 2) + Le(pChannels, 2) + Le(pRate, 4) + Le(pRate * align, 4) + Le(align, 2) + Le(pBits, 2);
}

std::string Riff(const std::string& pChunks) { return "RIFF" + Le(static_cast<uint32_t>(4 + pChunks.size()), 4) + "WAVE" + pChunks; }

std::string Wave(uint16_t pChannels, uint32_t pRate, uint16_t pBits, const std::string& pSamples) {
    return Riff(Chunk("fmt ", Format(1, pChannels, pRate, pBits)) + Chunk("data", pSamples));
}

std::string Pattern(size_t pBytes) {
    std::string samples(pBytes, '\0');
    for (size_t i = 0; i < pBytes; ++i) samples[i] = static_cast<char>(i * 37 + 1);
    return samples;
}

TEST(WaveReader, TakesPlainPcmAndRefusesTheRest) {
    const std::string samples = Pattern(20);
    const std::string extensible = Format(0xFFFE, 2, 48000, 16) + Le(22, 2) + Le(16, 2) + Le(3, 4) + Le(1, 2) +
                                   std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
    struct Row {
        const char* what;
        std::string file;
        int channels; // 0: refused
        unsigned rate;
        std::string data;
    };
    for (const Row& row : std::vector<Row>{
             {"16-bit mono", Wave(1, 22050, 16, samples), 1, 22050, samples},
             {"8-bit stereo", Wave(2, 8000, 8, samples), 2, 8000, samples},
             {"other chunks, odd-sized too",
              Riff(Chunk("LIST", "INFOISFTbrisa") + Chunk("fmt ", Format(1, 1, 11025, 8)) + Chunk("data", "abc")), 1,
              11025, "abc"},
             {"extensible form", Riff(Chunk("fmt ", extensible) + Chunk("data", samples)), 2, 48000, samples},
             {"data longer than the file: whole frames kept",
              Riff(Chunk("fmt ", Format(1, 1, 16000, 16))) + "data" + Le(1 << 20, 4) + "1234567", 1, 16000, "123456"},
             {"empty", "", 0, 0, ""},
             {"no format", Riff(Chunk("data", samples)), 0, 0, ""},
             {"no data", Riff(Chunk("fmt ", Format(1, 1, 8000, 16))), 0, 0, ""},
             {"ADPCM", Riff(Chunk("fmt ", Format(2, 1, 8000, 4)) + Chunk("data", samples)), 0, 0, ""},
             {"three channels", Wave(3, 8000, 16, samples), 0, 0, ""},
             {"24 bits", Wave(1, 8000, 24, samples), 0, 0, ""},
             {"absurd rate", Wave(1, 1000000, 16, samples), 0, 0, ""},
             {"less than a frame", Wave(2, 8000, 16, "ab"), 0, 0, ""},
             {"short format", Riff(Chunk("fmt ", "short") + Chunk("data", samples)), 0, 0, ""},
             {"chunk past the end", Riff("LIST" + Le(0xFFFFFFFF, 4) + Chunk("fmt ", Format(1, 1, 8000, 16)) + Chunk("data", samples)), 0, 0, ""},
             {"cut in the data", Wave(1, 8000, 16, samples).substr(0, 47), 1, 8000, samples.substr(0, 2)},
         }) {
        WavePcm pcm;
        EXPECT_EQ(ParseWave(row.file, pcm), row.channels != 0) << row.what;
        EXPECT_EQ(pcm.channels, row.channels) << row.what;
        EXPECT_EQ(pcm.rate, row.rate) << row.what;
        EXPECT_EQ(pcm.data, row.data) << row.what;
    }
}

TEST(WaveReader, ThePlayerWritesTheSamplesAsTheyAre) {
    if (!std::filesystem::exists("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "ALSA is not installed here";
    test::TempEnv env;
    for (const std::string& file : {Wave(1, 8000, 16, Pattern(4000)), Wave(2, 11025, 8, Pattern(4000))}) {
        test::WriteFile(env.Path("sound.wav"), file);
        AlsaSoundPlayer player("file:'" + env.Path("out.raw") + "',raw");
        player.Play(env.Path("sound.wav"), SND_SYNC);
        EXPECT_FALSE(player.Playing());
        EXPECT_EQ(test::ReadFile(env.Path("out.raw")), Pattern(4000));
    }
    // A missing sound or device is silent.
    AlsaSoundPlayer("brisa_no_such_device").Play(env.Path("sound.wav"), SND_SYNC);
    AlsaSoundPlayer("null").Play(env.Path("missing.wav"), SND_SYNC);
}

} // namespace
} // namespace brisa
