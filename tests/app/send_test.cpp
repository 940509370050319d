// The Send button of the main window: the recipient checks, saving and
// packing the recording, the post file, the hand-off to the sender and its
// Done report, and the outbox run at start-up. Fake services play the
// device and the sender; one test sends for real through brisa-sender to a
// server on 127.0.0.1.
#include "app/main_window.h"

#include "common/globals.h"
#include "language/translation.h"
#include "platform/program_folder.h"
#include "sending/sender_process.h"
#include "settings/registry.h"
#include "skin/label_button.h"
#include "tests/fakes/fakes.h"
#include "tests/sending/test_servers.h"
#include "tests/support/temp_env.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace brisa::test {
namespace {

using namespace std::string_literals;

std::string T(const char* pId) {
    const auto text = Tr(pId);
    return text ? *text : std::string("<no ") + pId + ">";
}

bool Exists(const std::string& pPath) { return QFileInfo::exists(QString::fromStdString(pPath)); }

// A short, valid wave file: 8 kHz mono 8 bit, a tenth of a second.
std::string SmallWave() {
    const std::string samples(800, '\x80');
    auto le32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                           static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    };
    auto le16 = [](uint16_t v) {
        return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    };
    return "RIFF" + le32(static_cast<uint32_t>(36 + samples.size())) + "WAVEfmt " + le32(16) +
           le16(1) + le16(1) + le32(8000) + le32(8000) + le16(1) + le16(8) + "data" +
           le32(static_cast<uint32_t>(samples.size())) + samples;
}

// The wave-audio device: "save" writes the recording to the path it is given.
class SavingMci : public FakeMci {
public:
    bool writes = true;
    uint32_t Send(const std::string& pCommand) override {
        const uint32_t code = FakeMci::Send(pCommand);
        if (code == 0 && writes && pCommand.rfind("save ", 0) == 0) {
            const auto open = pCommand.find('"');
            const auto close = pCommand.rfind('"');
            if (open != std::string::npos && close > open)
                WriteFile(pCommand.substr(open + 1, close - open - 1), SmallWave());
        }
        return code;
    }
};

// What the fake senders were asked to do; shared with them, so that a sender
// released after the test is still safe.
struct SenderLog {
    struct Call {
        std::string mode; // "post" or "outbox"
        int sounds = 0;
        std::string file, connectTo, proxy, language;
    };
    int created = 0;
    int destroyed = 0;
    bool refuse = false; // SendPost and SendOutbox return false
    std::vector<Call> calls;
    std::vector<std::function<void(const SenderDone&)>> done;
};

class FakeSender : public ISender {
public:
    explicit FakeSender(std::shared_ptr<SenderLog> pLog) : m_Log(std::move(pLog)) { ++m_Log->created; }
    ~FakeSender() override { ++m_Log->destroyed; }
    bool SendPost(int pSounds, const std::string& pPostFile, const std::string& pConnectTo,
                  const std::string& pProxy, const std::string& pLanguage,
                  std::function<void(const SenderDone&)> pDone) override {
        m_Log->calls.push_back({"post", pSounds, pPostFile, pConnectTo, pProxy, pLanguage});
        if (m_Log->refuse) return false;
        m_Log->done.push_back(std::move(pDone));
        return true;
    }
    bool SendOutbox(const std::string& pConnectTo, const std::string& pProxy,
                    std::function<void(const SenderDone&)> pDone, const std::string& pOutbox) override {
        m_Log->calls.push_back({"outbox", 0, pOutbox, pConnectTo, pProxy, ""});
        if (m_Log->refuse) return false;
        m_Log->done.push_back(std::move(pDone));
        return true;
    }

private:
    std::shared_ptr<SenderLog> m_Log;
};

