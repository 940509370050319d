#include "recording/slider.h"

#include <QCoreApplication>
#include <QProxyStyle>
#include <QSlider>
#include <QStyleOptionSlider>
#include <cmath>

namespace brisa {

namespace {
void DoEvents() { QCoreApplication::processEvents(); }
// Nearest whole pixel, halves to the even neighbour.
int Whole(double v) { return static_cast<int>(std::nearbyint(v)); }

// Draws a turned-round vertical slider with its groove filled from the
// bottom up to the thumb, so the fill shows the volume: styles fill from
// the range's minimum, which is the top here. The same thumb position is
// drawn from the mirrored position on a slider that is not turned round.
class LevelStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl pControl, const QStyleOptionComplex* pOption, QPainter* pPainter,
                            const QWidget* pWidget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(pOption);
        if (pControl != CC_Slider || !slider || slider->orientation != Qt::Vertical || slider->upsideDown) {
            QProxyStyle::drawComplexControl(pControl, pOption, pPainter, pWidget);
            return;
        }
        QStyleOptionSlider mirrored(*slider);
        mirrored.upsideDown = true;
        mirrored.sliderPosition = slider->maximum + slider->minimum - slider->sliderPosition;
        mirrored.sliderValue = slider->maximum + slider->minimum - slider->sliderValue;
        QProxyStyle::drawComplexControl(pControl, &mirrored, pPainter, pWidget);
    }
};
} // namespace

cSlider::cSlider() = default;

cSlider::~cSlider() = default; // the bar goes with its parent window

bool cSlider::Create(double pLeft, double pTop, double pWidth, double pHeight, bool) {
    if (!m_Parent) return false;
    // Always vertical, without tick marks.
    m_Bar = new QSlider(Qt::Vertical, m_Parent);
    m_Bar->setTickPosition(QSlider::NoTicks);
    m_Bar->setRange(-65000, 1);
    // The range's minimum (-65000, the loudest) is the upper end: a plain
    // vertical slider keeps its minimum at the bottom, so both the picture
    // and the controls (keys, wheel) are turned round.
    m_Bar->setInvertedAppearance(true);
    m_Bar->setInvertedControls(true);
    auto* style = new LevelStyle;
    style->setParent(m_Bar);
    m_Bar->setStyle(style);
    m_Bar->setSingleStep(650);
    m_Bar->setPageStep(6500);
    m_Bar->setValue(0);
    m_Bar->setFocusPolicy(Qt::StrongFocus);
    m_Bar->setGeometry(Whole(pLeft), Whole(pTop), Whole(pWidth), Whole(pHeight));
    m_Bar->show();
    auto report = [this] {
        // Reported once the position has moved (the action comes first).
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_Bar) Q_EMIT scrolled(m_Bar);
            },
            Qt::QueuedConnection);
    };
    connect(m_Bar, &QSlider::actionTriggered, this, report);
    connect(m_Bar, &QSlider::sliderReleased, this, report);
    m_Enabled = true;
    return true;
}

void cSlider::DestroyTracBar() {
    delete m_Bar.data();
    m_Bar = nullptr;
}

void cSlider::SetTracBarPos(int32_t pPosition) {
    DoEvents();
    if (m_Bar) {
        m_Bar->setValue(pPosition);
        m_Bar->update();
    }
    DoEvents();
}

int32_t cSlider::GetTracBarPos() {
    DoEvents();
    const int32_t v = m_Bar ? m_Bar->value() : 0;
    DoEvents();
    return v;
}

int32_t cSlider::GetTracBarMin() {
    DoEvents();
    const int32_t v = m_Bar ? m_Bar->minimum() : 0;
    DoEvents();
    return v;
}

int32_t cSlider::GetTracBarMax() {
    DoEvents();
    const int32_t v = m_Bar ? m_Bar->maximum() : 0;
    DoEvents();
    return v;
}

} // namespace brisa
