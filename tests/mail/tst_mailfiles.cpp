// Choosing mail files: Outlook message files converted by the real converter
// (from .msg files this test writes itself), conversion failures that must never
// fall back on an earlier conversion, work copies, the dialog filters and the
// sample mails of the documents work folder.
#include "mailfiles.h"
#include "mailmessage.h"
#include "msgconverter.h"
#include "msgfile.h"
#include "workfolder.h"
#include "testfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vt;

namespace {

QStringList conversions()
{
    return QDir(MailWorkFolder()).entryList({QStringLiteral("outlook_trans_*")}, QDir::Files);
}

// A converter of our own: a shell script with the given body.
QString fakeConverter(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(QStringLiteral("fakeconvert"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

} // namespace

class TestMailFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;

private slots:
    void init() { MsgConverter::setProgram({}); }

    void msgFilesAreKnownByTheirSuffixInAnyCase_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("msg");
        QTest::newRow("lower") << "/home/u/Brief.msg" << true;
        QTest::newRow("upper") << "/home/u/BRIEF.MSG" << true;
        QTest::newRow("mixed") << "/home/u/Brief.Msg" << true;
        QTest::newRow("in a folder name") << "/home/u/alt.msgs/Brief.eml" << false;
        QTest::newRow("before another suffix") << "/home/u/Brief.msg.eml" << false;
        QTest::newRow("no suffix") << "/home/u/msg" << false;
    }
    void msgFilesAreKnownByTheirSuffixInAnyCase()
    {
        QFETCH(QString, path);
        QTEST(IsMsgFile(path), "msg");
    }

    void convertsAnOutlookMessage()
    {
        QVERIFY2(MsgConverter::available(), "msgconvert is missing: install libemail-outlook-message-perl");
        const QString msg = m_work.filePath(QStringLiteral("Angebot.MSG"));
        QVERIFY2(MakeMsgFile(msg, QStringLiteral("Grüße aus Köln"), QStringLiteral("Hallo $NAME"),
                         QStringLiteral("<html><body><p>Hallo <b>$NAME</b></p></body></html>")),
                 "cannot write a .msg file: install perl and libole-storage-lite-perl");

        const TakenMail first = ConvertIfMsg(msg);
        QVERIFY2(first.ok, qPrintable(first.error));
        QVERIFY(first.path.startsWith(MailWorkFolder()));
        MailMessage mail;
        QVERIFY(mail.loadFile(first.path));
        QCOMPARE(mail.subject(), QStringLiteral("Grüße aus Köln"));
        QVERIFY(mail.htmlBody().contains(QStringLiteral("<b>$NAME</b>")));
        QCOMPARE(mail.textBody().trimmed(), QStringLiteral("Hallo $NAME"));

        // Each conversion is a file of its own: an earlier one is never overwritten.
        const TakenMail second = ConvertIfMsg(msg);
        QVERIFY(second.ok);
        QVERIFY(second.path != first.path);
        QVERIFY(QFile::exists(first.path));
    }

    void aFailedConversionIsReportedAndLeavesNoFile()
    {
        const QString bad = m_work.filePath(QStringLiteral("kaputt.msg"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no compound file at all");
        f.close();
        // A good conversion before the failure must not stand in for it.
        const QString good = m_work.filePath(QStringLiteral("gut.msg"));
        QVERIFY(MakeMsgFile(good, QStringLiteral("Alt"), QStringLiteral("alter Text"), {}));
        QVERIFY(ConvertIfMsg(good).ok);
        const QStringList before = conversions();

        const TakenMail failed = ConvertIfMsg(bad);
        QVERIFY(!failed.ok);
        QVERIFY(failed.path.isEmpty());
        QVERIFY2(failed.error.startsWith(QStringLiteral("Die Outlook-Datei ") + bad +
                                         QStringLiteral(" konnte nicht umgewandelt werden!\r")),
                 qPrintable(failed.error));
        QCOMPARE(conversions(), before);
    }

    void convertersThatLeaveNoUsableMail_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("reason");
        QTest::newRow("ends well, writes nothing") << QByteArray("exit 0")
                                                   << "Das Umwandlungsprogramm hat keine E-Mail geschrieben.";
        QTest::newRow("a mail without text")
            << QByteArray("printf 'Subject: leer\\r\\nContent-Type: text/plain\\r\\n\\r\\n   \\r\\n' > \"$2\"")
            << "Die umgewandelte E-Mail enthält keinen Text.";
        QTest::newRow("fails after writing half")
            << QByteArray("printf 'Subject: halb\\r\\n\\r\\nText\\r\\n' > \"$2\"; echo 'kaputt in Zeile 3' >&2; exit 2")
            << "kaputt in Zeile 3";
    }
    void convertersThatLeaveNoUsableMail()
    {
        QFETCH(QByteArray, script);
        QTemporaryDir dir;
        MsgConverter::setProgram(fakeConverter(dir, script));
        const QString msg = dir.filePath(QStringLiteral("x.msg"));
        QFile(msg).open(QIODevice::WriteOnly);
        const QStringList before = conversions();
        const MsgConversion c = MsgConverter::convert(msg);
        QVERIFY(!c.ok);
        QTEST(c.error.section(QLatin1Char('\r'), 1), "reason");
        QCOMPARE(conversions(), before);
    }

    void theConverterGetsOutputAndInputAsArguments()
    {
        QTemporaryDir dir;
        // Writes a mail naming its arguments, so the call can be checked.
        MsgConverter::setProgram(fakeConverter(
            dir, "[ \"$1\" = --outfile ] || exit 3; printf 'Subject: s\\r\\n\\r\\n%s\\r\\n' \"$3\" > \"$2\""));
        const QString msg = dir.filePath(QStringLiteral("mit Leerzeichen \"und\" Anführung.msg"));
        QFile(msg).open(QIODevice::WriteOnly);
        const MsgConversion c = MsgConverter::convert(msg);
        QVERIFY2(c.ok, qPrintable(c.error));
        MailMessage mail;
        QVERIFY(mail.loadFile(c.emlPath));
        QCOMPARE(mail.textBody().trimmed(), msg);
    }

    void withoutConverterNothingIsTaken()
    {
        MsgConverter::setProgram(QStringLiteral("/nonexistent/msgconvert"));
        QVERIFY(!MsgConverter::available());
        const TakenMail t = ConvertIfMsg(QStringLiteral("/home/u/a.msg"));
        QVERIFY(!t.ok);
        QCOMPARE(t.error, MsgConverter::missingText());
        // Other files need no converter.
        QVERIFY(ConvertIfMsg(QStringLiteral("/home/u/a.eml")).ok);
    }

    void workCopiesGetFreshRandomNames()
    {
        const QString source = m_work.filePath(QStringLiteral("a.eml"));
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Subject: x\r\n\r\nText\r\n");
        f.close();
        const TakenMail one = CopyToWorkFile(source, QStringLiteral(".html"));
        const TakenMail two = CopyToWorkFile(source, QStringLiteral(".html"));
        QVERIFY(one.ok && two.ok);
        QVERIFY(one.path != two.path);
        QCOMPARE(QFileInfo(one.path).dir().absolutePath() + QLatin1Char('/'), MailWorkFolder());
        QVERIFY(QFileInfo(one.path).fileName().contains(QRegularExpression(QStringLiteral("^[A-Za-z0-9]{10}\\.html$"))));
        QVERIFY(QFile::exists(one.path) && QFile::exists(two.path));
        QCOMPARE(QFile::permissions(QFileInfo(MailWorkFolder()).absoluteFilePath()) & QFileDevice::ReadOther,
                 QFileDevice::Permissions());

        const TakenMail gone = CopyToWorkFile(m_work.filePath(QStringLiteral("weg.eml")), QString());
        QVERIFY(!gone.ok);
        QCOMPARE(gone.error, QStringLiteral("Die Datei ") + m_work.filePath(QStringLiteral("weg.eml")) +
                                 QStringLiteral(" existiert nicht mehr!"));
    }

    void dialogFilters_data()
    {
        QTest::addColumn<QString>("pipe");
        QTest::addColumn<QString>("qt");
        QTest::newRow("one entry, closing semicolon") << "Outlook / EML Datei|*.msg;*.eml;"
                                                      << "Outlook / EML Datei (*.msg *.eml)";
        QTest::newRow("two entries") << "Text Mail|*.mail;|Text Dateien|*.txt"
                                     << "Text Mail (*.mail);;Text Dateien (*.txt)";
    }
    void dialogFilters()
    {
        QFETCH(QString, pipe);
        QTEST(DialogFilter(pipe), "qt");
    }

    void sampleMailsAreCopiedOnlyIntoAMissingWorkFolder()
    {
        TestFolder program(true);
        QDir(DocumentsWorkFolder()).removeRecursively();
        EnsureSampleMails(program.path());
        for (const QString &name : SampleMailNames()) {
            MailMessage sample;
            QVERIFY2(sample.loadFile(DocumentsWorkFolder() + name), qPrintable(name));
            QVERIFY(sample.htmlBody().contains(QStringLiteral("$NAME")));
        }
        // The user's changes to a sample survive: the folder exists now.
        QFile changed(DocumentsWorkFolder() + SampleMailNames().first());
        QVERIFY(changed.open(QIODevice::WriteOnly));
        changed.write("Subject: meins\r\n\r\nText\r\n");
        changed.close();
        EnsureSampleMails(program.path());
        QFile back(DocumentsWorkFolder() + SampleMailNames().first());
        QVERIFY(back.open(QIODevice::ReadOnly));
        QVERIFY(back.readAll().startsWith("Subject: meins"));

        // The dialogs start in the layout application's folder once it exists.
        QCOMPARE(MailDialogFolder(), DocumentsWorkFolder());
        QVERIFY(QDir().mkpath(LayoutFolder()));
        QCOMPARE(MailDialogFolder(), LayoutFolder());
        QDir(LayoutFolder()).removeRecursively();
    }
};

int main(int argc, char **argv)
{
    // The documents folder of a home of the test's own.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QCoreApplication app(argc, argv);
    TestMailFiles t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_mailfiles.moc"
