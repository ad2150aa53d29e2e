#include "startup.h"

#include <QApplication>

namespace vt {

int RunApplication(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    return 0;
}

} // namespace vt
