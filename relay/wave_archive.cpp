#include "relay/wave_archive.h"

#include <zip.h>

#include <algorithm>
#include <memory>

namespace brisa {

namespace {

std::uint32_t Le32(std::string_view pBytes, std::size_t pAt) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(pBytes[pAt + static_cast<std::size_t>(i)]);
    return value;
}

unsigned Le16(std::string_view pBytes, std::size_t pAt) {
    return static_cast<unsigned>(static_cast<unsigned char>(pBytes[pAt])) |
           (static_cast<unsigned>(static_cast<unsigned char>(pBytes[pAt + 1])) << 8);
}

struct ArchiveCloser {
    void operator()(zip_t* pArchive) const { zip_discard(pArchive); }
};
struct EntryCloser {
    void operator()(zip_file_t* pEntry) const { zip_fclose(pEntry); }
};

bool CheckFormat(std::string_view pChunk, WaveFacts& pFacts, std::string& pProblem) {
    if (pChunk.size() < 16) {
        pProblem = "the recording's fmt chunk is too short";
        return false;
    }
    pFacts.formatTag = static_cast<int>(Le16(pChunk, 0));
    pFacts.channels = static_cast<int>(Le16(pChunk, 2));
    pFacts.samplesPerSecond = Le32(pChunk, 4);
    const std::uint32_t bytesPerSecond = Le32(pChunk, 8);
    const unsigned blockAlign = Le16(pChunk, 12);
    pFacts.bitsPerSample = static_cast<int>(Le16(pChunk, 14));
    if (pFacts.formatTag == 0) {
        pProblem = "the recording names no sample format";
        return false;
    }
    if (pFacts.channels < 1 || pFacts.channels > 32) {
        pProblem = "the recording has " + std::to_string(pFacts.channels) + " channels";
        return false;
    }
    if (pFacts.samplesPerSecond < 1 || pFacts.samplesPerSecond > 768000) {
        pProblem = "the recording's sample rate " + std::to_string(pFacts.samplesPerSecond) +
                   " is not sensible";
        return false;
    }
    if (blockAlign == 0) {
        pProblem = "the recording's block size is 0";
        return false;
    }
    if (pFacts.formatTag == 1 || pFacts.formatTag == 3) { // integer PCM, float
        const int bits = pFacts.bitsPerSample;
        const bool bitsOk = bits == 8 || bits == 16 || bits == 24 || bits == 32 ||
                            (bits == 64 && pFacts.formatTag == 3);
        if (!bitsOk || blockAlign != static_cast<unsigned>(pFacts.channels * bits / 8) ||
            bytesPerSecond != pFacts.samplesPerSecond * blockAlign) {
            pProblem = "the recording's fmt chunk does not add up (" + std::to_string(bits) +
                       " bits, block " + std::to_string(blockAlign) + ", " +
                       std::to_string(bytesPerSecond) + " bytes a second)";
            return false;
        }
    }
    return true;
}

} // namespace

bool ReadWave(std::string_view pBytes, WaveFacts& pFacts, std::string& pProblem) {
    pFacts = WaveFacts();
    if (pBytes.size() < 12 || pBytes.substr(0, 4) != "RIFF" || pBytes.substr(8, 4) != "WAVE") {
        pProblem = "the recording is not a WAVE file";
        return false;
    }
    const std::uint64_t riffEnd = std::uint64_t(Le32(pBytes, 4)) + 8;
    // A last odd-sized chunk may come without its pad byte.
    if (riffEnd > pBytes.size() + 1) {
        pProblem = "the recording is cut short (" + std::to_string(pBytes.size()) + " of " +
                   std::to_string(riffEnd) + " bytes)";
        return false;
    }
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(riffEnd, pBytes.size()));
    bool haveFormat = false, haveData = false;
    std::size_t pos = 12;
    while (pos + 8 <= end) {
        const std::string_view id = pBytes.substr(pos, 4);
        const std::uint64_t size = Le32(pBytes, pos + 4);
        const std::size_t start = pos + 8;
        if (start + size > end) {
            pProblem = id == "data" ? "the recording's sound data is cut short"
                                    : "a chunk of the recording runs past its end";
            return false;
        }
        const std::string_view chunk = pBytes.substr(start, static_cast<std::size_t>(size));
        if (id == "fmt ") {
            if (haveFormat) {
                pProblem = "the recording has two fmt chunks";
                return false;
            }
            haveFormat = true;
            if (!CheckFormat(chunk, pFacts, pProblem))
                return false;
        } else if (id == "data") {
            if (!haveFormat) {
                pProblem = "the recording's sound data comes before its format";
                return false;
            }
            if (haveData) {
                pProblem = "the recording has two data chunks";
                return false;
            }
            haveData = true;
            pFacts.dataBytes = static_cast<std::uint32_t>(size);
        }
        pos = start + static_cast<std::size_t>(size) + static_cast<std::size_t>(size & 1);
    }
    if (!haveFormat) {
        pProblem = "the recording has no fmt chunk";
        return false;
    }
    if (!haveData) {
        pProblem = "the recording has no sound data";
        return false;
    }
    return true;
}

