// The microphone and speaker volume on the ALSA simple mixer of the sound
// card that records.
//
// The card is the one of $BRISAMAIL_AUDIO_DEVICE ("default" when unset): the
// mixer is attached under that name, and when that fails under "hw:<card>"
// taken from a name such as "plughw:1,0" or "sysdefault:CARD=PCH", and last
// under the card the named PCM ends on (a PCM defined in the user's ALSA
// configuration). Without a sound card even "default" has no mixer; Open()
// then fails.
//
// Microphone: the first of the elements "Capture", "Mic" that has a capture
// volume. Speakers: the first of "Master", "Speaker", "PCM" that has a
// playback volume. Values 0..kMixerFullScale are spread over the element's
// own range, all channels alike.
#pragma once

#include "platform/mixer.h"

#include <memory>
#include <string>
#include <vector>

namespace brisa {

class AlsaMixer : public IMixer {
public:
    // pDevice: an ALSA device name; empty means $BRISAMAIL_AUDIO_DEVICE or
    // "default".
    explicit AlsaMixer(std::string pDevice = {});
    ~AlsaMixer() override;
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    bool Open() override;
    bool HasVolume(MixerLine pLine) override;
    bool SetVolume(MixerLine pLine, uint32_t pValue) override;

    const std::string& Device() const { return m_Device; }
    // The mixer names tried for pDevice, in order.
    static std::vector<std::string> CandidateNames(const std::string& pDevice);
    // pValue (0..kMixerFullScale, larger counts as full) on the range
    // pMin..pMax, rounded to the nearest step.
    static long Scale(uint32_t pValue, long pMin, long pMax);

private:
    struct Impl;
    std::string m_Device;
    std::unique_ptr<Impl> m_Impl;
};

} // namespace brisa
