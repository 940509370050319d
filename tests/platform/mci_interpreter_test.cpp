// The MCI wave-audio interpreter against a fake sound device: command
// parsing, every state and error code, the recording's lifecycle and the
// wave files it saves.
#include "platform/mci_interpreter.h"
#include "tests/support/temp_env.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {
namespace {

namespace fs = std::filesystem;

// What the fake devices were asked to do; the test feeds "captured" bytes.
struct FakeAudio {
    bool probeOk = true;
    bool captureOk = true;
    bool playOk = true;
    std::string reason = "the test microphone is unplugged";
    int created = 0, destroyed = 0, captures = 0, plays = 0;
    PcmBuffer* capturing = nullptr;
    const PcmBuffer* playing = nullptr;
    size_t playOffset = 0;
    size_t playedTo = 0;
    bool playEnded = false;

    void Capture(const std::string& pBytes) {
        if (capturing)
            capturing->Append(pBytes.data(), pBytes.size());
    }
};

class FakeWaveBackend : public IWaveBackend {
public:
    explicit FakeWaveBackend(FakeAudio& pAudio) : m_Audio(pAudio) { ++m_Audio.created; }
    ~FakeWaveBackend() override {
        ++m_Audio.destroyed;
        m_Audio.capturing = nullptr;
        m_Audio.playing = nullptr;
    }
    WaveFormat Format() const override { return {}; }
    bool Probe(std::string& pReason) override {
        if (!m_Audio.probeOk)
            pReason = m_Audio.reason;
        return m_Audio.probeOk;
    }
    bool StartCapture(PcmBuffer& pTarget, std::string& pReason) override {
        if (!m_Audio.captureOk) {
            pReason = m_Audio.reason;
            return false;
        }
        ++m_Audio.captures;
        m_Audio.capturing = &pTarget;
        return true;
    }
    void StopCapture() override { m_Audio.capturing = nullptr; }
    bool StartPlayback(const PcmBuffer& pSource, size_t pOffset, std::string& pReason) override {
        if (!m_Audio.playOk) {
            pReason = m_Audio.reason;
            return false;
        }
        ++m_Audio.plays;
        m_Audio.playing = &pSource;
        m_Audio.playOffset = m_Audio.playedTo = pOffset;
        m_Audio.playEnded = false;
        return true;
    }
    size_t StopPlayback() override {
        m_Audio.playing = nullptr;
        return m_Audio.playedTo;
    }
    WaveState State() override {
        if (m_Audio.capturing)
            return WaveState::Capturing;
        if (m_Audio.playing && !m_Audio.playEnded)
            return WaveState::Playing;
        return WaveState::Idle;
    }

private:
    FakeAudio& m_Audio;
};

class MciInterpreterTest : public ::testing::Test {
protected:
    FakeAudio audio; // outlives the interpreter's devices
    MciInterpreter mci{[this] { return std::make_unique<FakeWaveBackend>(audio); }};
    QTemporaryDir dir;

    std::string Path(const std::string& pName) { return dir.path().toStdString() + "/" + pName; }
    void OpenA() { ASSERT_EQ(mci.Send("open new type waveaudio alias a"), 0u); }
    std::string RecordingOf(const std::string& pAlias) {
        const PcmBuffer* pcm = mci.Recording(pAlias);
        if (!pcm)
            return "<closed>";
        std::string bytes(pcm->Size(), '\0');
        pcm->Read(0, bytes.data(), bytes.size());
        return bytes;
    }
};

uint32_t Le32(const std::string& pBytes, size_t pAt) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(pBytes[pAt + static_cast<size_t>(i)]);
    return value;
}
uint32_t Le16(const std::string& pBytes, size_t pAt) {
    return static_cast<unsigned char>(pBytes[pAt]) | static_cast<unsigned char>(pBytes[pAt + 1])
                                                         << 8;
}

// The header the device writes: RIFF/WAVE, PCM fmt, then data of pData bytes.
void ExpectWaveHeader(const std::string& pFile, uint32_t pData) {
    ASSERT_GE(pFile.size(), 44u);
    EXPECT_EQ(pFile.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(pFile, 4), pFile.size() - 8);
    EXPECT_EQ(pFile.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(pFile, 16), 16u);
    EXPECT_EQ(Le16(pFile, 20), 1u);     // PCM
    EXPECT_EQ(Le16(pFile, 22), 1u);     // mono
    EXPECT_EQ(Le32(pFile, 24), 16000u); // samples per second
    EXPECT_EQ(Le32(pFile, 28), 32000u); // bytes per second
    EXPECT_EQ(Le16(pFile, 32), 2u);     // block align
    EXPECT_EQ(Le16(pFile, 34), 16u);    // bits per sample
    EXPECT_EQ(pFile.substr(36, 4), "data");
    EXPECT_EQ(Le32(pFile, 40), pData);
}