struct ButtonStates {
    bool record, play, stop, send, close, hide;
    bool operator==(const ButtonStates&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ButtonStates& b) {
    return os << "record " << b.record << ", play " << b.play << ", stop " << b.stop << ", send "
              << b.send << ", close " << b.close << ", hide " << b.hide;
}

// After Stop: the recording can be played and sent.
const ButtonStates kStopped{true, true, false, true, true, true};
const ButtonStates kAfterPost{true, false, false, false, true, true};

const std::string kServer = "http://brisa.example/post";

class SendTest : public ::testing::Test {
protected:
    void SetUp() override {
        lang = ReadFile(std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt");
        WriteFile(env.Path("lang/00000409.txt"), lang);
        Put("Email", "me@example.com");
        Put("ConnectTo", kServer);
        // A proxy switched on without a server: the post goes direct.
        fakes.registry.Put(RootKey::CurrentUser, kInternetKey, "ProxyEnable", "\x01\0\0\0"s);
    }
    void TearDown() override {
        window.reset();
        // Senders let go of are destroyed on the next turn of the event loop.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }

    frmMM& Start(bool pSounds = true) {
        services = fakes.Wire();
        services.mci = &mci;
        services.newSender = [this]() -> std::unique_ptr<ISender> {
            if (noSender) return nullptr;
            return std::make_unique<FakeSender>(senders);
        };
        if (emptyFactory) services.newSender = nullptr;
        window = std::make_unique<frmMM>(services, "");
        window->Form_Load();
        Put("PlaySounds", pSounds ? "1" : "0");
        fakes.sound.played.clear();
        // A recording has just been stopped.
        frmMM& w = *window;
        for (QWidget* b : std::initializer_list<QWidget*>{w.cmdRecord, w.cmdPlay, w.cmdSend, w.cmdClose,
                                                         w.cmdHide})
            b->setEnabled(true);
        w.cmdStop->setEnabled(false);
        w.m_RecordState = "pause";
        w.lblStatus->setText("before");
        w.txtSubject->setText("Hello");
        w.cmbTo->setEditText("ann@example.com");
        w.cmdRecord->setFocus();
        return w;
    }
    void Put(const std::string& pName, const std::string& pValue) {
        fakes.registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
    }
    ButtonStates Buttons() const {
        const frmMM& w = *window;
        return {w.cmdRecord->isEnabled(), w.cmdPlay->isEnabled(), w.cmdStop->isEnabled(),
                w.cmdSend->isEnabled(),   w.cmdClose->isEnabled(), w.cmdHide->isEnabled()};
    }
    std::string Status() const { return window->lblStatus->text().toStdString(); }
    std::vector<std::string> Sounds() const { return fakes.sound.Names(); }
    // The post files in the outbox.
    std::vector<std::string> Posts() const {
        std::vector<std::string> paths;
        const QDir outbox(QString::fromStdString(env.Path("outbox")));
        for (const QString& name : outbox.entryList({"*.txt"}, QDir::Files, QDir::Name))
            paths.push_back(env.Path("outbox/" + name.toStdString()));
        return paths;
    }
    // Replaces the language file before start-up; lines of the ids given are left out.
    void LanguageWithout(std::initializer_list<std::string> pIds) {
        std::string kept;
        size_t start = 0;
        while (start < lang.size()) {
            size_t end = lang.find('\n', start);
            if (end == std::string::npos) end = lang.size();
            const std::string line = lang.substr(start, end - start + 1);
            bool drop = false;
            for (const std::string& id : pIds) drop = drop || line.rfind(id + "\t", 0) == 0;
            if (!drop) kept += line;
            start = end + 1;
        }
        WriteFile(env.Path("lang/00000409.txt"), kept);
    }
    void Done(size_t pIndex, int pTime, const std::string& pCaption, const std::string& pTarget) {
        ASSERT_LT(pIndex, senders->done.size());
        senders->done[pIndex]({"status", pTime, pCaption, pTarget});
    }
    // A check that fails leaves no trace beyond its own: no archive, no post,
    // no sender, the buttons and the subject as they were. pDeviceUsed: the
    // recording was to be saved.
    void ExpectNothingSaved(bool pDeviceUsed = false) {
        if (!pDeviceUsed) {
            EXPECT_TRUE(mci.commands.empty());
        }
        EXPECT_FALSE(Exists(env.Path("in.zip")));
        EXPECT_TRUE(Posts().empty());
        EXPECT_EQ(senders->created, 0);
        EXPECT_EQ(Buttons(), kStopped);
        EXPECT_EQ(window->txtSubject->text(), "Hello");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    TempEnv env;
    std::string lang;
    FakeServices fakes;
    SavingMci mci;
    std::shared_ptr<SenderLog> senders = std::make_shared<SenderLog>();
    bool noSender = false;     // the factory gives no sender
    bool emptyFactory = false; // there is no factory
    Services services;
    std::unique_ptr<frmMM> window;
};

// ---- the address list check -------------------------------------------------------

TEST_F(SendTest, AddressListCheck) {
    frmMM& w = Start();
    struct Case {
        std::string list;
        int16_t result;
        std::string bad, normalised;
    };
    const std::string long512 = std::string(500, 'a') + "@example.com"; // 512 characters
    for (const Case& c : std::vector<Case>{
             {"ann@example.com", 0, "", "ann@example.com"},
             {" ann@example.com ,bob@example.org  ", 0, "", "ann@example.com, bob@example.org"},
             {"ann@example.com,,bob", 0, "", "ann@example.com"},
             {"ann@example.com,", 0, "", "ann@example.com"},
             {"", 0, "", ""},
             {"a@b", 2, "a@b", ""},
             {"ann@example.com, x.y@z", 2, "x.y@z", ""},
             {"ann@example.com; bob@example.org", 0, "", "ann@example.com; bob@example.org"},
             {"ann@example.com, bob", 3, "bob", ""},
             {long512, 0, "", long512},
             {std::string(501, 'a') + "@example.com", 4, "", ""},
         }) {
        std::string list = c.list;
        std::string bad;
        int16_t result = -1;
        w.m_CheckAddressList(list, bad, result);
        EXPECT_EQ(result, c.result) << c.list;
        EXPECT_EQ(bad, c.bad) << c.list;
        if (c.result == 0) {
            EXPECT_EQ(list, c.normalised) << c.list;
        } else {
            EXPECT_EQ(list, c.list) << "a failed list is left as it was";
        }
    }
}

// ---- the checks before anything is saved ----------------------------------------------

TEST_F(SendTest, BlankOrPlaceholderToShowsOnlyTheNoRecipientMessage) {
    for (const std::string& to : {"   "s, ""s, "(NO Recipient)"s, "  (no recipient) "s}) {
        frmMM& w = Start();
        w.cmbTo->setEditText(QString::fromStdString(to));
        fakes.messageBox.shown.clear();
        w.cmdSend_Click();
        ASSERT_EQ(fakes.messageBox.shown.size(), 1u) << to;
        EXPECT_EQ(fakes.messageBox.shown[0].text, T("mm0005"));
        EXPECT_EQ(fakes.messageBox.shown[0].title, "BrisaMail");
        EXPECT_EQ(fakes.messageBox.shown[0].style, vbOKOnly);
        EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "error.wav"}));
        for (const auto& played : fakes.sound.played) EXPECT_EQ(played.mode, SND_ASYNC);
        EXPECT_EQ(Status(), "before");
        EXPECT_EQ(w.focusWidget(), w.cmbTo);
        EXPECT_EQ(w.m_RecordState, "");
        ExpectNothingSaved();
        window.reset();
    }
}

TEST_F(SendTest, InvalidToEntryIsShownBetweenTheTwoTexts) {
    frmMM& w = Start();
    w.cmbTo->setEditText("ann@example.com, bob@example");
    w.cmdSend_Click();
    ASSERT_EQ(fakes.messageBox.shown.size(), 1u);
    EXPECT_EQ(fakes.messageBox.shown[0].text, T("mm0082") + "bob@example" + T("mm0083"));
    EXPECT_EQ(fakes.messageBox.shown[0].title, "BrisaMail");
    EXPECT_EQ(fakes.messageBox.shown[0].style, vbOKOnly);
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "error.wav"}));
    EXPECT_EQ(w.focusWidget(), w.cmbTo);
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com, bob@example");
    ExpectNothingSaved();
}

