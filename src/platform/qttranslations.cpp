#include "qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vt {

QString InstallQtTranslations(const QString &folder)
{
    static QTranslator translator;
    QCoreApplication::removeTranslator(&translator);
    const QString dir = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    for (const QLocale &locale : {QLocale(QLocale::German, QLocale::Germany), QLocale()}) {
        if (translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(&translator);
            return translator.language();
        }
    }
    return {};
}

} // namespace vt
