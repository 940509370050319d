// Record, pause, resume, play and stop on the main window and the recording
// clock: first against a fake wave-audio device (the tests play the timer's
// part by calling the tick handler), then once end to end against the real
// MCI interpreter over an ALSA "file" device.
#include "app/main_window.h"

#include "common/utilities.h"
#include "language/translation.h"
#include "platform/linux/alsa_wave_backend.h"
#include "platform/mci_interpreter.h"
#include "platform/program_folder.h"
#include "recording/slider.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"
#include "tools/gif_encoder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace brisa::test {
namespace {

const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

std::string T(const char* pId) {
    const auto text = Tr(pId);
    return text ? *text : std::string("<no ") + pId + ">";
}

// A small four-frame logo, so the animation can be watched.
std::string LogoGif() {
    std::vector<QImage> frames;
    for (QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)}) {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(colour);
        frames.push_back(image);
    }
    return art::EncodeAnimation(frames, {5, 5, 5, 5});
}

// One log of what reaches the sound player, the device and the message box,
// in the order it happened.
struct CallLog {
    std::vector<std::string> entries;
};

class LoggingMci : public FakeMci {
public:
    explicit LoggingMci(CallLog& pLog) : m_Log(pLog) {}
    uint32_t Send(const std::string& pCommand) override {
        m_Log.entries.push_back("mci " + pCommand);
        return FakeMci::Send(pCommand);
    }

private:
    CallLog& m_Log;
};

class LoggingSound : public FakeSoundPlayer {
public:
    explicit LoggingSound(CallLog& pLog) : m_Log(pLog) {}
    void Play(const std::string& pPath, int pMode) override {
        FakeSoundPlayer::Play(pPath, pMode);
        m_Log.entries.push_back("sound " + Names().back() + (pMode == SND_SYNC ? " sync" : " async"));
    }

private:
    CallLog& m_Log;
};

class LoggingMessageBox : public FakeMessageBox {
public:
    explicit LoggingMessageBox(CallLog& pLog) : m_Log(pLog) {}
    int Show(const std::string& pText, const std::string& pTitle, int pStyle) override {
        m_Log.entries.push_back("box " + pTitle);
        return FakeMessageBox::Show(pText, pTitle, pStyle);
    }

private:
    CallLog& m_Log;
};

struct ButtonStates {
    bool record, play, stop, send, close, hide;
    bool operator==(const ButtonStates&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ButtonStates& b) {
    return os << "record " << b.record << ", play " << b.play << ", stop " << b.stop << ", send "
              << b.send << ", close " << b.close << ", hide " << b.hide;
}

const ButtonStates kStopped{true, true, false, true, true, true};
const ButtonStates kRecording{true, false, true, false, false, false};
const ButtonStates kPaused{true, false, false, false, false, false};
const ButtonStates kPlaying{false, false, true, false, false, false};

class RecordingButtons : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string from = std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt";
        WriteFile(env.Path("lang/00000409.txt"), ReadFile(from));
        WriteFile(env.Path("logo.gif"), LogoGif());
    }
    void TearDown() override { window.reset(); }

    frmMM& Start(bool pSounds = false) {
        services = fakes.Wire();
        services.mci = &mci;
        services.sound = &sound;
        services.messageBox = &boxes;
        window = std::make_unique<frmMM>(services, "");
        window->Form_Load();
        window->FinishStartUp();
        designedInterval = window->tmrRecording.interval();
        // The tests are the clock: the window's own timer must not tick
        // in between (it is still started and stopped as usual).
        window->tmrRecording.setInterval(3600 * 1000);
        Put("PlaySounds", pSounds ? "1" : "0");
        log.entries.clear();
        sound.played.clear();
        fakes.mixer.writes.clear();
        return *window;
    }
    void Put(const std::string& pName, const std::string& pValue) {
        fakes.registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
    }
    ButtonStates Buttons() const {
        const frmMM& w = *window;
        return {w.cmdRecord->isEnabled(), w.cmdPlay->isEnabled(), w.cmdStop->isEnabled(),
                w.cmdSend->isEnabled(),   w.cmdClose->isEnabled(), w.cmdHide->isEnabled()};
    }
    std::string Status() const { return window->lblStatus->text().toStdString(); }
    std::string Caption() const { return window->cmdRecord->Caption().toStdString(); }
    std::string Tip() const { return window->cmdRecord->toolTip().toStdString(); }
    void Ticks(int pCount) {
        for (int i = 0; i < pCount; ++i) window->tmrRecording_Timer();
    }
    // Records pSeconds counted seconds (the first one comes with Record).
    void RecordFor(int pSeconds) {
        window->cmdRecord_Click();
        Ticks(pSeconds - 1);
    }
    std::vector<std::string> Speakers() const {
        std::vector<std::string> values;
        for (const auto& [line, value] : fakes.mixer.writes)
            values.push_back((line == MixerLine::Speakers ? "speakers " : "mic ") + std::to_string(value));
        return values;
    }

    TempEnv env;
    FakeServices fakes;
    CallLog log;
    LoggingMci mci{log};
    LoggingSound sound{log};
    LoggingMessageBox boxes{log};
    Services services;
    std::unique_ptr<frmMM> window;
    int designedInterval = 0;
};

