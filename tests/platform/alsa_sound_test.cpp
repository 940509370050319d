// Interface sounds on ALSA: the wave reader against good, odd and hostile
// files, and the player against the ALSA "file" device (it writes what it
// is given to a raw file and needs no sound card) and against devices that
// do not exist.
#include "platform/linux/alsa_sound.h"
#include "tests/support/temp_env.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace brisa {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16)); }

std::string Chunk(const std::string& pId, const std::string& pBody) {
    std::string chunk = pId + Le32(static_cast<uint32_t>(pBody.size())) + pBody;
    if (pBody.size() % 2) chunk += '\0';
    return chunk;
}

std::string Format(uint16_t pTag, uint16_t pChannels, uint32_t pRate, uint16_t pBits) {
    const uint16_t align = static_cast<uint16_t>(pChannels * pBits / 8);
    return Le16(pTag) + Le16(pChannels) + Le32(pRate) + Le32(pRate * align) + Le16(align) + Le16(pBits);
}

std::string Riff(const std::string& pChunks) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + pChunks.size())) + "WAVE" + pChunks;
}

std::string Wave(uint16_t pChannels, uint32_t pRate, uint16_t pBits, const std::string& pSamples) {
    return Riff(Chunk("fmt ", Format(1, pChannels, pRate, pBits)) + Chunk("data", pSamples));
}

// n frames of a recognisable 16-bit mono pattern.
std::string Pattern16(size_t pFrames) {
    std::string samples;
    for (size_t i = 0; i < pFrames; ++i) samples += Le16(static_cast<uint16_t>(i * 37 + 1));
    return samples;
}

double SecondsSince(Clock::time_point pStart) {
    return std::chrono::duration<double>(Clock::now() - pStart).count();
}

// ---- wave files ----------------------------------------------------------------------

TEST(ParseWave, ReadsPlainPcmFiles) {
    WavePcm pcm;
    ASSERT_TRUE(ParseWave(Wave(1, 22050, 16, Pattern16(100)), pcm));
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.bits, 16);
    EXPECT_EQ(pcm.rate, 22050u);
    EXPECT_EQ(pcm.data, Pattern16(100));
    EXPECT_EQ(pcm.Frames(), 100u);

    ASSERT_TRUE(ParseWave(Wave(2, 8000, 8, std::string(8000 * 2, '\x80')), pcm));
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.bits, 8);
    EXPECT_DOUBLE_EQ(pcm.Seconds(), 1.0);
}

TEST(ParseWave, SkipsOtherChunksIncludingOddSizedOnes) {
    const std::string file = Riff(Chunk("LIST", std::string("INFOISFT\x05\0\0\0brisa", 17)) + Chunk("fmt ", Format(1, 1, 11025, 8)) +
                                  Chunk("fact", Le32(3)) + Chunk("data", "abc"));
    WavePcm pcm;
    ASSERT_TRUE(ParseWave(file, pcm));
    EXPECT_EQ(pcm.rate, 11025u);
    EXPECT_EQ(pcm.data, "abc");
}

TEST(ParseWave, AcceptsTheExtensibleFormWithPcmInside) {
    std::string format = Format(0xFFFE, 2, 48000, 16) + Le16(22) + Le16(16) + Le32(3);
    format += Le16(1) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    WavePcm pcm;
    ASSERT_TRUE(ParseWave(Riff(Chunk("fmt ", format) + Chunk("data", Pattern16(8))), pcm));
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.Frames(), 4u);
}

TEST(ParseWave, CutsAnOverlongDataChunkAndPartialFrames) {
    // The data chunk claims a megabyte; 7 bytes follow: three whole frames.
    const std::string file = Riff(Chunk("fmt ", Format(1, 1, 16000, 16))) + "data" + Le32(1 << 20) + "1234567";
    WavePcm pcm;
    ASSERT_TRUE(ParseWave(file, pcm));
    EXPECT_EQ(pcm.data, "123456");
}

