// The ALSA mixer of the volume sliders. Machines without a sound card (CI)
// have no mixer at all, so the tests here check the arithmetic, the names
// tried and that every failure is a plain "no".
#include "platform/linux/alsa_mixer.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace brisa {
namespace {

bool MachineHasASoundCard() {
    int card = -1;
    return snd_card_next(&card) == 0 && card >= 0;
}

TEST(AlsaMixerScale, SpreadsTheSliderValueOverTheControlsRange) {
    EXPECT_EQ(AlsaMixer::Scale(0, 0, 31), 0);
    EXPECT_EQ(AlsaMixer::Scale(65000, 0, 31), 31);
    EXPECT_EQ(AlsaMixer::Scale(1, 0, 31), 0);           // the bottom of the slider
    EXPECT_EQ(AlsaMixer::Scale(21667, 0, 31), 10);      // a third
    EXPECT_EQ(AlsaMixer::Scale(32500, 0, 127), 64);     // half of 127 rounds up
    EXPECT_EQ(AlsaMixer::Scale(65000, 0, 65536), 65536);
    EXPECT_EQ(AlsaMixer::Scale(32500, -10, 10), 0);     // ranges below zero
    EXPECT_EQ(AlsaMixer::Scale(0, -10, 10), -10);
    EXPECT_EQ(AlsaMixer::Scale(90000, 0, 31), 31);      // more than full counts as full
    EXPECT_EQ(AlsaMixer::Scale(4294967295u, 0, 31), 31);
    EXPECT_EQ(AlsaMixer::Scale(30000, 5, 5), 5);        // a control without a range
    EXPECT_EQ(AlsaMixer::Scale(30000, 9, 3), 9);
}

TEST(AlsaMixerNames, TheCardOfTheRecordingDevice) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(AlsaMixer::CandidateNames("default"), Names{"default"});
    EXPECT_EQ(AlsaMixer::CandidateNames("hw:1"), Names{"hw:1"});
    EXPECT_EQ(AlsaMixer::CandidateNames("plughw:1,0"), (Names{"plughw:1,0", "hw:1"}));
    EXPECT_EQ(AlsaMixer::CandidateNames("hw:CARD=PCH,DEV=0"), (Names{"hw:CARD=PCH,DEV=0", "hw:PCH"}));
    EXPECT_EQ(AlsaMixer::CandidateNames("sysdefault:CARD=Generic"),
              (Names{"sysdefault:CARD=Generic", "hw:Generic"}));
    EXPECT_EQ(AlsaMixer::CandidateNames("plughw:'USB',0"), (Names{"plughw:'USB',0", "hw:USB"}));
    // Arguments that are no card name are left alone.
    EXPECT_EQ(AlsaMixer::CandidateNames("file:'/tmp/x.raw',raw").size(), 1u);
    EXPECT_EQ(AlsaMixer::CandidateNames("plug:{slave x}"), Names{"plug:{slave x}"});
}

TEST(AlsaMixerDevice, ComesFromTheRecordingDeviceSetting) {
    ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
    EXPECT_EQ(AlsaMixer().Device(), "default");
    ::setenv("BRISAMAIL_AUDIO_DEVICE", "plughw:2,0", 1);
    EXPECT_EQ(AlsaMixer().Device(), "plughw:2,0");
    EXPECT_EQ(AlsaMixer("hw:0").Device(), "hw:0");
    ::unsetenv("BRISAMAIL_AUDIO_DEVICE");
}

TEST(AlsaMixerDevice, NoSuchCardMeansNoMixerAndNoVolume) {
    for (const char* name : {"brisa_no_such_device", "hw:97", "plughw:97,0", "null"}) {
        const auto start = std::chrono::steady_clock::now();
        AlsaMixer mixer(name);
        EXPECT_FALSE(mixer.Open()) << name;
        EXPECT_FALSE(mixer.HasVolume(MixerLine::Microphone)) << name;
        EXPECT_FALSE(mixer.HasVolume(MixerLine::Speakers)) << name;
        EXPECT_FALSE(mixer.SetVolume(MixerLine::Speakers, 30000)) << name;
        EXPECT_FALSE(mixer.SetVolume(MixerLine::Microphone, 1)) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << name;
    }
}

TEST(AlsaMixerDevice, DefaultHasNoMixerWithoutASoundCard) {
    if (MachineHasASoundCard()) GTEST_SKIP() << "this machine has a sound card";
    AlsaMixer mixer("default");
    EXPECT_FALSE(mixer.Open());
    EXPECT_FALSE(mixer.SetVolume(MixerLine::Speakers, 65000));
}

TEST(AlsaMixerDevice, ASoundCardsMixerTakesValues) {
    if (!MachineHasASoundCard()) GTEST_SKIP() << "no sound card here";
    AlsaMixer mixer("hw:0");
    ASSERT_TRUE(mixer.Open());
    // Whatever the card offers, the answers agree with each other.
    for (MixerLine line : {MixerLine::Microphone, MixerLine::Speakers}) {
        if (!mixer.HasVolume(line)) {
            EXPECT_FALSE(mixer.SetVolume(line, 30000));
        }
    }
}

} // namespace
} // namespace brisa