// ---- the button states and texts ------------------------------------------------

TEST_F(RecordingButtons, NewRecordingOpensTheDeviceAndShowsTheFirstSecond) {
    frmMM& w = Start();
    WriteFile(env.Path("in.wav"), "the previous message");
    EXPECT_EQ(w.tmrRecording.isActive(), false);
    w.cmdRecord_Click();

    EXPECT_EQ(mci.commands, (std::vector<std::string>{"close brisamsg", "open new type waveaudio alias brisamsg",
                                                      "record brisamsg overwrite"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(env.Path("in.wav"))));
    EXPECT_EQ(w.m_RecordState, "record");
    EXPECT_EQ(w.m_Mode, T("mm0050"));
    EXPECT_EQ(Caption(), T("mm0077"));
    EXPECT_EQ(Tip(), T("mm0078"));
    EXPECT_EQ(Buttons(), kRecording);
    EXPECT_EQ(w.m_Elapsed, 1);
    EXPECT_EQ(w.m_RecordedLength, 1);
    EXPECT_EQ(Status(), T("mm0050") + ": 0:01");
    EXPECT_EQ(Status(), "Recording: 0:01");
    EXPECT_TRUE(w.tmrRecording.isActive());
    EXPECT_TRUE(w.gifLogo->IsRunning());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RecordingButtons, TheClockTicksOnceASecond) {
    frmMM& w = Start();
    EXPECT_EQ(designedInterval, 1000);
    w.cmdRecord_Click();
    Ticks(64);
    EXPECT_EQ(Status(), "Recording: 1:05");
    EXPECT_EQ(w.m_RecordedLength, 65);
}

TEST_F(RecordingButtons, PauseHoldsTheClockAndLeavesOnlyResume) {
    frmMM& w = Start();
    RecordFor(5);
    mci.commands.clear();
    w.cmdRecord_Click();

    EXPECT_EQ(mci.commands, std::vector<std::string>{"pause brisamsg"});
    EXPECT_EQ(w.m_RecordState, "pause");
    EXPECT_EQ(w.m_Mode, T("mm0081"));
    EXPECT_EQ(Status(), "Paused");
    EXPECT_EQ(Caption(), T("mm0079"));
    EXPECT_EQ(Tip(), T("mm0080"));
    EXPECT_EQ(Buttons(), kPaused);
    EXPECT_FALSE(w.tmrRecording.isActive());
    EXPECT_EQ(w.m_Elapsed, 5);
    EXPECT_TRUE(w.gifLogo->IsRunning());
}

TEST_F(RecordingButtons, ResumeRecordsOnWithoutAnImmediateTick) {
    frmMM& w = Start();
    WriteFile(env.Path("in.wav"), "kept until the next new recording");
    RecordFor(3);
    WriteFile(env.Path("in.wav"), "kept until the next new recording");
    w.cmdRecord_Click();
    mci.commands.clear();
    w.cmdRecord_Click();

    EXPECT_EQ(mci.commands, std::vector<std::string>{"record brisamsg"});
    EXPECT_TRUE(QFile::exists(QString::fromStdString(env.Path("in.wav"))));
    EXPECT_EQ(w.m_RecordState, "record");
    EXPECT_EQ(w.m_Mode, T("mm0081")); // resuming keeps the word of the pause
    EXPECT_EQ(Caption(), T("mm0077"));
    EXPECT_EQ(Tip(), T("mm0078"));
    EXPECT_EQ(Buttons(), kRecording);
    EXPECT_TRUE(w.tmrRecording.isActive());
    EXPECT_EQ(w.m_Elapsed, 3);
}

TEST_F(RecordingButtons, PausedAtTwentySecondsResumesAtTwentyOne) {
    frmMM& w = Start();
    RecordFor(20);
    EXPECT_EQ(Status(), "Recording: 0:20");
    w.cmdRecord_Click();
    w.cmdRecord_Click();
    EXPECT_EQ(Status(), "Paused");
    Ticks(1);
    EXPECT_EQ(Status(), "Recording: 0:21");
    EXPECT_EQ(w.m_RecordedLength, 21);
}

TEST_F(RecordingButtons, StopAfterPauseAndResumeCountsOnlyRecordedSeconds) {
    frmMM& w = Start();
    RecordFor(5);
    w.cmdRecord_Click(); // pause: nothing is counted meanwhile
    w.cmdRecord_Click(); // resume
    Ticks(3);
    mci.commands.clear();
    w.cmdStop_Click();

    EXPECT_EQ(mci.commands, (std::vector<std::string>{"stop brisamsg", "seek brisamsg to start"}));
    EXPECT_EQ(w.m_RecordedLength, 8);
    EXPECT_EQ(w.m_RecordState, "");
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_EQ(Caption(), T("mm0063"));
    EXPECT_EQ(Tip(), T("mm0038"));
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_EQ(Status(), T("mm0049"));
    EXPECT_FALSE(w.tmrRecording.isActive());
    EXPECT_FALSE(w.gifLogo->IsRunning());
    EXPECT_EQ(w.gifLogo->CurrentFrame(), 1);
}

TEST_F(RecordingButtons, RecordAfterAFinishedRecordingStartsAfresh) {
    frmMM& w = Start();
    RecordFor(7);
    w.cmdStop_Click();
    WriteFile(env.Path("in.wav"), "saved by the last send");
    mci.commands.clear();
    w.cmdRecord_Click();
    EXPECT_EQ(mci.commands, (std::vector<std::string>{"close brisamsg", "open new type waveaudio alias brisamsg",
                                                      "record brisamsg overwrite"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(env.Path("in.wav"))));
    EXPECT_EQ(w.m_Elapsed, 1);
    EXPECT_EQ(w.m_RecordedLength, 1);
    EXPECT_EQ(Status(), "Recording: 0:01");
}

// ---- playback ---------------------------------------------------------------------

TEST_F(RecordingButtons, PlaybackOfTwelveSecondsCountsUpAndEndsByItself) {
    frmMM& w = Start();
    RecordFor(12);
    w.cmdStop_Click();
    mci.commands.clear();
    w.cmdPlay_Click();

    EXPECT_EQ(mci.commands, std::vector<std::string>{"play brisamsg from 1"});
    EXPECT_EQ(w.m_Mode, T("mm0051"));
    EXPECT_EQ(w.m_RecordState, "");
    EXPECT_EQ(w.m_Elapsed, 0);
    EXPECT_EQ(Status(), T("mm0004"));
    EXPECT_EQ(Buttons(), kPlaying);
    EXPECT_EQ(Caption(), T("mm0063"));
    EXPECT_TRUE(w.tmrRecording.isActive());
    EXPECT_TRUE(w.gifLogo->IsRunning());

    for (int second = 1; second <= 11; ++second) {
        Ticks(1);
        char expected[32];
        std::snprintf(expected, sizeof expected, "Playing: 0:%02d - 0:12", second);
        EXPECT_EQ(Status(), expected);
        EXPECT_EQ(Buttons(), kPlaying);
    }
    Ticks(1);
    EXPECT_EQ(Status(), T("mm0051") + ": 0:12 - 0:12");
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_FALSE(w.tmrRecording.isActive());
    EXPECT_FALSE(w.tmrFocus.isActive());
    EXPECT_FALSE(w.gifLogo->IsRunning());
    EXPECT_EQ(w.gifLogo->CurrentFrame(), 1);
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_EQ(w.m_Elapsed, 0);
    EXPECT_EQ(w.m_RecordedLength, 12);
    // The device ended the playback itself: it is told nothing.
    EXPECT_EQ(mci.commands, std::vector<std::string>{"play brisamsg from 1"});

    // It can be played again from the start.
    w.cmdPlay_Click();
    Ticks(1);
    EXPECT_EQ(Status(), "Playing: 0:01 - 0:12");
}

TEST_F(RecordingButtons, StopDuringPlaybackKeepsTheRecordedLength) {
    frmMM& w = Start();
    RecordFor(9);
    w.cmdStop_Click();
    w.cmdPlay_Click();
    Ticks(4);
    mci.commands.clear();
    w.cmdStop_Click();
    EXPECT_EQ(mci.commands, (std::vector<std::string>{"stop brisamsg", "seek brisamsg to start"}));
    EXPECT_EQ(w.m_RecordedLength, 9);
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_EQ(Status(), T("mm0049"));
    EXPECT_FALSE(w.tmrRecording.isActive());
}

// ---- the recording limit ------------------------------------------------------------

TEST_F(RecordingButtons, AutoStopSixtyMeansThreeMinutesAndEndsWithTheErrorSound) {
    frmMM& w = Start(true);
    Put("AutoStop", "60");
    RecordFor(179);
    EXPECT_EQ(Status(), "Recording: 2:59");
    EXPECT_EQ(w.m_RecordState, "record");
    mci.commands.clear();
    sound.played.clear();
    Ticks(1);

    EXPECT_EQ(mci.commands, (std::vector<std::string>{"stop brisamsg", "seek brisamsg to start"}));
    EXPECT_EQ(w.m_RecordedLength, 180);
    EXPECT_EQ(w.m_RecordState, "");
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_FALSE(w.tmrRecording.isActive());
    EXPECT_EQ(Status(), T("mm0049")); // the stopping tick shows no time
    ASSERT_EQ(sound.Names(), (std::vector<std::string>{"click.wav", "error.wav"}));
    EXPECT_EQ(sound.played[0].mode, SND_ASYNC);
    EXPECT_EQ(sound.played[1].mode, SND_ASYNC);
    EXPECT_EQ(sound.played[1].path, ProgramPath("/sounds/error.wav"));
}

TEST_F(RecordingButtons, AutoStopWithoutSoundsIsSilent) {
    frmMM& w = Start(false);
    Put("AutoStop", "60");
    RecordFor(180);
    EXPECT_EQ(w.m_RecordState, "");
    EXPECT_EQ(w.m_RecordedLength, 180);
    EXPECT_TRUE(sound.played.empty());
}

TEST_F(RecordingButtons, AutoStopAboveTheMaximumStopsAtFiveMinutes) {
    frmMM& w = Start();
    Put("AutoStop", "1000");
    RecordFor(299);
    EXPECT_EQ(Status(), "Recording: 4:59");
    EXPECT_EQ(w.m_RecordState, "record");
    Ticks(1);
    EXPECT_EQ(w.m_RecordState, "");
    EXPECT_EQ(w.m_RecordedLength, 300);
}

TEST_F(RecordingButtons, PausedTimeDoesNotCountTowardsTheLimit) {
    frmMM& w = Start();
    Put("AutoStop", "180");
    RecordFor(100);
    w.cmdRecord_Click();
    w.cmdRecord_Click();
    Ticks(79);
    EXPECT_EQ(w.m_RecordState, "record");
    Ticks(1);
    EXPECT_EQ(w.m_RecordState, "");
    EXPECT_EQ(w.m_RecordedLength, 180);
}

// ---- device failures ----------------------------------------------------------------

TEST_F(RecordingButtons, WithoutADeviceEveryFailureIsShownAndTheFlowGoesOn) {
    frmMM& w = Start();
    for (const char* verb : {"open", "record", "stop", "seek", "close"}) mci.failVerb[verb] = 263;
    mci.failVerb["open"] = 276;
    w.cmdRecord_Click();

    ASSERT_EQ(boxes.shown.size(), 2u); // open and record; close is not reported
    EXPECT_EQ(boxes.shown[0].text, "MCI error 276");
    EXPECT_EQ(boxes.shown[0].title, "BrisaMail");
    EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
    EXPECT_EQ(boxes.shown[1].text, "MCI error 263");
    EXPECT_EQ(boxes.shown[1].title, "BrisaMail");
    EXPECT_EQ(boxes.shown[1].style, vbOKOnly);
    EXPECT_EQ(w.m_RecordState, "record");
    EXPECT_EQ(Buttons(), kRecording);
    EXPECT_TRUE(w.tmrRecording.isActive());
    EXPECT_EQ(w.m_MciError, "");
    Ticks(2);
    EXPECT_EQ(Status(), "Recording: 0:03");

    w.cmdStop_Click();
    ASSERT_EQ(boxes.shown.size(), 4u);
    EXPECT_EQ(boxes.shown[2].title, "BrisaMail");
    EXPECT_EQ(boxes.shown[3].title, "BrisaMail");
    EXPECT_EQ(boxes.shown[3].style, vbOKOnly);
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_EQ(w.m_RecordedLength, 3);
    EXPECT_EQ(w.m_MciError, "");
}

TEST_F(RecordingButtons, FailedPauseIsReportedAndThePauseStillShows) {
    frmMM& w = Start();
    RecordFor(4);
    mci.failVerb["pause"] = 261;
    w.cmdRecord_Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "command1 - pause brisamsg");
    EXPECT_EQ(boxes.shown[0].text, "MCI error 261");
    EXPECT_EQ(boxes.shown[0].style, vbOKOnly);
    EXPECT_EQ(w.m_RecordState, "pause");
    EXPECT_EQ(Buttons(), kPaused);
    EXPECT_EQ(Status(), "Paused");
    EXPECT_FALSE(w.tmrRecording.isActive());
}

TEST_F(RecordingButtons, FailedResumeIsReportedAndRecordingGoesOn) {
    frmMM& w = Start();
    RecordFor(4);
    w.cmdRecord_Click();
    mci.failVerb["record"] = 263;
    w.cmdRecord_Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "command1 - record brisamsg");
    EXPECT_EQ(w.m_RecordState, "record");
    EXPECT_EQ(Buttons(), kRecording);
    EXPECT_TRUE(w.tmrRecording.isActive());
}

