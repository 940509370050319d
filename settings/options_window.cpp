#include "settings/options_window.h"

#include "common/globals.h"
#include "common/server_address.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/drives.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "platform/system_info.h"
#include "settings/options_layout.h"
#include "settings/registry.h"
#include "skin/captions.h"
#include "skin/label_button.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTextCursor>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace brisa {

namespace L = options_layout;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QRect R(const L::Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

// A caption without the colon the window adds after it, for accessible names.
QString WithoutColon(QString pText) {
    if (pText.endsWith(':'))
        pText.chop(1);
    return pText;
}

// The number a setting's text starts with, as the options store it ("1"
// checked, anything else clear).
bool IsOne(const std::string& pText) {
    const std::string t = TrimBlanks(pText);
    if (t.empty())
        return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return end != t.c_str() && std::nearbyint(v) == 1.0;
}

} // namespace

cKindLabels ProgramKindLabels() {
    cKindLabels kinds;
    kinds.AddrBkList = gBookKinds.addrBkLst;
    kinds.Wab = gBookKinds.wab;
    kinds.Pst = gBookKinds.pst;
    kinds.Nab = gBookKinds.nab;
    kinds.Ldif = gBookKinds.ldif;
    kinds.Nickname = gBookKinds.nndbase;
    return kinds;
}

int DialogUnitsToPixels(const QWidget* pList, int pUnits) {
    const int average = std::max(1, QFontMetrics(pList->font()).averageCharWidth());
    return static_cast<int>(std::nearbyint(pUnits * average / 4.0));
}

// ---- two-column rows ------------------------------------------------------------

cTabStopDelegate::cTabStopDelegate(QObject* pParent) : QStyledItemDelegate(pParent) {}

void cTabStopDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& pOption,
                             const QModelIndex& pIndex) const {
    QStyleOptionViewItem opt(pOption);
    initStyleOption(&opt, pIndex);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Background, selection and focus frame; the text follows in two columns.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, pPainter, widget);

    const qsizetype tab = text.indexOf('\t');
    QString first = tab < 0 ? text : text.left(tab);
    QString rest = tab < 0 ? QString() : text.mid(tab + 1);
    rest.replace('\t', ' ');
    first.replace('\t', ' ');

    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    pPainter->save();
    pPainter->setFont(opt.font);
    pPainter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect r = opt.rect;
    const int left = r.left() + kTextPadding;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    // A row with nothing after its tab (the address window's notice that
    // the book must be chosen again) spans both columns.
    if (tab >= 0 && m_TabStop > kTextPadding && !rest.isEmpty()) {
        const QRect firstRect(left, r.top(), m_TabStop - kTextPadding, r.height());
        pPainter->drawText(firstRect, flags,
                           opt.fontMetrics.elidedText(first, Qt::ElideRight, firstRect.width()));
        const QRect restRect(left + m_TabStop, r.top(), std::max(0, r.right() - left - m_TabStop),
                             r.height());
        pPainter->drawText(restRect, flags, rest);
    } else {
        pPainter->drawText(QRect(left, r.top(), std::max(0, r.right() - left), r.height()), flags,
                           rest.isEmpty() ? first : first + ' ' + rest);
    }
    pPainter->restore();
}

QSize cTabStopDelegate::sizeHint(const QStyleOptionViewItem& pOption,
                                 const QModelIndex& pIndex) const {
    QSize size = QStyledItemDelegate::sizeHint(pOption, pIndex);
    const QString text = pIndex.data(Qt::DisplayRole).toString();
    const qsizetype tab = text.indexOf('\t');
    const QFontMetrics metrics(pOption.font);
    int needed = kTextPadding * 2;
    if (tab >= 0 && tab + 1 < text.size())
        needed += m_TabStop + metrics.horizontalAdvance(text.mid(tab + 1));
    else
        needed += metrics.horizontalAdvance(tab >= 0 ? text.left(tab) : text);
    size.setWidth(std::max(m_Extent, needed));
    return size;
}

// ---- the window -------------------------------------------------------------------

