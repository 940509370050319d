// The Outlook contacts window: the user picks a message store and one of its
// contact folders, and the folder's contacts go to the address window. The
// contacts come from the platform's contact store (IContacts) through the
// same six calls Outlook automation answers.
//
// The caller creates the window, runs Form_Load, shows it modally, reads
// Contacts() and Cancel() once it has hidden itself, then unloads it.
// MakeOutlookSource does all of that for the address-book reader.
#pragma once

#include "addressbook/address_list.h"
#include "addressbook/readers.h"
#include "platform/contacts.h"
#include "platform/services.h"
#include "skin/skinned_window.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class QComboBox;
class QLabel;

namespace brisa {

class frmOutlook : public cSkinnedWindow {
    Q_OBJECT
public:
    explicit frmOutlook(const Services& pServices, QWidget* pParent = nullptr);
    ~frmOutlook() override;

    // The contacts of the folder chosen last, in the folder's order; of
    // several with the same display name (ignoring case) only the first.
    const std::vector<cContact>& Contacts() const { return m_Contacts; }
    // True after Cancel, Close or Esc; false after OK or when neither was
    // pressed.
    bool Cancel() const { return m_Cancel; }

    // Prepares and fills the window; runs once, at the latest when the
    // window is first shown. Without a contact store the window hides
    // itself and EndedDuringLoad() turns true.
    void Form_Load();
    // The window leaves the screen at once and lets go of the contact store.
    void Form_Unload();

    void cboProfile_Click();
    void cboFolder_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdClose_Click();
    void cmdHelp_Click();
    // Character codes: 27 (Esc) cancels and is swallowed.
    void Form_KeyPress(int pKeyAscii);

    bool IsLoaded() const { return m_Loaded; }
    bool EndedDuringLoad() const { return m_EndedDuringLoad; }
    bool IsFilling() const { return m_Filling; }

    // ---- controls ----
    QComboBox* cboProfile = nullptr;
    QLabel* lblProfile = nullptr;
    QComboBox* cboFolder = nullptr;
    QLabel* lblContacts = nullptr;
    cLabelButton* cmdOk = nullptr;
    cLabelButton* cmdCancel = nullptr;
    cLabelButton* cmdHelp = nullptr;
    cLabelButton* cmdClose = nullptr;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void OnKeyAscii(int pKeyAscii) override { Form_KeyPress(pKeyAscii); }
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void PlayClick();

    Services m_Services;
    std::unique_ptr<IContactApplication> m_Outlook;
    std::unique_ptr<IContactNameSpace> m_NameSpace;
    std::vector<std::string> m_TopFolders; // the stores' names, in enumeration order
    std::string m_Profile;                 // handed to the log-on; always empty
    std::string m_Password;                // likewise
    bool m_Filling = false;                // the folder list is being refilled
    bool m_Loaded = false;
    bool m_EndedDuringLoad = false;
    bool m_Cancel = false;
    std::vector<cContact> m_Contacts;
    std::unordered_set<std::string> m_Keys; // folded display names in m_Contacts
};

// The Outlook reader's source: each call creates an frmOutlook, loads it,
// shows it modally through pServices.modal (owned by pOwner, which may be
// null) and returns its Cancel and Contacts, then unloads it. A window that
// hid itself while loading is not shown and yields no contacts; without a
// modal runner nothing is shown and the result counts as cancelled.
OutlookContactSource MakeOutlookSource(const Services& pServices, QWidget* pOwner = nullptr);

} // namespace brisa