TEST_F(SendTest, ToListOverTheLimitShowsNoEntry) {
    frmMM& w = Start();
    const std::string list = std::string(501, 'a') + "@example.com"; // 513 characters
    w.cmbTo->setEditText(QString::fromStdString(list));
    w.cmdSend_Click();
    ASSERT_EQ(fakes.messageBox.shown.size(), 1u);
    EXPECT_EQ(fakes.messageBox.shown[0].text, T("mm0082") + T("mm0083"));
    ExpectNothingSaved();
}

TEST_F(SendTest, MissingTextsMeanNoMessageBox) {
    LanguageWithout({"mm0005", "mm0083"});
    frmMM& w = Start();
    w.cmbTo->setEditText("");
    w.cmdSend_Click();
    w.cmbTo->setEditText("nobody");
    w.cmdSend_Click();
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "error.wav", "click.wav", "error.wav"}));
    EXPECT_EQ(w.focusWidget(), w.cmbTo);
    ExpectNothingSaved();
}

TEST_F(SendTest, OwnAddressMissingGoesToTheStatusLineOnly) {
    for (const std::string& email : {""s, "   "s}) {
        Put("Email", email);
        frmMM& w = Start();
        w.cmdSend_Click();
        EXPECT_TRUE(fakes.messageBox.shown.empty());
        EXPECT_EQ(Status(), T("mm0010"));
        EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "error.wav"}));
        EXPECT_EQ(w.focusWidget(), w.cmdRecord);
        ExpectNothingSaved();
        window.reset();
    }
}

