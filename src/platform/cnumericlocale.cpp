// The C library formats and reads numbers after LC_NUMERIC, and the application
// object sets every locale category from the environment when it is made. Under
// de_DE.UTF-8 printf would then write "0,7" and strtod stop at a full stop, and
// the libraries that write files with them (libxlsxwriter's workbook XML, for
// one) would write files that no other program reads. Numbers keep the C form
// in the whole process; what the user sees is formatted by Qt, which does not
// look at this setting, and the other categories (characters, collation,
// messages) stay the user's.
#include <QCoreApplication>

#include <clocale>

namespace {

void KeepCNumericLocale()
{
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace

// Runs at the end of every QCoreApplication constructor, after Qt's own setlocale.
Q_COREAPP_STARTUP_FUNCTION(KeepCNumericLocale)
