// "Vorlage öffnen" and "Vorschau" of the serial e-mail window and the preview
// window: each kind of mail file opened into the window, the personalised mail
// of each marked record, stepping through the marked records, and the grid left
// as it was however the preview is closed.
#include "children.h"
#include "filedialogrecorder.h"
#include "mailerfixture.h"
#include "mailfiles.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "modal.h"
#include "msgconverter.h"
#include "msgfile.h"
#include "previewform.h"
#include "workfolder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

using namespace vt;

namespace {

// Four recipients, the second one not marked.
struct Recipients
{
    MailerProgram p;
    QStringList ids;
    Recipients()
    {
        p.records({
            {{"Mail", "anna@example.net"}, {"Anrede", "Frau"}, {"Name", "Alm"}},
            {{"Mail", "bert@example.net"}, {"Anrede", "Herr"}, {"Name", "Busch"}},
            {{"Mail", "carl@example.net"}, {"Anrede", "Herr"}, {"Name", "Clausen"}},
            {{"Mail", "dora@example.net"}, {"Anrede", "Frau"}, {"Name", "Dorn"}},
        });
        ids = column(p.table(), "ID");
        p.table().updateFields(ids.at(1).toLongLong(), {{"Selected", false}});
        p.table().refresh();
    }
    ~Recipients()
    {
        PreviewForm()->close();
        TMailerForm *w = MailerForm();
        w->CanCloseFlag = true;
        w->close();
    }
    AddressTable &table() { return p.table(); }
};

template <class T> T *in(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

QString label()
{
    return in<QLabel>(PreviewForm(), "PreviewLabel")->text();
}

QString previewSubject()
{
    return in<QLineEdit>(PreviewForm(), "PreviewSubjectEdit")->text();
}

QString previewText()
{
    return in<QPlainTextEdit>(PreviewForm(), "PreviewMemo")->toPlainText();
}

QString browserText()
{
    return in<QTextBrowser>(PreviewForm(), "WebBrowser")->toPlainText();
}

void press(const char *name)
{
    in<QPushButton>(PreviewForm(), name)->click();
}

} // namespace

class TestMailerPreview : public QObject
{
    Q_OBJECT

private slots:
    void textPreviewStepsThroughTheMarkedRecords()
    {
        Recipients r;
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail("Angebot für $NAME");
        w->setBodyLines({"$ANREDE $NAME,", "bis bald"});
        w->AttachmentPath.clear();
        // The grid stands on the record that is not marked.
        r.table().gotoId(r.ids.at(1).toLongLong());
        const QString filterBefore = r.table().filterText();

        child<QPushButton>(w, "PreviewBitBtn")->click();
        TPreviewForm *preview = PreviewForm();
        QVERIFY(preview->isVisible());
        QVERIFY(r.table().isFiltered());
        QCOMPARE(r.table().recordCount(), 3);
        QCOMPARE(label(), "Vorschau Datensatz Nr: " + r.ids.at(0));
        QCOMPARE(previewSubject(), QStringLiteral("Angebot für Alm"));
        QCOMPARE(previewText(), QStringLiteral("Sehr geehrte Frau Alm,\nbis bald"));
        QVERIFY(in<QWidget>(preview, "PreviewMemo")->isVisible());
        QVERIFY(!in<QWidget>(preview, "BrowserPanel")->isVisible());
        // The window keeps the mail as typed; only its template path names the work copy.
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Angebot für $NAME"));
        QCOMPARE(w->bodyLines(), (QStringList{"$ANREDE $NAME,", "bis bald"}));
        QCOMPARE(w->TextTemplatePath, MailWorkFolder() + "temp.mail");
        QCOMPARE(ReadLines(MailWorkFolder() + "Preview.mail").at(1), QStringLiteral("Angebot für Alm"));

        const QList<QPair<const char *, QString>> steps = {
            {"NextButton", r.ids.at(2)},     {"NextButton", r.ids.at(3)},     {"NextButton", r.ids.at(3)},
            {"PreviousButton", r.ids.at(2)}, {"PreviousButton", r.ids.at(0)}, {"PreviousButton", r.ids.at(0)},
        };
        for (const auto &[button, id] : steps) {
            press(button);
            QCOMPARE(label(), "Vorschau Datensatz Nr: " + id);
        }
        press("NextButton");
        QCOMPARE(previewSubject(), QStringLiteral("Angebot für Clausen"));
        QCOMPARE(previewText(), QStringLiteral("Sehr geehrter Herr Clausen,\nbis bald"));

        // The close box puts the grid back as "Schliessen" does.
        QVERIFY(preview->close());
        QVERIFY(!r.table().isFiltered());
        QCOMPARE(r.table().filterText(), filterBefore);
        QCOMPARE(r.table().currentId(), r.ids.at(1).toLongLong());
    }

    void everyWayOfClosingPutsTheGridBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Schliessen") << "Schliessen";
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("hidden") << "hidden";
    }
    void everyWayOfClosingPutsTheGridBack()
    {
        QFETCH(QString, how);
        Recipients r;
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        // A filter the user had on stays his.
        QVERIFY(r.table().setFilterText("Name='D*'"));
        QVERIFY(r.table().setFiltered(true));
        QVERIFY(r.table().gotoId(r.ids.at(3).toLongLong()));
        child<QPushButton>(w, "PreviewBitBtn")->click();
        QCOMPARE(r.table().recordCount(), 3);
        press("PreviousButton");
        if (how == "Schliessen")
            press("Closebtn");
        else if (how == "Escape")
            QTest::keyClick(PreviewForm(), Qt::Key_Escape);
        else
            PreviewForm()->hide();
        QVERIFY(!PreviewForm()->isVisible());
        QVERIFY(r.table().isFiltered());
        QCOMPARE(r.table().filterText(), QStringLiteral("Name='D*'"));
        QCOMPARE(r.table().recordCount(), 1);
        QCOMPARE(r.table().currentId(), r.ids.at(3).toLongLong());
    }

    void htmlPreviewIsModalTheFirstTime()
    {
        Recipients r;
        MessageRecorder boxes;
        r.p.dir.write("news.eml", "Subject: News für $NAME\r\nMIME-Version: 1.0\r\n"
                                  "Content-Type: text/html; charset=utf-8\r\n\r\n<p>$ANREDE $NAME</p>\r\n");
        MailerProgram::chooseHtml(r.p.dir.file("news.eml"));
        TMailerForm *w = MailerProgram::open();
        QStringList seen;
        int modal = 0;
        Modal::setHandler([&](QDialog *d) {
            ++modal;
            [&] { QCOMPARE(d, static_cast<QDialog *>(PreviewForm())); }();
            d->show();
            seen.append(browserText().trimmed());
            press("NextButton");
            seen.append(browserText().trimmed());
            press("Closebtn");
            return 0;
        });
        child<QPushButton>(w, "PreviewBitBtn")->click();
        Modal::setHandler({});
        QCOMPARE(modal, 1);
        QCOMPARE(seen, (QStringList{"Sehr geehrte Frau Alm", "Sehr geehrter Herr Clausen"}));
        QVERIFY(!r.table().isFiltered());
        // The window's own mail is the template still.
        QVERIFY(w->HtmlBody.contains("$NAME"));
    }

    void noPreviewWithoutMarkedRecordsOrDuringARun()
    {
        Recipients r;
        MessageRecorder boxes;
        TMailerForm *w = MailerProgram::openTextMail();
        MainState().SendRunActive = true;
        w->PreviewBitBtnClick();
        QVERIFY(boxes.takeExpected(MsgKind::Information, TMainState::sendRunActiveText()));
        MainState().SendRunActive = false;
        r.table().updateWhere(Filter(), {{"Selected", false}});
        child<QPushButton>(w, "PreviewBitBtn")->click();
        QVERIFY(boxes.takeExpected(MsgKind::Information, "Keine Datensätze zum Versenden markiert!"));
        QVERIFY(!PreviewForm()->isVisible());
    }