// --- Parsing ---------------------------------------------------------------

TEST_F(MciInterpreterTest, VerbsKeywordsAndAliasIgnoreCaseAndExtraBlanks) {
    EXPECT_EQ(mci.Send("OPEN New TYPE WaveAudio ALIAS BrisaMsg"), 0u);
    EXPECT_EQ(mci.Send("  Record\tBRISAMSG   OverWrite  "), 0u);
    EXPECT_EQ(audio.captures, 1);
    audio.Capture("ab");
    EXPECT_EQ(mci.Send("PAUSE brisamsg"), 0u);
    EXPECT_EQ(mci.Send("STOP brisamsg"), 0u);
    EXPECT_EQ(mci.Send("Seek BrisaMsg TO Start"), 0u);
    EXPECT_EQ(mci.Send("PLAY brisamsg FROM 0"), 0u);
    EXPECT_EQ(mci.Send("Save brisamsg " + Path("x.wav")), 0u);
    EXPECT_EQ(mci.Send("CLOSE Brisamsg"), 0u);
    EXPECT_EQ(mci.Recording("brisamsg"), nullptr);
}

TEST_F(MciInterpreterTest, QuotedPathMayHoldBlanks) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture("1234");
    ASSERT_EQ(mci.Send("stop a"), 0u);
    fs::create_directories(Path("my folder"));
    const std::string target = Path("my folder/in put.wav");
    EXPECT_EQ(mci.Send("save a \"" + target + "\""), 0u);
    std::string file = test::ReadFile(target);
    ExpectWaveHeader(file, 4);
    EXPECT_EQ(file.substr(44), "1234");
}

TEST_F(MciInterpreterTest, MalformedCommandsGiveTheirMciCodes) {
    OpenA();
    const std::vector<std::pair<std::string, uint32_t>> cases = {
        {"", MCIERR_MISSING_COMMAND_STRING},
        {std::string("stop a\0 garbage", 15), 0}, // the command ends at a NUL
        {" \t ", MCIERR_MISSING_COMMAND_STRING},
        {"rewind a", MCIERR_UNRECOGNIZED_COMMAND},
        {"status a mode", MCIERR_UNRECOGNIZED_COMMAND},
        {"record", MCIERR_MISSING_DEVICE_NAME},
        {"open", MCIERR_MISSING_DEVICE_NAME},
        {"close \"\"", MCIERR_MISSING_DEVICE_NAME},
        {"record a again", MCIERR_UNRECOGNIZED_KEYWORD},
        {"record a overwrite wait", MCIERR_UNRECOGNIZED_KEYWORD},
        {"record a overwrite OVERWRITE", MCIERR_DUPLICATE_FLAGS},
        {"pause a now", MCIERR_UNRECOGNIZED_KEYWORD},
        {"stop a wait", MCIERR_UNRECOGNIZED_KEYWORD},
        {"close a notify", MCIERR_UNRECOGNIZED_KEYWORD},
        {"play a", MCIERR_MISSING_PARAMETER},
        {"play a from", MCIERR_MISSING_PARAMETER},
        {"play a from x", MCIERR_BAD_INTEGER},
        {"play a from -1", MCIERR_BAD_INTEGER},
        {"play a from 1.5", MCIERR_BAD_INTEGER},
        {"play a from 4294967296", MCIERR_BAD_INTEGER},
        {"play a from 0 from 0", MCIERR_DUPLICATE_FLAGS},
        {"play a to 5", MCIERR_UNRECOGNIZED_KEYWORD},
        {"seek a", MCIERR_MISSING_PARAMETER},
        {"seek a to", MCIERR_MISSING_PARAMETER},
        {"seek a to end", MCIERR_UNRECOGNIZED_KEYWORD},
        {"seek a to start to start", MCIERR_DUPLICATE_FLAGS},
        {"seek a start", MCIERR_UNRECOGNIZED_KEYWORD},
        {"save a", MCIERR_FILENAME_REQUIRED},
        {"save a \"\"", MCIERR_FILENAME_REQUIRED},
        {"save a two words.wav", MCIERR_UNRECOGNIZED_KEYWORD},
        {"save a \"unclosed.wav", MCIERR_NO_CLOSING_QUOTE},
        {"save a \"x.wav\"y", MCIERR_EXTRA_CHARACTERS},
        {"open new type waveaudio alias a", MCIERR_DUPLICATE_ALIAS},
        {"open new type waveaudio alias A", MCIERR_DUPLICATE_ALIAS},
        {"open new type waveaudio", MCIERR_NEW_REQUIRES_ALIAS},
        {"open new alias b", MCIERR_DEVICE_TYPE_REQUIRED},
        {"open new type cdaudio alias b", MCIERR_INVALID_DEVICE_NAME},
        {"open c:\\x.wav type waveaudio alias b", MCIERR_UNSUPPORTED_FUNCTION},
        {"open new type waveaudio alias", MCIERR_MISSING_STRING_ARGUMENT},
        {"open new type", MCIERR_MISSING_STRING_ARGUMENT},
        {"open new type waveaudio alias b shareable", MCIERR_UNRECOGNIZED_KEYWORD},
        {"open new type waveaudio type waveaudio alias b", MCIERR_DUPLICATE_FLAGS},
    };
    for (const auto& [command, code] : cases)
        EXPECT_EQ(mci.Send(command), code) << command;
    // None of them opened a second device or disturbed the first.
    EXPECT_EQ(audio.created, 1);
    EXPECT_EQ(mci.Recording("b"), nullptr);
    EXPECT_EQ(mci.Send("close a"), 0u);
}

