// The address window: the contacts of the chosen address book, any number
// of which the user marks. The caller shows it modally and, once it has
// hidden itself, reads the marked rows before unloading it. Cancel clears
// every mark, so a cancelled window yields no rows.
#pragma once

#include "addressbook/address_list.h"
#include "addressbook/readers.h"
#include "platform/services.h"
#include "skin/skinned_window.h"

#include <string>
#include <vector>

class QLabel;
class QListWidget;

namespace brisa {

class cTabStopDelegate;

class frmAddresses : public cSkinnedWindow {
    Q_OBJECT
public:
    explicit frmAddresses(const Services& pServices, QWidget* pParent = nullptr);
    ~frmAddresses() override;

    // Where Outlook contacts come from when the chosen book is Outlook's
    // (none: such a book lists no contacts). Set before the window loads.
    void SetOutlookSource(OutlookContactSource pSource) { m_Outlook = std::move(pSource); }

    // Prepares the list and captions and reads the address book; runs once,
    // at the latest when the window is first shown.
    void Form_Load();
    // The skin's unload step: the window leaves the screen at once.
    void Form_Unload();

    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdClose_Click();
    void cmdSet_Click();
    void cmdHelp_Click();
    // Character codes: 27 (Esc) cancels.
    void Form_KeyPress(int pKeyAscii);
    // Key codes: 112 (F1) opens the help page.
    void Form_KeyDown(int pKeyCode, int pShift);

    // The rows (name, tab, address) marked now, in list order.
    std::vector<std::string> MarkedRows() const;
    // Every row of the list, in list order.
    std::vector<std::string> Rows() const;

    // ---- controls ----
    QListWidget* lvAddresses = nullptr;
    cTabStopDelegate* m_Columns = nullptr;
    QLabel* lblName = nullptr;
    QLabel* lblAddress = nullptr;
    cLabelButton* cmdOk = nullptr;
    cLabelButton* cmdCancel = nullptr;
    cLabelButton* cmdSet = nullptr;
    cLabelButton* cmdHelp = nullptr;
    cLabelButton* cmdClose = nullptr;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void OnKeyAscii(int pKeyAscii) override { Form_KeyPress(pKeyAscii); }
    void OnKeyDown(int pKeyCode) override { Form_KeyDown(pKeyCode, 0); }

private:
    void CreateControls();
    void SetTexts();
    // Reads the chosen book into the list (the readers replace the rows; a
    // book that names nothing readable leaves them) and shows its rows.
    void LoadBook();
    void PlayClick();

    Services m_Services;
    OutlookContactSource m_Outlook;
    cAddressList m_List;
    bool m_Loaded = false;
};

} // namespace brisa
