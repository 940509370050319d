// The main window's side of the sending program: starts brisa-sender for
// one post (or for the whole outbox), reads its report line and hands it to
// the caller on the window thread. Qt Core only.
#pragma once

#include "platform/sender.h"

#include <functional>
#include <memory>
#include <string>

class QProcess;

namespace brisa {

class SenderProcess : public ISender {
public:
    // pProgram: the sending program to start; "" means brisa-sender in the
    // program folder (or, when it is not there, beside the running program).
    explicit SenderProcess(std::string pProgram = {});
    // A transmission still running is stopped; its post stays in the outbox
    // and its pDone is not called.
    ~SenderProcess() override;
    SenderProcess(const SenderProcess&) = delete;
    SenderProcess& operator=(const SenderProcess&) = delete;

    // Starts "brisa-sender --post ...", the server address and the proxy
    // passed on its standard input (never on its command line). pDone is
    // called exactly once, later, from the event loop (never from inside
    // this call), also when the program crashes or ends without a report:
    // then with a status saying so and the waiting-in-the-outbox
    // notification. False when the program could not be started or a
    // transmission of this object is still running; pDone is then never
    // called.
    bool SendPost(int pSounds, const std::string& pPostFile, const std::string& pConnectTo,
                  const std::string& pProxy, const std::string& pLanguage,
                  std::function<void(const SenderDone&)> pDone) override;

    // Starts "brisa-sender --outbox ..." for every post waiting in pOutbox
    // ("" means the outbox of the program folder); pDone as above.
    bool SendOutbox(const std::string& pConnectTo, const std::string& pProxy,
                    std::function<void(const SenderDone&)> pDone,
                    const std::string& pOutbox = {}) override;

    // True while a transmission started here has not reported.
    bool Running() const;

    // The program used when none is given.
    static std::string DefaultProgram();

private:
    bool Start(const std::vector<std::string>& pArguments, const std::string& pInput,
               const std::string& pOutbox, std::function<void(const SenderDone&)> pDone);
    void Finished(int pExitCode, bool pCrashed);

    std::string m_Program;
    std::unique_ptr<QProcess> m_Process;
    std::function<void(const SenderDone&)> m_Done;
    std::string m_Outbox; // where an unsent post waits
    std::string m_Output; // what the program wrote so far
};

} // namespace brisa
