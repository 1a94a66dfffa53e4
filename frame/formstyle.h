// Look shared by the program's windows: the form font, the colours named by the program and
// placing top-level windows by their outer (frame-included) size.
#pragma once

#include <QColor>
#include <QFont>
#include <QSize>

class QWidget;

namespace zn {

// clCream: red 255, green 251, blue 240.
inline QColor creamColour() {
    return QColor(255, 251, 240);
}
// Colour value 15138815: red 255, green 255, blue 230 (panels).
inline QColor panelColour() {
    return QColor(255, 255, 230);
}

// The windows' default font: "MS Sans Serif" at 8 points, else a face of the same widths.
QFont formFont();

// Fills the widget's background with `colour` (its Window role).
void setBackground(QWidget* widget, const QColor& colour);

// Resizes top-level `window` so that its frame-included size is `outer`. Returns false when
// the window system does not know the frame yet; the size set then is the client size.
bool setOuterSize(QWidget* window, QSize outer);

// Gives a dialog of fixed size the frame of one: a title bar with the close button only (no
// minimize, maximize or help button, no resizing). Call before the window is first shown.
void setFixedDialogFrame(QWidget* dialog);

// Moves top-level `window` to the centre of the available area of its screen.
void centreOnScreen(QWidget* window);

}  // namespace zn