TEST_F(SendTest, InvalidCcEntryPutsTheFocusOnCc) {
    frmMM& w = Start();
    w.cmbCc->setEditText("  carl  ");
    w.cmdSend_Click();
    ASSERT_EQ(fakes.messageBox.shown.size(), 1u);
    EXPECT_EQ(fakes.messageBox.shown[0].text, T("mm0082") + "carl" + T("mm0083"));
    EXPECT_EQ(w.focusWidget(), w.cmbCc);
    ExpectNothingSaved();
}

TEST_F(SendTest, SoundsOffSilencesEveryStep) {
    frmMM& w = Start(false);
    w.cmbTo->setEditText("");
    w.cmdSend_Click();
    EXPECT_EQ(fakes.messageBox.shown.size(), 1u);
    w.cmbTo->setEditText("ann@example.com");
    w.cmdSend_Click();
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Posts().size(), 1u);
    ASSERT_EQ(senders->calls.size(), 1u);
    EXPECT_EQ(senders->calls[0].sounds, 0);
    EXPECT_TRUE(fakes.sound.played.empty());
}

// ---- the recipient history ------------------------------------------------------------

TEST_F(SendTest, ToTextAlreadyInTheHistoryMovesToTheTop) {
    WriteFile(env.Path("Tos.txt"), "bob@example.org\r\nAnn@Example.COM\r\ncarl@example.net\r\n");
    frmMM& w = Start();
    w.cmbTo->setEditText("ann@example.com");
    w.cmdSend_Click();
    std::vector<std::string> entries;
    for (int i = 0; i < w.cmbTo->count(); ++i) entries.push_back(w.cmbTo->itemText(i).toStdString());
    EXPECT_EQ(entries,
              (std::vector<std::string>{"ann@example.com", "bob@example.org", "carl@example.net"}));
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com");
    EXPECT_EQ(w.m_Mode, "");
}

TEST_F(SendTest, NewToTextIsPutFirstAndKept) {
    WriteFile(env.Path("Tos.txt"), "bob@example.org\r\n");
    frmMM& w = Start();
    w.cmbTo->setEditText("ann@example.com ,  dan@example.org");
    w.cmdSend_Click();
    ASSERT_EQ(w.cmbTo->count(), 2);
    EXPECT_EQ(w.cmbTo->itemText(0), "ann@example.com ,  dan@example.org");
    EXPECT_EQ(w.cmbTo->itemText(1), "bob@example.org");
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com ,  dan@example.org");
    // The post carries the list as typed, not the normalised one.
    ASSERT_EQ(Posts().size(), 1u);
    EXPECT_NE(ReadFile(Posts()[0]).find("\r\nTo: ann@example.com ,  dan@example.org\r\n"), std::string::npos);
}

TEST_F(SendTest, HistoryChangesEvenWhenTheSaveFails) {
    mci.failVerb["save"] = 263;
    frmMM& w = Start();
    w.cmbTo->setEditText("ann@example.com");
    w.cmdSend_Click();
    ASSERT_GE(w.cmbTo->count(), 1);
    EXPECT_EQ(w.cmbTo->itemText(0), "ann@example.com");
}

// ---- saving the recording ---------------------------------------------------------------

TEST_F(SendTest, SaveFailureShowsTheDeviceErrorAndChangesNothing) {
    mci.failVerb["save"] = 263;
    frmMM& w = Start();
    w.cmdSend_Click();
    EXPECT_EQ(mci.commands, (std::vector<std::string>{"save brisamsg \"" + env.Path("in.wav") + "\""}));
    ASSERT_EQ(fakes.messageBox.shown.size(), 1u);
    EXPECT_EQ(fakes.messageBox.shown[0].text, "MCI error 263");
    EXPECT_EQ(fakes.messageBox.shown[0].title, "BrisaMail");
    EXPECT_EQ(fakes.messageBox.shown[0].style, vbOKOnly);
    EXPECT_EQ(w.m_MciError, "");
    EXPECT_EQ(Sounds(), std::vector<std::string>{"click.wav"});
    EXPECT_EQ(Status(), "before");
    ExpectNothingSaved(true);
}