frmOptions::frmOptions(const Services& pServices, QWidget* pParent)
    : cSkinnedWindow("frmOptions", QSize(L::kWidth, L::kHeight), "/skins/frmOptions.jpg", pParent),
      m_Services(pServices) {
    CreateControls();
    ConnectHandlers();
}

frmOptions::~frmOptions() = default;

void frmOptions::InitialTab(int16_t pTab) {
    m_InitialTab = pTab;
}

void frmOptions::CreateControls() {
    lblToolbar->setGeometry(
        Design(L::lblToolbar.left, L::lblToolbar.top, L::lblToolbar.width, L::lblToolbar.height));
    lblToolbar->setText("Options");

    auto place = [this](QWidget* pControl, const char* pName, const L::Rect& pRect) {
        pControl->setObjectName(pName);
        pControl->setGeometry(Design(pRect.left, pRect.top, pRect.width, pRect.height));
    };
    auto label = [this, &place](const char* pName, const char* pCaption, const L::Rect& pRect) {
        auto* l = new QLabel(pCaption, this);
        place(l, pName, pRect);
        return l;
    };
    auto line = [this, &place](const char* pName, const L::Rect& pRect, const QString& pLabel) {
        auto* e = new QLineEdit(this);
        place(e, pName, pRect);
        e->setAccessibleName(pLabel);
        return e;
    };

    // Buttons, in the order hover highlighting checks them.
    cmdSearch = AddButton("cmdSearch", "Search", R(L::cmdSearch));
    cmdMisc = AddButton("cmdMisc", "Miscellaneous", R(L::cmdMisc));
    cmdBook = AddButton("cmdBook", "Address Books", R(L::cmdBook));
    cmdMail = AddButton("cmdMail", "Mail", R(L::cmdMail));
    cmdApply = AddButton("cmdApply", "Apply", R(L::cmdApply));
    cmdOk = AddButton("cmdOk", "OK", R(L::cmdOk));
    cmdCancel = AddButton("cmdCancel", "Cancel", R(L::cmdCancel));
    cmdHelp = AddButton("cmdHelp", "?", R(L::cmdHelp));
    cmdClose = AddButton("cmdClose", "X", R(L::cmdClose));
    cmdHelp->setAccessibleDescription("Help");
    cmdClose->setAccessibleDescription("Close");

    // Mail page.
    static const char* const kLabelNames[5] = {"Label1_0", "Label1_1", "Label1_2", "Label1_3",
                                               "Label1_4"};
    static const char* const kLabelTexts[5] = {
        "Your name:", "Organization:", "E-mail address:", "Always send a copy to:", "Note:"};
    for (int i = 0; i < 5; ++i)
        Label1[i] = label(kLabelNames[i], kLabelTexts[i], L::Label1[i]);
    txtName = line("txtName", L::txtName, WithoutColon(kLabelTexts[0]));
    txtOrganization = line("txtOrganization", L::txtOrganization, WithoutColon(kLabelTexts[1]));
    txtEmail = line("txtEmail", L::txtEmail, WithoutColon(kLabelTexts[2]));
    txtCC = line("txtCC", L::txtCC, WithoutColon(kLabelTexts[3]));
    for (QLineEdit* e : {txtName, txtOrganization, txtEmail, txtCC})
        e->setMaxLength(kTextLimit);
    txtNote = new QPlainTextEdit(this);
    place(txtNote, "txtNote", L::txtNote);
    txtNote->setAccessibleName(WithoutColon(kLabelTexts[4]));
    txtNote->setTabChangesFocus(true);
    for (int i = 0; i < 5; ++i) {
        QWidget* boxes[5] = {txtName, txtOrganization, txtEmail, txtCC, txtNote};
        Label1[i]->setBuddy(boxes[i]);
    }

    // Address Books page.
    Drive1 = new QComboBox(this);
    place(Drive1, "Drive1", L::Drive1);
    Drive1->setAccessibleName("Drive");
    lblType = label("lblType", "Type", L::lblType);
    lblPath = label("lblPath", "Location", L::lblPath);
    lvBooks = new QListWidget(this);
    place(lvBooks, "lvBooks", L::lvBooks);
    lvBooks->setSelectionMode(QAbstractItemView::SingleSelection);
    lvBooks->setSortingEnabled(false); // the rows arrive in their sorted order
    lvBooks->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lvBooks->setAccessibleName("Address Books");
    m_BookColumns = new cTabStopDelegate(lvBooks);
    lvBooks->setItemDelegate(m_BookColumns);

    // Miscellaneous page.
    chkSounds = new QCheckBox(this);
    place(chkSounds, "chkSounds", L::chkSounds);
    lblPlayNavigationSounds =
        label("lblPlayNavigationSounds", "Play interface sounds", L::lblPlayNavigationSounds);
    chkSounds->setAccessibleName(lblPlayNavigationSounds->text());
    chkAutorun = new QCheckBox(this);
    place(chkAutorun, "chkAutorun", L::chkAutorun);
    lblAutorun = label("lblAutorun", "Start BrisaMail when I log in", L::lblAutorun);
    chkAutorun->setAccessibleName(lblAutorun->text());
    for (QLabel* l : {lblPlayNavigationSounds, lblAutorun})
        l->installEventFilter(this);
    lblServer = label("lblServer", "Server address:", L::lblServer);
    txtServer = line("txtServer", L::txtServer, WithoutColon(lblServer->text()));
    lblServer->setBuddy(txtServer);

    // Bevels: the title buttons and the search button always; the others
    // only when a large-font skin could not be stretched.
    m_AlwaysBevelled = {cmdHelp, cmdClose, cmdSearch};
    m_FallbackBevelled = {cmdOk, cmdCancel, cmdApply, cmdMail, cmdMisc, cmdBook};

    // Keyboard order: pages, the page's controls, the dialog buttons, the title buttons.
    const std::vector<QWidget*> order = {
        cmdMail, cmdBook,   cmdMisc,   txtName, txtOrganization, txtEmail,   txtCC,
        txtNote, Drive1,    cmdSearch, lvBooks, chkSounds,       chkAutorun, txtServer,
        cmdOk,   cmdCancel, cmdApply,  cmdHelp, cmdClose};
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    ShowPage(0);
}

