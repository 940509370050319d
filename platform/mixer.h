// The sound card's mixer: the microphone's and the speakers' volume.
#pragma once

#include <cstdint>

namespace brisa {

enum class MixerLine { Microphone, Speakers };

// The volume value of the sliders: 0 (silent) to kMixerFullScale (the
// control's full volume).
inline constexpr uint32_t kMixerFullScale = 65000;

class IMixer {
public:
    virtual ~IMixer() = default;
    // Opens the mixer; false when there is none.
    virtual bool Open() = 0;
    // True when the line has a volume control.
    virtual bool HasVolume(MixerLine pLine) = 0;
    // Sets the line's volume, 0..kMixerFullScale (larger values count as
    // full volume); true when the mixer accepted it.
    virtual bool SetVolume(MixerLine pLine, uint32_t pValue) = 0;
};

} // namespace brisa
