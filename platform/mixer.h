// The sound card's mixer: the microphone's and the speakers' volume.
#pragma once

#include <cstdint>

namespace brisa {

enum class MixerLine { Microphone, Speakers };

class IMixer {
public:
    virtual ~IMixer() = default;
    // Opens the mixer; false when there is none.
    virtual bool Open() = 0;
    // True when the line has a volume control.
    virtual bool HasVolume(MixerLine pLine) = 0;
    // Sets the line's volume, 0..65535 of full scale; true when accepted.
    virtual bool SetVolume(MixerLine pLine, uint32_t pValue) = 0;
};

} // namespace brisa