void frmOptions::ConnectHandlers() {
    connect(cmdMail, &cLabelButton::clicked, this, [this] { cmdMail_Click(); });
    connect(cmdBook, &cLabelButton::clicked, this, [this] { cmdBook_Click(); });
    connect(cmdMisc, &cLabelButton::clicked, this, [this] { cmdMisc_Click(); });
    connect(cmdApply, &cLabelButton::clicked, this, [this] { cmdApply_Click(); });
    connect(cmdOk, &cLabelButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &cLabelButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdClose, &cLabelButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdHelp, &cLabelButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdSearch, &cLabelButton::clicked, this, [this] { cmdSearch_Click(); });

    connect(txtName, &QLineEdit::textChanged, this, [this] { txtName_Change(); });
    connect(txtOrganization, &QLineEdit::textChanged, this, [this] { txtOrganization_Change(); });
    connect(txtEmail, &QLineEdit::textChanged, this, [this] { txtEmail_Change(); });
    connect(txtCC, &QLineEdit::textChanged, this, [this] { txtCC_Change(); });
    connect(txtServer, &QLineEdit::textChanged, this, [this] { txtServer_Change(); });
    connect(txtNote, &QPlainTextEdit::textChanged, this, [this] {
        LimitNote();
        if (!m_LimitingNote)
            txtNote_Change();
    });
    connect(chkSounds, &QCheckBox::toggled, this, [this] { chkSounds_Click(); });
    connect(chkAutorun, &QCheckBox::toggled, this, [this] { chkAutorun_Click(); });

    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(lvBooks, &QListWidget::itemSelectionChanged, this, [this] { lvBooks_Click(); });
    connect(lvBooks, &QListWidget::itemClicked, this, [this] { lvBooks_Click(); });
}

