#include "platform/mci_interpreter.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <random>
#include <system_error>
#include <unistd.h>

namespace brisa {

namespace {

std::string Lower(const std::string& pText) {
    std::string result = pText;
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A whole number of milliseconds: decimal digits only, at most 2^32 - 1.
bool ParseMilliseconds(const std::string& pText, uint32_t& pValue) {
    if (pText.empty() || pText.size() > 10)
        return false;
    for (char c : pText) {
        if (c < '0' || c > '9')
            return false;
    }
    uint64_t value = 0;
    std::from_chars(pText.data(), pText.data() + pText.size(), value);
    if (value > UINT32_MAX)
        return false;
    pValue = static_cast<uint32_t>(value);
    return true;
}

std::string SystemMessage(int pError) { return std::generic_category().message(pError); }

bool WriteAll(int pFile, const char* pData, size_t pBytes) {
    while (pBytes > 0) {
        ssize_t written = ::write(pFile, pData, pBytes);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        pData += written;
        pBytes -= static_cast<size_t>(written);
    }
    return true;
}

void PutLe16(char* pAt, uint32_t pValue) {
    pAt[0] = static_cast<char>(pValue & 0xFF);
    pAt[1] = static_cast<char>((pValue >> 8) & 0xFF);
}

void PutLe32(char* pAt, uint32_t pValue) {
    PutLe16(pAt, pValue & 0xFFFF);
    PutLe16(pAt + 2, pValue >> 16);
}

// A name for the temporary file beside pPath: "in.wav" becomes
// "in~k3j9x2.wav", so a file left by a crash still matches "in*.wav".
std::string TemporaryName(const std::string& pFolder, const std::string& pName,
                          std::mt19937& pRandom) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag = "~";
    for (int i = 0; i < 6; ++i)
        tag += kLetters[pRandom() % (sizeof(kLetters) - 1)];
    size_t dot = pName.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return pFolder + pName + tag;
    return pFolder + pName.substr(0, dot) + tag + pName.substr(dot);
}

} // namespace

struct MciInterpreter::Device {
    enum class Mode { Stopped, Recording, Paused, Playing };

    // Declared before the backend, which therefore goes first: a capture or
    // playback thread never outlives the recording it uses.
    PcmBuffer recording;
    std::unique_ptr<IWaveBackend> backend;
    WaveFormat format;
    Mode mode = Mode::Stopped;
    size_t position = 0; // byte offset of the play position

