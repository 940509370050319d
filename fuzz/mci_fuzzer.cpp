// The MCI command interpreter on arbitrary command sequences, one command a
// line, with a sound device in memory whose faults the first byte chooses.
// Saved recordings land in a folder of this process (slashes in the input
// become underscores, so no path leaves it), emptied after every input.
#include "fuzz/fuzz_support.h"
#include "platform/mci_interpreter.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace brisa;

namespace {

class MemoryBackend : public IWaveBackend {
public:
    explicit MemoryBackend(uint8_t pFaults) : m_Faults(pFaults) {}
    WaveFormat Format() const override { return {}; }
    bool Probe(std::string& pReason) override { return Refuse(2, pReason); }
    bool StartCapture(PcmBuffer& pTarget, std::string& pReason) override {
        if (!Refuse(4, pReason)) return false;
        const std::string samples(3200, '\x07'); // a tenth of a second at once
        pTarget.Append(samples.data(), samples.size());
        m_State = WaveState::Capturing;
        return true;
    }
    void StopCapture() override {
        if (m_State == WaveState::Capturing) m_State = WaveState::Idle;
    }
    bool StartPlayback(const PcmBuffer& pSource, size_t pOffset, std::string& pReason) override {
        if (!Refuse(8, pReason)) return false;
        FUZZ_CHECK(pOffset <= pSource.Size());
        m_Played = pOffset;
        m_End = pSource.Size();
        m_State = WaveState::Playing;
        return true;
    }
    size_t StopPlayback() override {
        if (m_State == WaveState::Playing) m_State = WaveState::Idle;
        return m_Played;
    }
    WaveState State() override {
        if (m_State == WaveState::Playing && ++m_Looks % 2 == 0) { // ends when looked at twice
            m_Played = m_End;
            m_State = WaveState::Idle;
        }
        return m_State;
    }

private:
    bool Refuse(uint8_t pFault, std::string& pReason) {
        if (m_Faults & pFault) pReason = "refused in memory";
        return !(m_Faults & pFault);
    }
    uint8_t m_Faults;
    WaveState m_State = WaveState::Idle;
    size_t m_Played = 0, m_End = 0;
    unsigned m_Looks = 0;
};

std::filesystem::path gFolder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const bool shm = std::filesystem::is_directory("/dev/shm");
    gFolder = (shm ? "/dev/shm" : std::filesystem::temp_directory_path()) /
              ("brisa-mci-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(gFolder);
    FUZZ_CHECK(::chdir(gFolder.c_str()) == 0);
    std::atexit([] { std::filesystem::remove_all(gFolder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    if (pSize == 0) return 0;
    const uint8_t faults = pData[0];
    std::string script(fuzz::Bytes(pData + 1, pSize - 1));
    std::replace(script.begin(), script.end(), '/', '_');
    const std::vector<uint32_t> codes = MciInterpreter::ErrorCodes();
    {
        MciInterpreter mci([faults]() -> std::unique_ptr<IWaveBackend> {
            return faults & 1 ? nullptr : std::make_unique<MemoryBackend>(faults);
        });
        size_t start = 0;
        for (int count = 0; count < 256 && start <= script.size(); ++count) {
            const size_t end = std::min(script.find('\n', start), script.size());
            const uint32_t code = mci.Send(script.substr(start, end - start));
            start = end + 1;
            FUZZ_CHECK(code == 0 || std::find(codes.begin(), codes.end(), code) != codes.end());
            FUZZ_CHECK(code != MCIERR_INTERNAL && !mci.ErrorText(code).empty());
        }
    }
    for (const auto& entry : std::filesystem::directory_iterator(gFolder))
        std::filesystem::remove_all(entry.path());
    return 0;
}