void frmOptions::SetTexts() {
    auto caption = [](cLabelButton* pButton, const char* pId) {
        if (const auto text = Tr(pId))
            pButton->SetCaption(Q(*text));
    };
    auto tip = [](QWidget* pControl, const char* pId) {
        if (const auto text = Tr(pId))
            pControl->setToolTip(Q(*text));
    };
    caption(cmdOk, "opt0001");
    tip(cmdOk, "opt0018");
    caption(cmdCancel, "opt0002");
    tip(cmdCancel, "opt0019");
    caption(cmdApply, "opt0003");
    tip(cmdApply, "opt0020");
    caption(cmdMail, "opt0012");
    tip(cmdMail, "opt0015");
    caption(cmdBook, "opt0013");
    tip(cmdBook, "opt0016");
    caption(cmdMisc, "opt0014");
    tip(cmdMisc, "opt0017");
    caption(cmdSearch, "opt0026");
    tip(cmdSearch, "opt0027");
    if (const auto text = Tr("opt0027"))
        Drive1->setAccessibleDescription(Q(*text));
    lvBooks->setAccessibleName(cmdBook->accessibleName());

    // The five Mail captions and the server's are their texts and a colon.
    static const char* const kMailIds[5] = {"opt0021", "opt0022", "opt0023", "opt0024", "opt0025"};
    QWidget* boxes[5] = {txtName, txtOrganization, txtEmail, txtCC, txtNote};
    for (int i = 0; i < 5; ++i) {
        if (const auto text = Tr(kMailIds[i])) {
            Label1[i]->setText(Q(*text) + ':');
            boxes[i]->setAccessibleName(Q(*text));
        }
    }
    if (const auto text = Tr("opt0031")) {
        lblServer->setText(Q(*text) + ':');
        txtServer->setAccessibleName(Q(*text));
    }
    auto text = [](QLabel* pLabel, const char* pId, QWidget* pNamed) {
        if (const auto t = Tr(pId)) {
            pLabel->setText(Q(*t));
            if (pNamed)
                pNamed->setAccessibleName(Q(*t));
        }
    };
    text(lblType, "opt0010", nullptr);
    text(lblPath, "opt0011", nullptr);
    text(lblPlayNavigationSounds, "opt0028", chkSounds);
    text(lblAutorun, "opt0029", chkAutorun);
}

void frmOptions::FillDrives() {
    const QSignalBlocker block(Drive1);
    Drive1->clear();
    if (m_Services.drives)
        for (const std::string& drive : m_Services.drives->Drives())
            Drive1->addItem(Q(drive));
}

void frmOptions::Form_Load() {
    if (m_Loaded)
        return;
    m_Loaded = true;

    // 1. The skin; on a large-font display whose skin could be stretched the
    // check boxes keep their designed pixel size.
    const bool skinOk = PrepareSkin();
    if (gLargeFonts && skinOk) {
        for (QCheckBox* box : {chkSounds, chkAutorun}) {
            const QRect g = box->geometry();
            box->setGeometry(g.left(), g.top(),
                             static_cast<int>(std::nearbyint(g.width() / gScaleX)),
                             static_cast<int>(std::nearbyint(g.height() / gScaleY)));
        }
    }

    // 2. The book list: the path column at 75 dialog units, rows as wide as
    // the screen so long paths can be scrolled into view.
    m_BookColumns->SetTabStop(DialogUnitsToPixels(lvBooks, 75));
    int screenWidth = m_Services.system ? m_Services.system->ScreenWidth() : 0;
    if (screenWidth <= 0 && QGuiApplication::primaryScreen())
        screenWidth = QGuiApplication::primaryScreen()->geometry().width();
    m_BookColumns->SetExtent(screenWidth);
    const int textLeft = lvBooks->x() + lvBooks->frameWidth() + cTabStopDelegate::kTextPadding;
    lblType->setGeometry(textLeft, lblType->y(), std::max(1, m_BookColumns->TabStop() - 4),
                         lblType->height());
    lblPath->setGeometry(
        textLeft + m_BookColumns->TabStop(), lblPath->y(),
        std::max(1, lvBooks->geometry().right() - textLeft - m_BookColumns->TabStop()),
        lblPath->height());
    FillDrives();

    // 3. - 5. Texts and values; nothing filled here counts as a change.
    m_Loading = true;
    SetTexts();
    cmdApply->setEnabled(false);
    if (gRegistry) {
        txtName->setText(Q(gRegistry->MyName()));
        txtOrganization->setText(Q(gRegistry->MyOrganization()));
        txtEmail->setText(Q(gRegistry->MyEmail()));
        txtCC->setText(Q(gRegistry->MyCc()));
        txtNote->setPlainText(Q(gRegistry->MyNote()));
        chkSounds->setChecked(IsOne(gRegistry->PlaySounds()));
        chkAutorun->setChecked(IsOne(gRegistry->Autorun()));
    }
    // A password in the address is never shown.
    txtServer->setText(Q(AddressWithoutPassword(gConnectTo)));

    // 6. - 7. The book list and the first page.
    FillBookList();
    switch (m_InitialTab) {
    case 1:
        cmdBook_Click();
        break;
    case 2:
        cmdMisc_Click();
        break;
    default:
        cmdMail_Click();
        break;
    }

    // 8. - 9. Outline and title.
    const auto title = Tr("opt0004");
    ShapeAndTitle(title ? Q(*title) : lblToolbar->text());
    FitCaptions(this);
    m_Loading = false;
}

