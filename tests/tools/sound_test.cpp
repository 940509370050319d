#include "tools/sound_synth.h"
#include "tools/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace brisa::art;

namespace {

std::uint32_t Le32(const std::string& pBytes, std::size_t pAt) {
    return static_cast<std::uint8_t>(pBytes[pAt]) |
           static_cast<std::uint8_t>(pBytes[pAt + 1]) << 8 |
           static_cast<std::uint8_t>(pBytes[pAt + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(pBytes[pAt + 3])) << 24;
}

std::uint16_t Le16(const std::string& pBytes, std::size_t pAt) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(pBytes[pAt]) |
                                      static_cast<std::uint8_t>(pBytes[pAt + 1]) << 8);
}

struct SoundCase {
    const char* name;
    std::function<std::vector<std::int16_t>()> make;
    double minSeconds;
    double maxSeconds;
};

const SoundCase kSounds[] = {
    {"click", ClickSound, 0.030, 0.060}, {"swoosh", SwooshSound, 0.250, 0.350},
    {"start", StartSound, 0.500, 0.700}, {"exit", ExitSound, 0.400, 0.600},
    {"error", ErrorSound, 0.300, 0.500},
};

} // namespace

TEST(EncodeWav, WritesAConsistentPcmHeader) {
    const std::string wav = EncodeWav({0, 1, -1, 32767, -32768}, 22050);
    ASSERT_EQ(wav.size(), 44u + 10u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 4), "WAVE");
    EXPECT_EQ(wav.substr(12, 4), "fmt ");
    EXPECT_EQ(Le32(wav, 16), 16u);
    EXPECT_EQ(Le16(wav, 20), 1);      // PCM
    EXPECT_EQ(Le16(wav, 22), 1);      // mono
    EXPECT_EQ(Le32(wav, 24), 22050u); // samples per second
    EXPECT_EQ(Le32(wav, 28), 44100u); // bytes per second
    EXPECT_EQ(Le16(wav, 32), 2);      // block
    EXPECT_EQ(Le16(wav, 34), 16);     // bits
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(Le32(wav, 40), 10u);
    // Little-endian samples.
    EXPECT_EQ(Le16(wav, 44 + 2), 1);
    EXPECT_EQ(Le16(wav, 44 + 4), 0xFFFF);
    EXPECT_EQ(Le16(wav, 44 + 6), 0x7FFF);
    EXPECT_EQ(Le16(wav, 44 + 8), 0x8000);
}

TEST(EncodeWav, StereoCountsBothChannels) {
    const std::string wav = EncodeWav({1, 2, 3, 4}, 8000, 2);
    EXPECT_EQ(Le16(wav, 22), 2);
    EXPECT_EQ(Le32(wav, 28), 32000u);
    EXPECT_EQ(Le16(wav, 32), 4);
}

TEST(Sounds, HaveTheirLengthsAndArePleasantlyQuiet) {
    for (const SoundCase& sound : kSounds) {
        SCOPED_TRACE(sound.name);
        const auto samples = sound.make();
        const double seconds = static_cast<double>(samples.size()) / kSoundRate;
        EXPECT_GE(seconds, sound.minSeconds);
        EXPECT_LE(seconds, sound.maxSeconds);
        int peak = 0;
        for (std::int16_t s : samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        // About -6 dBFS.
        EXPECT_NEAR(20 * std::log10(peak / 32767.0), -6.0, 0.3);
    }
}

TEST(Sounds, FadeInAndOutWithoutClicks) {
    for (const SoundCase& sound : kSounds) {
        SCOPED_TRACE(sound.name);
        const auto samples = sound.make();
        ASSERT_GT(samples.size(), 100u);
        EXPECT_EQ(samples.front(), 0);
        EXPECT_EQ(samples.back(), 0);
        // The first and last half millisecond stay far below the peak.
        for (std::size_t i = 0; i < 11; ++i) {
            EXPECT_LT(std::abs(samples[i]), 4000) << "start " << i;
            EXPECT_LT(std::abs(samples[samples.size() - 1 - i]), 4000) << "end " << i;
        }
    }
}

TEST(Sounds, AreTheSameOnEveryRun) {
    for (const SoundCase& sound : kSounds)
        EXPECT_EQ(sound.make(), sound.make()) << sound.name;
}

TEST(Sounds, ChimesMoveInOppositeDirections) {
    // Zero crossings per second of the first and last 120 ms tell the pitch.
    auto crossings = [](const std::vector<std::int16_t>& pSamples, std::size_t pFrom,
                        std::size_t pTo) {
        int count = 0;
        for (std::size_t i = pFrom + 1; i < pTo; ++i)
            if ((pSamples[i - 1] < 0) != (pSamples[i] < 0))
                ++count;
        return count;
    };
    const auto window = static_cast<std::size_t>(0.1 * kSoundRate);
    const auto start = StartSound();
    const auto exitSound = ExitSound();
    const std::size_t startLate = static_cast<std::size_t>(0.34 * kSoundRate);
    const std::size_t exitLate = static_cast<std::size_t>(0.23 * kSoundRate);
    EXPECT_GT(crossings(start, startLate, startLate + window), crossings(start, 0, window));
    EXPECT_LT(crossings(exitSound, exitLate, exitLate + window), crossings(exitSound, 0, window));
}