TEST_F(RecordingButtons, FailedPlayIsReportedAndThePlaybackClockRuns) {
    frmMM& w = Start();
    RecordFor(3);
    w.cmdStop_Click();
    mci.failVerb["play"] = 276;
    w.cmdPlay_Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "BrisaMail");
    EXPECT_EQ(Buttons(), kPlaying);
    Ticks(1);
    EXPECT_EQ(Status(), "Playing: 0:01 - 0:03");
}

// ---- the speaker slider ----------------------------------------------------------------

TEST_F(RecordingButtons, RecordingPullsTheSpeakersDownAndPauseAndStopRestoreThem) {
    frmMM& w = Start();
    const int32_t before = w.m_OutSlider->GetTracBarPos();
    ASSERT_EQ(before, -21667);
    w.cmdRecord_Click();
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), 1);
    EXPECT_EQ(w.m_OutSlider->GetOldValue(), before);
    EXPECT_EQ(Speakers(), std::vector<std::string>{"speakers 1"});
    w.cmdRecord_Click(); // pause
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), before);
    w.cmdRecord_Click(); // resume
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), 1);
    w.cmdStop_Click();
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), before);
    EXPECT_EQ(Speakers(), (std::vector<std::string>{"speakers 1", "speakers 21667", "speakers 1",
                                                    "speakers 21667"}));
}