TEST(ParseWave, RefusesWhatItCannotPlay) {
    WavePcm pcm;
    const std::string samples = Pattern16(10);
    EXPECT_FALSE(ParseWave("", pcm));
    EXPECT_FALSE(ParseWave("RIFF", pcm));
    EXPECT_FALSE(ParseWave("not a wave file at all, just some text", pcm));
    EXPECT_FALSE(ParseWave(Riff(Chunk("data", samples)), pcm)) << "no format";
    EXPECT_FALSE(ParseWave(Riff(Chunk("fmt ", Format(1, 1, 8000, 16))), pcm)) << "no data";
    EXPECT_FALSE(ParseWave(Riff(Chunk("fmt ", Format(2, 1, 8000, 4)) + Chunk("data", samples)), pcm))
        << "ADPCM";
    EXPECT_FALSE(ParseWave(Wave(3, 8000, 16, samples), pcm)) << "three channels";
    EXPECT_FALSE(ParseWave(Wave(1, 8000, 24, samples), pcm)) << "24 bits";
    EXPECT_FALSE(ParseWave(Wave(1, 0, 16, samples), pcm)) << "rate 0";
    EXPECT_FALSE(ParseWave(Wave(1, 1000000, 16, samples), pcm)) << "absurd rate";
    EXPECT_FALSE(ParseWave(Wave(2, 8000, 16, "ab"), pcm)) << "not one whole frame";
    EXPECT_FALSE(ParseWave(Riff(Chunk("fmt ", "short")) + Chunk("data", samples), pcm));
    // A chunk whose size runs past the end stops the search.
    EXPECT_FALSE(ParseWave(Riff("LIST" + Le32(0xFFFFFFFF) + Chunk("fmt ", Format(1, 1, 8000, 16)) +
                                Chunk("data", samples)),
                           pcm));
    EXPECT_EQ(pcm.channels, 0) << "a refused file leaves the result alone";
}

TEST(ParseWave, TruncatedCopiesOfAGoodFileNeverCrash) {
    const std::string good = Wave(1, 8000, 16, Pattern16(32));
    for (size_t n = 0; n < good.size(); ++n) {
        WavePcm pcm;
        if (ParseWave(std::string_view(good).substr(0, n), pcm)) {
            EXPECT_GE(n, 44u + 2);
            EXPECT_EQ(pcm.data, Pattern16(32).substr(0, (n - 44) / 2 * 2));
        }
    }
}

TEST(ReadWaveFile, MissingOrUnreadableFilesAreRefused) {
    test::TempEnv env;
    WavePcm pcm;
    EXPECT_FALSE(ReadWaveFile(env.Path("nothing.wav"), pcm));
    EXPECT_FALSE(ReadWaveFile(env.ProgramFolder(), pcm)) << "a folder";
    test::WriteFile(env.Path("good.wav"), Wave(1, 8000, 16, Pattern16(4)));
    EXPECT_TRUE(ReadWaveFile(env.Path("good.wav"), pcm));
}

// ---- the player ---------------------------------------------------------------------

class AlsaSoundPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "ALSA is not installed here";
        ::unsetenv("BRISAMAIL_SOUND_DEVICE");
        ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
    }
    void TearDown() override {
        ::unsetenv("BRISAMAIL_SOUND_DEVICE");
        ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
    }
    // The ALSA device that writes raw samples into pPath.
    static std::string FileDevice(const std::string& pPath) { return "file:'" + pPath + "',raw"; }

    test::TempEnv env;
};

TEST_F(AlsaSoundPlayerTest, DeviceComesFromTheEnvironment) {
    EXPECT_EQ(AlsaSoundPlayer::DeviceFromEnvironment(), "default");
    ::setenv("BRISAMAIL_AUDIO_DEVICE", "plughw:1", 1);
    EXPECT_EQ(AlsaSoundPlayer().Device(), "plughw:1");
    ::setenv("BRISAMAIL_SOUND_DEVICE", "speakers", 1);
    EXPECT_EQ(AlsaSoundPlayer().Device(), "speakers");
    EXPECT_EQ(AlsaSoundPlayer("null").Device(), "null");
}

TEST_F(AlsaSoundPlayerTest, SynchronousSoundIsWrittenWholeBeforePlayReturns) {
    const std::string out = env.Path("out.raw");
    test::WriteFile(env.Path("click.wav"), Wave(1, 8000, 16, Pattern16(2000)));
    AlsaSoundPlayer player(FileDevice(out));
    player.Play(env.Path("click.wav"), SND_SYNC);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(test::ReadFile(out), Pattern16(2000));
}

