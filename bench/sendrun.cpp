// Send runs over a database of marked recipients to postfix's smtp-sink on
// loopback, through the same run the serial e-mail window starts (no pause
// between mails): first a personalised text run, then, with every record marked
// again, a personalised HTML run with click tracking. Each record is updated and
// committed as it goes and the sent log is written, as in the program.
// Before each run, a minimal client of the bench's own sends one message of the
// run (composed by the run itself for a probe record) as often, with the same
// exchange, to the same sink: its rate is the ceiling, and the run's share of it
// holds on any machine. Prints "name: value unit" lines; the peak memory last.
//
// bench_sendrun [recipients]   (10000 unless given)
#include "sendrun.h"
#include "addresstable.h"
#include "connection.h"
#include "definitionfiles.h"
#include "mailmessage.h"
#include "scriptedsubmission.h"
#include "smtpceiling.h"
#include "smtpclient.h"
#include "smtpsink.h"
#include "smtpsubmission.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include "benchfigures.h"

using namespace vt;

namespace {

// The shipped template's header and fixed fields, the optional fields, two user columns.
QStringList definitionLines()
{
    QStringList pro = ReadLines(QStringLiteral(VANTREL_RESOURCES_DIR "/Data/database.pro"));
    for (int k = 1; k <= 2; ++k)
        pro.append(UserColumnDefinitionLine(k, QStringLiteral("Spalte %1").arg(k)));
    return pro;
}

bool fillTable(AddressTable &table, int count)
{
    TableAppender a(table);
    const int selected = table.fieldIndex(QStringLiteral("Selected")),
              invalid = table.fieldIndex(QStringLiteral("Invalid")), mail = table.fieldIndex(QStringLiteral("Mail")),
              anrede = table.fieldIndex(QStringLiteral("Anrede")), name = table.fieldIndex(QStringLiteral("Name")),
              ort = table.fieldIndex(QStringLiteral("Ort")), s1 = table.fieldIndex(QStringLiteral("Spalte1")),
              s2 = table.fieldIndex(QStringLiteral("Spalte2"));
    for (int i = 0; i < count; ++i) {
        a.setValue(selected, true);
        a.setValue(invalid, false);
        a.setValue(mail, QStringLiteral("kunde%1@example.net").arg(i));
        a.setValue(anrede, i % 2 ? QStringLiteral("Herr") : QStringLiteral("Frau"));
        a.setValue(name, QStringLiteral("Muster%1").arg(i));
        a.setValue(ort, QStringLiteral("Köln"));
        a.setValue(s1, QString::number(i * 7));
        a.setValue(s2, QStringLiteral("B"));
        if (!a.append())
            return false;
    }
    return a.commit();
}

// A newsletter of about 9 kB of HTML with ten links, and its plain-text part.
bool writeHtmlMail(const QString &folder, const QString &path)
{
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Newsletter</title></head><body>\n"
                                  "<p>$ANREDE $NAME,</p>\n");
    for (int i = 0; i < 10; ++i)
        html += QStringLiteral("<h2>Angebot %1</h2>\n<p>Für unsere Kunden in $ORT: Grüße, Neuigkeiten und Preise "
                               "rund um unser Sortiment. Ihr Kundenwert: $SPALTE1, Gruppe $SPALTE2. Lorem ipsum "
                               "dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut "
                               "labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation "
                               "ullamco laboris.</p>\n<p><a href=\"https://www.example.com/angebot/%1?quelle=news&amp;"
                               "kunde=$SPALTE1\">Zum Angebot %1</a></p>\n")
                    .arg(i);
    html += QStringLiteral("<p>Mit freundlichen Grüßen<br>Ihr Team</p></body></html>\n");
    const QString htmlFile = folder + QStringLiteral("/newsletter.html");
    QString error;
    if (!WriteTextFile(htmlFile, html, {TextEncoding::Utf8}, &error))
        return false;
    std::optional<MailMessage> mail = MailMessage::fromHtmlFile(htmlFile, &error);
    if (!mail)
        return false;
    mail->setTextBody(QStringLiteral("$ANREDE $NAME,\n\nunser Newsletter für $ORT.\n"));
    mail->setSubject(QStringLiteral("Newsletter"));
    return mail->saveFile(path, &error);
}

