// The send command: the recipient checks, saving and packing the recording,
// the post file and the hand-off to the sending program.
#include "app/main_window.h"

#include "common/utilities.h"
#include "language/translation.h"
#include "platform/mci.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/sound.h"
#include "sending/address_check.h"
#include "sending/dynazip.h"
#include "sending/post_builder.h"
#include "sending/post_sender.h"
#include "settings/registry.h"
#include "skin/anigif.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace brisa {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The wait cursor from the moment packing starts until the command ends,
// whichever way it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// What a server may have the notification entry open: a web address, or a
// file inside the program folder. Anything else (another scheme, a file
// elsewhere, a bare name the shell would guess at) is not opened.
bool IsServerTargetAllowed(const std::string& pTarget) {
    const QString target = Q(TrimBlanks(pTarget));
    const QUrl url(target, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme == "http" || scheme == "https") return url.isValid() && !url.host().isEmpty();
    QString path;
    if (target.startsWith('/')) path = target;
    else if (scheme == "file" && url.isValid()) path = url.toLocalFile();
    if (path.isEmpty()) return false;
    auto real = [](const QString& pPath) {
        const QFileInfo info(pPath);
        return info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    };
    const QString folder = real(Q(ProgramFolder()));
    return !folder.isEmpty() && real(path).startsWith(folder + '/');
}

// Starts a transmission on a new sender: SendPost or SendOutbox.
using StartSender = std::function<bool(ISender&, std::function<void(const SenderDone&)>)>;

// Destroys a sender once the event loop turns again: its Done call may still
// be running inside the sender when the window lets go of it.
void ReleaseLater(std::unique_ptr<ISender> pSender) {
    if (!pSender) return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return; // pSender ends here
    std::shared_ptr<ISender> held(std::move(pSender));
    QTimer::singleShot(0, app, [held]() mutable { held.reset(); });
}

// Posts are handed over one at a time: waits until the sender of an earlier
// post has reported Done, then creates a new one and starts it. Nothing is
// reported when no sender can be created or started; the post then stays in
// the outbox.
void HandOff(frmMM& pWindow, const StartSender& pStart) {
    while (pWindow.mSender && !pWindow.IsUnloaded()) WaitSeconds(1);
    // The program may have been closed meanwhile; the post waits for the next start.
    if (pWindow.IsUnloaded() || !gRegistry) return;
    const auto& factory = pWindow.Svc().newSender;
    if (!factory) return;
    std::unique_ptr<ISender> sender = factory();
    if (!sender) return;
    ISender* started = sender.get();
    pWindow.mSender = std::move(sender);
    QPointer<frmMM> window(&pWindow);
    auto done = [window, started](const SenderDone& pDone) {
        // A report of a sender the window has let go of, or after the window
        // has gone, is dropped.
        if (!window || window->mSender.get() != started) return;
        window->mSender_Done(pDone);
    };
    if (!pStart(*started, done) && pWindow.mSender.get() == started) pWindow.mSender.reset();
}

// True for hidden temporary files the post writer leaves when it is
// interrupted (".yymmddhhmmss.txt.XXXXXX").
bool IsPostTempName(const QString& pName) {
    return pName.startsWith('.') && pName.contains(".txt.");
}

} // namespace

