#include "sending/sender_process.h"

#include "language/translation.h"
#include "platform/program_folder.h"
#include "sending/post_sender.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QStringList>

namespace brisa {

namespace {

// Only the end of the program's output matters: the report is its last line.
constexpr qsizetype kKeptOutput = 64 * 1024;

bool Executable(const std::string& pPath) {
    const QFileInfo info(QString::fromStdString(pPath));
    return info.isFile() && info.isExecutable();
}

std::string FolderOf(const std::string& pPath) {
    const auto slash = pPath.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : pPath.substr(0, slash);
}

// A value for one line of the program's input.
std::string OneLine(std::string pValue) {
    for (auto& c : pValue)
        if (c == '\r' || c == '\n')
            c = ' ';
    return pValue;
}

} // namespace

SenderProcess::SenderProcess(std::string pProgram) : m_Program(std::move(pProgram)) {}

SenderProcess::~SenderProcess() {
    if (m_Process) {
        QObject::disconnect(m_Process.get(), nullptr, nullptr, nullptr);
        if (m_Process->state() != QProcess::NotRunning) {
            m_Process->kill();
            m_Process->waitForFinished(2000);
        }
    }
}

std::string SenderProcess::DefaultProgram() {
    const std::string inProgramFolder = ProgramPath("/brisa-sender");
    if (Executable(inProgramFolder))
        return inProgramFolder;
    if (QCoreApplication::instance()) {
        const std::string beside =
            QCoreApplication::applicationDirPath().toStdString() + "/brisa-sender";
        if (Executable(beside))
            return beside;
    }
    return inProgramFolder;
}

bool SenderProcess::Running() const {
    return m_Process && m_Process->state() != QProcess::NotRunning;
}

bool SenderProcess::SendPost(int pSounds, const std::string& pPostFile,
                             const std::string& pConnectTo, const std::string& pProxy,
                             const std::string& pLanguage,
                             std::function<void(const SenderDone&)> pDone) {
    return Start({"--post", pPostFile, "--connect-to", "-", "--proxy", "-", "--language", pLanguage,
                  "--sounds", std::to_string(pSounds)},
                 OneLine(pConnectTo) + "\n" + OneLine(pProxy) + "\n", FolderOf(pPostFile),
                 std::move(pDone));
}

bool SenderProcess::SendOutbox(const std::string& pConnectTo, const std::string& pProxy,
                               std::function<void(const SenderDone&)> pDone,
                               const std::string& pOutbox) {
    const std::string outbox = pOutbox.empty() ? ProgramPath("/outbox") : pOutbox;
    return Start(
        {"--outbox", outbox, "--connect-to", "-", "--proxy", "-", "--language", gLanguageId},
        OneLine(pConnectTo) + "\n" + OneLine(pProxy) + "\n", outbox, std::move(pDone));
}

bool SenderProcess::Start(const std::vector<std::string>& pArguments, const std::string& pInput,
                          const std::string& pOutbox,
                          std::function<void(const SenderDone&)> pDone) {
    if (Running())
        return false;
    const std::string program = m_Program.empty() ? DefaultProgram() : m_Program;
    if (!Executable(program))
        return false;

    auto process = std::make_unique<QProcess>();
    process->setProgram(QString::fromStdString(program));
    QStringList arguments;
    for (const auto& argument : pArguments)
        arguments << QString::fromStdString(argument);
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);

    QProcess* raw = process.get();
    QObject::connect(raw, &QProcess::readyReadStandardOutput, raw, [this, raw] {
        m_Output += raw->readAllStandardOutput().toStdString();
        if (m_Output.size() > static_cast<size_t>(kKeptOutput))
            m_Output.erase(0, m_Output.size() - static_cast<size_t>(kKeptOutput));
    });
    QObject::connect(raw, &QProcess::finished, raw,
                     [this](int pExitCode, QProcess::ExitStatus pStatus) {
                         Finished(pExitCode, pStatus == QProcess::CrashExit);
                     });

    m_Output.clear();
    m_Outbox = pOutbox;
    m_Done = std::move(pDone);
    m_Process = std::move(process);
    m_Process->start();
    if (!m_Process->waitForStarted(10000)) {
        QObject::disconnect(m_Process.get(), nullptr, nullptr, nullptr);
        if (m_Process->state() != QProcess::NotRunning) {
            m_Process->kill();
            m_Process->waitForFinished(2000);
        }
        m_Done = nullptr;
        return false;
    }
    // The server address and the proxy go through standard input: a
    // password in them stays out of the list of running programs.
    m_Process->write(pInput.data(), static_cast<qint64>(pInput.size()));
    m_Process->closeWriteChannel();
    return true;
}

void SenderProcess::Finished(int pExitCode, bool pCrashed) {
    m_Output += m_Process->readAllStandardOutput().toStdString();

    SenderDone result;
    bool reported = false;
    size_t start = 0;
    while (start < m_Output.size()) {
        auto end = m_Output.find('\n', start);
        if (end == std::string::npos)
            end = m_Output.size();
        SenderDone line;
        if (ParseDoneLine(std::string_view(m_Output).substr(start, end - start), line)) {
            result = line;
            reported = true;
        }
        start = end + 1;
    }
    if (!reported) {
        result.status = pCrashed
                            ? "The sending program crashed before it reported; the message "
                              "stays in the outbox"
                            : "The sending program ended without a report (exit code " +
                                  std::to_string(pExitCode) + "); the message stays in the outbox";
        result.notifyTime = kWaitingNotifyTime;
        result.specialCaption = WaitingCaption();
        result.specialTarget = m_Outbox;
    }

    auto done = std::move(m_Done);
    m_Done = nullptr;
    if (!done)
        return;
    // Called from the event loop, so the caller may release this object.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [done, result] { done(result); }, Qt::QueuedConnection);
    else
        done(result);
}

} // namespace brisa