struct Figures
{
    double mailsPerSecond = 0;
    double cpuMicrosPerMail = 0; // the process's own time (user and system) for each mail
    int sent = 0;
    double ceiling = 0;
};

bool runOnce(SendRun::Config config, SmtpSubmission &submission, Figures *out, QString *error)
{
    // A failure of the server ends the run: nobody is asked.
    SendRun run(config, &submission);
    QEventLoop loop;
    QObject::connect(&run, &SendRun::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = ProcessCpuSeconds();
    if (!run.start()) {
        *error = run.errorText();
        return false;
    }
    loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    if (run.outcome() != SendRun::Outcome::Completed || run.sentCount() != run.total()) {
        *error = QStringLiteral("the run ended after %1 of %2 mails: %3")
                     .arg(run.sentCount())
                     .arg(run.total())
                     .arg(run.errorText());
        return false;
    }
    out->sent = run.sentCount();
    out->mailsPerSecond = out->sent / qMax(1e-9, seconds);
    out->cpuMicrosPerMail = cpu * 1e6 / qMax(1, out->sent);
    return true;
}

// The message a run of this configuration composes for one probe record, as it
// goes after DATA: the run itself composes it, for a server in a script.
QByteArray probeMessage(SendRun::Config config, const QString &folder, QString *error)
{
    const QString path = folder + QStringLiteral("/Probe.DB");
    QFile::remove(path);
    const TableDefinition def = TableDefinitionFromLines(definitionLines());
    AddressTable probe;
    if (!AddressTable::create(path, def.fields, def.indexes, error) || !probe.open(path) || !fillTable(probe, 1)) {
        *error = QStringLiteral("probe table: ") + probe.lastError();
        return {};
    }
    config.table = &probe;
    config.sentLog.clear();
    ScriptedSubmission scripted;
    Figures ignored;
    if (!runOnce(config, scripted, &ignored, error) || scripted.messages.size() != 1)
        return {};
    return SmtpDataPayload(scripted.messages.first().data);
}

// The ceiling for the run's message: the minimal client on its own connection.
bool measureCeiling(const SendRun::Config &config, const QString &folder, quint16 port, int count, Figures *out,
                    QString *error)
{
    const QByteArray payload = probeMessage(config, folder, error);
    if (payload.isEmpty())
        return false;
    SmtpCeilingClient client;
    if (const QString problem = client.open(port); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    out->ceiling = client.run(config.senderAddress.toLatin1(), payload, count);
    if (out->ceiling <= 0)
        *error = QStringLiteral("the ceiling client failed");
    return out->ceiling > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    SmtpSink sink;
    if (const QString problem = sink.start(); !problem.isEmpty())
        return Fail("bench_sendrun", problem);

    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString tablePath = folder + QStringLiteral("/Bench.DB");
    const TableDefinition def = TableDefinitionFromLines(definitionLines());
    QString error;
    if (!def.ok() || !AddressTable::create(tablePath, def.fields, def.indexes, &error))
        return Fail("bench_sendrun", QStringLiteral("table not created: ") + def.error + error);
    AddressTable table;
    if (!table.open(tablePath) || !fillTable(table, count))
        return Fail("bench_sendrun", QStringLiteral("table not filled: ") + table.lastError());
    const QString salutations = folder + QStringLiteral("/Grussformel.txt");
    QFile::copy(QStringLiteral(VANTREL_RESOURCES_DIR "/Grussformel.txt"), salutations);
    const QString htmlMail = folder + QStringLiteral("/newsletter.eml");
    if (!writeHtmlMail(folder, htmlMail))
        return Fail("bench_sendrun", QStringLiteral("HTML mail not written"));

    // The connection as a run sets it up from the settings: plain SMTP, no authentication.
    ConnectionSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = QString::number(sink.port());
    SmtpClient client;
    ConfigureSmtpClient(client, settings);
    client.setLogFileName(folder + QStringLiteral("/Logfile.txt"));
    SmtpClientSubmission submission(client);

    SendRun::Config config;
    config.table = &table;
    config.salutationTable = salutations;
    config.sentLog = folder + QStringLiteral("/Gesendete_Mails.log");
    config.senderAddress = QStringLiteral("versand@example.com");
    config.senderName = QStringLiteral("Vantrel Versand");
    config.subject = QStringLiteral("Unser Angebot für $ANREDE $NAME");
    config.body = QStringList{QStringLiteral("$ANREDE $NAME,"), QString(),
                              QStringLiteral("wir freuen uns, Ihnen in $ORT unser neues Angebot vorzustellen.")};
    for (int i = 0; i < 20; ++i)
        config.body.append(
            QStringLiteral("Zeile %1 des Rundschreibens mit etwas Text, Grüßen und Umlauten: äöü.").arg(i));
    config.body << QStringLiteral("Ihr Kundenwert: $SPALTE1, Ihre Gruppe: $SPALTE2") << QString()
                << QStringLiteral("Mit freundlichen Grüßen") << QStringLiteral("Ihr Team");

    // VANTREL_BENCH_STEPS (names separated by commas: text, html) runs only those runs.
    const QStringList steps = qEnvironmentVariable("VANTREL_BENCH_STEPS").split(u',', Qt::SkipEmptyParts);
    std::printf("recipients: %d records\n", count);
    const long rssBefore = ProcessMemoryKb();
    for (const auto mode : {SendRun::Mode::Text, SendRun::Mode::Html}) {
        const char *name = mode == SendRun::Mode::Text ? "text" : "html";
        if (!steps.isEmpty() && !steps.contains(QLatin1String(name)))
            continue;
        config.mode = mode;
        if (mode == SendRun::Mode::Html) {
            config.htmlMailPath = htmlMail;
            config.html.tracking = true;
            config.html.statsUrl = QStringLiteral("https://www.example.com/stats/");
            config.html.mailingId = QStringLiteral("202401011200");
            config.html.trackingKey = QByteArray(64, 'a');
        }
        Figures f;
        if (!measureCeiling(config, folder, sink.port(), count, &f, &error))
            return Fail("bench_sendrun", QStringLiteral("%1 ceiling: %2").arg(QLatin1String(name), error));
        if (!runOnce(config, submission, &f, &error))
            return Fail("bench_sendrun", QStringLiteral("%1 run: %2").arg(QLatin1String(name), error));
        std::printf("%s_mails_per_s: %.0f mails/s\n", name, f.mailsPerSecond);
        std::printf("%s_ceiling_mails_per_s: %.0f mails/s\n", name, f.ceiling);
        std::printf("%s_ratio_to_ceiling: %.2f\n", name, f.mailsPerSecond / f.ceiling);
        std::printf("%s_run_cpu_per_mail: %.0f us\n", name, f.cpuMicrosPerMail);
        std::printf("rss_after_%s_run: %.1f MiB\n", name, ProcessMemoryKb() / 1024.0);
        // Every record is marked again for the next run.
        if (table.updateWhere(Filter(), {{QStringLiteral("Selected"), QVariant(true)}}) != count)
            return Fail("bench_sendrun", QStringLiteral("records not marked again: ") + table.lastError());
        QFile::remove(config.sentLog);
    }
    std::printf("rss_before_runs: %.1f MiB\n", rssBefore / 1024.0);
    std::printf("peak_rss: %.1f MiB\n", ProcessMemoryKb("VmHWM:") / 1024.0);
    return 0;
}
