// The ALSA wave-audio device against ALSA "file" devices, which need no sound
// card.
//
// How the test devices are made: ALSA_CONFIG_PATH points at a temporary
// configuration that first includes the system's /usr/share/alsa/alsa.conf
// and then defines
//   - a microphone: a "file" PCM over the "null" slave whose "infile" is a
//     raw 440 Hz tone written by the test (captured samples come from the
//     infile; the copy it writes goes to /dev/null),
//   - a speaker: a "file" PCM over "null" writing raw samples to out.raw,
//   - a duplex device ("asym") joining both, for the MCI interpreter, which
//     uses one device name for recording and playback.
// Neither plugin paces itself, which is exactly what the recorder must cope
// with. alsa-lib reads ALSA_CONFIG_PATH when it first loads its
// configuration, so it is set before the first ALSA call of this process.
#include "platform/linux/alsa_wave_backend.h"
#include "platform/mci_interpreter.h"
#include "tests/support/temp_env.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace brisa {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kBytesPerSecond = 32000.0; // mono, 16 bits, 16000 Hz
constexpr int kToneHz = 440;

double Seconds(Clock::duration pTime) { return std::chrono::duration<double>(pTime).count(); }

void Sleep(double pSeconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(pSeconds));
}

// Zero crossings per second of 16-bit little-endian mono samples: twice the
// frequency of a pure tone, about zero for silence.
double CrossingsPerSecond(const std::string& pPcm) {
    const size_t samples = pPcm.size() / 2;
    auto sample = [&](size_t i) {
        return static_cast<int16_t>(static_cast<unsigned char>(pPcm[2 * i]) |
                                    static_cast<unsigned char>(pPcm[2 * i + 1]) << 8);
    };
    int crossings = 0;
    for (size_t i = 1; i < samples; ++i)
        crossings += (sample(i - 1) < 0) != (sample(i) < 0);
    return samples ? crossings * 16000.0 / static_cast<double>(samples) : 0;
}

std::string BufferBytes(const PcmBuffer& pPcm) {
    std::string bytes(pPcm.Size(), '\0');
    pPcm.Read(0, bytes.data(), bytes.size());
    return bytes;
}

class AlsaWaveBackendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!fs::exists("/usr/share/alsa/alsa.conf"))
            return;
        s_Dir = new QTemporaryDir();
        const std::string root = s_Dir->path().toStdString();
        std::string tone;
        for (int i = 0; i < 16000 * 20; ++i) {
            auto value = static_cast<int16_t>(8000 * std::sin(2 * M_PI * kToneHz * i / 16000.0));
            tone += static_cast<char>(value & 0xFF);
            tone += static_cast<char>((value >> 8) & 0xFF);
        }
        test::WriteFile(root + "/tone.raw", tone);
        test::WriteFile(root + "/asound.conf",
                        "</usr/share/alsa/alsa.conf>\n"
                        "pcm.brisa_test_mic {\n"
                        "  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
                        "  infile \"" + root + "/tone.raw\"\n  format \"raw\"\n}\n"
                        "pcm.brisa_test_speaker {\n"
                        "  type file\n  slave.pcm \"null\"\n"
                        "  file \"" + root + "/out.raw\"\n  format \"raw\"\n}\n"
                        "pcm.brisa_test_duplex {\n"
                        "  type asym\n  capture.pcm \"brisa_test_mic\"\n"
                        "  playback.pcm \"brisa_test_speaker\"\n}\n");
        ::setenv("ALSA_CONFIG_PATH", (root + "/asound.conf").c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete s_Dir;
        s_Dir = nullptr;
    }
    void SetUp() override {
        if (!s_Dir)
            GTEST_SKIP() << "ALSA is not installed here (no /usr/share/alsa/alsa.conf)";
        ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
        fs::remove(Out());
    }
    void TearDown() override { ::unsetenv("BRISAMAIL_AUDIO_DEVICE"); }

    static std::string Root() { return s_Dir->path().toStdString(); }
    static std::string Out() { return s_Dir ? Root() + "/out.raw" : ""; }

    // Records for pSeconds; returns the time between start and stop.
    static double Record(AlsaWaveBackend& pBackend, PcmBuffer& pPcm, double pSeconds) {
        std::string reason;
        const Clock::time_point start = Clock::now();
        EXPECT_TRUE(pBackend.StartCapture(pPcm, reason)) << reason;
        EXPECT_EQ(pBackend.State(), WaveState::Capturing);
        Sleep(pSeconds);
        const Clock::time_point stop = Clock::now();
        pBackend.StopCapture();
        EXPECT_LT(Seconds(Clock::now() - stop), 0.2) << "stopping took too long";
        EXPECT_EQ(pBackend.State(), WaveState::Idle);
        return Seconds(stop - start);
    }

    static bool WaitIdle(IWaveBackend& pBackend, double pLimit) {
        const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                           std::chrono::duration<double>(pLimit));
        while (pBackend.State() != WaveState::Idle && Clock::now() < until)
            Sleep(0.01);
        return pBackend.State() == WaveState::Idle;
    }

    static QTemporaryDir* s_Dir;
};

