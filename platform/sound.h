#pragma once

#include <string>

namespace brisa {

enum SoundMode : int { SND_SYNC = 0, SND_ASYNC = 1 };

// Plays a wave file: SND_SYNC returns when it has ended, SND_ASYNC at once
// (a newer asynchronous sound cuts off the one still playing). A missing
// file, a broken file or no audio device is silence, never an error.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void Play(const std::string& pPath, int pMode) = 0;
};

} // namespace brisa