TEST_F(SendTest, NoWaveFileEndsSilently) {
    mci.writes = false;
    frmMM& w = Start();
    w.cmdSend_Click();
    EXPECT_EQ(mci.commands, (std::vector<std::string>{"save brisamsg \"" + env.Path("in.wav") + "\"",
                                                      "close brisamsg"}));
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_EQ(Sounds(), std::vector<std::string>{"click.wav"});
    EXPECT_EQ(Status(), "before");
    EXPECT_EQ(w.txtSubject->text(), "Hello");
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_EQ(senders->created, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SendTest, PackingFailureLetsTheUserTryAgain) {
    frmMM& w = Start();
    // A folder named in.zip that cannot be removed: the archive cannot take its place.
    WriteFile(env.Path("in.zip/keep"), "x");
    w.cmdSend_Click();
    EXPECT_EQ(Status(), T("mm0013"));
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "error.wav"}));
    EXPECT_EQ(Buttons(), kStopped);
    EXPECT_EQ(w.txtSubject->text(), "Hello");
    EXPECT_TRUE(Posts().empty());
    EXPECT_EQ(senders->created, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Exists(env.Path("in.wav")));

    // Once the obstacle is gone, Send works.
    QDir(QString::fromStdString(env.Path("in.zip"))).removeRecursively();
    fakes.sound.played.clear();
    w.cmdSend_Click();
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Posts().size(), 1u);
}

// ---- writing the post -------------------------------------------------------------------

// Step 12 disables the buttons just before the post is written; the tests
// use that moment to take the archive away.
class BeforeWriting : public QObject {
public:
    BeforeWriting(frmMM& pWindow, std::function<void()> pAction)
        : m_Window(pWindow), m_Action(std::move(pAction)) {
        m_Window.cmdHide->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::EnabledChange && !m_Window.cmdRecord->isEnabled() &&
            !m_Window.cmdHide->isEnabled() && m_Action) {
            auto action = std::move(m_Action);
            m_Action = nullptr;
            action();
        }
        return false;
    }

private:
    frmMM& m_Window;
    std::function<void()> m_Action;
};

TEST_F(SendTest, WrittenPostGoesToTheSender) {
    frmMM& w = Start();
    w.cmbCc->setEditText("  carl@example.net ");
    w.chkReturnReceipt->setChecked(true);
    WriteFile(env.Path("in.zip"), "an old archive");
    // The buttons are all off, and the wait cursor on, while the post is written.
    std::vector<ButtonStates> seen;
    bool waitCursorWhileWriting = false;
    {
        BeforeWriting watch(w, [&] {
            seen.push_back(Buttons());
            waitCursorWhileWriting = QApplication::overrideCursor() &&
                                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        w.cmdSend_Click();
    }

    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), (ButtonStates{false, false, false, false, false, false}));
    EXPECT_TRUE(waitCursorWhileWriting);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Buttons(), kAfterPost);
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Sounds(), std::vector<std::string>{"click.wav"});
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_EQ(w.txtSubject->text(), "");
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com");
    EXPECT_EQ(w.cmbCc->currentText(), "  carl@example.net ");
    EXPECT_EQ(mci.commands, (std::vector<std::string>{"save brisamsg \"" + env.Path("in.wav") + "\"",
                                                      "close brisamsg"}));

    ASSERT_EQ(Posts().size(), 1u);
    const std::string post = ReadFile(Posts()[0]);
    for (const std::string& row : {"\r\nTo: ann@example.com\r\n"s, "\r\nFrom: me@example.com\r\n"s,
                                   "\r\nSubject: Hello\r\n"s, "\r\nCc: carl@example.net\r\n"s,
                                   "\r\nX-Return-Receipt: Yes\r\n"s, "\r\nX-Language: 00000409\r\n"s,
                                   "filename=\"in.zip\"\r\nContent-Type: application/x-zip-compressed\r\n\r\nPK"s})
        EXPECT_NE(post.find(row), std::string::npos) << row;
    EXPECT_EQ(post.find("an old archive"), std::string::npos);

    ASSERT_EQ(senders->created, 1);
    ASSERT_EQ(senders->calls.size(), 1u);
    const SenderLog::Call& call = senders->calls[0];
    EXPECT_EQ(call.mode, "post");
    EXPECT_EQ(call.sounds, -1);
    EXPECT_EQ(call.file, Posts()[0]);
    EXPECT_EQ(call.connectTo, kServer);
    EXPECT_EQ(call.proxy, "XXX");
    EXPECT_EQ(call.language, "00000409");
    EXPECT_NE(w.mSender, nullptr);

    // The archive, the outbox and the recipient history are the user's alone.
    window.reset();
    // Owner, group and others (the "user" bits repeat the owner's).
    auto mode = [](const std::string& pPath) {
        return QFile::permissions(QString::fromStdString(pPath)).toInt() & 0x7077;
    };
    EXPECT_EQ(mode(env.Path("in.zip")), 0x6000);
    EXPECT_EQ(mode(env.Path("Tos.txt")), 0x6000);
    EXPECT_EQ(mode(env.Path("outbox")), 0x7000);
}

