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

} // namespace

QString BccFileName(int number)
{
    return QStringLiteral("BCC") + PadLeft(QString::number(number), u'0', 3) + QStringLiteral(".bcc");
}

bool ForEachBccFileLine(const QString &list, const std::function<bool(const QString &line)> &take)
{
    QString line;
    int inLine = 0;
    for (qsizetype from = 0; from <= list.size();) {
        qsizetype to = list.indexOf(u';', from);
        if (to < 0)
            to = list.size();
        const QString entry = Trimmed(list.mid(from, to - from));
        from = to + 1;
        if (entry.isEmpty())
            continue;
        if (inLine > 0)
            line += QStringLiteral("; ");
        line += entry;
        if (++inLine == kAddressesPerBccFile) {
            if (!take(line))
                return false;
            line.clear();
            inLine = 0;
        }
    }
    return inLine == 0 || take(line);
}

bool WriteBccFiles(const QString &folder, const QString &list, int *files, QString *error)
{
    *files = 0;
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
    const bool written = ForEachBccFileLine(list, [&](const QString &line) {
        const QString name = BccFileName(int(names.size()) + 1);
        QFile f(staging.filePath(name));
        const QByteArray bytes = EncodeText(line + QStringLiteral("\r\n"), TextEncoding::Win1252);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush()) {
            *error = CannotWriteFileText(target + name);
            return false;
        }
        names.append(name);
        return true;
    });
    if (!written)
        return false;
    // Each new file takes the place of the old one of its name at once; old
    // files beyond the new ones go afterwards.
    for (const QString &name : names)
        if (::rename(QFile::encodeName(staging.filePath(name)).constData(),
                     QFile::encodeName(target + name).constData()) != 0) {
            *error = CannotWriteFileText(target + name);
            return false;
        }
    for (const QString &old : QDir(target).entryList({QStringLiteral("*.bcc")}, QDir::Files | QDir::Hidden))
        if (!names.contains(old))
            QFile::remove(target + old);
    *files = int(names.size());
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