TEST_F(RecordingButtons, StopAfterPlaybackReturnsTheSpeakersToTheLastRememberedPosition) {
    frmMM& w = Start();
    RecordFor(2);
    w.cmdStop_Click();
    // The user turns the speakers up after the recording ...
    w.m_OutSlider->SetTracBarPos(-60000);
    w.cmdPlay_Click();
    fakes.mixer.writes.clear();
    w.cmdStop_Click();
    // ... and Stop puts the slider back where the recording found it.
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), -21667);
    EXPECT_EQ(Speakers(), std::vector<std::string>{"speakers 21667"});
}

TEST_F(RecordingButtons, WithoutASpeakerControlTheMixerIsLeftAlone) {
    fakes.mixer.speakerVolume = false;
    frmMM& w = Start();
    w.cmdRecord_Click();
    w.cmdRecord_Click();
    w.cmdRecord_Click();
    w.cmdStop_Click();
    EXPECT_TRUE(Speakers().empty());
    EXPECT_EQ(Buttons(), kStopped);
}

// ---- sounds -------------------------------------------------------------------------------

TEST_F(RecordingButtons, ClicksOfRecordAndPlayEndBeforeTheDeviceStartsAndStopsClickAfter) {
    frmMM& w = Start(true);
    w.cmdRecord_Click();
    ASSERT_GE(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[0], "sound click.wav sync");
    EXPECT_EQ(log.entries[1], "mci close brisamsg");
    EXPECT_EQ(sound.played[0].path, ProgramPath("/sounds/click.wav"));

    log.entries.clear();
    w.cmdRecord_Click(); // pause
    w.cmdRecord_Click(); // resume
    EXPECT_EQ(log.entries, (std::vector<std::string>{"sound click.wav sync", "mci pause brisamsg",
                                                     "sound click.wav sync", "mci record brisamsg"}));

    log.entries.clear();
    w.cmdStop_Click();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"mci stop brisamsg", "mci seek brisamsg to start",
                                                     "sound click.wav async"}));

    log.entries.clear();
    w.cmdPlay_Click();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"sound click.wav sync", "mci play brisamsg from 1"}));
}

