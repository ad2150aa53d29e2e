#pragma once
// Running the program's own dialogs modally. In tests a handler stands in for
// the nested event loop: it sets the dialog's controls, presses its buttons and
// returns the result code.
#include <functional>

class QDialog;

namespace vt {

class Modal
{
public:
    using Handler = std::function<int(QDialog *)>;
    // Shows the dialog modally and returns its result code.
    static int exec(QDialog *dialog);
    // Installs the test handler (an empty function restores the real exec()).
    static void setHandler(Handler h);
};

} // namespace vt
