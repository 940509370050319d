// The ALSA mixer of the volume sliders: the slider's value spread over a
// control's range, the mixer names tried for a recording device, and a
// missing card as a plain "no" (the PulseAudio scenario covers a real mixer).
#include "platform/linux/alsa_mixer.h"

#include <gtest/gtest.h>

namespace brisa {
namespace {

TEST(AlsaMixer, ScaleNamesAndMissingCards) {
    struct Scaled {
        uint32_t slider;
        long min, max, control;
    };
    for (const Scaled& row : {Scaled{0, 0, 31, 0}, {65000, 0, 31, 31}, {1, 0, 31, 0}, {21667, 0, 31, 10},
                              {32500, 0, 127, 64}, {65000, 0, 65536, 65536}, {32500, -10, 10, 0},
                              {0, -10, 10, -10}, {90000, 0, 31, 31}, {4294967295u, 0, 31, 31},
                              {30000, 5, 5, 5}, {30000, 9, 3, 9}})
        EXPECT_EQ(AlsaMixer::Scale(row.slider, row.min, row.max), row.control) << row.slider << " of " << row.min << ".." << row.max;

    using Names = std::vector<std::string>;
    for (const auto& [device, names] : std::vector<std::pair<std::string, Names>>{
             {"default", {"default"}},
             {"plughw:1,0", {"plughw:1,0", "hw:1"}},
             {"hw:CARD=PCH,DEV=0", {"hw:CARD=PCH,DEV=0", "hw:PCH"}},
             {"sysdefault:CARD=Generic", {"sysdefault:CARD=Generic", "hw:Generic"}},
             {"plughw:'USB',0", {"plughw:'USB',0", "hw:USB"}},
             {"file:'/tmp/x.raw',raw", {"file:'/tmp/x.raw',raw"}},
             {"plug:{slave x}", {"plug:{slave x}"}}})
        EXPECT_EQ(AlsaMixer::CandidateNames(device), names) << device;

    for (const char* name : {"brisa_no_such_device", "plughw:97,0", "null"}) {
        AlsaMixer mixer(name);
        EXPECT_FALSE(mixer.Open()) << name;
        EXPECT_FALSE(mixer.HasVolume(MixerLine::Speakers)) << name;
        EXPECT_FALSE(mixer.SetVolume(MixerLine::Microphone, 1)) << name;
    }
}

} // namespace
} // namespace brisa
