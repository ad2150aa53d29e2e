#pragma once
// Running the program's own dialogs modally. In tests a handler stands in for
// the nested event loop: it sets the dialog's controls, presses its buttons and
// returns the result code.
#include <functional>

class QDialog;
class QWidget;

namespace vt {

class Modal
{
public:
    using Handler = std::function<int(QDialog *)>;
    // Shows the dialog modally and returns its result code. It comes up over the
    // window that asks (its own parent window when that is on screen) and stays on
    // top as long as a window of the program does.
    static int exec(QDialog *dialog);
    // The same over the given window: the dialog becomes its child window, centred on it.
    static int execOver(QDialog *dialog, QWidget *owner);
    // Installs the test handler (an empty function restores the real exec()).
    static void setHandler(Handler h);
};

} // namespace vt
