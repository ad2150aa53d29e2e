// The main window's tools for many records at once, run through its command
// table and driven through their dialogs by object name, on a small table that
// shows the edge cases: blank addresses, doubles that differ in case, blanks
// and umlauts, a quote in a value, an ID range past the end, filters with
// quotes and parentheses.
#include "bccfiles.h"
#include "deleteadresseswizardform.h"
#include "deletecolumnform.h"
#include "doidform.h"
#include "filter2form.h"
#include "filterform.h"
#include "forms.h"
#include "mainformfixture.h"
#include "modal.h"
#include "selectiveduplicateform.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace vt;

namespace {

// IDs 1 to 10. Marked: 2 and 10; invalid: 6 and 10.
const QList<FieldValues> kRecords = {
    {{"Mail", "anna@example.de"}, {"Name", "Zorn"}, {"Selected", false}, {"Invalid", false}},
    {{"Mail", "bert@example.de"}, {"Name", "Adler"}, {"Selected", true}, {"Invalid", false}},
    {{"Mail", "ANNA@Example.de "}, {"Name", "Albers"}, {"Selected", false}, {"Invalid", false}},
    {{"Name", "Leer"}, {"Selected", false}, {"Invalid", false}},
    {{"Name", "LEER"}, {"Selected", false}, {"Invalid", false}},
    {{"Mail", "müller@example.de"}, {"Firma", "Müller GmbH"}, {"Selected", false}, {"Invalid", true}},
    {{"Mail", "o'brien@example.de"}, {"Name", "O'Brien"}, {"Selected", false}, {"Invalid", false}},
    {{"Mail", "O'Brien@example.de"}, {"Name", "o'brien "}, {"Selected", false}, {"Invalid", false}},
    {{"Mail", "erik@example.de"}, {"Firma", "Beispiel gmbh & Co"}, {"Selected", false}, {"Invalid", false}},
    {{"Mail", "dora@example.de"}, {"Name", "Berg"}, {"Selected", true}, {"Invalid", true}}};

// Shows the dialog as its modal run would, lets the test work its controls,
// and returns how it was closed.
int drive(QDialog *d, const std::function<void(QDialog *)> &work)
{
    d->show();
    work(d);
    const int result = d->isVisible() ? int(QDialog::Rejected) : d->result();
    d->hide();
    return result;
}

template <class T> T *control(QDialog *d, const char *name)
{
    T *c = d->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no control %s in %s", name, qPrintable(d->objectName()));
    return c;
}

void click(QDialog *d, const char *button)
{
    QTest::mouseClick(control<QAbstractButton>(d, button), Qt::LeftButton);
}

void choose(QDialog *d, const char *box, const QString &entry)
{
    auto *b = control<QComboBox>(d, box);
    const int i = b->findText(entry);
    QVERIFY2(i >= 0, qPrintable(entry));
    b->setCurrentIndex(i);
}

void type(QDialog *d, const char *edit, const QString &text)
{
    control<QLineEdit>(d, edit)->setText(text);
}

// Drives the options of a duplicate removal.
void chooseOptions(QDialog *d, bool deleteAtOnce, int keep)
{
    click(d, deleteAtOnce ? "DeleteSofortRadioButton" : "ManuellDeleteRadioButton");
    QCOMPARE(control<QComboBox>(d, "ComboBox1")->isEnabled(), deleteAtOnce);
    control<QComboBox>(d, "ComboBox1")->setCurrentIndex(keep);
    click(d, "WeiterBitBtn");
}

struct Main : MainOnScreen
{
    Main() : MainOnScreen(kRecords)
    {
        QObject::connect(&state(), &TMainState::statusTextChanged, &context, [this](const QString &text) {
            if (!text.isEmpty())
                statusTexts.append(text);
        });
    }
    ~Main() { Modal::setHandler({}); }

    void run(const char *command) { form->commandAction(QLatin1String(command))->trigger(); }
    QList<qint64> ids(const Filter &where = {}) const
    {
        QList<qint64> out;
        for (qint64 id : table()->ids(where))
            out.append(id);
        std::sort(out.begin(), out.end());
        return out;
    }
    QList<qint64> marked() const { return ids(IsTrue("Selected")); }
    QList<qint64> invalid() const { return ids(IsTrue("Invalid")); }
    QString text(qint64 id, const char *field) const
    {
        const int f = table()->fieldIndex(field);
        return NaturalToText(table()->field(f), table()->readRecord(id)->at(f));
    }
    QToolButton *filterButton() const { return child<QToolButton>("FilterBtn"); }
    QString statusBar() const { return child<QLabel>("StatusBar1Text")->text(); }
    // The status texts shown since the last call, and none shown any more.
    QStringList takeStatusTexts()
    {
        [&] { QCOMPARE(statusBar(), QString()); }();
        return std::exchange(statusTexts, {});
    }
    QObject context;
    QStringList statusTexts;

