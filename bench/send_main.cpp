// brisa-bench-send: the send command's work on a five-minute recording, and
// the posts the upload measurement sends.
//
//   brisa-bench-send pipeline DIR RUNS [SECONDS]
//       Records SECONDS (300) of a synthetic voice into a wave device in
//       memory, then RUNS times saves it to DIR/in.wav, packs DIR/in.zip
//       and writes the post into DIR/outbox, as Send does. Prints
//       "pipeline_ms: t1 t2 ..." (each run's milliseconds). Leaves in.wav and
//       the post's text before and after the archive (post-head.bin,
//       post-tail.bin) for the comparison with zip and cat.
//   brisa-bench-send post DIR BYTES
//       Writes a post whose archive is BYTES of random data into DIR/outbox,
//       prints its path, and writes its body to DIR/body.bin and its
//       Content-Type line's value to DIR/content-type.txt.
#include "platform/file_registry.h"
#include "platform/mci_interpreter.h"
#include "platform/system_info.h"
#include "sending/dynazip.h"
#include "sending/post_builder.h"
#include "settings/registry.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace brisa;

class BenchSystem : public ISystemInfo {
public:
    uint16_t SystemLanguageId() override { return 0x0409; }
    int BitsPerPixel() override { return 24; }
    int LogPixelsX() override { return 96; }
    int LogPixelsY() override { return 96; }
    int CaretBlinkTime() override { return 500; }
    int ScreenWidth() override { return 1920; }
    int ScreenHeight() override { return 1080; }
    bool UserName(std::string& pName) override {
        pName = "bench";
        return true;
    }
    bool TimeZoneBias(int& pBias) override {
        pBias = -60;
        return true;
    }
};

// A wave device whose capture delivers a prepared recording at once.
class PreparedBackend : public IWaveBackend {
public:
    explicit PreparedBackend(const std::vector<int16_t>& pSamples) : m_Samples(pSamples) {}
    WaveFormat Format() const override { return {}; }
    bool Probe(std::string&) override { return true; }
    bool StartCapture(PcmBuffer& pTarget, std::string&) override {
        pTarget.Append(m_Samples.data(), m_Samples.size() * sizeof(int16_t));
        return true;
    }
    void StopCapture() override {}
    bool StartPlayback(const PcmBuffer&, size_t, std::string&) override { return false; }
    size_t StopPlayback() override { return 0; }
    WaveState State() override { return WaveState::Idle; }

private:
    const std::vector<int16_t>& m_Samples;
};

// A voice-like signal at 16 kHz: words of voiced syllables (a gliding
// fundamental with harmonics shaped by two moving formants), breath noise,
// pauses between words, and a quiet noise floor throughout.
std::vector<int16_t> SynthesizeVoice(double pSeconds) {
    const double rate = 16000.0;
    const size_t count = static_cast<size_t>(pSeconds * rate);
    std::vector<int16_t> samples(count);
    std::mt19937 random(20240607);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double pi = 3.14159265358979323846;

    size_t at = 0;
    double phase = 0.0;
    while (at < count) {
        // One word of 2 to 5 syllables, then a pause.
        const int syllables = 2 + static_cast<int>(uniform(random) * 4);
        for (int s = 0; s < syllables && at < count; ++s) {
            const size_t length = static_cast<size_t>(rate * (0.12 + 0.16 * uniform(random)));
            const double pitch = 105.0 + 50.0 * uniform(random);
            const double glide = (uniform(random) - 0.5) * 40.0;
            const double f1 = 350.0 + 450.0 * uniform(random);
            const double f2 = 900.0 + 1400.0 * uniform(random);
            const double loudness = 0.5 + 0.5 * uniform(random);
            for (size_t i = 0; i < length && at < count; ++i, ++at) {
                const double x = static_cast<double>(i) / static_cast<double>(length);
                const double f0 = pitch + glide * x + 3.0 * std::sin(2 * pi * 5.5 * at / rate);
                phase += 2 * pi * f0 / rate;
                if (phase > 2 * pi)
                    phase -= 2 * pi;
                // Harmonics by the sine recurrence sin(k p) = 2 cos p sin((k-1) p) - sin((k-2) p).
                const double c = std::cos(phase);
                double previous = 0.0, current = std::sin(phase), voiced = 0.0;
                for (int k = 1; k * f0 < 3800.0; ++k) {
                    const double f = k * f0;
                    const double d1 = (f - f1) / 120.0, d2 = (f - f2) / 180.0;
                    const double gain = (std::exp(-d1 * d1) + 0.5 * std::exp(-d2 * d2) + 0.05) / k;
                    voiced += gain * current;
                    const double next = 2 * c * current - previous;
                    previous = current;
                    current = next;
                }
                const double envelope = std::sin(pi * x);
                const double value =
                    loudness * envelope * (voiced + 0.04 * noise(random)) + 0.004 * noise(random);
                samples[at] = static_cast<int16_t>(
                    std::lround(std::clamp(value * 9000.0, -32767.0, 32767.0)));
            }
        }
        const size_t pause = static_cast<size_t>(rate * (0.08 + 0.45 * uniform(random)));
        for (size_t i = 0; i < pause && at < count; ++i, ++at)
            samples[at] = static_cast<int16_t>(std::lround(0.004 * 9000.0 * noise(random)));
    }
    return samples;
}

