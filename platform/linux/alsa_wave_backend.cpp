#include "platform/linux/alsa_wave_backend.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace brisa {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The device buffer asked for, and how far playback writes ahead of the clock.
constexpr unsigned kLatencyMicroseconds = 200000;
constexpr unsigned kLeadMilliseconds = 100;
// A capture that falls this far behind the clock (the device stalled or lost
// samples) is filled up with silence.
constexpr unsigned kLagMilliseconds = 500;
// How long a finished playback waits for the device to play out its buffer.
constexpr milliseconds kPlayOutLimit{500};
// The longest single wait of a worker: stopping takes about this long.
constexpr int kPollMilliseconds = 10;

// alsa-lib writes its complaints to stderr; the program reports problems
// through the MCI error text instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaOnce() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

// Frames of pRate that fit between pStart and pNow.
uint64_t FramesBetween(Clock::time_point pStart, Clock::time_point pNow, uint32_t pRate) {
    if (pNow <= pStart)
        return 0;
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(pNow - pStart).count();
    return static_cast<uint64_t>(micros) * pRate / 1000000u;
}

} // namespace

struct AlsaWaveBackend::Impl {
    std::string device;
    WaveFormat format; // mono, 16 bits, 16000 Hz

    std::thread worker;
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;             // guarded by lock
    Clock::time_point stopTime;    // guarded by lock; when stop was asked for
    std::atomic<WaveState> state{WaveState::Idle};
    WaveState workerKind = WaveState::Idle; // what the worker does; caller thread only
    std::atomic<size_t> playPosition{0};