    void openingATextTemplate()
    {
        Recipients r;
        MessageRecorder boxes;
        FileDialogRecorder files;
        TMailerForm *w = MailerProgram::openTextMail();
        const QString letters = MainState().LettersFolder;
        QDir().mkpath(letters);
        WriteLines(letters + "gruss.mail", {"[SUBJECT]", "Grüße", "[TEXT]", "Zeile 1", "[ATTACHEMENT]", ""});
        files.answer(QString());
        child<QPushButton>(w, "OpenButton")->click();
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("s")); // cancelled: nothing changes
        files.answer(letters + "gruss.mail");
        child<QPushButton>(w, "OpenButton")->click();
        QCOMPARE(files.requests.first(), "open|Öffnen|" + letters + "|Text Mail (*.mail)");
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Grüße"));
        QCOMPARE(w->bodyLines(), QStringList{"Zeile 1"});
        QCOMPARE(w->CurrentTemplateFile, letters + "gruss.mail");
    }

    void openingMailFiles()
    {
        QVERIFY2(MsgConverter::available(), "msgconvert is missing: install libemail-outlook-message-perl");
        Recipients r;
        MessageRecorder boxes;
        FileDialogRecorder files;
        QTemporaryDir dir;
        const QString msg = dir.filePath("Outlook.Msg");
        QVERIFY(MakeMsgFile(msg, "Aus Outlook", "", "<p>Outlook $NAME</p>"));
        MailerProgram::chooseHtml(MailTestData("related.eml"));
        TMailerForm *w = MailerProgram::open();
        const QString first = w->HtmlMailPath;

        // The same mail file twice gives two copies; earlier copies stay.
        QStringList copies;
        for (int i = 0; i < 2; ++i) {
            files.answer(MailTestData("alternative-lf.eml"));
            child<QPushButton>(w, "OpenButton")->click();
            copies.append(w->HtmlMailPath);
            QVERIFY(w->HtmlMailPath.startsWith(MailWorkFolder()) && w->HtmlMailPath.endsWith(".html"));
        }
        QVERIFY(copies.at(0) != copies.at(1) && QFile::exists(copies.at(0)));
        QVERIFY(files.requests.first().endsWith("|Outlook / Windows Mail Datei (*.msg *.eml)"));
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Einladung zum Sommerfest – € 5"));

        // An Outlook file, its suffix in any case, converted first.
        files.answer(msg);
        child<QPushButton>(w, "OpenButton")->click();
        QVERIFY(w->HtmlMailPath.endsWith(".msg"));
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Aus Outlook"));
        QVERIFY(w->HtmlBody.contains("Outlook $NAME"));

        // A file that holds no mail leaves the open mail as it is.
        const QString current = w->HtmlMailPath;
        r.p.dir.write("leer.eml", "");
        files.answer(r.p.dir.file("leer.eml"));
        child<QPushButton>(w, "OpenButton")->click();
        QCOMPARE(boxes.take().kind, MsgKind::Error);
        QCOMPARE(w->HtmlMailPath, current);
        QVERIFY(first != current);

        // A mail saved by a text editor with a byte-order mark would go out without
        // its fields: it is refused when opened.
        r.p.dir.write("bom.eml", "\xEF\xBB\xBFSubject: Neu\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n");
        files.answer(r.p.dir.file("bom.eml"));
        child<QPushButton>(w, "OpenButton")->click();
        const auto box = boxes.take();
        QCOMPARE(box.kind, MsgKind::Error);
        QCOMPARE(box.text, "Die Datei " + r.p.dir.file("bom.eml") +
                               " kann nicht als E-Mail gelesen werden!\nDie Datei beginnt mit einer "
                               "Byte-Order-Markierung (BOM). Speichern Sie sie ohne BOM.");
        QCOMPARE(w->HtmlMailPath, current);
        QCOMPARE(child<QLineEdit>(w, "SubjectEdit")->text(), QStringLiteral("Aus Outlook"));
    }

    void aLargeMailIsFlaggedWhenOpened()
    {
        Recipients r;
        MessageRecorder boxes;
        FileDialogRecorder files;
        // Big by its attachment, as newsletters are: about 600,000 bytes.
        QByteArray attachment = QByteArray(450000, 'a').toBase64();
        for (qsizetype i = 76; i < attachment.size(); i += 78)
            attachment.insert(i, "\r\n");
        const QByteArray big =
            "Subject: Gross\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
            "--b\r\nContent-Type: text/html\r\n\r\n<p>Gross</p>\r\n--b\r\n"
            "Content-Type: application/pdf; name=a.pdf\r\nContent-Disposition: attachment\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n" +
            attachment + "\r\n--b--\r\n";
        QVERIFY(big.size() > 500000 && big.size() < 1000000);
        r.p.dir.write("gross.eml", big);
        r.p.dir.write("klein.eml", "Subject: Klein\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n");
        MailerProgram::chooseHtml(r.p.dir.file("klein.eml"));
        TMailerForm *w = MailerProgram::open();
        files.answer(r.p.dir.file("gross.eml"));
        child<QPushButton>(w, "OpenButton")->click();
        QVERIFY(child<QLabel>(w, "AdvOfficeStatusBar1")
                    ->text()
                    .endsWith(" | ACHTUNG! Diese E-Mail ist für einen Newsletter sehr groß!"));
        // Coming back to the window measures against the higher limit.
        w->FormActivate();
        QVERIFY(!child<QLabel>(w, "AdvOfficeStatusBar1")->text().contains("ACHTUNG"));
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    TestMailerPreview t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_mailerpreview.moc"