bool WriteFile(const std::string& pPath, const std::string& pBytes) {
    std::ofstream out(pPath, std::ios::binary | std::ios::trunc);
    out.write(pBytes.data(), static_cast<std::streamsize>(pBytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& pPath) {
    std::ifstream in(pPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The settings a post reads, in a registry file below pFolder.
struct Settings {
    explicit Settings(const std::string& pFolder)
        : file(pFolder + "/registry.reg"), store(file, nullptr) {
        gRegistry = &store;
        store.MyName("Ann Bench");
        store.MyEmail("ann@example.com");
    }
    ~Settings() { gRegistry = nullptr; }
    FileRegistry file;
    cRegistry store;
};

int Post(const std::string& pArchive, const PostRequest& pRequest, std::string& pPostFile) {
    std::string subject = "Five minutes";
    pPostFile = pArchive;
    return BuildPost(pRequest, subject, pPostFile);
}

int Pipeline(const std::string& pFolder, int pRuns, double pSeconds) {
    namespace fs = std::filesystem;
    fs::create_directories(pFolder + "/outbox");
    Settings settings(pFolder);
    BenchSystem system;
    PostRequest request;
    request.to = "bob@example.org";
    request.programFolder = pFolder;
    request.system = &system;

    const std::vector<int16_t> samples = SynthesizeVoice(pSeconds);
    MciInterpreter mci([&samples] { return std::make_unique<PreparedBackend>(samples); });
    if (mci.Send("open new type waveaudio alias brisamsg") != 0 ||
        mci.Send("record brisamsg") != 0 || mci.Send("stop brisamsg") != 0) {
        std::fprintf(stderr, "the wave device in memory did not record\n");
        return 1;
    }

    const std::string wave = pFolder + "/in.wav";
    std::string archive = pFolder + "/in.zip";
    const std::string save = "save brisamsg \"" + wave + "\"";
    // Each run's milliseconds: whole, then save, pack and post alone.
    std::string timings, saves, packs, posts;
    auto add = [](std::string& pList, std::chrono::steady_clock::duration pTime) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, " %.1f",
                      std::chrono::duration<double, std::milli>(pTime).count());
        pList += buffer;
    };
    std::string lastPost;
    for (int run = 0; run < pRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (mci.Send(save) != 0) {
            std::fprintf(stderr, "save failed: %s\n", mci.ErrorText(MCIERR_FILE_NOT_SAVED).c_str());
            return 1;
        }
        const auto saved = std::chrono::steady_clock::now();
        if (MakeZip(wave, archive) != kZipWritten) {
            std::fprintf(stderr, "packing failed\n");
            return 1;
        }
        const auto packed = std::chrono::steady_clock::now();
        std::string postFile;
        if (Post(archive, request, postFile) != kPostWritten) {
            std::fprintf(stderr, "the post was not written\n");
            return 1;
        }
        const auto end = std::chrono::steady_clock::now();
        add(timings, end - start);
        add(saves, saved - start);
        add(packs, packed - saved);
        add(posts, end - packed);
        if (!lastPost.empty())
            fs::remove(lastPost);
        lastPost = postFile;
    }

    // The parts around the archive, for writing the same post with cat.
    const std::string post = ReadFile(lastPost);
    const std::string zip = ReadFile(archive);
    const size_t at = post.find(zip);
    if (zip.empty() || at == std::string::npos) {
        std::fprintf(stderr, "the archive is not inside the post\n");
        return 1;
    }
    if (!WriteFile(pFolder + "/post-head.bin", post.substr(0, at)) ||
        !WriteFile(pFolder + "/post-tail.bin", post.substr(at + zip.size()))) {
        std::fprintf(stderr, "cannot write the post parts\n");
        return 1;
    }
    fs::remove(lastPost);
    std::printf("wave_bytes: %llu\nzip_bytes: %zu\npipeline_ms:%s\nsave_ms:%s\nzip_ms:%s\n"
                "post_ms:%s\n",
                static_cast<unsigned long long>(fs::file_size(wave)), zip.size(), timings.c_str(),
                saves.c_str(), packs.c_str(), posts.c_str());
    return 0;
}

int MakePost(const std::string& pFolder, long pBytes) {
    namespace fs = std::filesystem;
    fs::create_directories(pFolder + "/outbox");
    Settings settings(pFolder);
    BenchSystem system;
    PostRequest request;
    request.to = "bob@example.org";
    request.programFolder = pFolder;
    request.system = &system;

    std::string payload(static_cast<size_t>(pBytes), '\0');
    std::mt19937 random(7);
    for (char& c : payload)
        c = static_cast<char>(random() & 0xFF);
    std::string archive = pFolder + "/payload.zip";
    if (!WriteFile(archive, payload))
        return 1;
    std::string postFile;
    if (Post(archive, request, postFile) != kPostWritten) {
        std::fprintf(stderr, "the post was not written\n");
        return 1;
    }
    const std::string post = ReadFile(postFile);
    const size_t blank = post.find("\r\n\r\n");
    const size_t type = post.find("Content-Type: ");
    if (blank == std::string::npos || type == std::string::npos)
        return 1;
    const size_t typeEnd = post.find("\r\n", type);
    if (!WriteFile(pFolder + "/body.bin", post.substr(blank + 4)) ||
        !WriteFile(pFolder + "/content-type.txt", post.substr(type + 14, typeEnd - type - 14)))
        return 1;
    fs::remove(archive);
    std::printf("%s\n", postFile.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pipeline" && (argc == 4 || argc == 5))
        return Pipeline(argv[2], std::atoi(argv[3]), argc == 5 ? std::atof(argv[4]) : 300.0);
    if (mode == "post" && argc == 4)
        return MakePost(argv[2], std::atol(argv[3]));
    std::fprintf(stderr, "usage: brisa-bench-send pipeline DIR RUNS [SECONDS] | post DIR BYTES\n");
    return 2;
}