    snd_pcm_t* OpenPcm(snd_pcm_stream_t pStream, std::string& pReason) {
        const char* use = pStream == SND_PCM_STREAM_CAPTURE ? "recording" : "playback";
        snd_pcm_t* pcm = nullptr;
        int error = snd_pcm_open(&pcm, device.c_str(), pStream, SND_PCM_NONBLOCK);
        if (error >= 0) {
            error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                       format.channels, format.samplesPerSecond, 1,
                                       kLatencyMicroseconds);
            if (error < 0) {
                snd_pcm_close(pcm);
                pcm = nullptr;
            }
        }
        if (error < 0) {
            pReason = "the ALSA device \"" + device + "\" cannot be opened for " + use + " (" +
                      snd_strerror(error) +
                      "). Set BRISAMAIL_AUDIO_DEVICE to a working ALSA device (\"arecord -L\" "
                      "lists them).";
            return nullptr;
        }
        return pcm;
    }

    // Sleeps up to pTime; true when stopping was asked for.
    bool WaitFor(milliseconds pTime) {
        std::unique_lock<std::mutex> guard(lock);
        return wake.wait_for(guard, pTime, [this] { return stop; });
    }

    // Stops the worker and waits for it; it notices within a poll interval.
    void Halt() {
        {
            std::lock_guard<std::mutex> guard(lock);
            stop = true;
            stopTime = Clock::now();
        }
        wake.notify_all();
        if (worker.joinable())
            worker.join();
        std::lock_guard<std::mutex> guard(lock);
        stop = false;
        state = WaveState::Idle;
        workerKind = WaveState::Idle;
    }

    // Keeps to the clock: reads only as many frames as the time since the
    // start asks for, so a device that delivers too fast is held back and
    // its surplus stays unread (an overrun then only drops surplus). Time
    // the device cannot cover (a stall, a lost device) becomes silence.
    void Capture(snd_pcm_t* pPcm, PcmBuffer& pTarget) {
        const uint32_t rate = format.samplesPerSecond;
        const size_t frameBytes = format.BlockAlign();
        const uint64_t chunkFrames = rate / 10;
        const uint64_t lagFrames = uint64_t{rate} * kLagMilliseconds / 1000;
        std::vector<char> chunk(chunkFrames * frameBytes);
        const Clock::time_point start = Clock::now();
        uint64_t kept = 0;
        bool lost = false;
        snd_pcm_start(pPcm);

        auto read = [&](uint64_t pWant) -> snd_pcm_sframes_t {
            snd_pcm_sframes_t got = snd_pcm_readi(pPcm, chunk.data(),
                                                  static_cast<snd_pcm_uframes_t>(pWant));
            if (got > 0) {
                pTarget.Append(chunk.data(), static_cast<size_t>(got) * frameBytes);
                kept += static_cast<uint64_t>(got);
            } else if (got < 0 && got != -EAGAIN && snd_pcm_recover(pPcm, static_cast<int>(got), 1) < 0) {
                lost = true;
            }
            return got;
        };

        try {
            uint64_t target = 0;
            while (true) {
                bool stopping;
                Clock::time_point now;
                {
                    std::lock_guard<std::mutex> guard(lock);
                    stopping = stop;
                    now = stopping ? stopTime : Clock::now();
                }
                target = FramesBetween(start, now, rate);
                if (stopping)
                    break;
                // Behind the clock by more than a device buffer can explain, or
                // without a device at all: fill up with silence (leaving the
                // device a fifth of the limit to catch up with).
                const uint64_t slack = lost ? 0 : lagFrames / 5;
                if (target > kept + (lost ? 0 : lagFrames)) {
                    pTarget.AppendSilence((target - slack - kept) * frameBytes);
                    kept = target - slack;
                }
                if (lost || kept >= target) {
                    WaitFor(milliseconds(kPollMilliseconds));
                    continue;
                }
                snd_pcm_sframes_t got = read(std::min(target - kept, chunkFrames));
                if (got == -EAGAIN || got == 0)
                    snd_pcm_wait(pPcm, kPollMilliseconds);
            }
            // What the device already holds up to the moment of the stop, then
            // silence for the rest (the last fraction of a period).
            for (int i = 0; i < 4 && !lost && kept < target; ++i) {
                if (read(std::min(target - kept, chunkFrames)) <= 0)
                    break;
            }
            if (kept < target)
                pTarget.AppendSilence((target - kept) * frameBytes);
        } catch (...) {
            // Out of memory: the recording ends here with what it holds.
        }
        snd_pcm_drop(pPcm);
        snd_pcm_close(pPcm);
    }

    // Writes the recording from pOffset, a little ahead of the clock, then
    // lets the device play out what it holds and ends by itself.
    void Play(snd_pcm_t* pPcm, const PcmBuffer& pSource, size_t pOffset) {
        const uint32_t rate = format.samplesPerSecond;
        const size_t frameBytes = format.BlockAlign();
        const uint64_t chunkFrames = rate / 10;
        const uint64_t leadFrames = uint64_t{rate} * kLeadMilliseconds / 1000;
        const uint64_t totalFrames = (pSource.Size() - std::min(pSource.Size(), pOffset)) / frameBytes;
        std::vector<char> chunk(chunkFrames * frameBytes);
        const Clock::time_point start = Clock::now();
        uint64_t written = 0;
        bool lost = false;
        bool finished = false;

        while (!finished) {
            const uint64_t elapsed = FramesBetween(start, Clock::now(), rate);
            playPosition = pOffset + std::min({elapsed, written, totalFrames}) * frameBytes;
            if (written >= totalFrames) {
                if (elapsed >= totalFrames) {
                    finished = true;
                    break;
                }
                if (WaitFor(milliseconds(kPollMilliseconds)))
                    break;
                continue;
            }
            const uint64_t target = std::min(totalFrames, elapsed + leadFrames);
            if (lost || written >= target) {
                if (lost)
                    written = std::max(written, target); // the clock runs on in silence
                if (WaitFor(milliseconds(kPollMilliseconds)))
                    break;
                continue;
            }
            const uint64_t want = std::min(target - written, chunkFrames);
            pSource.Read(pOffset + written * frameBytes, chunk.data(), want * frameBytes);
            snd_pcm_sframes_t put =
                snd_pcm_writei(pPcm, chunk.data(), static_cast<snd_pcm_uframes_t>(want));
            if (put > 0) {
                written += static_cast<uint64_t>(put);
                if (snd_pcm_state(pPcm) == SND_PCM_STATE_PREPARED)
                    snd_pcm_start(pPcm);
            } else if (put == -EAGAIN || put == 0) {
                snd_pcm_wait(pPcm, kPollMilliseconds);
            } else if (snd_pcm_recover(pPcm, static_cast<int>(put), 1) < 0) {
                lost = true;
            }
            std::lock_guard<std::mutex> guard(lock);
            if (stop)
                break;
        }
        if (finished && !lost) {
            const Clock::time_point limit = Clock::now() + kPlayOutLimit;
            snd_pcm_sframes_t delay = 0;
            while (Clock::now() < limit && snd_pcm_delay(pPcm, &delay) >= 0 && delay > 0) {
                if (WaitFor(milliseconds(kPollMilliseconds)))
                    break;
            }
        }
        if (finished)
            playPosition = pOffset + totalFrames * frameBytes;
        snd_pcm_drop(pPcm);
        snd_pcm_close(pPcm);
        state = WaveState::Idle;
    }
};

