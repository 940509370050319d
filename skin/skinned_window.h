// The frame shared by the program's borderless windows: the skin picture
// (stretched on large-font displays), the leaf-shaped outline, the title
// strip the window is dragged by, label buttons that turn bold under the
// mouse, and the bevels drawn around some buttons.
#pragma once

#include "skin/hover.h"

#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

class QLabel;

namespace brisa {

class cLabelButton;
struct Services;

// The click of a button when interface sounds are on.
void PlayClickSound(const Services& pServices);
// Opens the help page on getting started.
void OpenStartupHelp(const Services& pServices);
class cWindowDrag;

class cSkinnedWindow : public QWidget {
    Q_OBJECT
public:
    // pDesignSize: the window's size in pixels at 96 dpi; pSkin: the skin's
    // file relative to the program folder ("/skins/frmOptions.jpg").
    cSkinnedWindow(const char* pName, QSize pDesignSize, std::string pSkin, QWidget* pParent = nullptr);
    ~cSkinnedWindow() override;

    // The designed rectangle on this display (scaled on large-font displays).
    QRect Design(int pLeft, int pTop, int pWidth, int pHeight) const;

    // Loads the skin; on a large-font display stretches it to the window and
    // returns whether that worked (m_SkinOk). At 96 dpi always true.
    bool PrepareSkin();
    // Stretches the skin to the window's size as its background; false (and
    // the background untouched) when there is no skin to stretch.
    bool PaintSkin();
    // Cuts the outline and sets the title strip's colours and text.
    void ShapeAndTitle(const QString& pTitle);
    // Moves the window out of sight before it is unloaded.
    void MoveOutOfSight();

    // The buttons that turn bold under the mouse, in the order the timer
    // checks them.
    const std::vector<cLabelButton*>& HoverButtons() const { return m_HoverButtons; }
    void tmrFocus_Timer();

    // Dragging by the title strip (left button only).
    cWindowDrag& Drag() { return *m_Drag; }
    // Insets of the drag outline: left, top, right, bottom (pixels inside the frame).
    virtual QMargins DragInsets() const { return QMargins(3, 0, 3, 3); }

    QLabel* lblToolbar = nullptr;
    QTimer tmrFocus;
    bool m_SkinOk = true;
    QPixmap m_Skin;
    QPixmap m_Background;
    QRegion m_WindowRegion;

protected:
    // Esc reaches the window's key-press handler as character 27, F1 its
    // key-down handler as key code 112.
    virtual void OnKeyAscii(int pKeyAscii) { (void)pKeyAscii; }
    virtual void OnKeyDown(int pKeyCode) { (void)pKeyCode; }
    void keyPressEvent(QKeyEvent* pEvent) override;

    // A label button placed at its designed rectangle and taking part in
    // hover highlighting.
    cLabelButton* AddButton(const char* pName, const QString& pCaption, QRect pDesign);
    // Controls with a bevel on every paint, and those with one only when the
    // skin could not be stretched on a large-font display.
    std::vector<QWidget*> m_AlwaysBevelled;
    std::vector<QWidget*> m_FallbackBevelled;

    void paintEvent(QPaintEvent* pEvent) override;

private:
    std::string m_SkinFile;
    QSize m_DesignSize;
    std::vector<cLabelButton*> m_HoverButtons;
    cWindowDrag* m_Drag = nullptr;
};

} // namespace brisa
