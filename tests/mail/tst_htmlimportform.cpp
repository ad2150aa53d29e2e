// The HTML import window driven by its controls: choosing the page, the text and
// the attachments, saving and loading projects, and "Weiter": a designed page with
// its pictures, style sheet and a PDF becomes a mail that Python's e-mail package
// reads back, that the start wizard's way hands to the serial e-mail window, and
// that goes out to aiosmtpd on loopback after a text run.
#include "children.h"
#include "clock.h"
#include "filedialogrecorder.h"
#include "htmlfilepreview.h"
#include "htmlimport.h"
#include "htmlimportform.h"
#include "mailerfixture.h"
#include "messagerecorder.h"
#include "mimeoracle.h"
#include "modal.h"
#include "newwizform.h"
#include "optionpanel.h"
#include "productinfo.h"
#include "smtpserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>

using namespace vt;

namespace {

struct CountingMainWindow : FakeMainWindow
{
    int starts = 0;
    void StartMailer() override
    {
        ++starts;
        FakeMainWindow::StartMailer();
    }
};

// The window as the program shows it, with the program around it.
struct ImportWindow
{
    MailerProgram program;
    CountingMainWindow ops;
    THTMLImportForm form;

    ImportWindow()
    {
        MainState().Ops = &ops;
        form.FormCreate();
        form.show();
    }
    ~ImportWindow()
    {
        TMailerForm *w = MailerForm();
        w->CanCloseFlag = true;
        w->close();
        MainState().Ops = nullptr;
        HtmlImportChoice() = {};
    }
    template <class T = QPushButton> T *w(const char *name) { return child<T>(&form, name); }
    void press(const char *button) { w(button)->click(); }
    QStringList attachments()
    {
        QStringList out;
        for (int i = 0; i < w<QListWidget>("ListBox1")->count(); ++i)
            out.append(w<QListWidget>("ListBox1")->item(i)->text());
        return out;
    }
};

QString sha256(const QByteArray &b)
{
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex());
}

const QByteArray kGif = QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000002c000000000100010000"
                                            "02024401003b");

// A newsletter as a designer delivers it: the page in Windows-1252 with a style
// sheet, a picture beside it and one in a sub-folder, a remote banner.
QString writeNewsletter(const TestFolder &dir)
{
    dir.write("news/logo.png", FileBytes(MailTestData("bild.png")));
    dir.write("news/bilder/linie.gif", kGif);
    dir.write("news/css/news.css", "h1 { color: #036; }\n.k { background: url(../bilder/linie.gif) repeat-x; }\n");
    dir.write("news/index.html",
              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
              "<link rel=\"stylesheet\" type=\"text/css\" href=\"css/news.css\"></head>\r\n<body>"
              "<img src=\"https://www.example.com/banner.png\" alt=\"Banner\">\r\n"
              "<h1>Neuigkeiten f\xFCr $NAME</h1><p class=\"k\">$ANREDE $NAME, sch\xF6ne Gr\xFC\xDF"
              "e!</p>\r\n<img src=\"logo.png\"><img src=\"bilder/linie.gif\"></body></html>\r\n");
    return dir.file("news/index.html");
}

// Each "cid:" reference of the HTML part names a part of the message, and every
// embedded part is referred to.
void checkReferencesResolve(const MimeView &v)
{
    const QString html = v.part("text/html").value("text").toString();
    QSet<QString> ids;
    for (const QJsonValue &part : v.parts())
        if (!part.toObject().value("content_id").toString().isEmpty())
            ids.insert(part.toObject().value("content_id").toString().mid(1).chopped(1));
    QSet<QString> used;
    static const QRegularExpression cid("cid:([^\"')\\s>]+)");
    for (QRegularExpressionMatchIterator it = cid.globalMatch(html); it.hasNext();)
        used.insert(it.next().captured(1));
    QCOMPARE(ids.size(), 2);
    QCOMPARE(used, ids);
}

} // namespace

class TestHtmlImportForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString missing = MissingProgram("/usr/bin/python3", "python3");
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void choosingFiles()
    {
        ImportWindow t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        QVERIFY(t.w<QRadioButton>("RadioButton1")->isChecked());
        QVERIFY(!t.w("WeiterBitBtn")->isEnabled());
        QVERIFY(!t.w("BitBtn3")->isEnabled());
        QCOMPARE(t.w<QLineEdit>("Edit2")->text(), "Meine neue Serien-E-Mail");
        QCOMPARE(t.form.windowTitle(), "HTML Datei importieren");

        // The page and its preview; a cancelled dialog changes nothing.
        const QString page = writeNewsletter(t.program.dir);
        files.answer("");
        t.press("BitBtn1");
        QVERIFY(t.w<QLineEdit>("Edit1")->text().isEmpty());
        QVERIFY(!t.w("WeiterBitBtn")->isEnabled());
        files.answer(page);
        t.press("BitBtn1");
        QCOMPARE(files.requests.last().section('|', 3), "HTML Dateien (*.html *.htm)");
        QCOMPARE(t.w<QLineEdit>("Edit1")->text(), page);
        QVERIFY(t.w("WeiterBitBtn")->isEnabled());
        QVERIFY(t.w<QTextBrowser>("WebBrowser1")->toPlainText().contains("schöne Grüße"));
        files.answer("");
        t.press("BitBtn1");
        QCOMPARE(t.w<QLineEdit>("Edit1")->text(), page);

        // The text file: one that exists, one that does not, a cancel.
        t.program.dir.write("text.txt", "Text");
        files.answer(t.program.dir.file("text.txt"));
        t.press("BitBtn5");
        QCOMPARE(t.w<QLineEdit>("TextOnlyEdit")->text(), t.program.dir.file("text.txt"));
        QCOMPARE(files.requests.last().section('|', 3), "Text Dateien (*.txt)");
        files.answer("");
        t.press("BitBtn5");
        QCOMPARE(t.w<QLineEdit>("TextOnlyEdit")->text(), t.program.dir.file("text.txt"));
        files.answer(t.program.dir.file("weg.txt"));
        t.press("BitBtn5");
        QVERIFY(t.w<QLineEdit>("TextOnlyEdit")->text().isEmpty());

        // Attachments: a file chosen twice in one go is added once, with one warning.
        const QString a = t.program.dir.file("a.pdf"), b = t.program.dir.file("b.zip");
        files.answer(QStringList{a, a, b});
        t.press("BitBtn2");
        QVERIFY(boxes.takeExpected(MsgKind::Warning, "Die Datei " + a + " ist bereits hinzugefügt!"));
        QCOMPARE(t.attachments(), (QStringList{a, b}));
        QVERIFY(files.requests.last().startsWith("opens|"));
        QVERIFY(files.requests.last().section('|', 3).startsWith("Dokumente (*.xls *.ppt *.pps *.doc"));
        QVERIFY(files.requests.last().section('|', 3).endsWith(";;Archive (*.zip *.rar *.ace *.tgz *.tar.gz)"));
        QVERIFY(t.w("BitBtn3")->isEnabled());
        // Removing: nothing without a selection, then the selected entry.
        t.w<QListWidget>("ListBox1")->clearSelection();
        t.press("BitBtn3");
        QCOMPARE(t.attachments().size(), 2);
        for (int left : {1, 0}) {
            t.w<QListWidget>("ListBox1")->setCurrentRow(0);
            t.press("BitBtn3");
            QCOMPARE(t.attachments().size(), left);
        }
        QCOMPARE(t.w("BitBtn3")->isEnabled(), false);

        t.press("BitBtn4");
        const MessageRecorder::Box hint = boxes.take();
        QCOMPARE(hint.kind, MsgKind::Information);
        QVERIFY(hint.text.startsWith("Grundsätzlich können mit Vantrel beliebige HTML-Dateien als Newsletter "
                                     "versendet werden, das\nProgramm selbst"));
        QVERIFY(hint.text.endsWith("Editor erstellt werden, um  HTML Darstellungsfehler beim Empfänger zu vermeiden."));
        QCOMPARE(hint.text.count('\n'), 8);
    }

    // The preview shows the page with its own pictures and style sheets, and reads
    // nothing outside its folder tree.
    void previewShowsThePagesTreeOnly()
    {
        TestFolder dir;
        const QByteArray picture = FileBytes(MailTestData("bild.png"));
        dir.write("geheim.png", picture);
        dir.write("news/bilder/logo.png", picture);
        dir.write("news/css/seite.css", "h1 { color: #a04000 }");
        QVERIFY(QFile::link(dir.file("geheim.png"), dir.file("news/bilder/link.png")));
        const QStringList outside{"../geheim.png", dir.file("geheim.png"),
                                  QUrl::fromLocalFile(dir.file("geheim.png")).toString(), "bilder/link.png",
                                  "/dev/zero"};
        QString page = "<link rel=stylesheet href=\"css/seite.css\"><h1>Seite</h1><img src=\"Bilder/LOGO.png\">";
        for (const QString &o : outside)
            page += "<img src=\"" + o + "\">";
        dir.write("news/seite.html", page.toUtf8());
        HtmlFilePreview preview;
        preview.showFile(dir.file("news/seite.html"));
        QCOMPARE(preview.toPlainText().left(5), "Seite");
        QTextCursor heading(preview.document());
        heading.movePosition(QTextCursor::NextCharacter);
        QCOMPARE(heading.charFormat().foreground().color(), QColor("#a04000"));

        // What each picture of the document loads as.
        const auto pictures = [&preview] {
            QStringList out;
            for (QTextBlock b = preview.document()->begin(); b.isValid(); b = b.next())
                for (auto f = b.begin(); !f.atEnd(); ++f) {
                    if (!f.fragment().charFormat().isImageFormat())
                        continue;
                    const QUrl name(f.fragment().charFormat().toImageFormat().name());
                    const QVariant r = preview.document()->resource(QTextDocument::ImageResource, name);
                    const QSize size = r.typeId() == QMetaType::QPixmap  ? r.value<QPixmap>().size()
                                       : r.typeId() == QMetaType::QImage ? r.value<QImage>().size()
                                                                         : QSize();
                    out.append(name.scheme() + " " + (size.isValid() ? "shown" : "nothing"));
                }
            return out;
        };
        QStringList expected{"cid shown"};
        for (qsizetype i = 0; i < outside.size(); ++i)
            expected.append(i == 2 ? "file nothing" : " nothing");
        QCOMPARE(pictures(), expected);

        preview.showFile(dir.file("news/weg.html"));
        QVERIFY(preview.toPlainText().isEmpty());
    }

    void projectSavedAndLoaded()
    {
        ImportWindow t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        Clock::setFixed(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
        const TestFolder &dir = t.program.dir;
        const QString page = writeNewsletter(dir);
        QStringList attachments;
        for (const char *name : {"preise.pdf", "liste.csv", "alt.zip"}) {
            dir.write(name, "x");
            attachments.append(dir.file(name));
        }
        dir.write("text.txt", "Text");
        files.answer(page);
        t.press("BitBtn1");
        t.w<QRadioButton>("RadioButton2")->click();
        QVERIFY(!t.w<QRadioButton>("RadioButton1")->isChecked());
        t.w<QLineEdit>("TextOnlyEdit")->setText(dir.file("text.txt"));
        t.w<QLineEdit>("Edit2")->setText("Sommerfest");
        files.answer(attachments);
        t.press("BitBtn2");

        // The first save proposes a name of today beside the page.
        files.answer(dir.file("projekt"));
        t.press("SaveProjectBtn");
        QCOMPARE(files.requests.last(), "saveu|Projekt speichern|" + dir.file("news/Newsletter_05.03.2024.vtp") +
                                            "|Vantrel Projekt Datei (*.vtp)");
        Clock::setFixed({});
        QVERIFY(QFileInfo::exists(dir.file("projekt.vtp")));
        QVERIFY(!QFileInfo::exists(dir.file("projekt")));

        // The name with its suffix is what the question is about; No keeps the file.
        const TProductInfo before = ProductInfo();
        TProductInfo product = before;
        product.DisplayName = "Vantrel Professional";
        SetProductInfo(product);
        t.w<QLineEdit>("Edit2")->setText("Anders");
        files.answer(dir.file("projekt"));
        boxes.answer(MsgButton::No);
        t.press("SaveProjectBtn");
        QVERIFY(files.requests.last().startsWith("saveu|Projekt speichern|" + dir.file("projekt") + "|"));
        // The box carries the product's name as its title.
        QCOMPARE(boxes.boxes().value(0).title, QStringLiteral("Vantrel Professional"));
        SetProductInfo(before);
        QVERIFY(boxes.takeExpected(MsgKind::Question, "Datei besteht bereits, wollen Sie diese überschreiben?"));
        QCOMPARE(LoadHtmlImportProject(dir.file("projekt.vtp"))->subject, "Sommerfest");

        // Loading after files went: each named, the window without them.
        QFile::remove(page);
        QFile::remove(dir.file("text.txt"));
        QFile::remove(attachments.at(1));
        t.w<QLineEdit>("Edit2")->setText("Anders");
        t.w<QRadioButton>("RadioButton1")->click();
        files.answer(dir.file("projekt.vtp"));
        t.press("LoadProjectBtn");
        QCOMPARE(files.requests.last().section('|', 3), "Vantrel Projekt Datei (*.vtp)");
        QVERIFY(boxes.takeExpected(MsgKind::Warning, "Achtung! Die HTML-Datei " + page +
                                                         " exisitiert nicht mehr und wird jetzt aus dem Projekt "
                                                         "entfernt!"));
        QVERIFY(boxes.takeExpected(MsgKind::Warning, "Achtung! Die alternative Textdatei " + dir.file("text.txt") +
                                                         " exisitiert nicht mehr und wird jetzt aus dem Projekt "
                                                         "entfernt!"));
        QVERIFY(boxes.takeExpected(MsgKind::Warning, "Achtung! Die als Anlage angegebene Datei " + attachments.at(1) +
                                                         " existiert nicht mehr!"));
        QVERIFY(t.w<QLineEdit>("Edit1")->text().isEmpty());
        QVERIFY(!t.w("WeiterBitBtn")->isEnabled());
        QVERIFY(t.w<QTextBrowser>("WebBrowser1")->toPlainText().isEmpty());
        QVERIFY(t.w<QLineEdit>("TextOnlyEdit")->text().isEmpty());
        QVERIFY(t.w<QRadioButton>("RadioButton2")->isChecked());
        QVERIFY(!t.w<QRadioButton>("RadioButton1")->isChecked());
        QCOMPARE(t.w<QLineEdit>("Edit2")->text(), "Sommerfest");
        QCOMPARE(t.attachments(), (QStringList{attachments.at(0), attachments.at(2)}));
        QVERIFY(t.w("BitBtn3")->isEnabled());

        // Saved again (Yes to the question) and loaded: no warning, the page back in the preview.
        writeNewsletter(dir);
        files.answer(page);
        t.press("BitBtn1");
        files.answer(dir.file("projekt.vtp"));
        boxes.answer(MsgButton::Yes);
        t.press("SaveProjectBtn");
        QVERIFY(boxes.takeExpected(MsgKind::Question, "Datei besteht bereits, wollen Sie diese überschreiben?"));
        t.form.FormCreate();
        files.answer(dir.file("projekt.vtp"));
        t.press("LoadProjectBtn");
        QVERIFY(boxes.isEmpty());
        QCOMPARE(t.w<QLineEdit>("Edit1")->text(), page);
        QVERIFY(t.w("WeiterBitBtn")->isEnabled());
        QVERIFY(t.w<QTextBrowser>("WebBrowser1")->toPlainText().contains("Neuigkeiten für $NAME"));

        // A file that is no project changes nothing.
        dir.write("kaputt.vtp", QByteArray("\x00\x01\x02[x", 5));
        files.answer(dir.file("kaputt.vtp"));
        t.press("LoadProjectBtn");
        QVERIFY(boxes.takeExpected(MsgKind::Plain, "Fehler! Datei ist nicht lesbar"));
        QCOMPARE(t.w<QLineEdit>("Edit1")->text(), page);
        QCOMPARE(t.attachments().size(), 2);
    }

    void weiterAfterATextRun()
    {
        ImportWindow t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        const TestFolder &dir = t.program.dir;
        SmtpServer::Options o;
        auto server = SmtpServer::startOrFail(o);
        QVERIFY(server);
        t.program.settings(server->port(), {{"CodeSet/Index", "3"}});
        WriteLines(dir.file("Data/AbsenderMails.ini"), {"versand@example.com <Versand Team>"});
        t.program.records({
            {{"Invalid", false}, {"Mail", "anna@example.net"}, {"Anrede", "Frau"}, {"Name", "Älm"}},
            {{"Invalid", false}, {"Mail", "bert@example.net"}, {"Anrede", "Herr"}, {"Name", "Berg"}},
        });

        // A text run first: its choice stays with the wizard.
        TMailerForm *mailer = MailerProgram::openTextMail("Nur Text");
        mailer->setBodyLines({"Hallo $NAME"});
        QVERIFY(MailerProgram::send(mailer));
        QCOMPARE(server->received().size(), 2);
        READ_BACK(text, server->received().at(0).data);
        QCOMPARE(text.structure(), "text/plain");
        QCOMPARE(text.subject(), "Nur Text");
        t.program.records({
            {{"Invalid", false}, {"Mail", "anna@example.net"}, {"Anrede", "Frau"}, {"Name", "Älm"}},
            {{"Invalid", false}, {"Mail", "bert@example.net"}, {"Anrede", "Herr"}, {"Name", "Berg"}},
        });

        // Then the wizard's HTML import.
        const QString page = writeNewsletter(dir);
        dir.write("Preisliste Mai.pdf", FileBytes(MailTestData("preise.pdf")));
        t.form.hide();
        TNewWizForm wizard;
        wizard.FormCreate();
        wizard.htmlImport = [&t] { Modal::exec(&t.form); };
        int shown = 0;
        Modal::setHandler([&](QDialog *d) {
            if (d != &t.form)
                return 0;
            ++shown;
            d->show();
            files.answer(page);
            t.press("BitBtn1");
            files.answer(QStringList{dir.file("Preisliste Mai.pdf")});
            t.press("BitBtn2");
            t.w<QLineEdit>("Edit2")->setText("Newsletter für $NAME");
            t.press("WeiterBitBtn");
            return d->result();
        });
        wizard.show();
        QTest::mouseClick(child<OptionPanel>(&wizard, "ImportMailPanel"), Qt::LeftButton, {}, QPoint(5, 5));
        child<QPushButton>(&wizard, "WeiterButton")->click();
        Modal::setHandler({});
        QCOMPARE(shown, 1);
        QCOMPARE(t.form.result(), int(QDialog::Accepted));
        QVERIFY(!t.form.isVisible());
        QVERIFY(boxes.isEmpty());
        QCOMPARE(t.ops.starts, 1);
        QVERIFY(HtmlImportChoice().HtmlImported);

        // The mail file, read by an independent reader.
        const QString out = ImportedMailPath();
        QCOMPARE(mailer->HtmlMailPath, out);
        READ_BACK(made, FileBytes(out));
        QCOMPARE(made.structure(), "multipart/mixed(multipart/related(text/html,image/gif,image/png),application/pdf)");
        QCOMPARE(made.subject(), "Newsletter für $NAME");
        checkReferencesResolve(made);
        QCOMPARE(made.part("application/pdf").value("filename").toString(), "Preisliste Mai.pdf");
        QCOMPARE(made.part("application/pdf").value("sha256").toString(),
                 sha256(FileBytes(MailTestData("preise.pdf"))));
        QCOMPARE(made.part("image/gif").value("sha256").toString(), sha256(kGif));
        const QString html = made.part("text/html").value("text").toString();
        QVERIFY(html.contains("<img src=\"https://www.example.com/banner.png\" alt=\"Banner\">"));
        QVERIFY(html.contains("<h1>Neuigkeiten für $NAME</h1>"));
        QVERIFY(html.contains("<style type=\"text/css\">\r\nh1 { color: #036; }"));

        // The serial e-mail window shows the HTML mail, and sends it.
        QVERIFY(mailer->isVisible());
        QCOMPARE(mailer->MailMode, 1);
        QTRY_COMPARE(child<QLineEdit>(mailer, "SubjectEdit")->text(), "Newsletter für $NAME");
        QVERIFY(child<QTextBrowser>(mailer, "WebBrowser1")->toPlainText().contains("schöne Grüße"));
        QVERIFY(MailerProgram::send(mailer));
        const QList<SmtpServer::Received> got = server->received();
        QCOMPARE(got.size(), 4);
        QCOMPARE(got.at(2).rcptTo, QStringList{"anna@example.net"});
        READ_BACK(sent, got.at(2).data);
        QCOMPARE(sent.subject(), "Newsletter für Älm");
        checkReferencesResolve(sent);
        QVERIFY(sent.part("text/html").value("text").toString().contains("Sehr geehrte Frau Älm, schöne Grüße!"));
        QCOMPARE(sent.part("application/pdf").value("sha256").toString(),
                 sha256(FileBytes(MailTestData("preise.pdf"))));
        // The end of the run ends the import's claim on the subject.
        QVERIFY(!HtmlImportChoice().HtmlImported);
        QVERIFY(boxes.isEmpty());
    }

    void weiterRefusals()
    {
        ImportWindow t;
        MessageRecorder boxes;
        FileDialogRecorder files;
        const TestFolder &dir = t.program.dir;
        dir.write("geheim.png", "geheim" + FileBytes(MailTestData("bild.png")));
        dir.write("news/seite.html", "<p>x</p><img src=\"../geheim.png\"><img src=\"fehlt.png\">");
        dir.write("news/a.pdf", "a");
        files.answer(dir.file("news/seite.html"));
        t.press("BitBtn1");
        files.answer(QStringList{dir.file("news/a.pdf"), dir.file("news/b.pdf")});
        t.press("BitBtn2");
        // The mail of an earlier import.
        const QByteArray before = "Subject: eine andere Mail\r\n\r\nx\r\n";
        QFile earlier(ImportedMailPath());
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(before) == before.size());
        earlier.close();

        // An attachment that is gone: No keeps the window and hands nothing over.
        boxes.answer(MsgButton::No);
        t.press("WeiterBitBtn");
        QVERIFY(boxes.takeExpected(MsgKind::Question, "Folgende Dateianhänge existieren nicht mehr:\n  " +
                                                          dir.file("news/b.pdf") +
                                                          "\n\nSoll die E-Mail ohne diese Dateianhänge erstellt "
                                                          "werden?"));
        QVERIFY(t.form.isVisible());
        QCOMPARE(t.ops.starts, 0);
        QVERIFY(!HtmlImportChoice().HtmlImported);
        QCOMPARE(FileBytes(ImportedMailPath()), before);

        // The page gone since it was chosen: a message, the window stays.
        QFile::rename(dir.file("news/seite.html"), dir.file("news/weg.html"));
        t.press("WeiterBitBtn");
        QVERIFY(boxes.takeExpected(MsgKind::Plain,
                                   "Die Datei " + dir.file("news/seite.html") + " kann nicht geöffnet werden!"));
        QVERIFY(t.form.isVisible());
        QCOMPARE(t.ops.starts, 0);
        QVERIFY(!HtmlImportChoice().HtmlImported);

        // Yes goes on without it; what the page may not take in is named.
        QFile::rename(dir.file("news/weg.html"), dir.file("news/seite.html"));
        boxes.answer(MsgButton::Yes);
        t.press("WeiterBitBtn");
        QVERIFY(boxes.take().kind == MsgKind::Question);
        QVERIFY(boxes.takeExpected(MsgKind::Warning,
                                   "Folgende Bilder und Stylesheets der HTML-Datei wurden nicht in die E-Mail "
                                   "eingebettet:\n\nAußerhalb des Ordners der HTML-Datei (aus Sicherheitsgründen "
                                   "nicht gelesen):\n  ../geheim.png\n\nNicht gefunden:\n  fehlt.png"));
        QCOMPARE(t.ops.starts, 1);
        QVERIFY(HtmlImportChoice().HtmlImported);
        READ_BACK(made, FileBytes(ImportedMailPath()));
        // The picture outside stays out: the page refers to it as before.
        QCOMPARE(made.structure(), "multipart/mixed(text/html,application/pdf)");
        QVERIFY(made.part("text/html").value("text").toString().contains("<img src=\"../geheim.png\">"));

        // Shown again and cancelled: no mail opened later takes this subject.
        MailerForm()->CanCloseFlag = true;
        MailerForm()->close();
        t.form.show();
        QVERIFY(!HtmlImportChoice().HtmlImported);
        HtmlImportChoice().HtmlImported = true;
        t.press("AbortBitBtn");
        QVERIFY(!t.form.isVisible());
        QVERIFY(!HtmlImportChoice().HtmlImported);
        QCOMPARE(t.ops.starts, 1);
    }
};

QTEST_MAIN(TestHtmlImportForm)
#include "tst_htmlimportform.moc"