QTemporaryDir* AlsaWaveBackendTest::s_Dir = nullptr;

TEST_F(AlsaWaveBackendTest, DeviceNameComesFromTheEnvironment) {
    EXPECT_EQ(AlsaWaveBackend::DeviceFromEnvironment(), "default");
    EXPECT_EQ(AlsaWaveBackend().Device(), "default");
    ::setenv("BRISAMAIL_AUDIO_DEVICE", "brisa_test_mic", 1);
    EXPECT_EQ(AlsaWaveBackend().Device(), "brisa_test_mic");
    EXPECT_EQ(AlsaWaveBackend("plughw:1").Device(), "plughw:1");
    const WaveFormat format = AlsaWaveBackend().Format();
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.samplesPerSecond, 16000u);
}

TEST_F(AlsaWaveBackendTest, RecordingKeepsToTheClockAndHoldsTheTone) {
    AlsaWaveBackend backend("brisa_test_mic");
    std::string reason;
    ASSERT_TRUE(backend.Probe(reason)) << reason;
    PcmBuffer pcm;
    const double wall = Record(backend, pcm, 1.5);
    const double recorded = static_cast<double>(pcm.Size()) / kBytesPerSecond;
    EXPECT_NEAR(recorded, wall, wall * 0.1);
    EXPECT_NEAR(recorded, 1.5, 0.15);
    EXPECT_EQ(pcm.Size() % 2, 0u);
    EXPECT_NEAR(CrossingsPerSecond(BufferBytes(pcm)), 2 * kToneHz, 2 * kToneHz * 0.05);
}

TEST_F(AlsaWaveBackendTest, PauseAndResumeJoinBothStretches) {
    AlsaWaveBackend backend("brisa_test_mic");
    PcmBuffer pcm;
    double wall = Record(backend, pcm, 0.6);
    Sleep(0.5); // paused: nothing is recorded
    wall += Record(backend, pcm, 0.6);
    // The second stretch is added to the first, and the pause adds nothing:
    // never more than the time spent recording (the device's opening, slow
    // on a busy machine, only makes a stretch shorter).
    const double recorded = static_cast<double>(pcm.Size()) / kBytesPerSecond;
    EXPECT_GT(recorded, 0.9);
    EXPECT_LE(recorded, wall + 0.05);
}

TEST_F(AlsaWaveBackendTest, InterpreterRecordsAndSavesTheToneToAWaveFile) {
    ::setenv("BRISAMAIL_AUDIO_DEVICE", "brisa_test_duplex", 1);
    MciInterpreter mci([] { return std::make_unique<AlsaWaveBackend>(); });
    ASSERT_EQ(mci.Send("open new type waveaudio alias brisamsg"), 0u)
        << mci.ErrorText(MCIERR_DEVICE_NOT_READY);
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(mci.Send("record brisamsg overwrite"), 0u);
    Sleep(1.5);
    const double wall = Seconds(Clock::now() - start);
    ASSERT_EQ(mci.Send("stop brisamsg"), 0u);
    ASSERT_EQ(mci.Send("seek brisamsg to start"), 0u);

    fs::create_directories(Root() + "/program folder");
    const std::string path = Root() + "/program folder/in.wav";
    ASSERT_EQ(mci.Send("save brisamsg \"" + path + "\""), 0u);
    ASSERT_EQ(mci.Send("close brisamsg"), 0u);

    const std::string file = test::ReadFile(path);
    ASSERT_GT(file.size(), 44u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 4), "WAVE");
    EXPECT_EQ(file.substr(36, 4), "data");
    const std::string data = file.substr(44);
    const double recorded = static_cast<double>(data.size()) / kBytesPerSecond;
    EXPECT_NEAR(recorded, wall, wall * 0.1);
    EXPECT_NEAR(CrossingsPerSecond(data), 2 * kToneHz, 2 * kToneHz * 0.05);
}

