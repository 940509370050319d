// The MCI command interpreter on arbitrary command sequences, with a sound
// device in memory. Each input line is one command. Saved recordings land in
// a folder of this process (slashes in the input become underscores, so no
// path leaves it), which is emptied after every input.
#include "fuzz/fuzz_support.h"
#include "platform/mci_interpreter.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

using namespace brisa;

namespace {

// What the device in memory refuses, from the first input byte.
struct Faults {
    bool noDevice = false;
    bool probe = false;
    bool capture = false;
    bool playback = false;
};

class MemoryBackend : public IWaveBackend {
public:
    explicit MemoryBackend(const Faults& pFaults) : m_Faults(pFaults) {}
    WaveFormat Format() const override { return {}; }
    bool Probe(std::string& pReason) override {
        if (m_Faults.probe)
            pReason = "no device in memory";
        return !m_Faults.probe;
    }
    bool StartCapture(PcmBuffer& pTarget, std::string& pReason) override {
        if (m_Faults.capture) {
            pReason = "capture refused";
            return false;
        }
        // A tenth of a second arrives at once.
        static const std::vector<char> kSamples = [] {
            std::vector<char> samples(3200);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<char>(i * 7);
            return samples;
        }();
        pTarget.Append(kSamples.data(), kSamples.size());
        m_State = WaveState::Capturing;
        return true;
    }
    void StopCapture() override {
        if (m_State == WaveState::Capturing)
            m_State = WaveState::Idle;
    }
    bool StartPlayback(const PcmBuffer& pSource, size_t pOffset, std::string& pReason) override {
        if (m_Faults.playback) {
            pReason = "playback refused";
            return false;
        }
        FUZZ_CHECK(pOffset <= pSource.Size());
        m_Played = pOffset;
        m_End = pSource.Size();
        m_State = WaveState::Playing;
        return true;
    }
    size_t StopPlayback() override {
        if (m_State == WaveState::Playing)
            m_State = WaveState::Idle;
        return m_Played;
    }
    WaveState State() override {
        // A playback ends by itself after being looked at twice.
        if (m_State == WaveState::Playing && ++m_Looks % 2 == 0) {
            m_Played = m_End;
            m_State = WaveState::Idle;
        }
        return m_State;
    }

private:
    Faults m_Faults;
    WaveState m_State = WaveState::Idle;
    size_t m_Played = 0;
    size_t m_End = 0;
    unsigned m_Looks = 0;
};

std::filesystem::path gFolder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    gFolder = base / ("brisa-mci-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(gFolder, error);
    FUZZ_CHECK(!error);
    FUZZ_CHECK(::chdir(gFolder.c_str()) == 0);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(gFolder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    if (pSize == 0)
        return 0;
    Faults faults;
    faults.noDevice = pData[0] & 1;
    faults.probe = pData[0] & 2;
    faults.capture = pData[0] & 4;
    faults.playback = pData[0] & 8;
    std::string script(fuzz::Bytes(pData + 1, pSize - 1));
    std::replace(script.begin(), script.end(), '/', '_');

    const std::vector<uint32_t> codes = MciInterpreter::ErrorCodes();
    {
        MciInterpreter mci([&faults]() -> std::unique_ptr<IWaveBackend> {
            if (faults.noDevice)
                return nullptr;
            return std::make_unique<MemoryBackend>(faults);
        });
        size_t start = 0;
        for (int count = 0; count < 256 && start <= script.size(); ++count) {
            size_t end = script.find('\n', start);
            if (end == std::string::npos)
                end = script.size();
            const std::string command = script.substr(start, end - start);
            start = end + 1;
            const uint32_t code = mci.Send(command);
            FUZZ_CHECK(code == 0 || std::find(codes.begin(), codes.end(), code) != codes.end());
            FUZZ_CHECK(code != MCIERR_INTERNAL);
            FUZZ_CHECK(!mci.ErrorText(code).empty());
        }
    }

    // What the commands saved goes before the next input.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(gFolder, error))
        std::filesystem::remove_all(entry.path(), error);
    return 0;
}