TEST_F(RecordingButtons, SoundsOffMeansNoClicks) {
    frmMM& w = Start(false);
    RecordFor(3);
    w.cmdRecord_Click();
    w.cmdRecord_Click();
    w.cmdStop_Click();
    w.cmdPlay_Click();
    Ticks(3);
    w.cmdPlay_Click();
    w.cmdStop_Click();
    EXPECT_TRUE(sound.played.empty());
    EXPECT_FALSE(mci.commands.empty());
}

TEST_F(RecordingButtons, ErrorBoxComesBetweenTheFailingCommandAndTheNext) {
    frmMM& w = Start(true);
    mci.failVerb["open"] = 276;
    w.cmdRecord_Click();
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"sound click.wav sync", "mci close brisamsg",
                                        "mci open new type waveaudio alias brisamsg", "box BrisaMail",
                                        "mci record brisamsg overwrite"}));
}

// ---- end to end: the real interpreter over ALSA "file" devices ---------------------------
//
// ALSA_CONFIG_PATH points at a configuration that includes the system's own
// and adds a duplex test device: a "file" capture over "null" reading a raw
// 440 Hz tone, and a "file" playback over "null" writing to a file. alsa-lib
// reads the variable at its first use in this process, and nothing above
// touches ALSA, so setting it before these tests is early enough.