// --- Devices and states ----------------------------------------------------

TEST_F(MciInterpreterTest, EveryVerbOnUnknownAliasIsInvalidDeviceName) {
    for (const char* command : {"record a", "record a overwrite", "pause a", "stop a",
                                "seek a to start", "play a from 1", "save a x.wav", "close a"})
        EXPECT_EQ(mci.Send(command), MCIERR_INVALID_DEVICE_NAME) << command;
    OpenA();
    EXPECT_EQ(mci.Send("close a"), 0u);
    EXPECT_EQ(mci.Send("close a"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mci.Send("record a"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(audio.captures, 0);
}

TEST_F(MciInterpreterTest, UnusableDeviceFailsToOpenWithItsReason) {
    audio.probeOk = false;
    EXPECT_EQ(mci.Send("open new type waveaudio alias brisamsg"), MCIERR_DEVICE_NOT_READY);
    std::string text = mci.ErrorText(MCIERR_DEVICE_NOT_READY);
    EXPECT_NE(text.find("No usable wave-audio input or output device was found"), std::string::npos)
        << text;
    EXPECT_NE(text.find("the test microphone is unplugged"), std::string::npos) << text;
    // The alias was not taken: what the program sends next fails as MCI does.
    EXPECT_EQ(mci.Send("record brisamsg overwrite"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mci.Send("stop brisamsg"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(audio.destroyed, audio.created);
}

TEST_F(MciInterpreterTest, CaptureOrPlaybackThatCannotStartIsDeviceNotReady) {
    OpenA();
    audio.captureOk = false;
    audio.reason = "device busy";
    EXPECT_EQ(mci.Send("record a overwrite"), MCIERR_DEVICE_NOT_READY);
    EXPECT_NE(mci.ErrorText(MCIERR_DEVICE_NOT_READY).find("device busy"), std::string::npos);
    audio.playOk = false;
    EXPECT_EQ(mci.Send("play a from 0"), MCIERR_DEVICE_NOT_READY);
    // The device stays open and usable.
    audio.captureOk = true;
    EXPECT_EQ(mci.Send("record a"), 0u);
}

TEST_F(MciInterpreterTest, PauseKeepsRecordingAndRecordAppends) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture("AB");
    ASSERT_EQ(mci.Send("pause a"), 0u);
    EXPECT_EQ(audio.capturing, nullptr);
    audio.Capture("lost while paused");
    ASSERT_EQ(mci.Send("record a"), 0u);
    audio.Capture("CD");
    ASSERT_EQ(mci.Send("stop a"), 0u);
    EXPECT_EQ(RecordingOf("a"), "ABCD");
    // After a stop, record without overwrite appends as well.
    ASSERT_EQ(mci.Send("record a"), 0u);
    audio.Capture("EF");
    ASSERT_EQ(mci.Send("stop a"), 0u);
    EXPECT_EQ(RecordingOf("a"), "ABCDEF");
}

TEST_F(MciInterpreterTest, OverwriteDiscardsTheRecording) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture("old");
    ASSERT_EQ(mci.Send("stop a"), 0u);
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture("new");
    EXPECT_EQ(RecordingOf("a"), "new");
    // Overwrite while recording starts anew as well.
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture("xy");
    ASSERT_EQ(mci.Send("stop a"), 0u);
    EXPECT_EQ(RecordingOf("a"), "xy");
}

TEST_F(MciInterpreterTest, PlayStartsAtMillisecondsAndStopsRecording) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture(std::string(64000, 'x')); // two seconds
    // Play during a recording ends the recording first.
    ASSERT_EQ(mci.Send("play a from 1"), 0u);
    EXPECT_EQ(audio.capturing, nullptr);
    EXPECT_EQ(audio.playing, mci.Recording("a"));
    EXPECT_EQ(audio.playOffset, 32u); // 1 ms of 16-bit mono at 16000 Hz
    ASSERT_EQ(mci.Send("play a from 1500"), 0u);
    EXPECT_EQ(audio.playOffset, 48000u);
    EXPECT_EQ(mci.Send("play a from 2000"), 0u); // the very end plays nothing
    EXPECT_EQ(mci.Send("play a from 2001"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(audio.plays, 3);
}

TEST_F(MciInterpreterTest, StopSeekRecordAndCloseEndPlayback) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture(std::string(3200, 'x'));
    for (const char* command : {"stop a", "seek a to start", "pause a", "record a", "close a"}) {
        if (!mci.Recording("a"))
            OpenA();
        ASSERT_EQ(mci.Send("play a from 0"), 0u) << command;
        ASSERT_NE(audio.playing, nullptr);
        EXPECT_EQ(mci.Send(command), 0u) << command;
        EXPECT_EQ(audio.playing, nullptr) << command;
        mci.Send("stop a");
    }
}

// --- Saving ----------------------------------------------------------------

TEST_F(MciInterpreterTest, SaveWritesTheSamplesByteExact) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    std::string samples;
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) // crosses several storage chunks
        samples += static_cast<char>(random() & 0xFF);
    audio.Capture(samples.substr(0, 70000));
    audio.Capture(samples.substr(70000));
    ASSERT_EQ(mci.Send("stop a"), 0u);
    ASSERT_EQ(mci.Send("save a " + Path("in.wav")), 0u);
    std::string file = test::ReadFile(Path("in.wav"));
    ASSERT_EQ(file.size(), 44u + samples.size());
    ExpectWaveHeader(file, static_cast<uint32_t>(samples.size()));
    EXPECT_TRUE(file.substr(44) == samples);
    // The recording is the user's voice: nobody else may read it.
    EXPECT_EQ(fs::status(Path("in.wav")).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    // Saving leaves nothing else in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), {}), 1);
}

TEST_F(MciInterpreterTest, OddSizedRecordingGetsPadByte) {
    OpenA();
    ASSERT_EQ(mci.Send("record a overwrite"), 0u);
    audio.Capture("abc");
    ASSERT_EQ(mci.Send("save a " + Path("odd.wav")), 0u);
    std::string file = test::ReadFile(Path("odd.wav"));
    ASSERT_EQ(file.size(), 48u);
    ExpectWaveHeader(file, 3);
    EXPECT_EQ(file.substr(44), std::string("abc\0", 4));
}

TEST_F(MciInterpreterTest, SaveIntoMissingFolderFailsAndLeavesNothing) {
    OpenA();
    EXPECT_EQ(mci.Send("save a \"" + Path("no such folder/in.wav") + "\""), MCIERR_FILE_NOT_SAVED);
    std::string text = mci.ErrorText(MCIERR_FILE_NOT_SAVED);
    EXPECT_NE(text.find("could not be saved"), std::string::npos) << text;
    EXPECT_NE(text.find("no such folder"), std::string::npos) << text;
    EXPECT_TRUE(fs::is_empty(dir.path().toStdString()));
}

} // namespace
} // namespace brisa