// Checks the recipients, saves and packs the recording, writes the post and
// hands it to the sender.
void frmMM::cmdSend_Click() {
    auto sound = [this](const char* pRelative) {
        if (SoundsEnabled()) PlaySound(pRelative, SND_ASYNC);
    };
    auto status = [this](const std::string& pText) { lblStatus->setText(Q(pText)); };
    auto statusOf = [&status](const char* pId) {
        if (const auto text = Tr(pId)) status(*text);
    };
    auto box = [this](const std::string& pText) {
        if (m_Services.messageBox) m_Services.messageBox->Show(pText, "BrisaMail", vbOKOnly);
    };
    // "mm0082" + the entry + "mm0083"; without either text there is no box.
    auto badAddress = [&box](const std::string& pEntry) {
        const auto before = Tr("mm0082");
        const auto after = Tr("mm0083");
        if (before && after) box(*before + pEntry + *after);
    };

    // 1.
    m_RecordState.clear();
    sound("/sounds/click.wav");

    // 2. Somebody to send to.
    const std::string to = TrimBlanks(cmbTo->currentText().toStdString());
    if (to.empty() || EqualsNoCase(to, m_NoRecipient)) {
        sound("/sounds/error.wav");
        if (const auto text = Tr("mm0005")) box(*text);
        cmbTo->setFocus();
        return;
    }

    // 3. Valid addresses; the normalised copy is not used further: the post
    //    carries the list as the user left it.
    {
        std::string list = cmbTo->currentText().toStdString();
        std::string bad;
        int16_t result = 0;
        m_CheckAddressList(list, bad, result);
        if (result != 0) {
            sound("/sounds/error.wav");
            badAddress(bad);
            cmbTo->setFocus();
            return;
        }
    }

    // 4. The user's own address.
    if (!gRegistry || TrimBlanks(gRegistry->MyEmail()).empty()) {
        sound("/sounds/error.wav");
        statusOf("mm0010");
        return;
    }

    // 5. The copy list, unless it is empty or the placeholder.
    {
        std::string cc = TrimBlanks(cmbCc->currentText().toStdString());
        if (!cc.empty() && !EqualsNoCase(cc, m_NoRecipient)) {
            std::string bad;
            int16_t result = 0;
            m_CheckAddressList(cc, bad, result);
            if (result != 0) {
                sound("/sounds/error.wav");
                badAddress(bad);
                cmbCc->setFocus();
                return;
            }
        }
    }

    // 6. The recipient history: the list as typed now comes first.
    {
        const QString typed = cmbTo->currentText();
        int found = -1;
        for (int i = 0; i < cmbTo->count(); ++i) {
            if (EqualsNoCase(cmbTo->itemText(i).toStdString(), typed.toStdString())) {
                found = i;
                break;
            }
        }
        if (found >= 0) {
            cmbTo->removeItem(found);
            cmbTo->insertItem(0, typed);
            // The list's own click reaction stays silent meanwhile.
            m_Mode = "Initializing";
            cmbTo->setCurrentIndex(0);
            m_Mode = "";
        } else {
            cmbTo->insertItem(0, typed);
        }
        cmbTo->setEditText(typed);
    }

    // 7. Save the recording. A failure keeps the device open and the buttons as they are.
    if (m_Services.mci) {
        const uint32_t code =
            m_Services.mci->Send("save brisamsg \"" + ProgramPath("/in.wav") + "\"");
        if (code != 0) {
            ShowMciError(code, "BrisaMail");
            return;
        }
        // 8.
        m_Services.mci->Send("close brisamsg");
    }

    // 9.
    if (!FileExists(ProgramPath("/in.wav"))) return;

    // 10.
    std::remove(ProgramPath("/in.zip").c_str());
    WaitCursor waiting;
    statusOf("mail0003");

    // 11. Pack. On failure the recording stays, so Send can be tried again.
    const std::string folder = ShortPathName(ProgramFolder());
    if (MakeZip(folder + "/in.wav", folder + "/in.zip") != 0) {
        sound("/sounds/error.wav");
        statusOf("mm0013");
        SetButtons(1, 1, 0, 1, 1, 1);
        Refresh();
        return;
    }

    // 12.
    SetButtons(0, 0, 0, 0, 0, 0);
    Refresh();

    // 13. Write the post.
    const std::string ccText = TrimBlanks(cmbCc->currentText().toStdString());
    const std::string cc = EqualsNoCase(ccText, m_NoRecipient) ? std::string() : ccText;
    std::string subject = TrimBlanks(txtSubject->text().toStdString());
    std::string messageFile = ProgramPath("/in.zip");
    const int16_t result = m_BuildPost(TrimBlanks(cmbTo->currentText().toStdString()), cc, subject,
                                       chkReturnReceipt->isChecked() ? 1 : 0, messageFile);

    // 14.
    switch (result) {
    case kPostWritten: {
        txtSubject->clear();
        const std::string postFile = messageFile;
        HandOff(*this, [postFile](ISender& pSender, std::function<void(const SenderDone&)> pDone) {
            return pSender.SendPost(SoundsEnabled() ? -1 : 0, postFile, gRegistry->ConnectTo(),
                                    gRegistry->GetIeHttpProxy(), gLanguageId, std::move(pDone));
        });
        // The window may have been closed while an earlier send was awaited.
        if (m_Unloaded) return;
        statusOf("mm0036");
        break;
    }
    case kPostArchiveMissing:
        sound("/sounds/error.wav");
        statusOf("mm0008");
        break;
    case kPostNotWritable:
        sound("/sounds/error.wav");
        if (const auto text = Tr("mm0011")) status(*text + " " + "6");
        break;
    case kPostArchiveUnreadable:
        sound("/sounds/error.wav");
        statusOf("mm0011");
        break;
    default:
        sound("/sounds/error.wav");
        statusOf("mm0013");
        break;
    }

    // 15. The recording has gone with the post (or is spoilt): record anew.
    SetButtons(1, 0, 0, 0, 1, 1);
    Refresh();
}

