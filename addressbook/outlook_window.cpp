#include "addressbook/outlook_window.h"

#include "addressbook/outlook_layout.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/modal.h"
#include "platform/program_folder.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "skin/captions.h"
#include "skin/label_button.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace brisa {

namespace {

namespace layout = outlook_layout;

QRect Q(const layout::Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

QString FromUtf8(const std::string& pText) {
    return QString::fromStdString(pText);
}

// Adds pText to a sorted list: after every entry that sorts before it or
// equal to it (ignoring case).
void AddSorted(QComboBox* pList, const std::string& pText) {
    int at = pList->count();
    for (int i = 0; i < pList->count(); ++i) {
        if (CompareNoCase(pList->itemText(i).toStdString(), pText) > 0) {
            at = i;
            break;
        }
    }
    pList->insertItem(at, FromUtf8(pText));
}

} // namespace

frmOutlook::frmOutlook(const Services& pServices, QWidget* pParent)
    : cSkinnedWindow("frmOutlook", QSize(layout::kWidth, layout::kHeight), "/skins/frmOutlook.jpg",
                     pParent),
      m_Services(pServices) {
    lblToolbar->setText("Outlook Contacts");
    lblToolbar->setGeometry(Design(layout::lblToolbar.left, layout::lblToolbar.top,
                                   layout::lblToolbar.width, layout::lblToolbar.height));

    auto placed = [this](QWidget* pWidget, const char* pName, const layout::Rect& pRect) {
        pWidget->setObjectName(pName);
        pWidget->setGeometry(Design(pRect.left, pRect.top, pRect.width, pRect.height));
    };

    lblProfile = new QLabel("Mailbox:", this);
    placed(lblProfile, "lblProfile", layout::lblProfile);
    cboProfile = new QComboBox(this);
    placed(cboProfile, "cboProfile", layout::cboProfile);
    lblProfile->setBuddy(cboProfile);

    lblContacts = new QLabel("Contact folder:", this);
    placed(lblContacts, "lblContacts", layout::lblContacts);
    cboFolder = new QComboBox(this);
    placed(cboFolder, "cboFolder", layout::cboFolder);
    lblContacts->setBuddy(cboFolder);

    // The buttons in the order hover highlighting checks them.
    cmdOk = AddButton("cmdOk", "OK", Q(layout::cmdOk));
    cmdCancel = AddButton("cmdCancel", "Cancel", Q(layout::cmdCancel));
    cmdHelp = AddButton("cmdHelp", "?", Q(layout::cmdHelp));
    cmdClose = AddButton("cmdClose", "X", Q(layout::cmdClose));
    cmdHelp->setAccessibleDescription("Help");
    cmdClose->setAccessibleDescription("Close");
    m_AlwaysBevelled = {cmdHelp, cmdClose};
    m_FallbackBevelled = {cmdOk, cmdCancel};

    setTabOrder(cboProfile, cboFolder);
    setTabOrder(cboFolder, cmdOk);
    setTabOrder(cmdOk, cmdCancel);
    setTabOrder(cmdCancel, cmdHelp);
    setTabOrder(cmdHelp, cmdClose);

    // The user's choices; choices made by the window itself call the
    // handlers directly.
    connect(cboProfile, &QComboBox::activated, this, [this] { cboProfile_Click(); });
    connect(cboFolder, &QComboBox::activated, this, [this] { cboFolder_Click(); });
    connect(cmdOk, &cLabelButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &cLabelButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdHelp, &cLabelButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdClose, &cLabelButton::clicked, this, [this] { cmdClose_Click(); });
}

frmOutlook::~frmOutlook() {
    // The name space goes before the application it came from.
    m_NameSpace.reset();
    m_Outlook.reset();
}

void frmOutlook::PlayClick() { PlayClickSound(m_Services); }

void frmOutlook::Form_Load() {
    if (m_Loaded)
        return;
    m_Loaded = true;

    PrepareSkin();

    if (const auto text = Tr("out0001"))
        cmdOk->SetCaption(FromUtf8(*text));
    if (const auto text = Tr("out0002"))
        cmdCancel->SetCaption(FromUtf8(*text));
    if (const auto text = Tr("out0004"))
        lblProfile->setText(FromUtf8(*text + ":"));
    if (const auto text = Tr("out0005"))
        lblContacts->setText(FromUtf8(*text + ":"));

    m_Outlook = m_Services.contacts ? m_Services.contacts->GetApplication() : nullptr;
    if (!m_Outlook) {
        // No contact store: the dialog ends at once, with nothing to import.
        m_EndedDuringLoad = true;
        hide();
    } else {
        m_NameSpace = m_Outlook->GetNameSpace("MAPI");
        if (m_NameSpace) {
            m_NameSpace->Logon(m_Profile, m_Password, true, true);
            if (m_NameSpace->Folders(m_TopFolders))
                for (const std::string& store : m_TopFolders)
                    AddSorted(cboProfile, store);
        }
        if (cboProfile->count() > 0) {
            cboProfile->setCurrentIndex(0);
            cboProfile_Click();
        }
    }

    m_Filling = false;
    QString title = lblToolbar->text();
    if (const auto text = Tr("out0003"))
        title = FromUtf8(*text);
    ShapeAndTitle(title);
    FitCaptions(this);
}

void frmOutlook::Form_Unload() {
    MoveOutOfSight();
    m_NameSpace.reset();
    m_Outlook.reset();
}

void frmOutlook::cboProfile_Click() {
    const std::string store = cboProfile->currentText().toStdString();
    if (store.empty())
        return;
    if (!m_Filling)
        PlayClick();

    m_Filling = true;
    cboFolder->clear();
    std::vector<ContactFolderInfo> folders;
    if (m_NameSpace && m_NameSpace->StoreFolders(store, folders)) {
        for (const ContactFolderInfo& folder : folders)
            if (folder.DefaultItemType == kContactItemType)
                AddSorted(cboFolder, folder.Name);
    }
    // The first contact folder is chosen at once (silently); a store without
    // contact folders leaves the contacts empty.
    if (cboFolder->count() > 0)
        cboFolder->setCurrentIndex(0);
    cboFolder_Click();
    m_Filling = false;
}

void frmOutlook::cboFolder_Click() {
    m_Contacts.clear();
    m_Keys.clear();
    const std::string store = cboProfile->currentText().toStdString();
    const std::string folder = cboFolder->currentText().toStdString();
    if (store.empty() || folder.empty())
        return;
    if (!m_Filling)
        PlayClick();

    std::vector<ContactItemInfo> items;
    if (!m_NameSpace || !m_NameSpace->FolderItems(store, folder, items))
        return;
    for (ContactItemInfo& item : items) {
        // Items without a display name or an address (distribution lists,
        // say) are skipped; of equal display names the first stays.
        if (item.Subject.empty() || item.email1address.empty())
            continue;
        if (!m_Keys.insert(FoldNoCase(item.Subject)).second)
            continue;
        m_Contacts.push_back({std::move(item.Subject), std::move(item.email1address)});
    }
}

void frmOutlook::cmdOk_Click() {
    PlayClick();
    m_Cancel = false;
    hide();
}

void frmOutlook::cmdCancel_Click() {
    PlayClick();
    m_Cancel = true;
    hide();
}

void frmOutlook::cmdClose_Click() {
    cmdCancel_Click();
}

void frmOutlook::cmdHelp_Click() {
    PlayClick();
    OpenStartupHelp(m_Services);
}

void frmOutlook::Form_KeyPress(int pKeyAscii) {
    if (pKeyAscii == 27)
        cmdCancel_Click();
}

void frmOutlook::showEvent(QShowEvent* pEvent) {
    cSkinnedWindow::showEvent(pEvent);
    if (!m_Loaded) {
        Form_Load();
        if (m_EndedDuringLoad)
            QTimer::singleShot(0, this, [this] { hide(); });
    }
}

void frmOutlook::closeEvent(QCloseEvent* pEvent) {
    // Closing by the desktop acts as the close button: the window only hides.
    pEvent->ignore();
    if (isVisible())
        cmdClose_Click();
}

OutlookContactSource MakeOutlookSource(const Services& pServices, QWidget* pOwner) {
    const Services services = pServices;
    const QPointer<QWidget> owner(pOwner);
    return [services, owner]() {
        cOutlookResult result;
        frmOutlook window(services);
        window.Form_Load();
        if (!window.EndedDuringLoad()) {
            if (!services.modal) {
                window.Form_Unload();
                return result; // cannot ask the user: nothing is imported
            }
            // Centred over the owner, or on the screen.
            QRect over = owner ? owner->frameGeometry() : QRect();
            if (over.isEmpty())
                if (const QScreen* screen = QGuiApplication::primaryScreen())
                    over = screen->availableGeometry();
            if (!over.isEmpty())
                window.move(over.center() - window.rect().center());
            services.modal->ShowModal(&window, owner.data());
        }
        result.Cancel = window.Cancel();
        result.Contacts = window.Contacts();
        window.Form_Unload();
        return result;
    };
}

} // namespace brisa