TEST_F(AlsaWaveBackendTest, PlaybackWritesTheRecordingInRealTime) {
    AlsaWaveBackend microphone("brisa_test_mic");
    PcmBuffer pcm;
    Record(microphone, pcm, 0.5);
    const std::string samples = BufferBytes(pcm);
    ASSERT_GT(samples.size(), 10000u);

    AlsaWaveBackend speaker("brisa_test_speaker");
    std::string reason;
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(speaker.StartPlayback(pcm, 0, reason)) << reason;
    EXPECT_EQ(speaker.State(), WaveState::Playing);
    ASSERT_TRUE(WaitIdle(speaker, 5.0));
    const double took = Seconds(Clock::now() - start);
    const double length = static_cast<double>(samples.size()) / kBytesPerSecond;
    EXPECT_GE(took, length * 0.9);
    EXPECT_LT(took, length + 1.0);
    EXPECT_EQ(speaker.StopPlayback(), samples.size()); // ran to the end by itself
    EXPECT_TRUE(test::ReadFile(Out()) == samples);
}

TEST_F(AlsaWaveBackendTest, InterpreterPlaysFromTheGivenMillisecond) {
    ::setenv("BRISAMAIL_AUDIO_DEVICE", "brisa_test_duplex", 1);
    MciInterpreter mci([] { return std::make_unique<AlsaWaveBackend>(); });
    ASSERT_EQ(mci.Send("open new type waveaudio alias brisamsg"), 0u)
        << mci.ErrorText(MCIERR_DEVICE_NOT_READY);
    ASSERT_EQ(mci.Send("record brisamsg overwrite"), 0u);
    Sleep(1.0);
    ASSERT_EQ(mci.Send("stop brisamsg"), 0u);
    const std::string samples = BufferBytes(*mci.Recording("brisamsg"));

    ASSERT_EQ(mci.Send("play brisamsg from 100"), 0u);
    Sleep(0.2);
    EXPECT_LT(fs::exists(Out()) ? fs::file_size(Out()) : 0, samples.size() / 2)
        << "the whole recording was written at once";
    Sleep(1.5);
    // 100 ms are 3200 bytes of 16-bit mono at 16000 Hz.
    EXPECT_TRUE(test::ReadFile(Out()) == samples.substr(3200));
    ASSERT_EQ(mci.Send("close brisamsg"), 0u);
}

TEST_F(AlsaWaveBackendTest, StoppingPlaybackIsPromptAndReportsThePosition) {
    PcmBuffer pcm;
    pcm.AppendSilence(2 * 32000); // two seconds
    AlsaWaveBackend speaker("brisa_test_speaker");
    std::string reason;
    ASSERT_TRUE(speaker.StartPlayback(pcm, 0, reason)) << reason;
    Sleep(0.3);
    const Clock::time_point stop = Clock::now();
    const size_t reached = speaker.StopPlayback();
    EXPECT_LT(Seconds(Clock::now() - stop), 0.2);
    EXPECT_EQ(speaker.State(), WaveState::Idle);
    EXPECT_GT(reached, 0.2 * kBytesPerSecond);
    EXPECT_LT(reached, 1.0 * kBytesPerSecond);
}

TEST_F(AlsaWaveBackendTest, UnusableDeviceIsReportedAtOnce) {
    const Clock::time_point start = Clock::now();
    AlsaWaveBackend backend("brisa_no_such_device");
    std::string reason;
    EXPECT_FALSE(backend.Probe(reason));
    EXPECT_NE(reason.find("\"brisa_no_such_device\""), std::string::npos) << reason;
    PcmBuffer pcm;
    EXPECT_FALSE(backend.StartCapture(pcm, reason));
    EXPECT_FALSE(backend.StartPlayback(pcm, 0, reason));
    EXPECT_EQ(backend.State(), WaveState::Idle);
    EXPECT_LT(Seconds(Clock::now() - start), 2.0);

    ::setenv("BRISAMAIL_AUDIO_DEVICE", "brisa_no_such_device", 1);
    MciInterpreter mci([] { return std::make_unique<AlsaWaveBackend>(); });
    EXPECT_EQ(mci.Send("open new type waveaudio alias brisamsg"), MCIERR_DEVICE_NOT_READY);
    const std::string text = mci.ErrorText(MCIERR_DEVICE_NOT_READY);
    EXPECT_NE(text.find("No usable wave-audio input or output device was found"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("brisa_no_such_device"), std::string::npos) << text;
    EXPECT_EQ(mci.Send("record brisamsg overwrite"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_LT(Seconds(Clock::now() - start), 3.0);
}

} // namespace
} // namespace brisa
