#include "mimeoracle.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>

QString MissingProgram(const QString &program, const QString &package)
{
    if (QFileInfo(program).isExecutable())
        return {};
    return QStringLiteral("%1 is missing: install the Debian package %2 (scripts/setup)").arg(program, package);
}

QStringList MimeView::defects() const
{
    QStringList out;
    for (const QJsonValue &v : json.value("defects").toArray())
        out.append(v.toString());
    return out;
}

QJsonObject MimeView::part(const QString &type, int nth) const
{
    for (const QJsonValue &v : parts()) {
        const QJsonObject p = v.toObject();
        if (p.value("type").toString() == type && nth-- == 0)
            return p;
    }
    return {};
}

QStringList MimeView::headers(const QString &name) const
{
    QStringList out;
    for (const QJsonValue &v : json.value("headers").toArray()) {
        const QJsonArray h = v.toArray();
        if (h.at(0).toString().compare(name, Qt::CaseInsensitive) == 0)
            out.append(h.at(1).toString());
    }
    return out;
}

QStringList MimeView::mailboxes(const QString &field) const
{
    QStringList out;
    for (const QJsonValue &v : json.value(field.toLower()).toArray()) {
        const QJsonArray a = v.toArray();
        out.append(a.at(0).toString() + " <" + a.at(1).toString() + ">");
    }
    return out;
}

MimeView ReadWithPython(const QByteArray &message)
{
    MimeView view;
    const QString python = QStringLiteral("/usr/bin/python3");
    view.error = MissingProgram(python, QStringLiteral("python3"));
    if (!view.error.isEmpty())
        return view;
    QTemporaryFile file;
    if (!file.open()) {
        view.error = QStringLiteral("cannot write a temporary file");
        return view;
    }
    file.write(message);
    file.flush();
    QProcess p;
    p.start(python, {TestFolder::resourcesDir() + QStringLiteral("../tests/support/mimecheck.py"), file.fileName()});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        view.error = QStringLiteral("mimecheck.py failed: ") + QString::fromUtf8(p.readAllStandardError());
        return view;
    }
    QJsonParseError parseError;
    view.json = QJsonDocument::fromJson(p.readAllStandardOutput(), &parseError).object();
    if (parseError.error != QJsonParseError::NoError)
        view.error = parseError.errorString();
    return view;
}

QString MailTestData(const QString &name)
{
    return QDir::cleanPath(TestFolder::resourcesDir() + QStringLiteral("../tests/mail/data/") + name);
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