void frmOptions::Form_Unload() {
    MoveOutOfSight();
}

void frmOptions::showEvent(QShowEvent* pEvent) {
    Form_Load();
    cSkinnedWindow::showEvent(pEvent);
    // The keyboard starts where the page's own button would put it.
    QWidget* first = m_Page == 1   ? static_cast<QWidget*>(lvBooks)
                     : m_Page == 2 ? static_cast<QWidget*>(chkSounds)
                                   : static_cast<QWidget*>(txtName);
    first->setFocus();
}

// ---- pages ------------------------------------------------------------------------

void frmOptions::ShowPage(int pPage) {
    m_Page = pPage;
    const bool mail = pPage == 0, book = pPage == 1, misc = pPage == 2;
    for (QLabel* l : Label1)
        l->setVisible(mail);
    for (QWidget* w :
         std::initializer_list<QWidget*>{txtName, txtOrganization, txtEmail, txtCC, txtNote})
        w->setVisible(mail);
    for (QWidget* w : std::initializer_list<QWidget*>{Drive1, cmdSearch, lblType, lblPath, lvBooks})
        w->setVisible(book);
    for (QWidget* w : std::initializer_list<QWidget*>{chkSounds, lblPlayNavigationSounds,
                                                      chkAutorun, lblAutorun, lblServer, txtServer})
        w->setVisible(misc);
    update();
}

void frmOptions::cmdMail_Click() {
    if (!m_Loading)
        PlayClick();
    ShowPage(0);
    if (!m_Loading)
        txtName->setFocus();
}

void frmOptions::cmdMisc_Click() {
    if (!m_Loading)
        PlayClick();
    ShowPage(2);
    if (!m_Loading)
        chkSounds->setFocus();
}

void frmOptions::cmdBook_Click() {
    if (!m_Loading)
        PlayClick();
    ShowPage(1);
    // The list is read again each time the page is shown; its selection is
    // not a change.
    const bool wasLoading = m_Loading;
    m_Loading = true;
    FillBookList();
    m_Loading = wasLoading;
    lvBooks->setFocus();
}

// ---- change tracking --------------------------------------------------------------------

void frmOptions::EnableApply() {
    if (!m_Loading)
        cmdApply->setEnabled(true);
}

void frmOptions::txtName_Change() {
    EnableApply();
}
void frmOptions::txtOrganization_Change() {
    EnableApply();
}
void frmOptions::txtEmail_Change() {
    EnableApply();
}
void frmOptions::txtCC_Change() {
    EnableApply();
}
void frmOptions::txtNote_Change() {
    EnableApply();
}
void frmOptions::txtServer_Change() {
    EnableApply();
}

