#pragma once

#include <functional>
#include <string>

namespace brisa {

// One running transmission of a post by the sending program.
struct SenderDone {
    std::string status;         // a clear text of the outcome
    int notifyTime = 0;         // how long to announce it, in tens of seconds
    std::string specialCaption; // tray menu entry; empty for none
    std::string specialTarget;  // what the entry opens
};

class ISender {
public:
    virtual ~ISender() = default;
    // Starts the transmission; pDone is called exactly once on the window
    // thread when the sender has finished with the post. False when the
    // sender could not be started (pDone is then never called).
    virtual bool SendPost(int pSounds, const std::string& pPostFile, const std::string& pConnectTo,
                          const std::string& pProxy, const std::string& pLanguage,
                          std::function<void(const SenderDone&)> pDone) = 0;
    // Starts the transmission of every post waiting in the outbox folder
    // pOutbox; pDone as above. A sender that cannot do that returns false.
    virtual bool SendOutbox(const std::string& pConnectTo, const std::string& pProxy,
                            std::function<void(const SenderDone&)> pDone,
                            const std::string& pOutbox) {
        return false;
    }
};

} // namespace brisa
