#pragma once
// The process's own folder for work files (converted mails, copies of opened
// mails, preview pages). It is made on first use, readable by the user only, and
// removed when the program ends, so no other user can read a mail being prepared
// and no file of a previous run is ever taken for a new one.
#include <QString>

namespace vt {

// The folder, ending in "/"; the system's temporary folder when it cannot be made.
QString ProcessTempFolder();

// A path in the folder that names no existing file: the prefix, ten random
// letters and digits, and the extension (with its dot, or empty).
QString FreshTempPath(const QString &prefix, const QString &extension);

} // namespace vt
