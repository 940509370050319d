// The windows' type: one small font whose size follows the display density
// the program measured at start-up, and captions that are always shown
// whole, in every language.
#pragma once

class QLabel;
class QWidget;

namespace brisa {

// The windows' font size in points: 8 points at 96 dpi, growing with the
// large-font layout so that text and controls keep their proportions.
double WindowPointSize(const QWidget* pWidget);

// The smallest size a caption may take to fit its control (7 points on the
// same scale): still easy to read, and the only other size the windows use.
double SmallestPointSize(const QWidget* pWidget);

// True when the label's text fits its control: a label button in bold as
// well, as it shows under the mouse.
bool CaptionFits(const QLabel* pLabel);

// Gives every caption of a window (its labels and label buttons) that does
// not fit its control a smaller font, down to SmallestPointSize(). Called
// once the window's texts are set.
void FitCaptions(QWidget* pWindow);

} // namespace brisa
