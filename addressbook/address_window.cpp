#include "addressbook/address_window.h"

#include "addressbook/address_layout.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/modal.h"
#include "platform/program_folder.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "settings/options_window.h"
#include "skin/captions.h"
#include "skin/label_button.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QShowEvent>

#include <algorithm>

namespace brisa {

namespace L = address_layout;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QRect R(const L::Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

} // namespace

frmAddresses::frmAddresses(const Services& pServices, QWidget* pParent)
    : cSkinnedWindow("frmAddresses", QSize(L::kWidth, L::kHeight), "/skins/frmAddresses.jpg",
                     pParent),
      m_Services(pServices) {
    CreateControls();
}

frmAddresses::~frmAddresses() = default;

void frmAddresses::CreateControls() {
    lblToolbar->setGeometry(
        Design(L::lblToolbar.left, L::lblToolbar.top, L::lblToolbar.width, L::lblToolbar.height));
    lblToolbar->setText("Address Book");

    auto place = [this](QWidget* pControl, const char* pName, const L::Rect& pRect) {
        pControl->setObjectName(pName);
        pControl->setGeometry(Design(pRect.left, pRect.top, pRect.width, pRect.height));
    };

    // Buttons, in the order hover highlighting checks them.
    cmdSet = AddButton("cmdSet", "Change Book", R(L::cmdSet));
    cmdOk = AddButton("cmdOk", "OK", R(L::cmdOk));
    cmdCancel = AddButton("cmdCancel", "Cancel", R(L::cmdCancel));
    cmdHelp = AddButton("cmdHelp", "?", R(L::cmdHelp));
    cmdClose = AddButton("cmdClose", "X", R(L::cmdClose));
    cmdHelp->setAccessibleDescription("Help");
    cmdClose->setAccessibleDescription("Close");

    lblName = new QLabel("Name", this);
    place(lblName, "lblName", L::lblName);
    lblAddress = new QLabel("E-mail address", this);
    place(lblAddress, "lblAddress", L::lblAddress);

    // Each click on a row toggles its mark.
    lvAddresses = new QListWidget(this);
    place(lvAddresses, "lvAddresses", L::lvAddresses);
    lvAddresses->setSelectionMode(QAbstractItemView::MultiSelection);
    lvAddresses->setSortingEnabled(false); // the rows arrive in their sorted order
    lvAddresses->setAccessibleName("Address Book");
    m_Columns = new cTabStopDelegate(lvAddresses);
    lvAddresses->setItemDelegate(m_Columns);

    m_AlwaysBevelled = {cmdHelp, cmdClose};
    m_FallbackBevelled = {cmdOk, cmdCancel, cmdSet};

    const std::vector<QWidget*> order = {lvAddresses, cmdOk, cmdCancel, cmdSet, cmdHelp, cmdClose};
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdOk, &cLabelButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &cLabelButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdClose, &cLabelButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdSet, &cLabelButton::clicked, this, [this] { cmdSet_Click(); });
    connect(cmdHelp, &cLabelButton::clicked, this, [this] { cmdHelp_Click(); });
}

void frmAddresses::SetTexts() {
    auto caption = [](cLabelButton* pButton, const char* pId) {
        if (const auto text = Tr(pId))
            pButton->SetCaption(Q(*text));
    };
    caption(cmdOk, "add0001");
    caption(cmdCancel, "add0002");
    caption(cmdSet, "add0007");
    if (const auto text = Tr("add0004"))
        lblName->setText(Q(*text));
    if (const auto text = Tr("add0005"))
        lblAddress->setText(Q(*text));
}

void frmAddresses::Form_Load() {
    if (m_Loaded)
        return;
    m_Loaded = true;
    PrepareSkin();
    // The address column starts at 90 dialog units.
    m_Columns->SetTabStop(DialogUnitsToPixels(lvAddresses, 90));
    const int textLeft =
        lvAddresses->x() + lvAddresses->frameWidth() + cTabStopDelegate::kTextPadding;
    lblName->setGeometry(textLeft, lblName->y(), std::max(1, m_Columns->TabStop() - 4),
                         lblName->height());
    lblAddress->setGeometry(
        textLeft + m_Columns->TabStop(), lblAddress->y(),
        std::max(1, lvAddresses->geometry().right() - textLeft - m_Columns->TabStop()),
        lblAddress->height());
    SetTexts();
    LoadBook();
    const auto title = Tr("add0003");
    ShapeAndTitle(title ? Q(*title) : lblToolbar->text());
    FitCaptions(this);
    if (title)
        lvAddresses->setAccessibleName(Q(*title));
    lvAddresses->setFocus();
}

void frmAddresses::Form_Unload() {
    MoveOutOfSight();
}

void frmAddresses::showEvent(QShowEvent* pEvent) {
    Form_Load();
    cSkinnedWindow::showEvent(pEvent);
    lvAddresses->setFocus();
}

void frmAddresses::LoadBook() {
    LoadAddressBook(m_List, ProgramKindLabels(), m_Outlook);
    lvAddresses->clear();
    for (const std::string& row : m_List.Rows())
        lvAddresses->addItem(Q(row));
}

std::vector<std::string> frmAddresses::MarkedRows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < lvAddresses->count(); ++i) {
        const QListWidgetItem* item = lvAddresses->item(i);
        if (item->isSelected())
            rows.push_back(item->text().toStdString());
    }
    return rows;
}

std::vector<std::string> frmAddresses::Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < lvAddresses->count(); ++i)
        rows.push_back(lvAddresses->item(i)->text().toStdString());
    return rows;
}

void frmAddresses::cmdOk_Click() {
    PlayClick();
    hide();
}

void frmAddresses::cmdCancel_Click() {
    PlayClick();
    for (int i = 0; i < lvAddresses->count(); ++i)
        lvAddresses->item(i)->setSelected(false);
    hide();
}

void frmAddresses::cmdClose_Click() {
    cmdCancel_Click();
}

void frmAddresses::cmdSet_Click() {
    PlayClick();
    {
        frmOptions options(m_Services);
        options.InitialTab(1);
        if (m_Services.modal)
            m_Services.modal->ShowModal(&options, this);
        options.Form_Unload();
    }
    // The book now chosen replaces the rows.
    LoadBook();
    lvAddresses->setFocus();
}

void frmAddresses::cmdHelp_Click() {
    PlayClick();
    OpenStartupHelp(m_Services);
}

void frmAddresses::Form_KeyPress(int pKeyAscii) {
    if (pKeyAscii == 27)
        cmdCancel_Click();
}

void frmAddresses::Form_KeyDown(int pKeyCode, int pShift) {
    (void)pShift;
    if (pKeyCode == 112) OpenStartupHelp(m_Services);
}

void frmAddresses::PlayClick() { PlayClickSound(m_Services); }

} // namespace brisa
