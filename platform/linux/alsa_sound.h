// Interface sounds on ALSA: RIFF WAVE files with PCM samples (8 or 16 bits,
// mono or stereo, any common rate; ALSA converts the rate).
//
// The device is $BRISAMAIL_SOUND_DEVICE, else $BRISAMAIL_AUDIO_DEVICE, else
// "default". A sound plays on a worker thread; a newer sound cuts off the one
// still playing. SND_SYNC waits until the sound has played, but never longer
// than its own length plus a second and never more than kSyncLimitSeconds.
// A missing or broken file, or a missing or busy device, is silence: the
// device is opened without blocking and every wait is bounded.
#pragma once

#include "platform/sound.h"

#include <memory>
#include <string>
#include <string_view>

namespace brisa {

// The samples of a wave file as they are stored (8-bit unsigned or 16-bit
// signed little-endian, channels interleaved).
struct WavePcm {
    int channels = 0;
    int bits = 0;
    unsigned rate = 0;
    std::string data; // whole frames only
    size_t FrameBytes() const { return static_cast<size_t>(channels) * static_cast<size_t>(bits / 8); }
    size_t Frames() const { return FrameBytes() ? data.size() / FrameBytes() : 0; }
    double Seconds() const { return rate ? static_cast<double>(Frames()) / rate : 0.0; }
};

// Reads the PCM samples of a RIFF WAVE image. False for anything else: not
// RIFF/WAVE, a compressed format, more than two channels, other sample
// sizes, a rate outside 1000..192000 Hz, no samples. A data chunk that
// claims more bytes than follow is cut to what is there.
bool ParseWave(std::string_view pBytes, WavePcm& pPcm);

// ParseWave on a file; false as well when it cannot be read or is larger
// than kMaxWaveFileBytes.
bool ReadWaveFile(const std::string& pPath, WavePcm& pPcm);

inline constexpr size_t kMaxWaveFileBytes = 64u * 1024u * 1024u;
inline constexpr double kSyncLimitSeconds = 10.0;

class AlsaSoundPlayer : public ISoundPlayer {
public:
    // pDevice: an ALSA PCM name; empty means DeviceFromEnvironment().
    explicit AlsaSoundPlayer(std::string pDevice = {});
    // A sound still playing is cut off.
    ~AlsaSoundPlayer() override;
    AlsaSoundPlayer(const AlsaSoundPlayer&) = delete;
    AlsaSoundPlayer& operator=(const AlsaSoundPlayer&) = delete;

    void Play(const std::string& pPath, int pMode) override;

    // Cuts off the sound still playing, if any.
    void Stop();
    // True while an asynchronous sound is playing.
    bool Playing() const;

    static std::string DeviceFromEnvironment();
    const std::string& Device() const { return m_Device; }

private:
    struct Playback;
    std::string m_Device;
    std::shared_ptr<Playback> m_Current;
};

} // namespace brisa
