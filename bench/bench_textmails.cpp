// Personalised text mails over one SMTP connection to postfix's smtp-sink on
// loopback: personalisation, composition and hand-over of each mail, as a send
// run does them. Prints the rate and how far memory grew after warming up.
#include "personalize.h"
#include "smtpclient.h"
#include "smtpsink.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // bench_textmails [count] [--log]: --log writes the protocol log as a run does.
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const bool withLog = argc > 2 && qstrcmp(argv[2], "--log") == 0;
    SmtpSink sink;
    const QString problem = sink.start();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 2;
    }
    const quint16 port = sink.port();

    QTemporaryDir dir;
    const QString table = dir.path() + QStringLiteral("/Grussformel.txt");
    vt::WriteLines(table, {QStringLiteral("Herr|Sehr geehrter Herr"), QStringLiteral("Frau|Sehr geehrte Frau"),
                           QStringLiteral("{LEER}|Sehr geehrte Damen und Herren")});
    const QStringList fields{QStringLiteral("ID"),          QStringLiteral("Selected"), QStringLiteral("Invalid"),
                             QStringLiteral("LetztesMail"), QStringLiteral("Mail"),     QStringLiteral("Anrede"),
                             QStringLiteral("Betreff"),     QStringLiteral("Name"),     QStringLiteral("Vorname"),
                             QStringLiteral("Ort"),         QStringLiteral("Spalte1"),  QStringLiteral("Spalte2")};
    const vt::Personalizer personalizer(fields, table);
    const QString subjectTemplate = QStringLiteral("Unser Angebot für $ANREDE $NAME");
    QStringList bodyTemplate{QStringLiteral("$ANREDE $NAME,"), QString(),
                             QStringLiteral("wir freuen uns, Ihnen in $ORT unser neues Angebot vorzustellen.")};
    for (int i = 0; i < 20; ++i)
        bodyTemplate.append(
            QStringLiteral("Zeile %1 des Rundschreibens mit etwas Text, Grüßen und Umlauten: äöü.").arg(i));
    bodyTemplate << QStringLiteral("Ihr Kundenwert: $SPALTE1, Ihre Gruppe: $SPALTE2") << QString()
                 << QStringLiteral("Mit freundlichen Grüßen") << QStringLiteral("Ihr Team");

    vt::SmtpClient client;
    client.setServer(QStringLiteral("127.0.0.1"), port);
    client.setFromAddr(QStringLiteral("versand@example.com"));
    client.setFrom(QStringLiteral("Vantrel Versand"));
    client.setMailerIdentity(QStringLiteral("XMailer"));
    if (withLog)
        client.setLogFileName(dir.path() + QStringLiteral("/Logfile.txt"));

    long rssWarm = 0;
    QElapsedTimer timer;
    timer.start();
    qint64 warmMs = 0;
    const int warmup = qMin(1000, count / 5);
    for (int i = 0; i < count; ++i) {
        vt::MapRecipientValues record;
        record.set(QStringLiteral("Mail"), QStringLiteral("kunde%1@example.net").arg(i));
        record.set(QStringLiteral("Anrede"), i % 2 ? QStringLiteral("Herr") : QStringLiteral("Frau"));
        record.set(QStringLiteral("Name"), QStringLiteral("Muster%1").arg(i));
        record.set(QStringLiteral("Ort"), QStringLiteral("Köln"));
        record.set(QStringLiteral("Spalte1"), QString::number(i * 7));
        record.set(QStringLiteral("Spalte2"), QStringLiteral("B"));
        QString subject = subjectTemplate;
        QStringList body = bodyTemplate;
        if (!personalizer.PersonalizeTextMail(record, subject, body)) {
            std::fprintf(stderr, "personalisation failed\n");
            return 1;
        }
        client.reset();
        client.addRecipient(record.value(QStringLiteral("Mail")), record.value(QStringLiteral("Mail")));
        client.setSubject(subject);
        client.setBodyText(body.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        if (client.send() != 0) {
            std::fprintf(stderr, "mail %d failed: %s\n", i, qPrintable(client.lastErrorText()));
            return 1;
        }
        if (i + 1 == warmup) {
            rssWarm = ProcessMemoryKb();
            warmMs = timer.elapsed();
        }
    }
    const qint64 totalMs = timer.elapsed();
    const long rssEnd = ProcessMemoryKb();
    client.disconnectFromServer();

    const double measuredMs = double(totalMs - warmMs);
    std::printf("text_mails: %d mails%s\n", count, withLog ? " (with protocol log)" : "");
    std::printf("text_mails_per_second: %.0f mails/s\n", (count - warmup) * 1000.0 / qMax(1.0, measuredMs));
    std::printf("text_mails_rss_growth_after_warmup: %ld kB\n", rssEnd - rssWarm);
    return 0;
}
