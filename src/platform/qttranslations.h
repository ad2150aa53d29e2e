#pragma once
// Qt's own texts (standard buttons, file dialogs, context menus) in the
// program's language, German.
#include <QString>

namespace vt {

// Installs Qt's German translations from the folder (Qt's translations folder
// when empty); where they are missing, those of the default locale. Returns
// the language loaded ("de", say), empty when none was found and Qt's English
// texts stay. Calling it again replaces what an earlier call installed.
QString InstallQtTranslations(const QString &folder = QString());

} // namespace vt
