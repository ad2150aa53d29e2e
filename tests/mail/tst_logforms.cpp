// The sent-log viewer and the list of rejected addresses: what they show, and
// saving and printing the list as it stands in the window.
#include "clock.h"
#include "filedialogrecorder.h"
#include "logforms.h"
#include "mailing.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "testfolder.h"
#include "textfile.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QTest>

using namespace vt;

class TestLogForms : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetPrinterProvider({}); }

    void sentLogViewer()
    {
        TestFolder dir;
        MainState().setAppFolder(dir.path());
        // Before any run the list is empty.
        LogForm()->setLines({"alt"});
        LogForm()->show();
        QVERIFY(LogForm()->lines().isEmpty());
        LogForm()->hide();
        QCOMPARE(LogForm()->windowTitle(), QStringLiteral("Zuletzt versendete Emails"));
        dir.write("Temp/Gesendete_Mails.log", "a@example.net\r\nb@example.net\r\n");
        LogForm()->show();
        QCOMPARE(LogForm()->lines(), (QStringList{"a@example.net", "b@example.net"}));
        LogForm()->hide();
    }

    void rejectedList()
    {
        SerialMailing().FailedList = {"3: kein-gültiger", "7:  x@y "};
        ErrorMailForm()->show();
        QCOMPARE(ErrorMailForm()->lines(), SerialMailing().FailedList);
        // Enter closes it.
        QWidget *focus = ErrorMailForm()->focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_Return);
        QVERIFY(!ErrorMailForm()->isVisible());
        QCOMPARE(ErrorMailForm()->result(), int(QDialog::Accepted));
        QCOMPARE(ErrorMailForm()->lines(), SerialMailing().FailedList);
        QCOMPARE(ErrorMailForm()->windowTitle(), QStringLiteral("ungültige E-Mail-Adressen"));
        SerialMailing().FailedList.clear();
    }

    void savesTheListAsEdited()
    {
        TestFolder dir;
        FileDialogRecorder files;
        MessageRecorder boxes;
        TListWindow *w = LogForm();
        w->setLines({"a@example.net", "geändert@example.net"});
        files.answer(dir.file("liste"));
        w->SpeichernBitBtnClick();
        QCOMPARE(files.requests.value(0), QStringLiteral("save|Speichern|untitled.txt|Textdatei (.txt) (*.txt)"));
        // The default extension is added; the sent log itself is not touched.
        QCOMPARE(dir.read("liste.txt"), QByteArray("a@example.net\r\nge\xe4ndert@example.net\r\n"));
        files.answer("/nonexistent-folder/liste.txt");
        w->SpeichernBitBtnClick();
        QVERIFY(boxes.takeExpected(MsgKind::Error,
                                   "Die Datei /nonexistent-folder/liste.txt kann nicht geschrieben werden!"));
        // A cancelled dialog writes nothing.
        files.answer("");
        w->SpeichernBitBtnClick();
    }

    void printLines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty list") << QStringList{};
        QTest::newRow("two lines") << QStringList{"1: a", "2: b"};
    }
    void printLines()
    {
        QFETCH(QStringList, lines);
        const QStringList printed = ListPrintLines(lines, QDate(2024, 3, 5));
        QCOMPARE(printed.mid(0, 3), (QStringList{"Vantrel: 05.03.2024", QString(77, '-'), " "}));
        QCOMPARE(printed.mid(3), lines);
    }

    void printing()
    {
        TestFolder dir;
        MessageRecorder boxes;
        TListWindow *w = ErrorMailForm();
        w->setLines({"1: a", "2: b"});
        // Without a printer the user is told, and nothing waits.
        SetPrinterProvider([] { return std::unique_ptr<QPrinter>(); });
        w->DruckenBitBtnClick();
        QVERIFY(boxes.takeExpected(MsgKind::Error, kNoPrinterText));
        const QString pdf = dir.file("liste.pdf");
        SetPrinterProvider([pdf] {
            auto p = std::make_unique<QPrinter>();
            p->setOutputFormat(QPrinter::PdfFormat);
            p->setOutputFileName(pdf);
            return p;
        });
        w->DruckenBitBtnClick();
        QVERIFY(dir.read("liste.pdf").startsWith("%PDF"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestLogForms test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logforms.moc"