    ~Device() {
        if (backend) {
            backend->StopCapture();
            backend->StopPlayback();
        }
        backend.reset();
    }
};

MciInterpreter::MciInterpreter(BackendFactory pFactory) : m_Factory(std::move(pFactory)) {}

MciInterpreter::~MciInterpreter() = default;

uint32_t MciInterpreter::Send(const std::string& pCommand) {
    try {
        return Run(pCommand);
    } catch (const std::bad_alloc&) {
        return MCIERR_OUT_OF_MEMORY;
    } catch (...) {
        return MCIERR_INTERNAL;
    }
}

const PcmBuffer* MciInterpreter::Recording(const std::string& pAlias) const {
    auto found = m_Devices.find(Lower(pAlias));
    return found == m_Devices.end() ? nullptr : &found->second->recording;
}

std::vector<uint32_t> MciInterpreter::ErrorCodes() {
    return {MCIERR_UNRECOGNIZED_KEYWORD,    MCIERR_UNRECOGNIZED_COMMAND,
            MCIERR_INVALID_DEVICE_NAME,     MCIERR_OUT_OF_MEMORY,
            MCIERR_MISSING_COMMAND_STRING,  MCIERR_MISSING_STRING_ARGUMENT,
            MCIERR_BAD_INTEGER,             MCIERR_MISSING_PARAMETER,
            MCIERR_UNSUPPORTED_FUNCTION,    MCIERR_DEVICE_NOT_READY,
            MCIERR_INTERNAL,                MCIERR_OUTOFRANGE,
            MCIERR_FILE_NOT_SAVED,          MCIERR_DEVICE_TYPE_REQUIRED,
            MCIERR_DUPLICATE_ALIAS,         MCIERR_MISSING_DEVICE_NAME,
            MCIERR_NO_CLOSING_QUOTE,        MCIERR_DUPLICATE_FLAGS,
            MCIERR_NEW_REQUIRES_ALIAS,      MCIERR_FILENAME_REQUIRED,
            MCIERR_EXTRA_CHARACTERS};
}

std::string MciInterpreter::ErrorText(uint32_t pCode) {
    switch (pCode) {
    case MCIERR_NO_ERROR:
        return "The specified command was carried out.";
    case MCIERR_UNRECOGNIZED_KEYWORD:
        return "The command contains a word the wave-audio device does not understand.";
    case MCIERR_UNRECOGNIZED_COMMAND:
        return "The command is not recognized. The wave-audio device understands open, record, "
               "pause, stop, seek, play, save and close.";
    case MCIERR_INVALID_DEVICE_NAME:
        return "The specified device is not open or is not recognized. A recording device must "
               "first be opened with \"open new type waveaudio alias <name>\".";
    case MCIERR_OUT_OF_MEMORY:
        return "There is not enough memory to hold the recording. Close other programs and try "
               "again.";
    case MCIERR_MISSING_COMMAND_STRING:
        return "No command was given to the wave-audio device.";
    case MCIERR_MISSING_STRING_ARGUMENT:
        return "A keyword of the command is missing its value, for example the name after "
               "\"alias\" or the device type after \"type\".";
    case MCIERR_BAD_INTEGER:
        return "A position must be given as a whole number of milliseconds.";
    case MCIERR_MISSING_PARAMETER:
        return "A required part of the command is missing, for example \"from <milliseconds>\" "
               "after play or \"to start\" after seek.";
    case MCIERR_UNSUPPORTED_FUNCTION:
        return "The wave-audio device can only make new recordings (\"open new\"); opening an "
               "existing sound file is not supported.";
    case MCIERR_DEVICE_NOT_READY:
        return "No usable wave-audio input or output device was found" +
               (m_DeviceProblem.empty() ? std::string(".") : ": " + m_DeviceProblem);
    case MCIERR_INTERNAL:
        return "An internal error occurred in the wave-audio device.";
    case MCIERR_OUTOFRANGE:
        return "The position lies beyond the end of the recording.";
    case MCIERR_FILE_NOT_SAVED:
        return "The recording could not be saved" +
               (m_SaveProblem.empty() ? std::string() : " (" + m_SaveProblem + ")") +
               ". Check that the folder exists, that it may be written to and that the disk "
               "has room.";
    case MCIERR_DEVICE_TYPE_REQUIRED:
        return "The device type is missing: a recording device is opened with \"type "
               "waveaudio\".";
    case MCIERR_DUPLICATE_ALIAS:
        return "The alias is already used by an open device. Close that device first or choose "
               "another alias.";
    case MCIERR_MISSING_DEVICE_NAME:
        return "The command does not name a device.";
    case MCIERR_NO_CLOSING_QUOTE:
        return "A double quote in the command is not closed.";
    case MCIERR_DUPLICATE_FLAGS:
        return "The same keyword was given twice in the command.";
    case MCIERR_NEW_REQUIRES_ALIAS:
        return "A new recording device must be given a name with \"alias\".";
    case MCIERR_FILENAME_REQUIRED:
        return "The command needs a file name.";
    case MCIERR_EXTRA_CHARACTERS:
        return "A closing double quote must be followed by a blank or by the end of the command.";
    default:
        return "Unknown wave-audio device error " + std::to_string(pCode) + ".";
    }
}

uint32_t MciInterpreter::Split(const std::string& pCommand, std::vector<Word>& pWords) {
    // A C string ends at its first NUL character.
    const std::string text = pCommand.substr(0, pCommand.find('\0'));
    size_t at = 0;
    while (true) {
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        if (at >= text.size())
            return MCIERR_NO_ERROR;
        Word word;
        if (text[at] == '"') {
            size_t close = text.find('"', at + 1);
            if (close == std::string::npos)
                return MCIERR_NO_CLOSING_QUOTE;
            word.text = text.substr(at + 1, close - at - 1);
            word.quoted = true;
            at = close + 1;
            if (at < text.size() && !IsBlank(text[at]))
                return MCIERR_EXTRA_CHARACTERS;
        } else {
            size_t end = at;
            while (end < text.size() && !IsBlank(text[end]))
                ++end;
            word.text = text.substr(at, end - at);
            at = end;
        }
        pWords.push_back(std::move(word));
    }
}

uint32_t MciInterpreter::Run(const std::string& pCommand) {
    std::vector<Word> words;
    if (uint32_t code = Split(pCommand, words))
        return code;
    if (words.empty())
        return MCIERR_MISSING_COMMAND_STRING;

    const std::string verb = Lower(words[0].text);
    static const char* const kVerbs[] = {"open", "record", "pause", "stop",
                                         "seek", "play",   "save",  "close"};
    bool known = false;
    for (const char* candidate : kVerbs)
        known = known || verb == candidate;
    if (!known)
        return MCIERR_UNRECOGNIZED_COMMAND;
    if (words.size() < 2 || words[1].text.empty())
        return MCIERR_MISSING_DEVICE_NAME;
    if (verb == "open")
        return Open(words);

    auto found = m_Devices.find(Lower(words[1].text));
    if (found == m_Devices.end())
        return MCIERR_INVALID_DEVICE_NAME;
    Device& device = *found->second;
    Refresh(device);
    const std::vector<Word> flags(words.begin() + 2, words.end());

    if (verb == "record")
        return Record(device, flags);
    if (verb == "play")
        return Play(device, flags);
    if (verb == "seek")
        return Seek(device, flags);
    if (verb == "save")
        return Save(device, flags);
    if (!flags.empty())
        return MCIERR_UNRECOGNIZED_KEYWORD;
    if (verb == "pause") {
        // A paused recording keeps what it holds; a paused playback keeps its
        // position.
        if (device.mode == Device::Mode::Recording) {
            device.backend->StopCapture();
            device.mode = Device::Mode::Paused;
            device.position = device.recording.Size();
        } else if (device.mode == Device::Mode::Playing) {
            Halt(device);
        }
        return MCIERR_NO_ERROR;
    }
    if (verb == "stop") {
        Halt(device);
        return MCIERR_NO_ERROR;
    }
    // close
    Halt(device);
    m_Devices.erase(found);
    return MCIERR_NO_ERROR;
}

uint32_t MciInterpreter::Open(const std::vector<Word>& pWords) {
    std::string type, alias;
    bool hasType = false, hasAlias = false;
    for (size_t i = 2; i < pWords.size(); ++i) {
        const std::string keyword = Lower(pWords[i].text);
        if (keyword != "type" && keyword != "alias")
            return MCIERR_UNRECOGNIZED_KEYWORD;
        bool& seen = keyword == "type" ? hasType : hasAlias;
        if (seen)
            return MCIERR_DUPLICATE_FLAGS;
        if (i + 1 >= pWords.size() || pWords[i + 1].text.empty())
            return MCIERR_MISSING_STRING_ARGUMENT;
        seen = true;
        (keyword == "type" ? type : alias) = Lower(pWords[++i].text);
    }
    if (Lower(pWords[1].text) != "new")
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (!hasType)
        return MCIERR_DEVICE_TYPE_REQUIRED;
    if (type != "waveaudio")
        return MCIERR_INVALID_DEVICE_NAME;
    if (!hasAlias)
        return MCIERR_NEW_REQUIRES_ALIAS;
    if (m_Devices.count(alias))
        return MCIERR_DUPLICATE_ALIAS;

    auto device = std::make_unique<Device>();
    device->backend = m_Factory ? m_Factory() : nullptr;
    if (!device->backend) {
        m_DeviceProblem = "no sound system is available.";
        return MCIERR_DEVICE_NOT_READY;
    }
    std::string reason;
    if (!device->backend->Probe(reason)) {
        m_DeviceProblem = reason;
        return MCIERR_DEVICE_NOT_READY;
    }
    device->format = device->backend->Format();
    m_Devices.emplace(alias, std::move(device));
    return MCIERR_NO_ERROR;
}

uint32_t MciInterpreter::Record(Device& pDevice, const std::vector<Word>& pFlags) {
    bool overwrite = false;
    for (const Word& flag : pFlags) {
        if (Lower(flag.text) != "overwrite")
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (overwrite)
            return MCIERR_DUPLICATE_FLAGS;
        overwrite = true;
    }
    if (pDevice.mode == Device::Mode::Recording) {
        if (!overwrite)
            return MCIERR_NO_ERROR; // already recording: goes on
        pDevice.backend->StopCapture();
    } else if (pDevice.mode == Device::Mode::Playing) {
        Halt(pDevice);
    }
    pDevice.mode = Device::Mode::Stopped;
    if (overwrite)
        pDevice.recording.Clear();
    pDevice.position = pDevice.recording.Size();

    std::string reason;
    if (!pDevice.backend->StartCapture(pDevice.recording, reason)) {
        m_DeviceProblem = reason;
        return MCIERR_DEVICE_NOT_READY;
    }
    pDevice.mode = Device::Mode::Recording;
    return MCIERR_NO_ERROR;
}

uint32_t MciInterpreter::Play(Device& pDevice, const std::vector<Word>& pFlags) {
    bool hasFrom = false;
    uint32_t from = 0;
    for (size_t i = 0; i < pFlags.size(); ++i) {
        if (Lower(pFlags[i].text) != "from")
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (hasFrom)
            return MCIERR_DUPLICATE_FLAGS;
        if (i + 1 >= pFlags.size())
            return MCIERR_MISSING_PARAMETER;
        if (!ParseMilliseconds(pFlags[++i].text, from))
            return MCIERR_BAD_INTEGER;
        hasFrom = true;
    }
    if (!hasFrom)
        return MCIERR_MISSING_PARAMETER;

    Halt(pDevice);
    const uint64_t align = pDevice.format.BlockAlign() ? pDevice.format.BlockAlign() : 1;
    uint64_t offset = uint64_t{from} * pDevice.format.BytesPerSecond() / 1000;
    offset -= offset % align;
    if (offset > pDevice.recording.Size())
        return MCIERR_OUTOFRANGE;

    std::string reason;
    if (!pDevice.backend->StartPlayback(pDevice.recording, static_cast<size_t>(offset), reason)) {
        m_DeviceProblem = reason;
        return MCIERR_DEVICE_NOT_READY;
    }
    pDevice.position = static_cast<size_t>(offset);
    pDevice.mode = Device::Mode::Playing;
    return MCIERR_NO_ERROR;
}

uint32_t MciInterpreter::Seek(Device& pDevice, const std::vector<Word>& pFlags) {
    bool hasTo = false;
    for (size_t i = 0; i < pFlags.size(); ++i) {
        if (Lower(pFlags[i].text) != "to")
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (hasTo)
            return MCIERR_DUPLICATE_FLAGS;
        if (i + 1 >= pFlags.size())
            return MCIERR_MISSING_PARAMETER;
        if (Lower(pFlags[++i].text) != "start")
            return MCIERR_UNRECOGNIZED_KEYWORD;
        hasTo = true;
    }
    if (!hasTo)
        return MCIERR_MISSING_PARAMETER;
    Halt(pDevice);
    pDevice.position = 0;
    return MCIERR_NO_ERROR;
}

uint32_t MciInterpreter::Save(Device& pDevice, const std::vector<Word>& pFlags) {
    if (pFlags.empty() || pFlags[0].text.empty())
        return MCIERR_FILENAME_REQUIRED;
    if (pFlags.size() > 1)
        return MCIERR_UNRECOGNIZED_KEYWORD;
    std::string problem;
    if (!SaveWave(pFlags[0].text, pDevice.format, pDevice.recording, problem)) {
        m_SaveProblem = problem;
        return MCIERR_FILE_NOT_SAVED;
    }
    return MCIERR_NO_ERROR;
}

void MciInterpreter::Halt(Device& pDevice) {
    switch (pDevice.mode) {
    case Device::Mode::Recording:
        pDevice.backend->StopCapture();
        pDevice.position = pDevice.recording.Size();
        break;
    case Device::Mode::Paused:
        pDevice.position = pDevice.recording.Size();
        break;
    case Device::Mode::Playing:
        pDevice.position = pDevice.backend->StopPlayback();
        break;
    case Device::Mode::Stopped:
        break;
    }
    pDevice.mode = Device::Mode::Stopped;
}

// A playback that ran to its end stopped by itself.
void MciInterpreter::Refresh(Device& pDevice) {
    if (pDevice.mode == Device::Mode::Playing && pDevice.backend->State() != WaveState::Playing)
        Halt(pDevice);
}

bool MciInterpreter::SaveWave(const std::string& pPath, const WaveFormat& pFormat,
                              const PcmBuffer& pPcm, std::string& pProblem) {
    const size_t slash = pPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : pPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? pPath : pPath.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        pProblem = "\"" + pPath + "\" does not name a file";
        return false;
    }