TEST_F(SendTest, CcPlaceholderIsNotCheckedAndGivesNoCc) {
    frmMM& w = Start();
    w.cmbCc->setEditText("(NO RECIPIENT)");
    w.chkReturnReceipt->setChecked(false);
    w.txtSubject->setText("   ");
    w.cmdSend_Click();
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    ASSERT_EQ(Posts().size(), 1u);
    const std::string post = ReadFile(Posts()[0]);
    EXPECT_EQ(post.find("\r\nCc:"), std::string::npos);
    EXPECT_EQ(post.find("X-Return-Receipt"), std::string::npos);
    // An empty subject takes the default one.
    EXPECT_NE(post.find("\r\nSubject: " + T("mail0001") + "\r\n"), std::string::npos);
}

TEST_F(SendTest, PostWriterResultsGoToTheStatusLine) {
    struct Case {
        std::string name;
        std::function<void()> sabotage;
        const char* status;  // the text's id
        std::string behind;  // what follows the text
    };
    const std::string zip = env.Path("in.zip");
    const std::string outbox = env.Path("outbox");
    const std::vector<Case> cases{
        {"archive missing", [zip] { QFile::remove(QString::fromStdString(zip)); }, "mm0008", ""},
        {"archive unreadable",
         [zip] {
             QFile::remove(QString::fromStdString(zip));
             QDir().mkpath(QString::fromStdString(zip));
         },
         "mm0011", ""},
        {"outbox not writable",
         [outbox] {
             QDir(QString::fromStdString(outbox)).removeRecursively();
             WriteFile(outbox, "not a folder");
         },
         "mm0011", " 6"},
    };
    for (const Case& c : cases) {
        frmMM& w = Start();
        BeforeWriting sabotage(w, c.sabotage);
        w.cmdSend_Click();
        EXPECT_EQ(Status(), T(c.status) + c.behind) << c.name;
        EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "error.wav"})) << c.name;
        EXPECT_EQ(Buttons(), kAfterPost) << c.name;
        EXPECT_EQ(w.txtSubject->text(), "Hello") << c.name;
        EXPECT_EQ(senders->created, 0) << c.name;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.name;
        EXPECT_TRUE(fakes.messageBox.shown.empty()) << c.name;
        window.reset();
        QDir(QString::fromStdString(zip)).removeRecursively();
        QFile::remove(QString::fromStdString(outbox));
        QDir().mkpath(QString::fromStdString(outbox));
    }
}

// ---- the hand-off and Done --------------------------------------------------------------

TEST_F(SendTest, DoneWithACaptionAndNoTimeBlinksForADay) {
    frmMM& w = Start();
    w.cmdSend_Click();
    ASSERT_NE(w.mSender, nullptr);
    Done(0, 0, "Your message was delivered", "https://brisa.example/read/1");
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(w.mnuSpecial->text(), "Your message was delivered");
    EXPECT_EQ(w.mnuSpecialTag, "https://brisa.example/read/1");
    EXPECT_TRUE(w.mnuSpecial->isVisible());
    EXPECT_TRUE(w.mnuSep3->isVisible());
    EXPECT_EQ(w.m_NotifyTime, 86400000.0);
    EXPECT_TRUE(w.tmrMessaging.isActive());
    // Done changes neither the status line nor the buttons and plays nothing.
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Buttons(), kAfterPost);
    EXPECT_EQ(Sounds(), std::vector<std::string>{"click.wav"});
    // The sender is destroyed once its own call has returned.
    EXPECT_EQ(senders->destroyed, 0);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(senders->destroyed, 1);
}

TEST_F(SendTest, DoneTimeIsCountedInTensOfSeconds) {
    frmMM& w = Start();
    w.cmdSend_Click();
    Done(0, 3, "Read it", "target");
    EXPECT_EQ(w.m_NotifyTime, 30000.0);
}

TEST_F(SendTest, DoneWithoutACaptionHidesTheEntry) {
    frmMM& w = Start();
    w.mnuSpecial->setText("old");
    w.mnuSpecial->setVisible(true);
    w.mnuSep3->setVisible(true);
    w.mnuSpecialTag = "old target";
    w.cmdSend_Click();
    Done(0, 5, "", "ignored");
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(w.mnuSpecial->text(), "special");
    EXPECT_EQ(w.mnuSpecialTag, "");
    EXPECT_FALSE(w.mnuSpecial->isVisible());
    EXPECT_FALSE(w.mnuSep3->isVisible());
    EXPECT_FALSE(w.tmrMessaging.isActive());
}

