// The MCI wave-audio device: understands the command strings the program
// sends and drives a sound device behind IWaveBackend.
//
//   open new type waveaudio alias <a>
//   record <a> [overwrite]
//   pause <a>
//   stop <a>
//   seek <a> to start
//   play <a> from <milliseconds>
//   save <a> "<path>"          (or an unquoted path without blanks)
//   close <a>
//
// Words are separated by blanks; verbs, keywords and aliases ignore case; a
// word in double quotes may hold blanks. Every other command fails with the
// MCI error code of the problem, never with a crash.
#pragma once

#include "platform/mci.h"
#include "platform/wave_backend.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace brisa {

// The MCI error codes this device returns, with their Windows numbers.
enum MciError : uint32_t {
    MCIERR_NO_ERROR = 0,
    MCIERR_UNRECOGNIZED_KEYWORD = 259,
    MCIERR_UNRECOGNIZED_COMMAND = 261,
    MCIERR_INVALID_DEVICE_NAME = 263,
    MCIERR_OUT_OF_MEMORY = 264,
    MCIERR_MISSING_COMMAND_STRING = 267,
    MCIERR_MISSING_STRING_ARGUMENT = 269,
    MCIERR_BAD_INTEGER = 270,
    MCIERR_MISSING_PARAMETER = 273,
    MCIERR_UNSUPPORTED_FUNCTION = 274,
    MCIERR_DEVICE_NOT_READY = 276,
    MCIERR_INTERNAL = 277,
    MCIERR_OUTOFRANGE = 282,
    MCIERR_FILE_NOT_SAVED = 286,
    MCIERR_DEVICE_TYPE_REQUIRED = 287,
    MCIERR_DUPLICATE_ALIAS = 289,
    MCIERR_MISSING_DEVICE_NAME = 292,
    MCIERR_NO_CLOSING_QUOTE = 294,
    MCIERR_DUPLICATE_FLAGS = 295,
    MCIERR_NEW_REQUIRES_ALIAS = 299,
    MCIERR_FILENAME_REQUIRED = 304,
    MCIERR_EXTRA_CHARACTERS = 305,
};

class MciInterpreter : public IMci {
public:
    using BackendFactory = std::function<std::unique_ptr<IWaveBackend>()>;

    // pFactory makes the sound device for each "open".
    explicit MciInterpreter(BackendFactory pFactory);
    // Closes every open device (stops capture and playback).
    ~MciInterpreter() override;
    MciInterpreter(const MciInterpreter&) = delete;
    MciInterpreter& operator=(const MciInterpreter&) = delete;

    uint32_t Send(const std::string& pCommand) override;
    std::string ErrorText(uint32_t pCode) override;

    // The recording held by an open alias, or nullptr.
    const PcmBuffer* Recording(const std::string& pAlias) const;

    // Every code Send can return besides 0.
    static std::vector<uint32_t> ErrorCodes();

    // Writes pPcm as a RIFF WAVE file: first under a temporary name in the
    // target's folder, then renamed, so the target never holds half a file.
    // On failure nothing is left behind and pProblem tells why.
    static bool SaveWave(const std::string& pPath, const WaveFormat& pFormat,
                         const PcmBuffer& pPcm, std::string& pProblem);

private:
    struct Word {
        std::string text;
        bool quoted = false;
    };
    struct Device;

    uint32_t Run(const std::string& pCommand);
    static uint32_t Split(const std::string& pCommand, std::vector<Word>& pWords);
    uint32_t Open(const std::vector<Word>& pWords);
    uint32_t Record(Device& pDevice, const std::vector<Word>& pFlags);
    uint32_t Play(Device& pDevice, const std::vector<Word>& pFlags);
    uint32_t Seek(Device& pDevice, const std::vector<Word>& pFlags);
    uint32_t Save(Device& pDevice, const std::vector<Word>& pFlags);
    static void Halt(Device& pDevice);
    static void Refresh(Device& pDevice);

    BackendFactory m_Factory;
    // Open devices by lower-case alias.
    std::map<std::string, std::unique_ptr<Device>> m_Devices;
    // Details for the texts of the last device and save failures.
    std::string m_DeviceProblem;
    std::string m_SaveProblem;
};

} // namespace brisa