void frmOptions::LimitNote() {
    if (m_LimitingNote)
        return;
    const QString text = txtNote->toPlainText();
    if (text.size() <= kNoteLimit)
        return;
    qsizetype keep = kNoteLimit;
    // Never cut a character in half.
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    m_LimitingNote = true;
    QTextCursor cursor(txtNote->document());
    cursor.setPosition(static_cast<int>(keep));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_LimitingNote = false;
}

void frmOptions::chkSounds_Click() {
    if (m_Loading)
        return;
    PlayClick();
    EnableApply();
}

void frmOptions::chkAutorun_Click() {
    if (m_Loading)
        return;
    PlayClick();
    EnableApply();
}

void frmOptions::lblPlayNavigationSounds_Click() {
    PlayClick();
    chkSounds->setChecked(chkSounds->checkState() != Qt::Checked);
}

void frmOptions::lblAutorun_Click() {
    PlayClick();
    chkAutorun->setChecked(chkAutorun->checkState() != Qt::Checked);
}

// ---- saving and closing -------------------------------------------------------------------

namespace {

// True when pAddress begins with a scheme and "://" ("ftp://x"); a host and
// port ("localhost:8025/post") has none.
bool HasScheme(std::string_view pAddress) {
    const size_t colon = pAddress.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; ++i) {
        const char c = pAddress[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other))
            return false;
    }
    return true;
}

} // namespace

bool frmOptions::SaveOptions() {
    PlayClick();
    const std::string server = TrimBlanks(txtServer->text().toStdString());
    if (Q(server) != txtServer->text())
        txtServer->setText(Q(server));

    auto refuse = [this](const char* pId) {
        const auto text = Tr(pId);
        const auto title = Tr("opt0033");
        if (text && title && m_Services.messageBox)
            m_Services.messageBox->Show(*text, *title, vbOKOnly | vbCritical);
    };
    if (server.empty()) {
        refuse("opt0032");
        return false;
    }
    // The sender speaks HTTP and HTTPS; an address without a scheme gets
    // "http://" in front, one with another scheme has to be retyped.
    if (!StartsWithNoCase(server, "http://") && !StartsWithNoCase(server, "https://")) {
        refuse("opt0034");
        if (!HasScheme(server))
            txtServer->setText(Q("http://" + server));
        return false;
    }
    if (!gRegistry)
        return false;

    // Left as shown (without its password), the address keeps its password.
    gRegistry->ConnectTo(server == AddressWithoutPassword(gConnectTo) ? gConnectTo : server);
    gConnectTo = gRegistry->ConnectTo();
    if (const QString shown = Q(AddressWithoutPassword(gConnectTo)); txtServer->text() != shown) {
        const bool wasLoading = m_Loading;
        m_Loading = true;
        txtServer->setText(shown);
        m_Loading = wasLoading;
    }
    gRegistry->MyName(txtName->text().toStdString());
    gRegistry->MyOrganization(txtOrganization->text().toStdString());
    gRegistry->MyEmail(txtEmail->text().toStdString());
    gRegistry->MyCc(txtCC->text().toStdString());
    gRegistry->MyNote(txtNote->toPlainText().toStdString());
    gRegistry->PlaySounds(chkSounds->isChecked() ? "1" : "0");
    gRegistry->Autorun(chkAutorun->isChecked() ? "1" : "0");
    if (gRegistry->Autorun() != "0")
        gRegistry->SetRunAtInitialization(
            (ProgramExecutable().empty() ? ProgramFolder() + "/brisamail" : ProgramExecutable()) + " 1");
    else
        gRegistry->SetRunAtInitialization("");
    std::string book;
    if (lvBooks->count() > 0) {
        const QList<QListWidgetItem*> selected = lvBooks->selectedItems();
        if (!selected.isEmpty())
            book = selected.first()->text().toStdString();
    }
    gRegistry->AddressBook(book);
    return true;
}

void frmOptions::cmdApply_Click() {
    if (SaveOptions())
        cmdApply->setEnabled(false);
}

