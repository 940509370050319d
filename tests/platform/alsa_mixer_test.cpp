// The ALSA mixer of the volume sliders: the mixer names tried for a
// recording device, and a missing card as a plain "no" (the PulseAudio
// scenario covers a real mixer and the volume arithmetic).
#include "platform/linux/alsa_mixer.h"

#include <gtest/gtest.h>

namespace brisa {
namespace {

TEST(AlsaMixer, NamesTriedAndMissingCards) {
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