class RecordingOnAlsa : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!std::filesystem::exists("/usr/share/alsa/alsa.conf")) return;
        s_Dir = new QTemporaryDir();
        const std::string root = s_Dir->path().toStdString();
        std::string tone;
        for (int i = 0; i < 16000 * 20; ++i) {
            auto value = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 16000.0));
            tone += static_cast<char>(value & 0xFF);
            tone += static_cast<char>((value >> 8) & 0xFF);
        }
        WriteFile(root + "/tone.raw", tone);
        WriteFile(root + "/asound.conf",
                  "</usr/share/alsa/alsa.conf>\n"
                  "pcm.brisa_window_mic {\n"
                  "  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
                  "  infile \"" + root + "/tone.raw\"\n  format \"raw\"\n}\n"
                  "pcm.brisa_window_speaker {\n"
                  "  type file\n  slave.pcm \"null\"\n"
                  "  file \"" + root + "/out.raw\"\n  format \"raw\"\n}\n"
                  "pcm.brisa_window_duplex {\n"
                  "  type asym\n  capture.pcm \"brisa_window_mic\"\n"
                  "  playback.pcm \"brisa_window_speaker\"\n}\n");
        ::setenv("ALSA_CONFIG_PATH", (root + "/asound.conf").c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete s_Dir;
        s_Dir = nullptr;
    }
    void SetUp() override {
        if (!s_Dir) GTEST_SKIP() << "ALSA is not installed here (no /usr/share/alsa/alsa.conf)";
        ::setenv("BRISAMAIL_AUDIO_DEVICE", "brisa_window_duplex", 1);
        std::string reason;
        if (!AlsaWaveBackend().Probe(reason)) GTEST_SKIP() << "the ALSA test device is unusable: " << reason;
        const std::string from = std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt";
        WriteFile(env.Path("lang/00000409.txt"), ReadFile(from));
    }
    void TearDown() override {
        window.reset();
        ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
    }

    static QTemporaryDir* s_Dir;
    TempEnv env;
    FakeServices fakes;
    MciInterpreter mci{[] { return std::make_unique<AlsaWaveBackend>(); }};
    std::unique_ptr<frmMM> window;
};

