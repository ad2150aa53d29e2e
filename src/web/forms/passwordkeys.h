#pragma once
// The password edits of the web dialogs take letters and digits only: a typed
// character of any other kind is refused with a message, and pasted text that
// holds one is not taken at all, so a password can always stand in a PHP string
// and a web address as it is.
class QLineEdit;

namespace vt {

void RestrictToPasswordKeys(QLineEdit *edit);

} // namespace vt