    // The header is written first, so the size is taken once and kept to:
    // nothing is appended to a device that is being saved, except by a
    // recording that still runs, whose later samples are left out.
    const uint64_t dataBytes = pPcm.Size();
    const uint64_t padding = dataBytes % 2;
    if (dataBytes + padding + 36 > UINT32_MAX) {
        pProblem = "the recording is too long for a wave file";
        return false;
    }

    std::mt19937 random(static_cast<uint32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid()));
    std::string temporary;
    int file = -1;
    for (int attempt = 0; attempt < 50 && file < 0; ++attempt) {
        temporary = TemporaryName(folder, name, random);
        // A recording is the user's voice: readable by its owner only.
        file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file < 0 && errno != EEXIST)
            break;
    }
    if (file < 0) {
        pProblem = "cannot create a file in \"" + (folder.empty() ? std::string(".") : folder) +
                   "\": " + SystemMessage(errno);
        return false;
    }

    char header[44];
    std::memcpy(header, "RIFF", 4);
    PutLe32(header + 4, static_cast<uint32_t>(36 + dataBytes + padding));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLe32(header + 16, 16);
    PutLe16(header + 20, 1); // PCM
    PutLe16(header + 22, pFormat.channels);
    PutLe32(header + 24, pFormat.samplesPerSecond);
    PutLe32(header + 28, pFormat.BytesPerSecond());
    PutLe16(header + 32, pFormat.BlockAlign());
    PutLe16(header + 34, pFormat.bitsPerSample);
    std::memcpy(header + 36, "data", 4);
    PutLe32(header + 40, static_cast<uint32_t>(dataBytes));

    bool ok = WriteAll(file, header, sizeof header);
    uint64_t left = dataBytes;
    if (ok) {
        pPcm.ForEachPiece([&](const char* pData, size_t pBytes) {
            size_t piece = static_cast<size_t>(std::min<uint64_t>(pBytes, left));
            ok = WriteAll(file, pData, piece);
            left -= piece;
            return ok && left > 0;
        });
        ok = ok && left == 0 && (padding == 0 || WriteAll(file, "", 1));
    }
    int error = ok ? 0 : (errno ? errno : EIO);
    // Not forced to the disk: a recording is a working file that is packed
    // right away, and start-up deletes any that a crash left behind.
    if (::close(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temporary.c_str(), pPath.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        pProblem = "cannot write \"" + pPath + "\": " + SystemMessage(error);
        return false;
    }
    return true;
}

} // namespace brisa
