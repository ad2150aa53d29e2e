#pragma once
// What the web dialogs share among their controls.
class QLabel;
class QLineEdit;

namespace vt {

// The password edits take letters and digits only: a typed character of any
// other kind is refused with a message, and pasted text that holds one is not
// taken at all, so a password can always stand in a PHP string and a web
// address as it is.
void RestrictToPasswordKeys(QLineEdit *edit);

// The branding picture of the web dialogs (from the folder "recom" of the
// program folder) in their header; a picture that cannot be read leaves it empty.
void ShowWebHeader(QLabel *image);

} // namespace vt
