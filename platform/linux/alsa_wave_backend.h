// The wave-audio device on ALSA: captures mono 16-bit PCM at 16000 Hz into
// the recording and plays it back, each on a worker thread.
//
// The device is the ALSA PCM named by $BRISAMAIL_AUDIO_DEVICE, "default" when
// that is unset. Capture and playback keep to the wall clock themselves, so a
// device that does not pace itself (the "null" and "file" plugins hand over a
// second of audio in milliseconds) still gives three seconds of sound for
// three seconds of recording. Devices are opened without blocking, and every
// wait is bounded, so a missing or busy device is an error, never a hang.
#pragma once

#include "platform/wave_backend.h"

#include <memory>
#include <string>

namespace brisa {

class AlsaWaveBackend : public IWaveBackend {
public:
    // pDevice: an ALSA PCM name; empty means DeviceFromEnvironment().
    explicit AlsaWaveBackend(std::string pDevice = {});
    ~AlsaWaveBackend() override;
    AlsaWaveBackend(const AlsaWaveBackend&) = delete;
    AlsaWaveBackend& operator=(const AlsaWaveBackend&) = delete;

    // $BRISAMAIL_AUDIO_DEVICE, or "default".
    static std::string DeviceFromEnvironment();
    const std::string& Device() const;

    WaveFormat Format() const override;
    bool Probe(std::string& pReason) override;
    bool StartCapture(PcmBuffer& pTarget, std::string& pReason) override;
    void StopCapture() override;
    bool StartPlayback(const PcmBuffer& pSource, size_t pOffset, std::string& pReason) override;
    size_t StopPlayback() override;
    WaveState State() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_Impl;
};

} // namespace brisa
