// A text label used as a button over a window's skin. It carries its caption
// as its accessible name, takes the keyboard focus with Tab and is pressed
// with the mouse, Space or Enter.
#pragma once

#include <QLabel>

namespace brisa {

class cLabelButton : public QLabel {
    Q_OBJECT
public:
    explicit cLabelButton(const QString& pCaption, QWidget* pParent = nullptr);

    void SetCaption(const QString& pCaption);
    QString Caption() const { return text(); }
    bool IsBold() const;
    void SetBold(bool pBold);
    // Presses the button as a click would (only while it is enabled).
    void Click();

Q_SIGNALS:
    void clicked();
    // The mouse moved over the label (hover highlighting listens to it).
    void mouseMoved();

protected:
    bool event(QEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    bool m_Pressed = false;
};

} // namespace brisa