bool ExtractWave(std::string_view pZip, std::string& pWave, std::string& pEntryName,
                 std::string& pProblem) {
    pWave.clear();
    pEntryName.clear();
    if (pZip.empty()) {
        pProblem = "the archive is empty";
        return false;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(pZip.data(), pZip.size(), 0, &error);
    if (!source) {
        pProblem = std::string("the archive cannot be read: ") + zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    std::unique_ptr<zip_t, ArchiveCloser> archive(
        zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) {
        zip_source_free(source);
        pProblem = std::string("the archive is not a readable zip file: ") +
                   zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);

    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    if (entries != 1) {
        pProblem = "the archive holds " + std::to_string(entries < 0 ? 0 : entries) +
                   " entries; exactly one recording is expected";
        return false;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), 0, 0, &stat) != 0) {
        pProblem = std::string("the archive's entry cannot be read: ") +
                   zip_strerror(archive.get());
        return false;
    }
    const zip_uint64_t needed = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE |
                                ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    if ((stat.valid & needed) != needed) {
        pProblem = "the archive's entry is incomplete";
        return false;
    }
    pEntryName = stat.name ? stat.name : "";
    if (pEntryName.empty() || pEntryName.back() == '/') {
        pProblem = "the archive's entry is a folder, not a recording";
        return false;
    }
    if (stat.encryption_method != ZIP_EM_NONE) {
        pProblem = "the archive's entry is encrypted";
        return false;
    }
    if (stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE) {
        pProblem = "the archive's entry uses compression method " +
                   std::to_string(stat.comp_method) + "; only stored and deflated are taken";
        return false;
    }
    if (stat.size > kMaxWaveBytes) {
        pProblem = "the recording would be " + std::to_string(stat.size) + " bytes; at most " +
                   std::to_string(kMaxWaveBytes) + " are taken";
        return false;
    }
    if ((stat.comp_method == ZIP_CM_STORE && stat.size != stat.comp_size) ||
        (stat.size > 0 && stat.comp_size == 0) ||
        stat.size > stat.comp_size * kMaxInflateRatio + 1024) {
        pProblem = "the archive's entry claims " + std::to_string(stat.size) + " bytes from " +
                   std::to_string(stat.comp_size) + " compressed bytes, which cannot be";
        return false;
    }

    std::unique_ptr<zip_file_t, EntryCloser> entry(zip_fopen_index(archive.get(), 0, 0));
    if (!entry) {
        pProblem = std::string("the archive's entry cannot be opened: ") +
                   zip_strerror(archive.get());
        return false;
    }
    // Read exactly the declared size, then make sure nothing follows.
    pWave.resize(static_cast<std::size_t>(stat.size));
    std::size_t got = 0;
    while (got < pWave.size()) {
        const zip_int64_t n = zip_fread(entry.get(), pWave.data() + got, pWave.size() - got);
        if (n < 0) {
            pProblem = std::string("the archive's entry is damaged: ") +
                       zip_file_strerror(entry.get());
            pWave.clear();
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < pWave.size()) {
        pProblem = "the archive's entry is shorter than it claims";
        pWave.clear();
        return false;
    }
    char extra = 0;
    const zip_int64_t more = zip_fread(entry.get(), &extra, 1);
    if (more != 0) {
        pProblem = more > 0 ? "the archive's entry inflates beyond its declared size"
                            : std::string("the archive's entry is damaged: ") +
                                  zip_file_strerror(entry.get());
        pWave.clear();
        return false;
    }

    WaveFacts facts;
    if (!ReadWave(pWave, facts, pProblem)) {
        pWave.clear();
        return false;
    }
    return true;
}

} // namespace brisa
