// A small vertical volume slider. Its range runs from -65000 at the top
// (loudest) to 1 at the bottom, so the mixer value of a position p is |p|.
// The position members let pending window events run before and after they
// act, so a scroll notification or a timer tick may be handled inside them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSlider>
#include <cstdint>

class QWidget;

namespace brisa {

class cSlider : public QObject {
    Q_OBJECT
public:
    cSlider();
    ~cSlider() override;

    int32_t GetOldValue() const { return m_OldValue; }
    void SetOldValue(int32_t pValue) { m_OldValue = pValue; }
    // Whether the slider has a mixer control to drive.
    bool IsEnabled() const { return m_Enabled; }
    void SetEnabled(bool pEnabled) { m_Enabled = pEnabled; }
    // The slider control; nullptr before Create and after DestroyTracBar.
    QSlider* GetTracBarHwnd() const { return m_Bar; }
    // Creates the slider on Parent at the given place (pixels, rounded to the
    // nearest whole pixel, halves to even); false when Parent is not set.
    bool Create(double pLeft, double pTop, double pWidth, double pHeight, bool pVertical);
    QWidget* Parent() const { return m_Parent; }
    void Parent(QWidget* pParent) { m_Parent = pParent; }
    void DestroyTracBar();
    void SetTracBarPos(int32_t pPosition);
    int32_t GetTracBarPos();
    int32_t GetTracBarMin();
    int32_t GetTracBarMax();

Q_SIGNALS:
    // The user moved the slider (every step of a drag, and once more when
    // the thumb is let go); sent after the position has changed.
    void scrolled(QSlider* pBar);

private:
    QWidget* m_Parent = nullptr;
    QPointer<QSlider> m_Bar;
    bool m_Enabled = false;
    int32_t m_OldValue = 0;
};

} // namespace brisa
