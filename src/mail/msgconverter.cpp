#include "msgconverter.h"
#include "inputblocker.h"
#include "mailmessage.h"
#include "mailfiles.h"
#include "text.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace vt {

namespace {

QString g_program;
constexpr int kConversionTimeoutMs = 120000;

QString failedText(const QString &msgPath, const QString &reason)
{
    QString text = QStringLiteral("Die Outlook-Datei ") + msgPath + QStringLiteral(" konnte nicht umgewandelt werden!");
    if (!reason.isEmpty())
        text += QStringLiteral("\r") + reason;
    return text;
}

// The converter's own complaint, short enough for a message box.
QString lastErrorLine(const QByteArray &stderrBytes)
{
    const QStringList lines = QString::fromLocal8Bit(stderrBytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString last = lines.isEmpty() ? QString() : Trimmed(lines.last());
    if (last.size() > 300)
        last = last.left(300) + QStringLiteral("...");
    return last;
}

} // namespace

bool IsMsgFile(const QString &path)
{
    return path.endsWith(QLatin1String(".msg"), Qt::CaseInsensitive);
}

QString MsgConverter::program()
{
    if (!g_program.isEmpty())
        return g_program;
    return QStandardPaths::findExecutable(QStringLiteral("msgconvert"));
}

void MsgConverter::setProgram(const QString &program)
{
    g_program = program;
}

bool MsgConverter::available()
{
    const QString p = program();
    return !p.isEmpty() && QFileInfo(p).isExecutable();
}

QString MsgConverter::missingText()
{
    return QStringLiteral("Zum Öffnen von Outlook-Dateien (.msg) wird das Programm \"msgconvert\" benötigt!\r"
                          "Bitte installieren Sie das Paket \"libemail-outlook-message-perl\".");
}

MsgConversion MsgConverter::convert(const QString &msgPath)
{
    MsgConversion result;
    if (!available()) {
        result.error = missingText();
        return result;
    }
    if (!QFileInfo(msgPath).isFile()) {
        result.error = failedText(msgPath, QStringLiteral("Die Datei existiert nicht."));
        return result;
    }

    const QString out = FreshWorkPath(QStringLiteral("outlook_trans_"), QStringLiteral(".eml"));
    if (out.isEmpty()) {
        result.error = failedText(msgPath, QStringLiteral("Der Arbeitsordner kann nicht angelegt werden."));
        return result;
    }
    QProcess process;
    process.setProgram(program());
    process.setArguments({QStringLiteral("--outfile"), out, msgPath});
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());

    bool timedOut = false;
    {
        // The window keeps repainting while the converter works, but no click can
        // start a second conversion meanwhile.
        InputBlocker blocker;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                loop.quit();
        });
        process.start();
        timer.start(kConversionTimeoutMs);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
    }

    auto fail = [&](const QString &reason) {
        QFile::remove(out);
        result.error = failedText(msgPath, reason);
        return result;
    };
    if (timedOut) {
        process.kill();
        process.waitForFinished(2000);
        return fail(QStringLiteral("Das Umwandlungsprogramm hat nicht geantwortet."));
    }
    if (process.error() == QProcess::FailedToStart)
        return fail(QStringLiteral("Das Umwandlungsprogramm konnte nicht gestartet werden."));
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return fail(lastErrorLine(process.readAllStandardError()));
    if (QFileInfo(out).size() <= 0)
        return fail(QStringLiteral("Das Umwandlungsprogramm hat keine E-Mail geschrieben."));

    // A mail without any text would go out empty to every recipient.
    MailMessage mail;
    QString loadError;
    if (!mail.loadFile(out, &loadError))
        return fail(loadError);
    if (Trimmed(mail.htmlBody()).isEmpty() && Trimmed(mail.textBody()).isEmpty())
        return fail(QStringLiteral("Die umgewandelte E-Mail enthält keinen Text."));

    result.ok = true;
    result.emlPath = out;
    return result;
}

} // namespace vt