void frmOptions::cmdOK_Click() {
    if (SaveOptions())
        HideWindow();
}

void frmOptions::cmdCancel_Click() {
    PlayClick();
    HideWindow();
}

void frmOptions::cmdClose_Click() {
    cmdCancel_Click();
}

void frmOptions::HideWindow() {
    if (m_Searching)
        m_StopSearch = true;
    hide();
}

void frmOptions::cmdHelp_Click() {
    PlayClick();
    OpenStartupHelp(m_Services);
}

void frmOptions::Form_KeyPress(int pKeyAscii) {
    if (pKeyAscii == 27)
        cmdCancel_Click();
}

void frmOptions::Form_KeyDown(int pKeyCode, int pShift) {
    (void)pShift;
    if (pKeyCode == 112) OpenStartupHelp(m_Services);
}

// ---- Address Books page -----------------------------------------------------------------------

void frmOptions::cmdSearch_Click() {
    if (m_Searching)
        return;
    PlayClick();
    m_Searching = true;
    m_StopSearch = false;
    cmdSearch->setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // The window keeps painting and answering while the drive is walked;
    // ending the dialog stops the walk.
    cSearchProgress progress;
    progress.every = 256;
    progress.callback = [this](uint64_t) {
        QCoreApplication::processEvents();
        return !m_StopSearch;
    };
    const std::string result = SearchAddressBooks(Drive1->currentText().toStdString(), progress);
    QApplication::restoreOverrideCursor();
    cmdSearch->setEnabled(true);
    m_Searching = false;
    // A walk cut short is no list of the drive: the last complete one stays.
    if (m_StopSearch)
        return;
    if (gRegistry)
        gRegistry->KnownAddressBooks(result);
    FillBookList();
}

void frmOptions::Drive1_Change() {
    PlayClick();
}

void frmOptions::lvBooks_Click() {
    EnableApply();
}

void frmOptions::FillBookList() {
    // Filling and selecting here is not the user's choice: no click event.
    const QSignalBlocker block(lvBooks);
    lvBooks->clear();
    const cBookList list = ::brisa::FillBookList(ProgramKindLabels());
    for (const std::string& row : list.rows)
        lvBooks->addItem(Q(row));
    if (list.selected >= 0 && list.selected < lvBooks->count()) {
        QListWidgetItem* item = lvBooks->item(static_cast<int>(list.selected));
        lvBooks->setCurrentItem(item);
        item->setSelected(true);
        lvBooks->scrollToItem(item, QAbstractItemView::PositionAtTop);
    }
}

// ---- helpers ------------------------------------------------------------------------------

void frmOptions::PlayClick() { PlayClickSound(m_Services); }

bool frmOptions::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if ((pWatched == lblPlayNavigationSounds || pWatched == lblAutorun) &&
        pEvent->type() == QEvent::MouseButtonRelease) {
        auto* e = static_cast<QMouseEvent*>(pEvent);
        if (e->button() == Qt::LeftButton) {
            if (pWatched == lblPlayNavigationSounds)
                lblPlayNavigationSounds_Click();
            else
                lblAutorun_Click();
            return true;
        }
    }
    return cSkinnedWindow::eventFilter(pWatched, pEvent);
}

void frmOptions::paintEvent(QPaintEvent* pEvent) {
    cSkinnedWindow::paintEvent(pEvent);
    // The skin draws the search button's shape on the page panel; on the
    // other pages the panel's face covers it.
    if (cmdSearch->isHidden() && !m_Background.isNull() && (!gLargeFonts || m_SkinOk)) {
        const int reach = L::kButtonShapeReach;
        const QRect shape = Design(L::cmdSearch.left - reach, L::cmdSearch.top - reach,
                                   L::cmdSearch.width + 2 * reach, L::cmdSearch.height + 2 * reach);
        QPainter p(this);
        p.fillRect(shape, QColor(L::kPageFace.r, L::kPageFace.g, L::kPageFace.b));
    }
}

} // namespace brisa