TEST_F(SendTest, DoneWhileANotificationIsPendingOnlyReleases) {
    frmMM& w = Start();
    w.mnuSpecial->setText("first");
    w.mnuSpecialTag = "first target";
    w.mnuSpecial->setVisible(true);
    w.mnuSep3->setVisible(true);
    w.m_NotifyTime = 12345;
    w.tmrMessaging.start();
    w.cmdSend_Click();
    Done(0, 0, "second", "second target");
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(w.mnuSpecial->text(), "first");
    EXPECT_EQ(w.mnuSpecialTag, "first target");
    EXPECT_EQ(w.m_NotifyTime, 12345.0);
    EXPECT_TRUE(w.tmrMessaging.isActive());
    // An empty caption does not hide the pending entry either.
    w.cmdRecord->setEnabled(true);
    w.cmdSend_Click();
    Done(1, 0, "", "");
    EXPECT_TRUE(w.mnuSpecial->isVisible());
    EXPECT_EQ(w.mSender, nullptr);
}

TEST_F(SendTest, SecondSendWaitsForTheFirstDone) {
    frmMM& w = Start();
    w.cmdSend_Click();
    ASSERT_EQ(senders->calls.size(), 1u);
    const std::string first = senders->calls[0].file;

    size_t callsWhenDone = 0;
    QTimer::singleShot(1200, [&] {
        callsWhenDone = senders->calls.size();
        Done(0, 0, "", "");
    });
    w.txtSubject->setText("Second");
    QElapsedTimer clock;
    clock.start();
    w.cmdSend_Click();
    EXPECT_GE(clock.elapsed(), 1100);
    EXPECT_EQ(callsWhenDone, 1u);
    ASSERT_EQ(senders->calls.size(), 2u);
    EXPECT_NE(senders->calls[1].file, first);
    EXPECT_EQ(Posts().size(), 2u);
    EXPECT_NE(ReadFile(senders->calls[1].file).find("\r\nSubject: Second\r\n"), std::string::npos);
    EXPECT_EQ(senders->created, 2);
    EXPECT_NE(w.mSender, nullptr);
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Buttons(), kAfterPost);
}

TEST_F(SendTest, SenderThatDoesNotStartIsNotReported) {
    senders->refuse = true;
    frmMM& w = Start();
    w.cmdSend_Click();
    EXPECT_EQ(senders->calls.size(), 1u);
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(senders->destroyed, 1);
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Buttons(), kAfterPost);
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_EQ(Sounds(), std::vector<std::string>{"click.wav"});
    // The post stays for a later run; the next send does not wait.
    EXPECT_EQ(Posts().size(), 1u);
    senders->refuse = false;
    QElapsedTimer clock;
    clock.start();
    w.cmdSend_Click();
    EXPECT_LT(clock.elapsed(), 900);
    EXPECT_NE(w.mSender, nullptr);
}

TEST_F(SendTest, NoSenderAtAllIsNotReported) {
    noSender = true;
    frmMM& w = Start();
    w.cmdSend_Click();
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Posts().size(), 1u);

    window.reset();
    emptyFactory = true;
    Start();
    window->cmdSend_Click();
    EXPECT_EQ(window->mSender, nullptr);
    EXPECT_EQ(Status(), T("mm0036"));
    EXPECT_EQ(Posts().size(), 2u);
}

TEST_F(SendTest, LateDoneOfAReleasedSenderIsDropped) {
    frmMM& w = Start();
    w.cmdSend_Click();
    Done(0, 0, "", "");
    w.cmdSend_Click();
    ASSERT_NE(w.mSender, nullptr);
    // The first sender reports again: the running second one is kept.
    Done(0, 4, "stale", "");
    EXPECT_NE(w.mSender, nullptr);
    EXPECT_EQ(w.mnuSpecial->text(), "special");
    Done(1, 4, "fresh", "");
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(w.mnuSpecial->text(), "fresh");
}

// ---- the small handlers -----------------------------------------------------------------

