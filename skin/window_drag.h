// Dragging a borderless window by its title strip: while the left button is
// held only an outline follows the mouse; on release the window jumps by
// the mouse's travel between press and release. Where the compositor moves
// windows (Wayland), the first movement after the press hands the move to
// it instead.
#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>
#include <memory>

class QRubberBand;
class QWidget;

namespace brisa {

// One drag, in screen pixels.
struct DragRecord {
    QPoint press;     // where the button went down, on the screen
    QPoint current;   // the latest move, on the screen
    QRect window;     // the window's frame at the press
    QRect newRect;    // the outline computed by the latest move (kept for the next press)
    QRect drawnRect;  // the outline shown now (empty when none)
    bool active = false;
};

class cWindowDrag : public QObject {
    Q_OBJECT
public:
    // pInsets: how far the outline lies inside the window's frame on each
    // side (a negative value puts that edge outside), asked at every move.
    cWindowDrag(QWidget* pWindow, QWidget* pTitleStrip, std::function<QMargins()> pInsets);
    ~cWindowDrag() override;

    // The press, moves and release, with the mouse's screen position.
    void BeginDrag(QPoint pGlobal);
    void ContinueDrag(QPoint pGlobal);
    void EndDrag(QPoint pGlobal);

    const DragRecord& Record() const { return m_Drag; }
    // The outline on the screen (null before the first one was shown).
    const QRubberBand* Outline() const { return m_Outline.get(); }
    QMargins Insets() const { return m_Insets ? m_Insets() : QMargins(); }

protected:
    // Left-button press, move and release on the title strip drive the drag;
    // other buttons do nothing.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Draw(const QRect& pRect);

    QWidget* m_Window;
    QWidget* m_TitleStrip;
    std::function<QMargins()> m_Insets;
    DragRecord m_Drag;
    std::unique_ptr<QRubberBand> m_Outline;
};

} // namespace brisa