QTemporaryDir* RecordingOnAlsa::s_Dir = nullptr;

TEST_F(RecordingOnAlsa, RecordedSecondsEndUpInTheSavedWaveFile) {
    Services services = fakes.Wire();
    services.mci = &mci;
    window = std::make_unique<frmMM>(services, "");
    frmMM& w = *window;
    w.Form_Load();
    w.FinishStartUp();

    QElapsedTimer clock;
    clock.start();
    w.cmdRecord_Click();
    WaitSeconds(1.2); // the window's own timer ticks once meanwhile
    w.cmdStop_Click();
    const double wall = static_cast<double>(clock.elapsed()) / 1000.0;

    EXPECT_TRUE(fakes.messageBox.shown.empty()) << fakes.messageBox.shown[0].text;
    EXPECT_EQ(w.m_RecordedLength, 2);
    EXPECT_TRUE(w.cmdPlay->isEnabled());
    EXPECT_FALSE(w.cmdStop->isEnabled());

    const std::string path = ProgramPath("/in.wav");
    ASSERT_EQ(w.Svc().mci->Send("save brisamsg \"" + path + "\""), 0u);
    const std::string file = ReadFile(path);
    ASSERT_GT(file.size(), 44u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 4), "WAVE");
    EXPECT_EQ(file.substr(36, 4), "data");
    const double seconds = static_cast<double>(file.size() - 44) / 32000.0;
    EXPECT_NEAR(seconds, 1.2, 0.25);
    EXPECT_LE(seconds, wall + 0.1);
}

} // namespace
} // namespace brisa::test
