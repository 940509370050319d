// The wave file the device writes, recorded from ALSA "file" devices (no
// sound card needed): a microphone reading a tone the test writes, a
// speaker writing raw samples to a file. ALSA_CONFIG_PATH must point at
// their configuration before this process first touches ALSA.
#include "platform/linux/alsa_wave_backend.h"
#include "platform/mci_interpreter.h"
#include "tests/support/temp_env.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

namespace brisa {
namespace {

std::string Le(uint32_t pValue, int pBytes) {
    std::string bytes;
    for (int i = 0; i < pBytes; ++i) bytes += static_cast<char>(pValue >> (8 * i) & 0xFF);
    return bytes;
}

// The header of a 16 kHz mono 16-bit wave file holding pData bytes.
std::string WaveHeader(uint32_t pData) {
    return "RIFF" + Le(36 + pData, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(16000, 4) +
           Le(32000, 4) + Le(2, 2) + Le(16, 2) + "data" + Le(pData, 4);
}

TEST(AlsaWaveFile, RecordedFromTheFileDeviceSavedAndPlayed) {
    if (!std::filesystem::exists("/usr/share/alsa/alsa.conf")) GTEST_SKIP() << "ALSA is not installed here";
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::string tone;
    for (int i = 0; i < 16000 * 10; ++i)
        tone += Le(static_cast<uint16_t>(8000 * std::sin(2 * M_PI * 440 * i / 16000.0)), 2);
    test::WriteFile(root + "/tone.raw", tone);
    test::WriteFile(root + "/asound.conf",
                    "</usr/share/alsa/alsa.conf>\n"
                    "pcm.mic {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
                    "  infile \"" + root + "/tone.raw\"\n  format \"raw\"\n}\n"
                    "pcm.speaker {\n  type file\n  slave.pcm \"null\"\n  file \"" + root + "/out.raw\"\n"
                    "  format \"raw\"\n}\n"
                    "pcm.duplex {\n  type asym\n  capture.pcm \"mic\"\n  playback.pcm \"speaker\"\n}\n");
    ::setenv("ALSA_CONFIG_PATH", (root + "/asound.conf").c_str(), 1);

    struct Row {
        const char* what;
        std::vector<int> stretches; // milliseconds recorded, paused in between
        int playFrom;               // milliseconds; -1: not played
    };
    for (const Row& row : {Row{"nothing recorded", {}, -1}, Row{"one stretch", {300}, 0},
                           Row{"two stretches joined", {200, 200}, 100}}) {
        SCOPED_TRACE(row.what);
        ::setenv("BRISAMAIL_AUDIO_DEVICE", "duplex", 1);
        MciInterpreter mci([] { return std::make_unique<AlsaWaveBackend>(); });
        ASSERT_EQ(mci.Send("open new type waveaudio alias brisamsg"), 0u) << mci.ErrorText(MCIERR_DEVICE_NOT_READY);
        const char* start = "record brisamsg overwrite";
        for (int milliseconds : row.stretches) {
            ASSERT_EQ(mci.Send(start), 0u);
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
            ASSERT_EQ(mci.Send("pause brisamsg"), 0u);
            start = "record brisamsg";
        }
        ASSERT_EQ(mci.Send("stop brisamsg"), 0u);
        const PcmBuffer& pcm = *mci.Recording("brisamsg");
        std::string samples(pcm.Size(), '\0');
        pcm.Read(0, samples.data(), samples.size());
        // Each stretch reads the microphone from its start.
        if (!row.stretches.empty()) {
            ASSERT_GT(samples.size(), 3200u);
            EXPECT_TRUE(samples.substr(0, 3200) == tone.substr(0, 3200));
        }

        const std::string path = root + "/saved/in.wav";
        std::filesystem::create_directories(root + "/saved");
        ASSERT_EQ(mci.Send("save brisamsg \"" + path + "\""), 0u);
        EXPECT_TRUE(test::ReadFile(path) == WaveHeader(static_cast<uint32_t>(samples.size())) + samples);
        EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        if (row.playFrom >= 0) {
            // Paced like a sound card: the speaker file grows as it plays.
            const std::string expected = samples.substr(static_cast<size_t>(row.playFrom) * 32);
            std::filesystem::remove(root + "/out.raw");
            ASSERT_EQ(mci.Send("play brisamsg from " + std::to_string(row.playFrom)), 0u);
            for (int i = 0; i < 500 && test::ReadFile(root + "/out.raw").size() < expected.size(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_TRUE(test::ReadFile(root + "/out.raw") == expected);
        }
        EXPECT_EQ(mci.Send("close brisamsg"), 0u);
    }

    // A device that does not exist: the error text names it.
    ::setenv("BRISAMAIL_AUDIO_DEVICE", "brisa_no_such_device", 1);
    MciInterpreter mci([] { return std::make_unique<AlsaWaveBackend>(); });
    EXPECT_EQ(mci.Send("open new type waveaudio alias brisamsg"), MCIERR_DEVICE_NOT_READY);
    EXPECT_NE(mci.ErrorText(MCIERR_DEVICE_NOT_READY).find("brisa_no_such_device"), std::string::npos);
    ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
}

} // namespace
} // namespace brisa