AlsaWaveBackend::AlsaWaveBackend(std::string pDevice) : m_Impl(std::make_unique<Impl>()) {
    SilenceAlsaOnce();
    m_Impl->device = pDevice.empty() ? DeviceFromEnvironment() : std::move(pDevice);
}

AlsaWaveBackend::~AlsaWaveBackend() { m_Impl->Halt(); }

std::string AlsaWaveBackend::DeviceFromEnvironment() {
    const char* name = std::getenv("BRISAMAIL_AUDIO_DEVICE");
    return name && *name ? std::string(name) : std::string("default");
}

const std::string& AlsaWaveBackend::Device() const { return m_Impl->device; }

WaveFormat AlsaWaveBackend::Format() const { return m_Impl->format; }

bool AlsaWaveBackend::Probe(std::string& pReason) {
    snd_pcm_t* pcm = m_Impl->OpenPcm(SND_PCM_STREAM_CAPTURE, pReason);
    if (!pcm)
        return false;
    snd_pcm_close(pcm);
    return true;
}

bool AlsaWaveBackend::StartCapture(PcmBuffer& pTarget, std::string& pReason) {
    m_Impl->Halt();
    snd_pcm_t* pcm = m_Impl->OpenPcm(SND_PCM_STREAM_CAPTURE, pReason);
    if (!pcm)
        return false;
    m_Impl->state = WaveState::Capturing;
    m_Impl->workerKind = WaveState::Capturing;
    Impl* impl = m_Impl.get();
    m_Impl->worker = std::thread([impl, pcm, &pTarget] { impl->Capture(pcm, pTarget); });
    return true;
}

void AlsaWaveBackend::StopCapture() {
    if (m_Impl->workerKind == WaveState::Capturing)
        m_Impl->Halt();
}

bool AlsaWaveBackend::StartPlayback(const PcmBuffer& pSource, size_t pOffset,
                                    std::string& pReason) {
    m_Impl->Halt();
    snd_pcm_t* pcm = m_Impl->OpenPcm(SND_PCM_STREAM_PLAYBACK, pReason);
    if (!pcm)
        return false;
    const size_t align = m_Impl->format.BlockAlign();
    pOffset = std::min(pOffset - pOffset % align, pSource.Size());
    m_Impl->playPosition = pOffset;
    m_Impl->state = WaveState::Playing;
    m_Impl->workerKind = WaveState::Playing;
    Impl* impl = m_Impl.get();
    m_Impl->worker =
        std::thread([impl, pcm, &pSource, pOffset] { impl->Play(pcm, pSource, pOffset); });
    return true;
}

size_t AlsaWaveBackend::StopPlayback() {
    if (m_Impl->workerKind == WaveState::Playing)
        m_Impl->Halt();
    return m_Impl->playPosition;
}

WaveState AlsaWaveBackend::State() { return m_Impl->state; }

} // namespace brisa
