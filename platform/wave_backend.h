// The sound device under the MCI wave-audio interpreter: capture into and
// playback from an in-memory PCM recording. The real one talks to ALSA
// (platform/linux/alsa_wave_backend.h); tests use a fake.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brisa {

// Linear PCM, little-endian, interleaved.
struct WaveFormat {
    uint16_t channels = 1;
    uint32_t samplesPerSecond = 16000;
    uint16_t bitsPerSample = 16;

    uint32_t BlockAlign() const { return channels * ((bitsPerSample + 7u) / 8u); }
    uint32_t BytesPerSecond() const { return samplesPerSecond * BlockAlign(); }
};

// The PCM bytes of one recording. The capture thread appends while the
// user-interface thread reads, so every access takes the lock. The bytes
// live in fixed-size chunks: growing never copies what is already there, and
// the memory held stays within one chunk of the recorded size (a five-minute
// recording at 32000 bytes a second holds 9.6 MB plus at most 64 KiB).
class PcmBuffer {
public:
    static constexpr size_t kChunkBytes = 64 * 1024;

    PcmBuffer() = default;
    PcmBuffer(const PcmBuffer&) = delete;
    PcmBuffer& operator=(const PcmBuffer&) = delete;

    // Appends bytes; throws std::bad_alloc when memory runs out.
    void Append(const void* pData, size_t pBytes) { Write(pData, pBytes); }
    // Appends zero bytes (digital silence for 16-bit PCM).
    void AppendSilence(size_t pBytes) { Write(nullptr, pBytes); }

    // Drops the recording and frees its memory.
    void Clear() {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Chunks.clear();
        m_Chunks.shrink_to_fit();
        m_Size = 0;
    }

    size_t Size() const {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Size;
    }

    // Bytes of memory held for the samples.
    size_t AllocatedBytes() const {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Chunks.size() * kChunkBytes + m_Chunks.capacity() * sizeof(m_Chunks[0]);
    }

    // Copies up to pBytes from pOffset into pTarget; returns the count copied.
    size_t Read(size_t pOffset, void* pTarget, size_t pBytes) const {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (pOffset >= m_Size)
            return 0;
        size_t count = std::min(pBytes, m_Size - pOffset);
        char* out = static_cast<char*>(pTarget);
        for (size_t done = 0; done < count;) {
            size_t at = pOffset + done;
            size_t piece = std::min(count - done, kChunkBytes - at % kChunkBytes);
            std::memcpy(out + done, m_Chunks[at / kChunkBytes].get() + at % kChunkBytes, piece);
            done += piece;
        }
        return count;
    }

    // Hands the whole recording to pSink piece by piece, straight from the
    // chunks and while locked, so nothing is copied. Stops and returns false
    // as soon as pSink returns false.
    template <typename Sink> bool ForEachPiece(Sink&& pSink) const {
        std::lock_guard<std::mutex> lock(m_Lock);
        for (size_t at = 0; at < m_Size; at += kChunkBytes) {
            if (!pSink(m_Chunks[at / kChunkBytes].get(), std::min(kChunkBytes, m_Size - at)))
                return false;
        }
        return true;
    }

private:
    void Write(const void* pData, size_t pBytes) {
        std::lock_guard<std::mutex> lock(m_Lock);
        const char* in = static_cast<const char*>(pData);
        for (size_t done = 0; done < pBytes;) {
            size_t used = m_Size % kChunkBytes;
            if (used == 0 && m_Size / kChunkBytes == m_Chunks.size()) {
                if (m_Chunks.size() == m_Chunks.capacity())
                    m_Chunks.reserve(m_Chunks.size() + 64);
                m_Chunks.push_back(std::unique_ptr<char[]>(new char[kChunkBytes]));
            }
            size_t piece = std::min(pBytes - done, kChunkBytes - used);
            char* target = m_Chunks[m_Size / kChunkBytes].get() + used;
            if (in)
                std::memcpy(target, in + done, piece);
            else
                std::memset(target, 0, piece);
            done += piece;
            m_Size += piece;
        }
    }

    mutable std::mutex m_Lock;
    std::vector<std::unique_ptr<char[]>> m_Chunks;
    size_t m_Size = 0;
};

enum class WaveState { Idle, Capturing, Playing };

// One sound device. Calls come from the user-interface thread; capture and
// playback run on by themselves until stopped (playback also ends by itself
// at the end of the recording). Stopping returns promptly.
class IWaveBackend {
public:
    // Stops whatever runs.
    virtual ~IWaveBackend() = default;

    // The format of what is captured and of what is played.
    virtual WaveFormat Format() const = 0;

    // Checks that the device can be opened; otherwise false, with pReason
    // naming the device and the problem.
    virtual bool Probe(std::string& pReason) = 0;

    // Starts appending captured PCM to pTarget, following the wall clock, until
    // StopCapture. pTarget must outlive the capture. False (with pReason) when
    // the device cannot be opened.
    virtual bool StartCapture(PcmBuffer& pTarget, std::string& pReason) = 0;
    virtual void StopCapture() = 0;

    // Starts playing pSource from byte pOffset to its end in real time.
    // pSource must outlive the playback and not change while it runs.
    virtual bool StartPlayback(const PcmBuffer& pSource, size_t pOffset, std::string& pReason) = 0;
    // Stops playback (or collects one that ended by itself); returns the
    // byte offset reached.
    virtual size_t StopPlayback() = 0;

    virtual WaveState State() = 0;
};

} // namespace brisa
