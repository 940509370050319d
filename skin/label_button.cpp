#include "skin/label_button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace brisa {

namespace {

// Screen readers meet a label button as what it is: a button named by its
// caption that can be pressed.
class LabelButtonAccessible : public QAccessibleWidget {
public:
    explicit LabelButtonAccessible(cLabelButton* pButton) : QAccessibleWidget(pButton, QAccessible::Button) {}

    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& pAction) override {
        // Pressed on the next turn of the event loop: the screen reader's
        // call is answered before a window the button opens takes over.
        if (pAction == pressAction())
            QMetaObject::invokeMethod(static_cast<cLabelButton*>(widget()), &cLabelButton::Click,
                                      Qt::QueuedConnection);
        else QAccessibleWidget::doAction(pAction);
    }
};

QAccessibleInterface* LabelButtonFactory(const QString& pClassName, QObject* pObject) {
    if (pClassName == QLatin1String(cLabelButton::staticMetaObject.className()) && pObject &&
        pObject->isWidgetType())
        return new LabelButtonAccessible(static_cast<cLabelButton*>(pObject));
    return nullptr;
}

} // namespace

cLabelButton::cLabelButton(const QString& pCaption, QWidget* pParent) : QLabel(pParent) {
    static const bool accessible = (QAccessible::installFactory(LabelButtonFactory), true);
    Q_UNUSED(accessible);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    SetCaption(pCaption);
}

void cLabelButton::SetCaption(const QString& pCaption) {
    // A label that takes the focus gets its text laid out as a whole rich
    // text document, many times the work of a plain caption: the caption is
    // set as a plain label's would be (nothing else changes with the policy).
    const Qt::FocusPolicy policy = focusPolicy();
    setFocusPolicy(Qt::NoFocus);
    setText(pCaption);
    setFocusPolicy(policy);
    QString name = pCaption;
    name.remove('&');
    setAccessibleName(name);
}

bool cLabelButton::IsBold() const { return font().bold(); }

void cLabelButton::SetBold(bool pBold) {
    if (font().bold() == pBold) return;
    QFont f = font();
    f.setBold(pBold);
    setFont(f);
}

void cLabelButton::Click() {
    if (isEnabled()) Q_EMIT clicked();
}

void cLabelButton::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) m_Pressed = true;
    QLabel::mousePressEvent(pEvent);
}

void cLabelButton::mouseReleaseEvent(QMouseEvent* pEvent) {
    const bool wasPressed = m_Pressed;
    m_Pressed = false;
    if (wasPressed && pEvent->button() == Qt::LeftButton && rect().contains(pEvent->position().toPoint()))
        Click();
    QLabel::mouseReleaseEvent(pEvent);
}

void cLabelButton::mouseMoveEvent(QMouseEvent* pEvent) {
    if (isEnabled()) Q_EMIT mouseMoved();
    QLabel::mouseMoveEvent(pEvent);
}

void cLabelButton::keyPressEvent(QKeyEvent* pEvent) {
    switch (pEvent->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (pEvent->modifiers() == Qt::NoModifier || pEvent->modifiers() == Qt::KeypadModifier) {
            Click();
            pEvent->accept();
            return;
        }
        break;
    default: break;
    }
    QLabel::keyPressEvent(pEvent);
}

bool cLabelButton::event(QEvent* pEvent) {
    // Polishing, too, would turn the caption of a label that takes the focus
    // into a text document.
    if (pEvent->type() == QEvent::Polish) return QFrame::event(pEvent);
    return QLabel::event(pEvent);
}

// The caption is not selectable text: the focus only changes the frame
// (QLabel's own handling would make the caption a text document again).
void cLabelButton::focusInEvent(QFocusEvent* pEvent) {
    QWidget::focusInEvent(pEvent);
    update();
}

void cLabelButton::focusOutEvent(QFocusEvent* pEvent) {
    QWidget::focusOutEvent(pEvent);
    update();
}

void cLabelButton::paintEvent(QPaintEvent* pEvent) {
    QLabel::paintEvent(pEvent);
    if (hasFocus()) {
        // Keyboard users see where they are: a dotted frame inside the label.
        QPainter p(this);
        QPen pen(palette().color(foregroundRole()), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace brisa
