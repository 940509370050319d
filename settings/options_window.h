// The options window: personal data and message defaults (Mail page), the
// address book to pick recipients from (Address Books page) and sounds,
// start at log-in and the server address (Miscellaneous page). Edits stay in
// the controls until Apply or OK writes them through the settings store.
#pragma once

#include "addressbook/discovery.h"
#include "platform/services.h"
#include "skin/skinned_window.h"

#include <QStyledItemDelegate>

#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace brisa {

// The kind labels the program took from the language table at start-up,
// in the form the address-book code reads them.
cKindLabels ProgramKindLabels();

// Draws list rows of the form "first<TAB>rest" in two columns: the part
// after the first tab starts at the tab stop; a row with nothing after the
// tab spans both columns. The rows' text stays whole.
class cTabStopDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit cTabStopDelegate(QObject* pParent = nullptr);
    // pTabStop: the second column's offset in pixels; pExtent: the rows'
    // width for horizontal scrolling (0: the list's own width).
    void SetTabStop(int pTabStop) { m_TabStop = pTabStop; }
    void SetExtent(int pExtent) { m_Extent = pExtent; }
    int TabStop() const { return m_TabStop; }
    int Extent() const { return m_Extent; }
    // Where row text begins inside an item.
    static constexpr int kTextPadding = 3;

    void paint(QPainter* pPainter, const QStyleOptionViewItem& pOption,
               const QModelIndex& pIndex) const override;
    QSize sizeHint(const QStyleOptionViewItem& pOption, const QModelIndex& pIndex) const override;

private:
    int m_TabStop = 0;
    int m_Extent = 0;
};

// Pixels of pUnits dialog units for the font of pList (a dialog unit is a
// quarter of the font's average character width).
int DialogUnitsToPixels(const QWidget* pList, int pUnits);

class frmOptions : public cSkinnedWindow {
    Q_OBJECT
public:
    explicit frmOptions(const Services& pServices, QWidget* pParent = nullptr);
    ~frmOptions() override;

    // The page to open with: 0 Mail, 1 Address Books, 2 Miscellaneous (any
    // other value opens the Mail page). Call before the window is shown.
    void InitialTab(int16_t pTab);

    // Prepares and fills the window; runs once, at the latest when the
    // window is first shown.
    void Form_Load();
    // The skin's unload step: the window leaves the screen at once.
    void Form_Unload();

    // ---- page buttons ----
    void cmdMail_Click();
    void cmdBook_Click();
    void cmdMisc_Click();

    // ---- saving and closing ----
    void cmdApply_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdClose_Click();
    void cmdHelp_Click();
    // Character codes: 27 (Esc) cancels.
    void Form_KeyPress(int pKeyAscii);
    // Key codes: 112 (F1) opens the help page.
    void Form_KeyDown(int pKeyCode, int pShift);

    // ---- change tracking ----
    void txtName_Change();
    void txtOrganization_Change();
    void txtEmail_Change();
    void txtCC_Change();
    void txtNote_Change();
    void txtServer_Change();
    void chkSounds_Click();
    void chkAutorun_Click();
    void lblPlayNavigationSounds_Click();
    void lblAutorun_Click();

    // ---- Address Books page ----
    void cmdSearch_Click();
    void Drive1_Change();
    void lvBooks_Click();
    // Rebuilds lvBooks from KnownAddressBooks and selects the AddressBook row.
    void FillBookList();

    // The page shown now (0, 1 or 2).
    int CurrentPage() const { return m_Page; }
    bool IsLoading() const { return m_Loading; }
    bool IsSearching() const { return m_Searching; }

    // ---- controls ----
    cLabelButton* cmdHelp = nullptr;
    cLabelButton* cmdClose = nullptr;
    cLabelButton* cmdMail = nullptr;
    cLabelButton* cmdBook = nullptr;
    cLabelButton* cmdMisc = nullptr;
    cLabelButton* cmdOk = nullptr;
    cLabelButton* cmdCancel = nullptr;
    cLabelButton* cmdApply = nullptr;
    cLabelButton* cmdSearch = nullptr;
    QLabel* Label1[5] = {};
    QLineEdit* txtName = nullptr;
    QLineEdit* txtOrganization = nullptr;
    QLineEdit* txtEmail = nullptr;
    QLineEdit* txtCC = nullptr;
    QPlainTextEdit* txtNote = nullptr;
    QComboBox* Drive1 = nullptr;
    QLabel* lblType = nullptr;
    QLabel* lblPath = nullptr;
    QListWidget* lvBooks = nullptr;
    cTabStopDelegate* m_BookColumns = nullptr;
    QCheckBox* chkSounds = nullptr;
    QLabel* lblPlayNavigationSounds = nullptr;
    QCheckBox* chkAutorun = nullptr;
    QLabel* lblAutorun = nullptr;
    QLabel* lblServer = nullptr;
    QLineEdit* txtServer = nullptr;

    // The longest note the Mail page takes, in characters.
    static constexpr int kNoteLimit = 2048;
    static constexpr int kTextLimit = 128;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void OnKeyAscii(int pKeyAscii) override { Form_KeyPress(pKeyAscii); }
    void OnKeyDown(int pKeyCode) override { Form_KeyDown(pKeyCode, 0); }
    void paintEvent(QPaintEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void CreateControls();
    void ConnectHandlers();
    void SetTexts();
    void FillDrives();
    void ShowPage(int pPage);
    void PlayClick();
    void EnableApply();
    // Validates the server address and writes every setting; false when
    // the address was refused and nothing was written.
    bool SaveOptions();
    // Ends the dialog (a running search stops at its next step).
    void HideWindow();
    void LimitNote();

    Services m_Services;
    int16_t m_InitialTab = 0;
    bool m_Loading = false;
    bool m_Loaded = false;
    bool m_Searching = false;
    bool m_StopSearch = false;
    bool m_LimitingNote = false;
    int m_Page = 0;
};

} // namespace brisa