    void expect(MsgKind kind, const QString &text)
    {
        const MessageRecorder::Box b = boxes.take();
        QCOMPARE(b.text, text);
        QCOMPARE(toString(b.kind), toString(kind));
    }
};

} // namespace

class TestRecordCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }
    // Each test meets the dialogs as made at start.
    void init()
    {
        delete DoIDForm();
        delete FilterForm();
        delete Filter2Form();
        delete DeleteAdressesWizardForm();
        delete DeleteColumnForm();
        delete SelectiveDuplicateForm();
    }

    void markingAndUnmarkingAll_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::addColumn<QStringList>("status");
        const QList<qint64> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("mark") << "SelectAllTB"
                              << "Alle markierten Datensätze markieren?" << true << all
                              << QStringList{"Alle Datensätze werden markiert"};
        QTest::newRow("mark, no") << "SelectAllTB"
                                  << "Alle markierten Datensätze markieren?" << false << QList<qint64>{2, 10}
                                  << QStringList{};
        QTest::newRow("unmark") << "UnselectAllTB"
                                << "Alle markierten Datensätze unmarkieren?" << true << QList<qint64>{}
                                << QStringList{"Alle Datensätze werden unmarkiert"};
    }
    void markingAndUnmarkingAll()
    {
        QFETCH(QString, command);
        QFETCH(QString, question);
        QFETCH(bool, yes);
        QFETCH(QList<qint64>, marked);
        QFETCH(QStringList, status);
        Main m;
        // A filter shows part of the table: the hidden records change too, and the filter stays.
        QVERIFY(m.table()->setFilterText("Name='A*'") && m.table()->setFiltered(true));
        m.table()->last();
        const qint64 id = m.table()->currentId();
        m.boxes.answer(yes ? MsgButton::Yes : MsgButton::No);
        m.run(qPrintable(command));
        m.expect(MsgKind::Question, question);
        QCOMPARE(m.marked(), marked);
        QVERIFY(m.table()->isFiltered());
        QCOMPARE(m.table()->currentId(), id);
        QCOMPARE(m.grid()->model()->rowCount(), 2);
        QCOMPARE(m.takeStatusTexts(), status);
    }

    void markingAnIdRange_data()
    {
        QTest::addColumn<bool>("unmarkFirst");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::addColumn<QStringList>("status");
        const QString unmarking = "Alle Datensätze unmarkieren...";
        QTest::newRow("5 to 7") << false << "5"
                                << "7" << QList<qint64>{2, 5, 6, 7, 10}
                                << QStringList{"Noch zu markieren: 0 aus 10 Datensätzen"};
        QTest::newRow("5 to 7, unmarked first")
            << true << " 5"
            << "7 " << QList<qint64>{5, 6, 7} << QStringList{unmarking, "Noch zu markieren: 0 aus 10 Datensätzen"};
        // Three of the thirteen IDs are there.
        QTest::newRow("past the end") << true << "8"
                                      << "20" << QList<qint64>{8, 9, 10}
                                      << QStringList{unmarking, "Noch zu markieren: 10 aus 10 Datensätzen"};
        QTest::newRow("start after end") << false << "7"
                                         << "5" << QList<qint64>{2, 10} << QStringList{};
    }
    void markingAnIdRange()
    {
        QFETCH(bool, unmarkFirst);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QList<qint64>, marked);
        QFETCH(QStringList, status);
        Main m;
        // The grid sorted by a column and filtered: the range is marked by ID over the whole table.
        m.clickTitle("Name");
        QVERIFY(m.table()->setFilterText("Name='Z*'") && m.table()->setFiltered(true));
        m.boxes.answer(unmarkFirst ? MsgButton::Yes : MsgButton::No);
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Markieren von ID bis ID"));
                QCOMPARE(control<QLabel>(d, "DoLabel")->text(), QStringLiteral("Markieren"));
                type(d, "MaskEdit1", start);
                type(d, "MaskEdit2", end);
                click(d, "BitBtn1");
            });
        });
        m.run("MarkierenvonIDbisID1");
        m.expect(MsgKind::Question,
                 "Es sind bereits Datensätze markiert, möchten Sie zuvor alle Datensätze unmarkieren?");
        QCOMPARE(m.marked(), marked);
        QVERIFY(!m.table()->isFiltered());
        QVERIFY(m.table()->indexName().isEmpty());
        QCOMPARE(m.table()->row(), 0);
        QCOMPARE(m.takeStatusTexts(), status);
    }

    void theIdRangeDialogRefusesWhatIsNoId()
    {
        Main m;
        m.table()->updateWhere({}, {{"Selected", false}});
        int shown = 0;
        Modal::setHandler([&](QDialog *d) {
            if (++shown == 2)
                m.expect(MsgKind::Question,
                         "Es sind bereits Datensätze markiert, möchten Sie zuvor alle Datensätze unmarkieren?");
            return drive(d, [&](QDialog *d) {
                // The edits keep the texts of the last use.
                QCOMPARE(control<QLineEdit>(d, "MaskEdit1")->text(), QString(shown == 1 ? "" : "3"));
                for (const QString &bad : {QString(), QStringLiteral("99999999999")}) {
                    type(d, "MaskEdit1", "3");
                    type(d, "MaskEdit2", bad);
                    click(d, "BitBtn1");
                    QVERIFY(d->isVisible());
                    m.expect(MsgKind::Information,
                             "Bitte geben Sie als Start ID und End ID ganze Zahlen von 0 bis 2147483647 ein!");
                }
                // Letters do not get in at all.
                control<QLineEdit>(d, "MaskEdit2")->clear();
                QTest::keyClicks(control<QLineEdit>(d, "MaskEdit2"), "x4");
                QCOMPARE(control<QLineEdit>(d, "MaskEdit2")->text(), QStringLiteral("4"));
                click(d, shown == 1 ? "BitBtn1" : "BitBtn2");
            });
        });
        m.run("MarkierenvonIDbisID1");
        QCOMPARE(m.marked(), (QList<qint64>{3, 4}));
        // Cancelled after agreeing to unmark first: the marks stay.
        m.boxes.answer(MsgButton::Yes);
        m.run("MarkierenvonIDbisID1");
        QCOMPARE(m.marked(), (QList<qint64>{3, 4}));
        QCOMPARE(shown, 2);
    }

    void addressCheckThenDeletingTheInvalid()
    {
        Main m;
        m.boxes.answer(MsgButton::Yes);
        m.run("EmailAdressenaufGltigkeitberprfen2");
        // A blank, a trailing blank, an umlaut and the quotes: six addresses.
        m.expect(MsgKind::Information,
                 "Prüfung ist abgeschlossen! 6 ungültige (invalid) E-Mail-Adressen wurden markiert!");
        // Record 10 was invalid before the check: it goes as well.
        m.expect(MsgKind::Question, "Wollen Sie alle ungültigen E-Mail-Adressen löschen?");
        QCOMPARE(m.ids(), (QList<qint64>{1, 2, 9}));
        QVERIFY(m.marked().isEmpty());
        QCOMPARE(m.statusPanel(), QStringLiteral("3 Datensätze"));
        QCOMPARE(m.takeStatusTexts(),
                 (QStringList{"Alle Datensätze werden unmarkiert", "Checkmail: 10 von 10", "Delete: 7"}));
    }

    void addressCheckWithoutDeleting()
    {
        Main m;
        m.boxes.answer(MsgButton::No);
        m.run("EmailAdressenaufGltigkeitberprfen2");
        m.boxes.take();
        m.boxes.take();
        QCOMPARE(m.invalid(), (QList<qint64>{3, 4, 5, 6, 7, 8, 10}));
        QVERIFY(m.marked().isEmpty());
        QCOMPARE(m.ids().size(), 10);
    }

    void deletingAndResetting_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<qint64>>("left");
        QTest::addColumn<QList<qint64>>("invalid");
        QTest::addColumn<QStringList>("status");
        const QList<qint64> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("marked") << "AllemarkiertenDatenstzelschen2"
                                << "Wollen Sie wirklich alle markierten Datensätze löschen?" << true
                                << QList<qint64>{1, 3, 4, 5, 6, 7, 8, 9} << QList<qint64>{6}
                                << QStringList{"Delete: 2"};
        QTest::newRow("marked, no") << "AllemarkiertenDatenstzelschen2"
                                    << "Wollen Sie wirklich alle markierten Datensätze löschen?" << false << all
                                    << QList<qint64>{6, 10} << QStringList{};
        QTest::newRow("invalid") << "AlleinvalidenDatenstzelschen1"
                                 << "Wollen Sie wirklich alle invaliden Datensätze löschen?" << true
                                 << QList<qint64>{1, 2, 3, 4, 5, 7, 8, 9} << QList<qint64>{}
                                 << QStringList{"Delete: 2"};
        QTest::newRow("reset invalid") << "AlleInvalidzurcksetzen1"
                                       << "Alle als \"Invaild\" markierten Datensätze als gültig zurücksetzen?" << true
                                       << all << QList<qint64>{} << QStringList{"Arbeite..."};
    }
    void deletingAndResetting()
    {
        QFETCH(QString, command);
        QFETCH(QString, question);
        QFETCH(bool, yes);
        QFETCH(QList<qint64>, left);
        QFETCH(QList<qint64>, invalid);
        QFETCH(QStringList, status);
        Main m;
        m.boxes.answer(yes ? MsgButton::Yes : MsgButton::No);
        m.run(qPrintable(command));
        m.expect(MsgKind::Question, question);
        QCOMPARE(m.ids(), left);
        QCOMPARE(m.invalid(), invalid);
        QCOMPARE(m.takeStatusTexts(), status);
        QCOMPARE(m.statusPanel(), QString::number(left.size()) + " Datensätze");
        QCOMPARE(m.grid()->model()->rowCount(), left.size());
    }

    void settingAndClearingAColumn()
    {
        Main m;
        int uses = 0;
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                ++uses;
                QCOMPARE(d->windowTitle(), QStringLiteral("Spalteninhalt löschen/setzen"));
                auto *box = control<QComboBox>(d, "cbDB");
                // From the address on, the field after it chosen.
                QCOMPARE(box->itemText(0), QStringLiteral("E-Mail"));
                QCOMPARE(box->currentText(), QStringLiteral("Anrede"));
                QVERIFY(!box->isEditable());
                if (uses == 1) {
                    choose(d, "cbDB", "Firma");
                    type(d, "Edit1", "  ");
                    control<QCheckBox>(d, "chk1")->setChecked(true);
                    m.boxes.answer(MsgButton::Yes);
                    click(d, "btnDo");
                    m.expect(MsgKind::Question,
                             "Wollen Sie wirklich alle selektierten Felder in der Spalte \"Firma\" leeren?");
                    // The display name differs from the field's name (Str).
                    choose(d, "cbDB", "Straße");
                    type(d, "Edit1", " Weg 1 ");
                    control<QCheckBox>(d, "chk1")->setChecked(false);
                    m.boxes.answer(MsgButton::Yes);
                    click(d, "btnDo");
                    m.expect(
                        MsgKind::Question,
                        "Wollen Sie wirklich alle Felder in der Spalte \"Straße\" mit dem Wert \"Weg 1\" ersetzen?");
                    QVERIFY(d->isVisible());
                    m.boxes.answer(MsgButton::No);
                    type(d, "Edit1", "");
                    click(d, "btnDo");
                    m.expect(MsgKind::Question, "Wollen Sie wirklich alle Felder in der Spalte \"Straße\" leeren?");
                } else {
                    // The value and the check mark of the last use are kept.
                    QCOMPARE(control<QLineEdit>(d, "Edit1")->text(), QString());
                    QVERIFY(!control<QCheckBox>(d, "chk1")->isChecked());
                }
                click(d, "btnCancel");
            });
        });
        m.run("Spalteninhaltlschensetzen1");
        m.run("Spalteninhaltlschensetzen1");
        QCOMPARE(uses, 2);
        QCOMPARE(m.text(10, "Name"), QStringLiteral("Berg"));
        QCOMPARE(m.text(9, "Firma"), QStringLiteral("Beispiel gmbh & Co"));
        QCOMPARE(m.text(6, "Firma"), QStringLiteral("Müller GmbH"));
        for (qint64 id = 1; id <= 10; ++id)
            QCOMPARE(m.text(id, "Str"), QStringLiteral("Weg 1"));
        QVERIFY(m.table()->count(Filter::parse("Firma<>''")) == 2);
        QCOMPARE(m.takeStatusTexts(), (QStringList{"Spaltenbearbeitung: 10 von 10", "Spaltenbearbeitung: 10 von 10"}));
    }

    void removingDoubleAddresses_data()
    {
        QTest::addColumn<bool>("deleteAtOnce");
        QTest::addColumn<int>("keep");
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QList<qint64>>("left");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::addColumn<QString>("message");
        const QList<qint64> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        const QString deleted = "Prüfung abgeschlossen. 2 doppelte E-Mail-Adressen gelöscht!";
        // Doubles: 1 and 3 (case, a blank at the end), 7 and 8 (a quote, case); 4 and 5 have no address.
        QTest::newRow("keep the oldest") << true << 0 << false << QList<qint64>{1, 2, 4, 5, 6, 7, 9, 10}
                                         << QList<qint64>{2, 10} << deleted;
        QTest::newRow("keep the newest") << true << 1 << false << QList<qint64>{2, 3, 4, 5, 6, 8, 9, 10}
                                         << QList<qint64>{2, 10} << deleted;
        // Sorted by name, Albers (3) comes before Zorn (1), and O'Brien (7) before "o'brien " (8).
        QTest::newRow("sorted, keep the oldest")
            << true << 0 << true << QList<qint64>{2, 3, 4, 5, 6, 7, 9, 10} << QList<qint64>{2, 10} << deleted;
        QTest::newRow("mark") << false << 0 << false << all << QList<qint64>{1, 2, 3, 7, 8, 10}
                              << "Prüfung abgeschlossen. 2 doppelte E-Mail-Adressen markiert!";
    }
    void removingDoubleAddresses()
    {
        QFETCH(bool, deleteAtOnce);
        QFETCH(int, keep);
        QFETCH(bool, sorted);
        QFETCH(QList<qint64>, left);
        QFETCH(QList<qint64>, marked);
        QFETCH(QString, message);
        Main m;
        if (sorted)
            m.clickTitle("Name");
        QVERIFY(m.table()->setFilterText("Name='Z*'") && m.table()->setFiltered(true));
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Doppelte Datensätze löschen"));
                // Every record was compared before the question.
                QCOMPARE(m.statusBar(), QStringLiteral("Check doublettes: 10 von 10"));
                chooseOptions(d, deleteAtOnce, keep);
            });
        });
        // The options dialog is the only question.
        m.run("DoppelteEmailAdressenlschen1");
        m.expect(MsgKind::Information, message);
        QCOMPARE(m.ids(), left);
        QCOMPARE(m.marked(), marked);
        QVERIFY(!m.table()->isFiltered());
        QCOMPARE(m.statusPanel(), QString::number(left.size()) + " Datensätze");
        QCOMPARE(m.takeStatusTexts(),
                 (QStringList{"Getmail: 10 von 10", "Check doublettes: 10 von 10",
                              deleteAtOnce ? "Delete doublettes: 2 von 2" : "Select doublettes: 2 von 2"}));
        // The doubled addresses, in the order of the table, in the program's temporary folder.
        QFile result(m.state().AppTempFolder + "Dubletten_Ergebnis.txt");
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("anna@example.de\r\no'brien@example.de\r\n"));
    }

    void cancellingTheDuplicateOptionsChangesNothing()
    {
        Main m;
        int shown = 0;
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                ++shown;
                if (d->objectName() == "TSelectiveDuplicateForm") {
                    choose(d, "cbDB", "Name");
                    click(d, "btnDo");
                    // The options were cancelled: the dialog stays open.
                    QVERIFY(d->isVisible());
                    click(d, "btnCancel");
                } else {
                    // A first choice is made for the user; the keep choice waits for deleting.
                    QVERIFY(control<QRadioButton>(d, "DeleteSofortRadioButton")->isChecked());
                    QCOMPARE(control<QComboBox>(d, "ComboBox1")->currentIndex(), 0);
                    click(d, "AbortBitBtn");
                }
            });
        });
        m.run("DoppelteEmailAdressenlschen1");
        m.run("SelektivesLschendoppelterDatenstze1");
        QCOMPARE(shown, 3);
        QVERIFY(m.boxes.isEmpty());
        QCOMPARE(m.ids().size(), 10);
        QCOMPARE(m.marked(), (QList<qint64>{2, 10}));
        QVERIFY(!DeleteAdressesWizardForm()->WizardAccepted);
        QCOMPARE(m.takeStatusTexts(), (QStringList{"Getmail: 10 von 10", "Check doublettes: 10 von 10",
                                                   "Get Data: 10 von 10", "Check doublettes: 10 von 10"}));
    }

    void removingDoublesOfAChosenColumn_data()
    {
        QTest::addColumn<bool>("deleteAtOnce");
        QTest::addColumn<QList<qint64>>("left");
        QTest::addColumn<QList<qint64>>("marked");
        QTest::addColumn<QString>("message");
        // Names: "Leer" and "LEER" (4, 5), "O'Brien" and "o'brien " (7, 8); blanks are no doubles.
        QTest::newRow("delete") << true << QList<qint64>{1, 2, 3, 4, 6, 7, 9, 10} << QList<qint64>{2, 10}
                                << "Prüfung abgeschlossen. 2 doppelte Datensätze gelöscht!";
        // Marking clears every other mark.
        QTest::newRow("mark") << false << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10} << QList<qint64>{4, 5, 7, 8}
                              << "Prüfung abgeschlossen. Doppelte Datensätze markiert!";
    }
    void removingDoublesOfAChosenColumn()
    {
        QFETCH(bool, deleteAtOnce);
        QFETCH(QList<qint64>, left);
        QFETCH(QList<qint64>, marked);
        QFETCH(QString, message);
        Main m;
        QTemporaryDir systemTemp;
        m.state().SystemTempFolder = systemTemp.path() + "/";
        bool closed = false;
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                if (d->objectName() == "TSelectiveDuplicateForm") {
                    QCOMPARE(d->windowTitle(), QStringLiteral("Selektives Löschen doppelter Datensätze"));
                    QCOMPARE(control<QComboBox>(d, "cbDB")->currentText(), QStringLiteral("Anrede"));
                    choose(d, "cbDB", "Name");
                    click(d, "btnDo");
                    closed = !d->isVisible();
                } else {
                    // Shown without the main window's message hook.
                    QVERIFY(!TAppMessageHook::instance().isInstalled());
                    chooseOptions(d, deleteAtOnce, 0);
                }
            });
        });
        m.run("SelektivesLschendoppelterDatenstze1");
        QVERIFY(closed);
        m.expect(MsgKind::Information, message);
        QCOMPARE(m.ids(), left);
        QCOMPARE(m.marked(), marked);
        QCOMPARE(m.takeStatusTexts(),
                 deleteAtOnce
                     ? (QStringList{"Get Data: 10 von 10", "Check doublettes: 10 von 10", "Delete doublettes: 2 von 2"})
                     : (QStringList{"Get Data: 10 von 10", "Check doublettes: 10 von 10", "Unmarkieren: 10 von 10",
                                    "Select doublettes: 2 von 2"}));
        // The doubled values, in the system's temporary folder.
        QFile result(systemTemp.filePath("Dubletten_Ergebnis.txt"));
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("leer\r\no'brien\r\n"));
        QVERIFY(!QFileInfo::exists(m.state().AppTempFolder + "Dubletten_Ergebnis.txt"));
    }

    void markedAddressesToTheClipboard()
    {
        Main m;
        m.table()->updateIds({1, 6, 9}, {{"Selected", true}});
        m.run("BCCinsClipbord1");
        // The umlaut address holds an at sign and a full stop but fails the check: "-1".
        const QString list = "anna@example.de, bert@example.de, -1, erik@example.de, dora@example.de";
        m.expect(MsgKind::Information, "\"" + list + "\" ins Clipbord kopiert!");
        QCOMPARE(QGuiApplication::clipboard()->text(), list);

        // A long list is shown by its first addresses and their number.
        QList<FieldValues> many;
        for (int k = 0; k < 30; ++k)
            many.append({{"Mail", QStringLiteral("k%1@example.de").arg(k)}, {"Selected", true}});
        m.add(many);
        m.table()->updateWhere({}, {{"Selected", false}});
        m.table()->updateWhere(Filter::parse("Mail='k*'"), {{"Selected", true}});
        m.run("BCCinsClipbord1");
        QStringList first;
        for (int k = 0; k < 20; ++k)
            first.append(QStringLiteral("k%1@example.de").arg(k));
        m.expect(MsgKind::Information, "\"" + first.join(", ") + ", …\" ins Clipbord kopiert!\n(30 Adressen)");
        QCOMPARE(QGuiApplication::clipboard()->text().count('@'), 30);
    }

    void bccFiles()
    {
        Main m;
        const QString folder = m.state().ExportFolder;
        QVERIFY(QDir().mkpath(folder));
        for (const char *old : {"BCC007.bcc", "alt.BCC"}) {
            QFile f(folder + old);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QList<FieldValues> many;
        for (int k = 1; k <= 246; ++k)
            many.append({{"Mail", QStringLiteral("nr%1@example.de").arg(k, 3, 10, QChar('0'))}, {"Selected", true}});
        m.table()->updateWhere({}, {{"Selected", false}});
        m.add(many);
        m.run("N250erBCCStringinDateien");
        m.expect(MsgKind::Information, "BCC-Dateien wurden unter " + folder + " gespeichert!");
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), (QStringList{"BCC001.bcc", "BCC002.bcc"}));
        QStringList first;
        for (int k = 1; k <= 245; ++k)
            first.append(QStringLiteral("nr%1@example.de").arg(k, 3, 10, QChar('0')));
        QFile one(folder + "BCC001.bcc"), two(folder + "BCC002.bcc");
        QVERIFY(one.open(QIODevice::ReadOnly) && two.open(QIODevice::ReadOnly));
        QCOMPARE(one.readAll(), first.join("; ").toLatin1() + "\r\n");
        QCOMPARE(two.readAll(), QByteArray("nr246@example.de\r\n"));
        QCOMPARE(QGuiApplication::clipboard()->text().count("; "), 245);
        // No temporary folder is left behind.
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
    }

    void bccFilesIntoAFolderThatCannotBeMade()
    {
        Main m;
        // A file where the export folder should be.
        const QString folder = m.state().ExportFolder;
        QDir(folder).removeRecursively();
        QFile blocker(folder.chopped(1));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m.run("N250erBCCStringinDateien");
        m.expect(MsgKind::Error, "Der Ordner " + folder + " kann nicht angelegt werden!");
        QVERIFY(QFileInfo(folder.chopped(1)).isFile());
    }

    void placeholderList()
    {
        Main m;
        m.run("Platzhalter");
        m.expect(MsgKind::Plain,
                 "Folgende Platzhalter können Sie in Ihrer Vorlage benutzen!\nDiese werden dann von Vantrel während "
                 "des Versandes ersetzt!\n\n$MAIL für E-Mail\n$ANREDE für Anrede\n$BETREFF für Betreff\n$NAME für "
                 "Name\n$VORNAME für Vorname\n$FIRMA für Firma\n$ANSPRECHPARTNER für Ansprechpartner\n$STR für "
                 "Straße\n$PLZ für PLZ\n$ORT für Ort\n$LAND für Land\n$TEL für Telefon\n$FAX für Fax\n$KATEGORIE für "
                 "Kategorie\n$DATUM für aktuelles Datum\n");
    }

    void composingAndSwitchingAFilter()
    {
        Main m;
        QStringList lines;
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                auto *line = control<QLineEdit>(d, "ExpressionEdit");
                // The 14th and the 10th column are chosen at first.
                QCOMPARE(control<QComboBox>(d, "Field1ComboBox")->currentText(), QStringLiteral("Ort"));
                QCOMPARE(control<QComboBox>(d, "Field2ComboBox")->currentText(), QStringLiteral("Firma"));
                QVERIFY(!control<QComboBox>(d, "Field2ComboBox")->isEnabled());
                lines.append(line->text());
                choose(d, "Field1ComboBox", "Selected");
                type(d, "Exp1Edit", "True");
                lines.append(line->text());
                choose(d, "Field1ComboBox", "E-Mail");
                type(d, "Exp1Edit", "mü");
                lines.append(line->text());
                QStringList ops;
                for (int i = 0; i < 4; ++i) {
                    click(d, "Operate1Btn");
                    ops.append(control<QPushButton>(d, "Operate1Btn")->text());
                }
                QCOMPARE(ops, (QStringList{"<>", "<", ">", "="}));
                click(d, "ConectorBtn");
                QCOMPARE(control<QPushButton>(d, "ConectorBtn")->text(), QStringLiteral("und"));
                choose(d, "Field2ComboBox", "Name");
                type(d, "Exp2Edit", "b");
                lines.append(line->text());
                click(d, "ConectorBtn");
                QCOMPARE(control<QPushButton>(d, "ConectorBtn")->text(), QStringLiteral("oder"));
                lines.append(line->text());
                click(d, "ConectorBtn");
                lines.append(line->text());
                // A quote in the value is written twice; an empty value on a text column matches all.
                choose(d, "Field1ComboBox", "Name");
                type(d, "Exp1Edit", "o'b");
                lines.append(line->text());
                click(d, "OnBitBtn");
                QCOMPARE(m.statusPanel(), QStringLiteral("2 Datensätze"));
                QCOMPARE(m.filterButton()->toolTip(), QStringLiteral("Gewählten Filter ausschalten (F9)"));
                QVERIFY(m.filterButton()->isChecked());
                // Typed by hand: parentheses and quotes.
                type(d, "ExpressionEdit", "(Name = 'Zorn' OR Name = 'o''brien*') AND Selected <> 'True'");
                click(d, "OnBitBtn");
                QCOMPARE(m.statusPanel(), QStringLiteral("3 Datensätze"));
                // A text that is no filter is said, and the filter that was on stays.
                type(d, "ExpressionEdit", "Name = 'O'Brien'");
                click(d, "OnBitBtn");
                m.expect(MsgKind::Error,
                         "Fehler im Filterausdruck \"Name = 'O'Brien'\": unerwartetes \"Brien\" an Stelle 11");
                QCOMPARE(m.table()->recordCount(), 3);
                click(d, "OffBitBtn");
                QCOMPARE(m.statusPanel(), QStringLiteral("10 Datensätze"));
                QVERIFY(!m.filterButton()->isChecked());
                QCOMPARE(m.filterButton()->toolTip(), QStringLiteral("Gewählten Filter einschalten (F9)"));
                type(d, "Exp1Edit", "");
                lines.append(line->text());
                click(d, "CloseButton");
            });
        });
        m.run("Filter1");
        QCOMPARE(lines, (QStringList{"Ort = '*'", "Selected = 'True'", "Mail = 'mü*'", "Mail = 'mü*' AND Name = 'b*'",
                                     "Mail = 'mü*' OR Name = 'b*'", "Mail = 'mü*'", "Name = 'o''b*'", "Name = '*'"}));
        // F9 switches the last expression on and off.
        type(FilterForm(), "ExpressionEdit", "Selected='True'");
        QTest::keyClick(m.grid(), Qt::Key_F9);
        QCOMPARE(m.statusPanel(), QStringLiteral("2 Datensätze"));
        QVERIFY(m.filterButton()->isChecked());
        QTest::keyClick(m.grid(), Qt::Key_F9);
        QCOMPARE(m.statusPanel(), QStringLiteral("10 Datensätze"));
        QVERIFY(!m.table()->isFiltered());
        // A preset switched on in the box shows on the button too, and F9 takes it off.
        m.form->ComboBox1Change(1);
        QVERIFY(m.filterButton()->isChecked());
        QTest::keyClick(m.grid(), Qt::Key_F9);
        QVERIFY(!m.table()->isFiltered());
        QVERIFY(m.boxes.isEmpty());
    }

    void f9WithoutAnExpression()
    {
        Main m;
        QTest::keyClick(m.grid(), Qt::Key_F9);
        m.expect(MsgKind::Plain,
                 "Achtung Sie haben noch keinen Filter eigestellt! Öffnen Sie zuerst die Filtereinstellungen.");
        QVERIFY(!m.table()->isFiltered());
    }

    void aFilterTypedWrongIsNotSwitchedOn()
    {
        Main m;
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                type(d, "ExpressionEdit", "(Name = 'Zorn'");
                click(d, "OnBitBtn");
                click(d, "CloseButton");
            });
        });
        m.run("Filter1");
        m.expect(MsgKind::Error, "Fehler im Filterausdruck \"(Name = 'Zorn'\": schließende Klammer zu Stelle 1 fehlt");
        QVERIFY(!m.table()->isFiltered());
        QVERIFY(m.table()->filterText().isEmpty());
        QCOMPARE(m.statusPanel(), QStringLiteral("10 Datensätze"));
    }

    void markingByText()
    {
        Main m;
        Modal::setHandler([&](QDialog *d) {
            return drive(d, [&](QDialog *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Filter"));
                type(d, "Edit1", "GMBH");
                click(d, "OKButton");
                QCOMPARE(m.marked(), (QList<qint64>{2, 6, 9, 10}));
                // Enter marks too; an umlaut matches in any case.
                type(d, "Edit1", "o'BRIEN");
                QTest::keyClick(control<QLineEdit>(d, "Edit1"), Qt::Key_Return);
                QCOMPARE(m.marked(), (QList<qint64>{2, 6, 7, 8, 9, 10}));
                QVERIFY(d->isVisible());
                m.boxes.answer(MsgButton::Yes);
                click(d, "BitBtn1");
                m.expect(MsgKind::Question, "Alle markierten Datensätze unmarkieren?");
                QVERIFY(m.marked().isEmpty());
                type(d, "Edit1", "Müller");
                click(d, "OKButton");
                m.boxes.answer(MsgButton::Yes);
                click(d, "Button1");
                m.expect(MsgKind::Question, "Wollen Sie wirklich alle markierten Datensätze löschen?");
                click(d, "AbortButton");
            });
        });
        m.run("MarkierenallerDatenstzemitbestimmtenWortlaut1");
        QCOMPARE(m.ids(), (QList<qint64>{1, 2, 3, 4, 5, 7, 8, 9, 10}));
        QCOMPARE(m.statusPanel(), QStringLiteral("9 Datensätze"));
    }

    void refusedDuringASendRun_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *c :
             {"SelectAllTB", "UnselectAllTB", "MarkierenvonIDbisID1", "EmailAdressenaufGltigkeitberprfen2",
              "AlleInvalidzurcksetzen1", "AllemarkiertenDatenstzelschen2", "AlleinvalidenDatenstzelschen1",
              "Spalteninhaltlschensetzen1", "DoppelteEmailAdressenlschen1", "SelektivesLschendoppelterDatenstze1",
              "MarkierenallerDatenstzemitbestimmtenWortlaut1"})
            QTest::newRow(c) << c;
    }
    void refusedDuringASendRun()
    {
        QFETCH(QString, command);
        Main m;
        m.state().SendRunActive = true;
        Modal::setHandler([](QDialog *) -> int {
            QTest::qFail("no dialog during a send run", __FILE__, __LINE__);
            return 0;
        });
        m.run(qPrintable(command));
        m.state().SendRunActive = false;
        m.expect(MsgKind::Information, QString(TMainState::sendRunActiveText()).replace('\r', '\n'));
        QCOMPARE(m.marked(), (QList<qint64>{2, 10}));
        QCOMPARE(m.invalid(), (QList<qint64>{6, 10}));
        QCOMPARE(m.ids().size(), 10);
    }
};

QTEST_MAIN(TestRecordCommands)
#include "tst_recordcommands.moc"