// Checks a comma-separated address list (sending/address_check.h).
void frmMM::m_CheckAddressList(std::string& pList, std::string& pBadEntry, int16_t& pResult) {
    CheckAddressList(pList, pBadEntry, pResult);
}

// Paths have no short form here: the path as it is.
std::string frmMM::ShortPathName(const std::string& pPath) { return pPath; }

// The check box changes its own value.
void frmMM::chkReturnReceipt_Click() {
    if (SoundsEnabled()) PlaySound("/sounds/click.wav", SND_ASYNC);
}

// The caption beside the check box toggles it.
void frmMM::lblReturnReceipt_Click() {
    if (SoundsEnabled()) PlaySound("/sounds/click.wav", SND_ASYNC);
    chkReturnReceipt->setChecked(!chkReturnReceipt->isChecked());
}

// Typing replaces the subject that is there.
void frmMM::txtSubject_GotFocus() {
    const int length = static_cast<int>(txtSubject->text().size());
    if (length > 0) txtSubject->setSelection(0, length);
}

int16_t frmMM::m_BuildPost(const std::string& pTo, const std::string& pCc, std::string& pSubject,
                           int pReturn, std::string& pMessageFile) {
    PostRequest request;
    request.to = pTo;
    request.cc = pCc;
    request.returnReceipt = pReturn;
    request.bannerMarker = tsBannerAd->Tag;
    request.programFolder = ProgramFolder();
    request.system = m_Services.system;
    return static_cast<int16_t>(BuildPost(request, pSubject, pMessageFile));
}

// The sender has finished with a post: announce its notification in the
// tray, unless one is still pending, and let the next post go.
void frmMM::mSender_Done(const SenderDone& pDone) {
    if (!m_Unloaded && !tmrMessaging.isActive()) {
        if (!pDone.specialCaption.empty()) {
            mnuSpecial->setText(Q(pDone.specialCaption));
            mnuSpecialTag = IsServerTargetAllowed(pDone.specialTarget) ? pDone.specialTarget : "";
            mnuSep3->setVisible(true);
            mnuSpecial->setVisible(true);
            m_NotifyTime = pDone.notifyTime == 0 ? 86400000.0 : pDone.notifyTime * 10.0 * 1000.0;
            tmrMessaging.start();
        } else {
            mnuSpecial->setText("special");
            mnuSpecialTag.clear();
            mnuSep3->setVisible(false);
            mnuSpecial->setVisible(false);
        }
    }
    ReleaseLater(std::move(mSender));
}

// Posts left in the outbox by a failed send or a crash go out now, through
// the sender's outbox run (one sender at a time, like a send).
void frmMM::SendWaitingPosts() {
    const QString outbox = Q(ProgramPath("/outbox"));
    QDir folder(outbox);
    if (!folder.exists()) return;

    // Half-written posts of an interrupted writer are never sent; after a
    // day nobody is writing them any more.
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    bool waiting = false;
    const auto entries = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (IsPostTempName(name)) {
            if (entry.lastModified() < dayAgo) folder.remove(name);
        } else if (IsPostFileName(name.toStdString())) {
            waiting = true;
        }
    }

    if (!waiting || m_Unloaded || mSender || !gRegistry) return;
    const std::string connectTo = gRegistry->ConnectTo();
    if (TrimBlanks(connectTo).empty()) return;
    const std::string proxy = gRegistry->GetIeHttpProxy();
    const std::string path = outbox.toStdString();
    HandOff(*this, [&](ISender& pSender, std::function<void(const SenderDone&)> pDone) {
        return pSender.SendOutbox(connectTo, proxy, std::move(pDone), path);
    });
}

} // namespace brisa