TEST_F(AlsaSoundPlayerTest, EightBitStereoIsPlayedAsItIs) {
    const std::string out = env.Path("out8.raw");
    std::string samples;
    for (int i = 0; i < 4000; ++i) samples += static_cast<char>(i % 251);
    test::WriteFile(env.Path("swoosh.wav"), Wave(2, 11025, 8, samples));
    AlsaSoundPlayer player(FileDevice(out));
    player.Play(env.Path("swoosh.wav"), SND_SYNC);
    EXPECT_EQ(test::ReadFile(out), samples);
}

TEST_F(AlsaSoundPlayerTest, AsynchronousSoundReturnsAtOnceAndPlaysOn) {
    const std::string out = env.Path("async.raw");
    test::WriteFile(env.Path("start.wav"), Wave(1, 44100, 16, Pattern16(44100)));
    AlsaSoundPlayer player(FileDevice(out));
    const Clock::time_point start = Clock::now();
    player.Play(env.Path("start.wav"), SND_ASYNC);
    EXPECT_LT(SecondsSince(start), 0.5);
    while (player.Playing() && SecondsSince(start) < 5) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(test::ReadFile(out), Pattern16(44100));
}

TEST_F(AlsaSoundPlayerTest, ANewSoundEndsTheOneStillPlaying) {
    test::WriteFile(env.Path("a.wav"), Wave(1, 8000, 16, Pattern16(8000)));
    test::WriteFile(env.Path("b.wav"), Wave(1, 8000, 16, Pattern16(100)));
    const std::string out = env.Path("cut.raw");
    AlsaSoundPlayer player(FileDevice(out));
    player.Play(env.Path("a.wav"), SND_ASYNC);
    player.Play(env.Path("b.wav"), SND_SYNC);
    EXPECT_FALSE(player.Playing());
    // The file device starts its file afresh for every sound: the last one is there.
    EXPECT_EQ(test::ReadFile(out), Pattern16(100));
    // An unplayable sound ends the current one as well.
    player.Play(env.Path("a.wav"), SND_ASYNC);
    player.Play(env.Path("missing.wav"), SND_ASYNC);
    EXPECT_FALSE(player.Playing());
}

TEST_F(AlsaSoundPlayerTest, BrokenFilesAndMissingDevicesAreSilentAndQuick) {
    test::WriteFile(env.Path("garbage.wav"), std::string(5000, '\x7F'));
    test::WriteFile(env.Path("good.wav"), Wave(1, 8000, 16, Pattern16(800)));
    const std::string out = env.Path("never.raw");
    AlsaSoundPlayer toFile(FileDevice(out));
    AlsaSoundPlayer nowhere("brisa_no_such_device");
    AlsaSoundPlayer badCard("hw:97,0");
    const Clock::time_point start = Clock::now();
    toFile.Play(env.Path("garbage.wav"), SND_SYNC);
    toFile.Play(env.Path("missing.wav"), SND_SYNC);
    toFile.Play(env.ProgramFolder(), SND_ASYNC);
    for (AlsaSoundPlayer* player : {&nowhere, &badCard}) {
        player->Play(env.Path("good.wav"), SND_SYNC);
        player->Play(env.Path("good.wav"), SND_ASYNC);
        player->Play(env.Path("garbage.wav"), SND_ASYNC);
    }
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(AlsaSoundPlayerTest, ALongSynchronousSoundWaitsNoLongerThanTheLimit) {
    // Two minutes of sound; the file device takes it at once, so Play ends
    // early, but in any case well within the limit.
    test::WriteFile(env.Path("long.wav"), Wave(1, 8000, 16, Pattern16(8000 * 120)));
    AlsaSoundPlayer player(FileDevice(env.Path("long.raw")));
    const Clock::time_point start = Clock::now();
    player.Play(env.Path("long.wav"), SND_SYNC);
    EXPECT_LT(SecondsSince(start), kSyncLimitSeconds + 1.0);
}

TEST_F(AlsaSoundPlayerTest, DestroyingThePlayerEndsItsSound) {
    test::WriteFile(env.Path("a.wav"), Wave(1, 8000, 16, Pattern16(8000)));
    const Clock::time_point start = Clock::now();
    {
        AlsaSoundPlayer player(FileDevice(env.Path("d.raw")));
        player.Play(env.Path("a.wav"), SND_ASYNC);
    }
    EXPECT_LT(SecondsSince(start), 1.0);
}

} // namespace
} // namespace brisa
