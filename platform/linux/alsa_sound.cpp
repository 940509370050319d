#include "platform/linux/alsa_sound.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

namespace brisa {

namespace {

using Clock = std::chrono::steady_clock;

// The device buffer asked for.
constexpr unsigned kLatencyMicroseconds = 100000;
// The longest single wait of the worker, so that a newer sound cuts the
// current one off within about this time.
constexpr int kPollMilliseconds = 10;
// Time a sound may take beyond its own length (opening the device, its
// buffer, a slow sound server) before the worker gives it up.
constexpr double kSlackSeconds = 1.0;

// alsa-lib writes its complaints to stderr; a missing device is silence here.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaOnce() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

uint32_t Le32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

uint16_t Le16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

Clock::duration Seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

} // namespace

// ---- wave files ---------------------------------------------------------------

bool ParseWave(std::string_view pBytes, WavePcm& pPcm) {
    if (pBytes.size() < 12 || pBytes.substr(0, 4) != "RIFF" || pBytes.substr(8, 4) != "WAVE")
        return false;
    bool haveFormat = false, haveData = false;
    uint16_t tag = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    std::string_view data;
    size_t at = 12;
    while (pBytes.size() - at >= 8) {
        const std::string_view id = pBytes.substr(at, 4);
        const size_t size = Le32(pBytes, at + 4);
        const size_t body = at + 8;
        const size_t available = pBytes.size() - body;
        if (id == "fmt " && !haveFormat) {
            if (size < 16 || available < 16) return false;
            tag = Le16(pBytes, body);
            channels = Le16(pBytes, body + 2);
            rate = Le32(pBytes, body + 4);
            bits = Le16(pBytes, body + 14);
            // WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes are
            // the format tag.
            if (tag == 0xFFFE && size >= 40 && available >= 26) tag = Le16(pBytes, body + 24);
            haveFormat = true;
        } else if (id == "data" && !haveData) {
            data = pBytes.substr(body, size < available ? size : available);
            haveData = true;
        }
        if (haveFormat && haveData) break;
        if (size >= available) break; // the chunk runs to the end of the file
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData || tag != 1) return false;
    if (channels < 1 || channels > 2 || (bits != 8 && bits != 16)) return false;
    if (rate < 1000 || rate > 192000) return false;
    WavePcm pcm;
    pcm.channels = channels;
    pcm.bits = bits;
    pcm.rate = rate;
    const size_t frame = pcm.FrameBytes();
    pcm.data.assign(data.substr(0, data.size() - data.size() % frame));
    if (pcm.data.empty()) return false;
    pPcm = std::move(pcm);
    return true;
}

bool ReadWaveFile(const std::string& pPath, WavePcm& pPcm) {
    std::ifstream file(pPath, std::ios::binary);
    if (!file) return false;
    std::string bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.append(buffer, static_cast<size_t>(file.gcount()));
        if (bytes.size() > kMaxWaveFileBytes) return false;
    }
    if (file.bad()) return false;
    return ParseWave(bytes, pPcm);
}

// ---- the player -------------------------------------------------------------------

struct AlsaSoundPlayer::Playback {
    std::thread worker;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;

    void Finish() {
        std::lock_guard lock(mutex);
        finished = true;
        ended.notify_all();
    }
    bool Finished() {
        std::lock_guard lock(mutex);
        return finished;
    }
    // Waits until the sound has ended or pLimit has passed; true when it ended.
    bool WaitFor(Clock::duration pLimit) {
        std::unique_lock lock(mutex);
        return ended.wait_for(lock, pLimit, [this] { return finished; });
    }
    void Cut() {
        stop = true;
        if (worker.joinable()) worker.join();
    }

    // The worker: plays pPcm to pDevice, giving up at the deadline or when
    // asked to stop.
    void Run(const std::string& pDevice, const WavePcm& pPcm) {
        const Clock::time_point deadline = Clock::now() + Seconds(pPcm.Seconds() + kSlackSeconds);
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, pDevice.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
            Finish();
            return;
        }
        const snd_pcm_format_t format = pPcm.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(pPcm.channels), pPcm.rate, 1,
                               kLatencyMicroseconds) < 0) {
            snd_pcm_close(pcm);
            Finish();
            return;
        }
        const size_t frameBytes = pPcm.FrameBytes();
        const auto total = static_cast<snd_pcm_uframes_t>(pPcm.Frames());
        snd_pcm_uframes_t done = 0;
        while (done < total && !stop && Clock::now() < deadline) {
            const snd_pcm_sframes_t n =
                snd_pcm_writei(pcm, pPcm.data.data() + done * frameBytes, total - done);
            if (n == -EAGAIN || n == 0) {
                snd_pcm_wait(pcm, kPollMilliseconds);
            } else if (n < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) break;
            } else {
                done += static_cast<snd_pcm_uframes_t>(n);
            }
        }
        if (done == total) {
            // Let the device play out what it holds.
            if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm);
            while (!stop && Clock::now() < deadline) {
                snd_pcm_sframes_t delay = 0;
                if (snd_pcm_state(pcm) != SND_PCM_STATE_RUNNING) break;
                if (snd_pcm_delay(pcm, &delay) < 0 || delay <= 0) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
            }
            snd_pcm_drain(pcm); // non-blocking: hands on what is left, never waits
        }
        snd_pcm_drop(pcm);
        snd_pcm_close(pcm);
        Finish();
    }
};

AlsaSoundPlayer::AlsaSoundPlayer(std::string pDevice)
    : m_Device(pDevice.empty() ? DeviceFromEnvironment() : std::move(pDevice)) {
    SilenceAlsaOnce();
}

AlsaSoundPlayer::~AlsaSoundPlayer() { Stop(); }

std::string AlsaSoundPlayer::DeviceFromEnvironment() {
    for (const char* variable : {"BRISAMAIL_SOUND_DEVICE", "BRISAMAIL_AUDIO_DEVICE"}) {
        const char* name = std::getenv(variable);
        if (name && *name) return name;
    }
    return "default";
}

void AlsaSoundPlayer::Stop() {
    if (m_Current) m_Current->Cut();
    m_Current.reset();
}

bool AlsaSoundPlayer::Playing() const { return m_Current && !m_Current->Finished(); }

void AlsaSoundPlayer::Play(const std::string& pPath, int pMode) {
    // Every new sound ends the one still playing, also when the new one
    // turns out to be unplayable.
    Stop();
    auto pcm = std::make_shared<WavePcm>();
    if (!ReadWaveFile(pPath, *pcm)) return;
    auto playback = std::make_shared<Playback>();
    const std::string device = m_Device;
    playback->worker = std::thread([raw = playback.get(), device, pcm] { raw->Run(device, *pcm); });
    if (pMode & SND_ASYNC) {
        m_Current = std::move(playback);
        return;
    }
    double limit = pcm->Seconds() + kSlackSeconds;
    if (limit > kSyncLimitSeconds) limit = kSyncLimitSeconds;
    playback->WaitFor(Seconds(limit));
    playback->Cut();
}

} // namespace brisa