TEST_F(SendTest, ReturnReceiptAndSubjectHandlers) {
    frmMM& w = Start();
    w.chkReturnReceipt->setChecked(false);
    w.lblReturnReceipt_Click();
    EXPECT_TRUE(w.chkReturnReceipt->isChecked());
    w.lblReturnReceipt_Click();
    EXPECT_FALSE(w.chkReturnReceipt->isChecked());
    w.chkReturnReceipt_Click();
    EXPECT_FALSE(w.chkReturnReceipt->isChecked()); // the box changes its own value
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"click.wav", "click.wav", "click.wav"}));

    Put("PlaySounds", "0");
    w.lblReturnReceipt_Click();
    w.chkReturnReceipt_Click();
    EXPECT_TRUE(w.chkReturnReceipt->isChecked());
    EXPECT_EQ(fakes.sound.played.size(), 3u);

    w.txtSubject->setText("Greetings");
    w.txtSubject->deselect();
    w.txtSubject_GotFocus();
    EXPECT_EQ(w.txtSubject->selectedText(), "Greetings");
    EXPECT_EQ(w.txtSubject->selectionStart(), 0);
    w.txtSubject->clear();
    w.txtSubject_GotFocus();
    EXPECT_FALSE(w.txtSubject->hasSelectedText());
}

// ---- posts left from an earlier run -----------------------------------------------------

TEST_F(SendTest, WaitingPostsGoOutAtStartUp) {
    WriteFile(env.Path("outbox/990314152907.txt"), "a post");
    frmMM& w = Start();
    ASSERT_EQ(senders->calls.size(), 1u);
    EXPECT_EQ(senders->calls[0].mode, "outbox");
    EXPECT_EQ(senders->calls[0].file, env.Path("outbox"));
    EXPECT_EQ(senders->calls[0].connectTo, kServer);
    EXPECT_EQ(senders->calls[0].proxy, "XXX");
    ASSERT_NE(w.mSender, nullptr);
    Done(0, 30, "Your message waits in the outbox", env.Path("outbox"));
    EXPECT_EQ(w.mSender, nullptr);
    EXPECT_EQ(w.mnuSpecial->text(), "Your message waits in the outbox");
    EXPECT_EQ(w.m_NotifyTime, 300000.0);
}

TEST_F(SendTest, NothingWaitingOrNoServerStartsNoSender) {
    WriteFile(env.Path("outbox/notes.txt"), "not a post");
    WriteFile(env.Path("outbox/.990314152907.txt.Ab12Cd"), "half a post");
    Start();
    EXPECT_EQ(senders->created, 0);
    window.reset();

    Put("ConnectTo", "  ");
    WriteFile(env.Path("outbox/990314152907.txt"), "a post");
    Start();
    EXPECT_EQ(senders->created, 0);
}

TEST_F(SendTest, HalfWrittenPostsOlderThanADayAreRemoved) {
    const std::string old = env.Path("outbox/.990314152907.txt.Ab12Cd");
    const std::string fresh = env.Path("outbox/.990314152908.txt.Xy34Zw");
    WriteFile(old, "half a post");
    WriteFile(fresh, "being written");
    WriteFile(env.Path("outbox/.hidden"), "not ours");
    {
        QFile file(QString::fromStdString(old));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                     QFileDevice::FileModificationTime));
    }
    Start();
    EXPECT_FALSE(Exists(old));
    EXPECT_TRUE(Exists(fresh));
    EXPECT_TRUE(Exists(env.Path("outbox/.hidden")));
    EXPECT_EQ(senders->created, 0);
}

// ---- for real: brisa-sender and an HTTP server ----------------------------------------------

TEST_F(SendTest, SendDeliversThePostThroughTheSendingProgram) {
    HttpServer server;
    Put("ConnectTo", server.Url());
    services = fakes.Wire();
    services.mci = &mci;
    services.newSender = [] { return std::make_unique<SenderProcess>(BRISA_TEST_SENDER); };
    window = std::make_unique<frmMM>(services, "");
    window->Form_Load();
    frmMM& w = *window;
    w.cmbTo->setEditText("ann@example.com");
    w.txtSubject->setText("Live");

    w.cmdSend_Click();
    EXPECT_EQ(Status(), T("mm0036"));
    ASSERT_NE(w.mSender, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.mSender == nullptr; }, 30000));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].Header("User-Agent"), "BrisaMail Client");
    ASSERT_EQ(requests[0].parts.size(), 2u);
    std::string header, archive;
    for (const auto& part : requests[0].parts) {
        if (part.name == "header") header = part.content;
        if (part.name == "body") {
            EXPECT_EQ(part.filename, "in.zip");
            archive = part.content;
        }
    }
    EXPECT_NE(header.find("To: ann@example.com\r\n"), std::string::npos);
    EXPECT_NE(header.find("Subject: Live\r\n"), std::string::npos);
    EXPECT_EQ(archive.substr(0, 2), "PK");
    EXPECT_TRUE(Posts().empty());
    // A delivered post brings no notification.
    EXPECT_FALSE(w.mnuSpecial->isVisible());
    EXPECT_FALSE(w.tmrMessaging.isActive());
}

} // namespace
} // namespace brisa::test
