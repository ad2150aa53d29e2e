#include "bccfiles.h"
#include "paths.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace vt {

namespace {

constexpr int kShownAddresses = 20;

QStringList entries(const QString &list, QChar separator)
{
    QStringList out;
    for (const QString &word : list.split(separator, Qt::SkipEmptyParts)) {
        const QString entry = Trimmed(word);
        if (!entry.isEmpty())
            out.append(entry);
    }
    return out;
}

} // namespace

QString BccFileName(int number)
{
    return QStringLiteral("BCC") + PadLeft(QString::number(number), u'0', 3) + QStringLiteral(".bcc");
}

QStringList BccFileLines(const QString &list)
{
    const QStringList all = entries(list, u';');
    QStringList lines;
    for (qsizetype i = 0; i < all.size(); i += kAddressesPerBccFile)
        lines.append(all.mid(i, kAddressesPerBccFile).join(QStringLiteral("; ")));
    return lines;
}

bool WriteBccFiles(const QString &folder, const QStringList &lines, QString *error)
{
    const QString target = WithTrailingSlash(folder);
    if (!EnsureFolder(target)) {
        *error = QStringLiteral("Der Ordner ") + target + QStringLiteral(" kann nicht angelegt werden!");
        return false;
    }
    // Written into a folder of their own beside the old files first, so that a
    // full disk or a missing right leaves the old ones as they were.
    QTemporaryDir staging(target + QStringLiteral(".bcc-XXXXXX"));
    if (!staging.isValid()) {
        *error = CannotWriteFileText(target + BccFileName(1));
        return false;
    }
    QStringList names;
    for (int n = 1; n <= lines.size(); ++n) {
        const QString name = BccFileName(n);
        QFile f(staging.filePath(name));
        const QByteArray bytes = EncodeText(lines.at(n - 1) + QStringLiteral("\r\n"), TextEncoding::Win1252);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush()) {
            *error = CannotWriteFileText(target + name);
            return false;
        }
        names.append(name);
    }
    // Each new file takes the place of the old one of its name at once; old
    // files beyond the new ones go afterwards.
    const QDir dir(target);
    for (const QString &name : names)
        if (::rename(QFile::encodeName(staging.filePath(name)).constData(),
                     QFile::encodeName(target + name).constData()) != 0) {
            *error = CannotWriteFileText(target + name);
            return false;
        }
    for (const QString &old : dir.entryList({QStringLiteral("*.bcc")}, QDir::Files | QDir::Hidden))
        if (!names.contains(old))
            QFile::remove(target + old);
    return true;
}

QString ClipboardCopiedText(const QString &list, const QString &separator)
{
    const QStringList all = list.split(separator);
    if (list.isEmpty() || all.size() <= kShownAddresses)
        return QStringLiteral("\"") + list + QStringLiteral("\" ins Clipbord kopiert!");
    return QStringLiteral("\"%1%2…\" ins Clipbord kopiert!\r(%3 Adressen)")
        .arg(all.mid(0, kShownAddresses).join(separator), separator)
        .arg(all.size());
}

} // namespace vt
