// The MCI wave-audio device: the command strings it understands, the codes
// it answers with, what it does to the recording, and the wave files it
// saves. The sound device under it is a stand-in the test hands bytes to.
#include "platform/mci_interpreter.h"

#include "tests/support/temp_env.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>

namespace brisa {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The sound device: captures what the test hands it, plays until stopped.
struct Audio {
    bool works = true;
    PcmBuffer* capturing = nullptr;
    const PcmBuffer* playing = nullptr;
    size_t playingFrom = 0;
};

class FakeDevice : public IWaveBackend {
public:
    explicit FakeDevice(Audio& pAudio) : m(pAudio) {}
    ~FakeDevice() override {
        m.capturing = nullptr;
        m.playing = nullptr;
    }
    WaveFormat Format() const override { return {}; }
    bool Probe(std::string& pReason) override { return Works(pReason); }
    bool StartCapture(PcmBuffer& pTarget, std::string& pReason) override {
        return Works(pReason) && (m.capturing = &pTarget);
    }
    void StopCapture() override { m.capturing = nullptr; }
    bool StartPlayback(const PcmBuffer& pSource, size_t pOffset, std::string& pReason) override {
        m.playingFrom = pOffset;
        return Works(pReason) && (m.playing = &pSource);
    }
    size_t StopPlayback() override {
        m.playing = nullptr;
        return m.playingFrom;
    }
    WaveState State() override {
        return m.capturing ? WaveState::Capturing
               : m.playing ? WaveState::Playing
                           : WaveState::Idle;
    }

private:
    bool Works(std::string& pReason) {
        pReason = "the microphone is unplugged";
        return m.works;
    }
    Audio& m;
};

struct Mci {
    Audio audio;
    MciInterpreter mci{[this] { return std::make_unique<FakeDevice>(audio); }};

    void Capture(const std::string& pBytes) {
        if (audio.capturing)
            audio.capturing->Append(pBytes.data(), pBytes.size());
    }
    std::string Recording() {
        const PcmBuffer* pcm = mci.Recording("a");
        std::string bytes(pcm ? pcm->Size() : 0, '\0');
        return pcm && pcm->Read(0, bytes.data(), bytes.size()) == bytes.size() ? bytes : "<closed>";
    }
};

struct Step {
    std::string text;
    uint32_t code = 0;
};

// One session of commands, in order. Besides commands the steps are
//   +bytes  the microphone captures these bytes     *N  ... N bytes
//   =bytes  what the recording of alias a holds
//   >N      playback runs from byte N (>- none runs)
//   ?text   the text of the last error mentions this
//   !fail   the sound device stops working           !ok  works again
TEST(MciInterpreter, Commands) {
    // clang-format off
    const std::vector<Step> steps = {
        {"record a", MCIERR_INVALID_DEVICE_NAME}, {"close a", MCIERR_INVALID_DEVICE_NAME},
        {"!fail"}, {"open new type waveaudio alias a", MCIERR_DEVICE_NOT_READY},
        {"?the microphone is unplugged"}, {"record a overwrite", MCIERR_INVALID_DEVICE_NAME},
        {"!ok"}, {"OPEN New TYPE WaveAudio ALIAS A"}, {"", MCIERR_MISSING_COMMAND_STRING},
        {" \t ", MCIERR_MISSING_COMMAND_STRING}, {"stop a\0 garbage"s}, // the command ends at a NUL
        {"rewind a", MCIERR_UNRECOGNIZED_COMMAND}, {"status a mode", MCIERR_UNRECOGNIZED_COMMAND},
        {"recorder a", MCIERR_UNRECOGNIZED_COMMAND}, {"record", MCIERR_MISSING_DEVICE_NAME},
        {"open", MCIERR_MISSING_DEVICE_NAME}, {"close \"\"", MCIERR_MISSING_DEVICE_NAME},
        {"stop b", MCIERR_INVALID_DEVICE_NAME}, {"record a again", MCIERR_UNRECOGNIZED_KEYWORD},
        {"record a overwrite OVERWRITE", MCIERR_DUPLICATE_FLAGS},
        {"pause a now", MCIERR_UNRECOGNIZED_KEYWORD}, {"play a", MCIERR_MISSING_PARAMETER},
        {"play a from", MCIERR_MISSING_PARAMETER}, {"play a from x", MCIERR_BAD_INTEGER},
        {"play a from 1.5", MCIERR_BAD_INTEGER}, {"play a from 4294967296", MCIERR_BAD_INTEGER},
        {"play a from 0 from 0", MCIERR_DUPLICATE_FLAGS},
        {"play a to 5", MCIERR_UNRECOGNIZED_KEYWORD}, {"seek a", MCIERR_MISSING_PARAMETER},
        {"seek a to", MCIERR_MISSING_PARAMETER}, {"seek a to end", MCIERR_UNRECOGNIZED_KEYWORD},
        {"seek a to start to start", MCIERR_DUPLICATE_FLAGS},
        {"seek a start", MCIERR_UNRECOGNIZED_KEYWORD}, {"save a", MCIERR_FILENAME_REQUIRED},
        {"save a \"\"", MCIERR_FILENAME_REQUIRED},
        {"save a two words.wav", MCIERR_UNRECOGNIZED_KEYWORD},
        {"save a \"unclosed.wav", MCIERR_NO_CLOSING_QUOTE},
        {"save a \"x.wav\"y", MCIERR_EXTRA_CHARACTERS},
        {"open new type waveaudio alias A", MCIERR_DUPLICATE_ALIAS},
        {"open new type waveaudio", MCIERR_NEW_REQUIRES_ALIAS},
        {"open new alias b", MCIERR_DEVICE_TYPE_REQUIRED},
        {"open new type cdaudio alias b", MCIERR_INVALID_DEVICE_NAME},
        {"open c:\\x.wav type waveaudio alias b", MCIERR_UNSUPPORTED_FUNCTION},
        {"open new type waveaudio alias", MCIERR_MISSING_STRING_ARGUMENT},
        {"open new type", MCIERR_MISSING_STRING_ARGUMENT},
        {"open new type waveaudio alias b shareable", MCIERR_UNRECOGNIZED_KEYWORD},
        {"open new type waveaudio type waveaudio alias b", MCIERR_DUPLICATE_FLAGS},
        {"stop b", MCIERR_INVALID_DEVICE_NAME}, // none of them opened b
        {"="},
        // Pause keeps the recording, record goes on with it.
        {"  Record\tA   OverWrite  "}, {"+AB"}, {"PAUSE a"}, {"+lost while paused"}, {"record a"},
        {"+CD"}, {"stop a"}, {"=ABCD"}, {"record a"}, {"+EF"}, {"pause a"}, {"stop a"},
        {"=ABCDEF"},
        // Overwrite starts anew, stopped or recording.
        {"record a overwrite"}, {"+new"}, {"=new"}, {"record a overwrite"}, {"+xy"}, {"=xy"},
        // Play ends the recording and starts at milliseconds of 16-bit mono
        // at 16000 Hz; every other verb ends the playback.
        {"*63998"}, {"play a from 1"}, {"+lost"}, {">32"}, {"play a from 1500"}, {">48000"},
        {"play a from 2000"}, {"play a from 2001", MCIERR_OUTOFRANGE}, {"stop a"}, {">-"},
        {"play a from 0"}, {"seek a to start"}, {">-"}, {"play a from 0"}, {"pause a"}, {">-"},
        {"play a from 0"}, {"record a"}, {">-"}, {"play a from 0"}, {"Close A"}, {">-"},
        {"=<closed>"}, {"close a", MCIERR_INVALID_DEVICE_NAME},
        // A device that fails later stays open and usable.
        {"open new type waveaudio alias a"}, {"!fail"},
        {"record a overwrite", MCIERR_DEVICE_NOT_READY}, {"?the microphone is unplugged"},
        {"play a from 0", MCIERR_DEVICE_NOT_READY}, {"!ok"}, {"record a"}, {"+ok"}, {"=ok"}};
    // clang-format on
    Mci m;
    uint32_t last = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        const auto& [step, code] = steps[i];
        const std::string rest = step.empty() ? "" : step.substr(1);
        const std::string where = "step " + std::to_string(i) + ": " + step;
        if (step == "!fail" || step == "!ok")
            m.audio.works = step == "!ok";
        else if (step[0] == '+' || step[0] == '*')
            m.Capture(step[0] == '+' ? rest : std::string(std::stoul(rest), 'x'));
        else if (step[0] == '=')
            EXPECT_EQ(m.Recording(), rest) << where;
        else if (step[0] == '>')
            EXPECT_EQ(m.audio.playing ? std::to_string(m.audio.playingFrom) : "-", rest) << where;
        else if (step[0] == '?')
            EXPECT_NE(m.mci.ErrorText(last).find(rest), std::string::npos) << where;
        else
            EXPECT_EQ(last = m.mci.Send(step), code) << where;
    }
}

