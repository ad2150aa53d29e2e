#pragma once
// The placement of a top-level window, kept per screen resolution in the
// registry store of the current user under
//   Software\Halvicor\WindowPos\<program>\<window>\<width>X<height>
// with the string values FormState (0 normal, 1 minimised, 2 maximised) and
// Top, Left, Right, Bottom of the window's normal rectangle (Right and Bottom
// one past the last pixel, as the registry has always held them). The
// rectangle is the window's outer one, with the frame the window manager puts
// around it (title bar and borders), so that a window placed at the top of the
// screen shows its title bar.
#include <QRect>
#include <QString>

class QScreen;
class QWidget;

namespace vt {

// The window's key: the program's name (the application's name, else the
// executable's base name) and the window's object name.
QString WindowPlacementKey(const QWidget *window);
// The subkey of the current screen resolution, "1280X1024".
QString ScreenResolutionName();

// Applies the stored placement and fits the window to the screen. True when the
// window's key exists, even without a subkey for the current resolution. Does
// nothing for a window that is not top-level (and returns false). A stored
// minimised state is never restored.
bool RestoreWindowPlacement(QWidget *window);
// Stores the window's state and normal rectangle for the current resolution.
void SaveWindowPlacement(QWidget *window);

// A rectangle moved and shrunk so that it lies within the screen's area.
QRect FitToScreen(const QRect &rect, const QRect &area);

// Lowers a minimum size that would not let the window with its frame fit into
// the screen's work area (a small screen, a panel), so that it does.
void FitMinimumToScreen(QWidget *window, QScreen *screen = nullptr);

// Places a top-level window so that its frame covers the rectangle. The frame's
// size is known only once the window manager has framed the shown window; the
// window's size is corrected then (once), so that the frame fits the rectangle
// and the screen.
void PlaceWindowFrame(QWidget *window, const QRect &frame);

} // namespace vt
