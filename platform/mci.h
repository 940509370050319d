// The wave-audio device, driven by MCI command strings
// ("open new type waveaudio alias brisamsg", "record brisamsg overwrite", ...).
#pragma once

#include <cstdint>
#include <string>

namespace brisa {

class IMci {
public:
    virtual ~IMci() = default;
    // Runs one command; 0 on success, otherwise an MCI error code.
    virtual uint32_t Send(const std::string& pCommand) = 0;
    // A clear text for an error code returned by Send.
    virtual std::string ErrorText(uint32_t pCode) = 0;
};

} // namespace brisa