// What a wave file holds: the RIFF header of 16-bit mono PCM at 16000 Hz
// (32000 bytes a second, 2-byte blocks), the samples, a pad byte after an
// odd count.
std::string Wave(const std::string& pSamples) {
    const auto le32 = [](size_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    const std::string pad(pSamples.size() % 2, '\0');
    return "RIFF" + le32(36 + pSamples.size() + pad.size()) + "WAVEfmt " +
           "\x10\0\0\0\x01\0\x01\0\x80\x3e\0\0\0\x7d\0\0\x02\0\x10\0"s + "data" +
           le32(pSamples.size()) + pSamples + pad;
}

TEST(MciInterpreter, SavesWaveFiles) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::string noise(200000, '\0'); // more than one piece of storage
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>(i * 7919 % 251);
    Mci m;
    ASSERT_EQ(m.mci.Send("open new type waveaudio alias a"), 0u);
    fs::create_directories(folder + "/my folder");
    const std::vector<std::pair<std::string, std::string>> saves = {
        {"abc", "odd.wav"}, {"1234", "my folder/in put.wav"}, {noise, "in.wav"}, {"", "0.wav"}};
    for (const auto& [samples, name] : saves) {
        ASSERT_EQ(m.mci.Send("record a overwrite"), 0u);
        m.Capture(samples.substr(0, 70000));
        m.Capture(samples.substr(std::min<size_t>(70000, samples.size())));
        ASSERT_EQ(m.mci.Send("save a \"" + folder + "/" + name + "\""), 0u) << name;
        EXPECT_TRUE(test::ReadFile(folder + "/" + name) == Wave(samples)) << name;
        // A recording is the user's voice: nobody else may read it.
        EXPECT_EQ(fs::status(folder + "/" + name).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    // Only the saved files are left, even from a save that failed.
    EXPECT_EQ(m.mci.Send("save a \"" + folder + "/no such folder/in.wav\""), MCIERR_FILE_NOT_SAVED);
    EXPECT_NE(m.mci.ErrorText(MCIERR_FILE_NOT_SAVED).find("no such folder"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/my folder"), {}), 1);
}

} // namespace
} // namespace brisa
