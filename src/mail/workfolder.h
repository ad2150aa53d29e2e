#pragma once
// The private folder of this process for the mail work files ("temp.mail",
// "Preview.mail", "Sending.eml", the preview files): made on first use with
// mode 0700 inside the system's temporary folder and removed when the program
// ends, so no other user or instance can read or replace them.
#include <QString>

namespace vt {

// The folder, ending in "/"; empty when it cannot be made.
QString MailWorkFolder();

} // namespace vt
