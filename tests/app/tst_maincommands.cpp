// The main window's commands and its grid: marking by double click and Space,
// sorting by a title, the filter preset box, the two switches of config.ini,
// the start of a mailing, and the rules every command follows (no database,
// the message hook, a send run going on).
#include "dbgrid.h"
#include "enterpriselinksform.h"
#include "enterpriseoptionsform.h"
#include "forms.h"
#include "grussformelform.h"
#include "inifile.h"
#include "logforms.h"
#include "mailerform.h"
#include "mainformfixture.h"
#include "modal.h"
#include "shellrecorder.h"
#include "startmailer.h"
#include "textfile.h"
#include "wheelhook.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

using namespace vt;

namespace {

// Four addresses; two of them marked.
const QList<FieldValues> kFourAddresses = {
    {{"Mail", "Anna.Zorn@Example.DE"}, {"Name", "Zorn"}},
    {{"Mail", "bert@example.de"}, {"Name", "Adler"}, {"Selected", true}},
    {{"Mail", "carl@example.de"}, {"Name", "Maier"}, {"Selected", true}, {"Invalid", true}},
    {{"Mail", "dora@example.de"}, {"Name", "Berg"}, {"Selected", false}}};

// A started window with the four addresses, shown and active, the grid focused.
struct ShownMain : MainOnScreen
{
    explicit ShownMain(const std::function<void(TestFolder &)> &prepare = {}) : MainOnScreen(kFourAddresses, prepare) {}
};

// Records whether a command ran and whether the message hook was in place then.
struct CommandProbe
{
    int runs = 0;
    bool hookInstalled = false;
    std::function<void()> handler()
    {
        return [this] {
            ++runs;
            hookInstalled = TAppMessageHook::instance().isInstalled();
        };
    }
};

} // namespace

class TestMainCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }

    // "Grußformel" is a command on the menu bar itself: after it the bar lets go
    // of the keyboard and shows nothing chosen, however the entry was reached.
    void commandOnTheMenuBarLetsGo()
    {
        ShownMain m;
        auto *bar = m.child<QMenuBar>("MainMenu1");
        QAction *entry = m.form->commandAction("Grussormel1");
        int shown = 0;
        Modal::setHandler([&](QDialog *d) {
            shown += d == GrussformelForm();
            // On screen, taking the focus from the main window, then left with Escape.
            d->show();
            d->activateWindow();
            [d] { QVERIFY(QTest::qWaitForWindowActive(d)); }();
            d->reject();
            m.form->activateWindow(); // as the window manager does
            return int(QDialog::Rejected);
        });
        m.goTo(1, "Mail");
        // By the keyboard: Alt+P opens "Programm", Right goes on to "Bearbeiten",
        // "Spezial" and then to the command, Return runs it.
        QTest::keyClick(m.form.get(), Qt::Key_P, Qt::AltModifier);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : bar, Qt::Key_Right);
        QCOMPARE(bar->activeAction(), entry);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(shown, 1);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m.grid()));
        QCOMPARE(bar->activeAction(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(m.grid()->currentIndex().row(), 2);

        // By the mouse.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(entry).center());
        QCOMPARE(shown, 2);
        QTRY_COMPARE(bar->activeAction(), nullptr);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m.grid()));
        Modal::setHandler({});
    }

    void markingByDoubleClick_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("after");
        QTest::newRow("blank Selected") << 0 << "Selected" << true;
        QTest::newRow("marked") << 1 << "Selected" << false;
        QTest::newRow("unmarked") << 3 << "Selected" << true;
        QTest::newRow("invalid") << 2 << "Invalid" << false;
        QTest::newRow("blank Invalid") << 0 << "Invalid" << true;
    }
    void markingByDoubleClick()
    {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(bool, after);
        ShownMain m;
        const QString other = field == "Selected" ? "Invalid" : "Selected";
        const QVariant otherBefore = m.table()->valueAt(row, m.table()->fieldIndex(other));
        QTest::mouseDClick(m.grid()->viewport(), Qt::LeftButton, {}, m.cell(row, qPrintable(field)));
        QCOMPARE(m.table()->row(), row);
        QCOMPARE(m.table()->value(field), QVariant(after));
        QCOMPARE(m.table()->value(other), otherBefore);
        QCOMPARE(m.table()->state(), AddressTable::State::Browse);
    }

    void doubleClickElsewhereOpensTheEditorWithTheHookKept()
    {
        ShownMain m;
        CommandProbe editor;
        m.form->setCommandHandler("EditRec", editor.handler());
        QVERIFY(TAppMessageHook::instance().isInstalled());
        QTest::mouseDClick(m.grid()->viewport(), Qt::LeftButton, {}, m.cell(1, "Name"));
        QCOMPARE(editor.runs, 1);
        QVERIFY(editor.hookInstalled);
        QCOMPARE(m.table()->row(), 1);
        QCOMPARE(m.table()->value("Selected"), QVariant(true));
        QVERIFY(m.grid()->hasFocus());
    }

    void spaceMarksUnlessCellsAreEdited()
    {
        ShownMain m;
        m.goTo(0, "Selected");
        QTest::keyClick(m.grid(), Qt::Key_Space);
        QCOMPARE(m.table()->value("Selected"), QVariant(true));
        QTest::keyClick(m.grid(), Qt::Key_Space);
        QCOMPARE(m.table()->value("Selected"), QVariant(false));
        // With editing in the grid switched on, Space is typed into the cell.
        m.form->commandAction("BearbeitenimGrid1")->trigger();
        m.goTo(0, "Name");
        QTest::keyClick(m.grid(), Qt::Key_Space);
        QVERIFY(m.grid()->isEditing());
        QCOMPARE(m.table()->value("Selected"), QVariant(false));
        m.grid()->cancelPendingEdit();
    }

    void keysOfTheGrid_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("searches");
        QTest::addColumn<int>("filters");
        QTest::newRow("Ctrl+F") << int(Qt::Key_F) << int(Qt::ControlModifier) << 1 << 0;
        QTest::newRow("Ctrl+Shift+F") << int(Qt::Key_F) << int(Qt::ControlModifier | Qt::ShiftModifier) << 0 << 0;
        QTest::newRow("Ctrl+Alt+F") << int(Qt::Key_F) << int(Qt::ControlModifier | Qt::AltModifier) << 0 << 0;
        QTest::newRow("F9") << int(Qt::Key_F9) << int(Qt::NoModifier) << 0 << 1;
    }
    void keysOfTheGrid()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, searches);
        QFETCH(int, filters);
        ShownMain m;
        CommandProbe search, filter;
        m.form->setCommandHandler("Suchen1", search.handler());
        m.form->setCommandHandler("FilterBtn", filter.handler());
        QTest::keyClick(m.grid(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(search.runs, searches);
        QCOMPARE(filter.runs, filters);
        if (searches)
            QVERIFY(!search.hookInstalled); // the search dialog runs without the hook
    }

    void sortingByATitle()
    {
        ShownMain m;
        AddressModel *model = m.state().CurrentDataSource;
        auto names = [&] {
            QStringList out;
            for (int r = 0; r < model->rowCount(); ++r)
                out << model->index(r, m.column("Name")).data().toString();
            return out;
        };
        auto marked = [&](const char *field) {
            const int c = m.column(field);
            return model->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>().bold() &&
                   model->headerData(c, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color() == Qt::red;
        };
        const QStringList unsorted{"Zorn", "Adler", "Maier", "Berg"};
        QCOMPARE(names(), unsorted);
        m.goTo(2, "Mail");
        // A column without an index or sortable mark does nothing.
        m.clickTitle("Betreff");
        QCOMPARE(names(), unsorted);
        QVERIFY(!marked("Betreff"));
        // A sortable column sorts by its index; the current record stays current.
        m.clickTitle("Name");
        QCOMPARE(names(), QStringList({"Adler", "Berg", "Maier", "Zorn"}));
        QVERIFY(marked("Name"));
        QCOMPARE(m.table()->text("Name"), QStringLiteral("Maier"));
        QCOMPARE(m.grid()->currentIndex().row(), int(m.table()->row()));
        // Another sortable column takes the marking over.
        m.clickTitle("Mail");
        QVERIFY(marked("Mail") && !marked("Name"));
        // A second click returns to the primary order.
        m.clickTitle("Mail");
        QCOMPARE(names(), unsorted);
        QVERIFY(!marked("Mail") && !marked("Name"));
        // Titles moved by the user still sort by their own field.
        m.grid()->horizontalHeader()->moveSection(m.grid()->horizontalHeader()->visualIndex(m.column("Name")), 0);
        m.clickTitle("Name");
        QCOMPARE(names(), QStringList({"Adler", "Berg", "Maier", "Zorn"}));
        // The sort marking is no part of the saved layout.
        m.form->close();
        QVERIFY(!m.dir.read("Data/Database.grd").contains("Font"));
    }

    void filterPresetBox()
    {
        ShownMain m([](TestFolder &dir) {
            dir.write("Data/Database.fil", "FILTERNAME | FILTERAUSDRUCK\r\nAlle Datens\xc3\xa4tze |  \r\n"
                                           "Markierte Datens\xc3\xa4tze | Selected='True'\r\n"
                                           "Kaputt | Name=='x\r\nName A | name='a*'\r\n");
        });
        auto *box = m.child<QComboBox>("ComboBox1");
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->currentText(), QStringLiteral("Alle Datensätze"));
        QCOMPARE(m.statusPanel(), QStringLiteral("4 Datensätze"));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QVERIFY(m.table()->isFiltered());
        QCOMPARE(m.table()->recordCount(), 2);
        QCOMPARE(m.statusPanel(), QStringLiteral("2 Datensätze"));
        // A preset that is no filter is said, and the table shows everything.
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(m.boxes.take().kind, MsgKind::Error);
        QVERIFY(!m.table()->isFiltered());
        QCOMPARE(m.statusPanel(), QStringLiteral("4 Datensätze"));
        // Filters ignore case.
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(m.statusPanel(), QStringLiteral("1 Datensätze"));
        QTest::keyClick(box, Qt::Key_Home);
        QVERIFY(m.table()->isFiltered());
        QCOMPARE(m.statusPanel(), QStringLiteral("4 Datensätze"));
    }

    void mailingWithoutMarkedRecords()
    {
        ShownMain m;
        m.table()->updateWhere({}, {{"Selected", false}});
        // A filter the user had on ends off, on the same record.
        QVERIFY(m.table()->setFilterText("Name='B*'") && m.table()->setFiltered(true));
        m.table()->first();
        const qint64 id = m.table()->currentId();
        QTest::mouseClick(m.child<QPushButton>("MailBitBtn"), Qt::LeftButton);
        QVERIFY(m.boxes.takeExpected(MsgKind::Information,
                                     "Keine Datensätze zum versenden markiert! \nKlicken Sie doppelt auf die Spalte "
                                     "\"Selected\" um Datensätze zu markieren!"));
        QCOMPARE(m.state().MarkedCount, 0);
        QVERIFY(!m.table()->isFiltered());
        QCOMPARE(m.table()->currentId(), id);
        QCOMPARE(m.statusPanel(), QStringLiteral("4 Datensätze"));
        // The count's filter stays as the table's filter text, switched off.
        QCOMPARE(m.table()->filterText(), QStringLiteral("Selected='True'"));
    }

    void mailingCountsTheMarkedRecords()
    {
        ShownMain m;
        // The count is made before the start wizard opens (closed here at once).
        QStringList shown;
        Modal::setHandler([&](QDialog *d) {
            shown.append(d->objectName());
            return int(QDialog::Rejected);
        });
        m.goTo(3, "Mail");
        QTest::keyClick(m.form.get(), Qt::Key_F2);
        QCOMPARE(m.state().MarkedCount, 2);
        QVERIFY(!m.table()->isFiltered());
        QCOMPARE(m.table()->row(), 3);
        // The toolbar's mail button counts again after a record was marked.
        m.table()->first();
        QTest::mouseDClick(m.grid()->viewport(), Qt::LeftButton, {}, m.cell(0, "Selected"));
        QTest::mouseClick(m.child<QToolButton>("ToolButton3"), Qt::LeftButton);
        QCOMPARE(m.state().MarkedCount, 3);
        Modal::setHandler({});
        QCOMPARE(shown, (QStringList{"TNewWizForm", "TNewWizForm"}));
    }

    // Settings saved in the options while the serial e-mail window is open reach
    // its sender list; a sender the user typed there stays.
    void savedOptionsReachTheSerialMailWindow()
    {
        ShownMain m;
        QVERIFY(WriteLines(m.dir.file("Data/AbsenderMails.ini"), {"alt@example.com <Alt>"}));
        m.state().FirstSettingsDone = true;
        StartWizardChoice() = {};
        StartWizardChoice().NewMailChosen = true;
        StartWizardChoice().TextMailChosen = true;
        vt::StartMailer();
        TMailerForm *mailer = MailerForm();
        auto *senders = mailer->findChild<QComboBox *>("ComboBox1");
        QTRY_COMPARE(senders->currentText(), QStringLiteral("alt@example.com <Alt>"));

        auto saveSender = [&](const QString &address, const QString &name) {
            Modal::setHandler([&](QDialog *d) {
                d->findChild<QLineEdit *>("EmailEdit")->setText(address);
                d->findChild<QLineEdit *>("NameEdit")->setText(name);
                d->findChild<QPushButton *>("UebernehmenButton")->click();
                return d->result();
            });
            m.form->commandAction("Options")->trigger();
            Modal::setHandler({});
        };
        saveSender("neu@example.com", "Neu");
        QCOMPARE(senders->currentText(), QStringLiteral("neu@example.com <Neu>"));

        senders->lineEdit()->selectAll();
        QTest::keyClicks(senders->lineEdit(), "eigen@example.com <Eigen>");
        saveSender("noch@example.com", "Noch");
        QCOMPARE(senders->itemText(0), QStringLiteral("noch@example.com <Noch>"));
        QCOMPARE(senders->currentText(), QStringLiteral("eigen@example.com <Eigen>"));
        mailer->AbortBitBtnClick();
    }

    void commandsWithoutADatabase_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("probe"); // the command gets a recording handler
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("runs");
        const QString first = "Zuerst Datenbank öffnen!";
        QTest::newRow("mailing") << "SerienEmailschreiben1" << false << first << 0;
        QTest::newRow("grid editing") << "BearbeitenimGrid1" << false << first << 0;
        QTest::newRow("mail client") << "OutlookmitderselektiertenEmailstarten1" << false << first << 0;
        QTest::newRow("mail client, context menu") << "OutlookStarten" << false << first << 0;
        QTest::newRow("first record") << "FirstButton" << false << first << 0;
        QTest::newRow("copy the cell") << "CopyDBGridToClipboard" << false << "" << 0;
        QTest::newRow("transaction log") << "TransactionlogwrdendesMailversandes1" << false << "" << 0;
        QTest::newRow("web command") << "Bestellformular1" << true << "Öffnen Sie zuerst eine Datenbank!" << 0;
        QTest::newRow("BCC command") << "BCCinsClipbord1" << true << "Öffnen Sie zuerst eine Datenbank!" << 0;
        QTest::newRow("silent") << "AlleInvalidzurcksetzen1" << true << "" << 0;
        QTest::newRow("mark all, silent") << "SelectAllTB" << true << "" << 0;
        QTest::newRow("unmark all, silent") << "UnselectAllTB" << true << "" << 0;
        QTest::newRow("needs none") << "Options" << true << "" << 1;
        QTest::newRow("import") << "DatenstzeImportieren1" << true << first << 0;
        // Commands whose window is not made yet say it all the same.
        QTest::newRow("filter, no window") << "Filter1" << false << first << 0;
        QTest::newRow("search, no window") << "Suchen1" << false << first << 0;
        QTest::newRow("tracking, no window")
            << "Newsletterstatistikeinrichten1" << false << "Öffnen Sie zuerst eine Datenbank!" << 0;
    }
    void commandsWithoutADatabase()
    {
        QFETCH(QString, command);
        QFETCH(bool, probe);
        QFETCH(QString, box);
        QFETCH(int, runs);
        StartedMain m;
        m.state().FreeTableComponents();
        CommandProbe p;
        if (probe)
            m.form->setCommandHandler(command, p.handler());
        m.form->commandAction(command)->trigger();
        QCOMPARE(m.boxes.takeTexts(), box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(p.runs, runs);
        QVERIFY(!IniFile(m.dir.file("config.ini")).valueExists("Database", "GridEdit"));
    }

    void commandsWithoutAHandlerDoNothing()
    {
        StartedMain m;
        m.form->setCommandHandler("NachUpdatessuchen1", {});
        QAction *update = m.form->commandAction("NachUpdatessuchen1");
        QVERIFY(update->isCheckable() && !update->isChecked());
        update->trigger();
        QVERIFY(!update->isChecked());
        m.form->setCommandHandler("Filter1", {});
        m.form->commandAction("Filter1")->trigger();
        QVERIFY(m.boxes.isEmpty());
    }

    void messageHookAroundCommands()
    {
        ShownMain m;
        CommandProbe removed, kept;
        m.form->setCommandHandler("Options", removed.handler());
        m.form->setCommandHandler("MarkierenvonIDbisID1", kept.handler());
        m.form->commandAction("Options")->trigger();
        m.form->commandAction("MarkierenvonIDbisID1")->trigger();
        QCOMPARE(removed.runs, 1);
        QVERIFY(!removed.hookInstalled);
        QCOMPARE(kept.runs, 1);
        QVERIFY(kept.hookInstalled);
        QVERIFY(TAppMessageHook::instance().isInstalled());
        // The salutation dialog is shown with the hook taken away.
        bool shown = false, hookDuring = true;
        Modal::setHandler([&](QDialog *d) {
            shown = qobject_cast<TGrussformelForm *>(d) != nullptr;
            hookDuring = TAppMessageHook::instance().isInstalled();
            return int(QDialog::Rejected);
        });
        m.form->commandAction("Grussormel1")->trigger();
        Modal::setHandler({});
        QVERIFY(shown && !hookDuring);
        QVERIFY(TAppMessageHook::instance().isInstalled());
        // So is the list of the addresses sent last.
        shown = false;
        hookDuring = true;
        Modal::setHandler([&](QDialog *d) {
            shown = d == LogForm();
            hookDuring = TAppMessageHook::instance().isInstalled();
            return int(QDialog::Accepted);
        });
        m.form->commandAction("LogDateimitzuletztversendetenEmails1")->trigger();
        Modal::setHandler({});
        QVERIFY(shown && !hookDuring);
    }

    void commandsThatChangeTheTableWaitForASendRun()
    {
        ShownMain m;
        CommandProbe import, search;
        m.form->setCommandHandler("DatenstzeImportieren1", import.handler());
        m.form->setCommandHandler("Suchen1", search.handler());
        m.state().SendRunActive = true;
        const QString refused = QString(TMainState::sendRunActiveText()).replace('\r', '\n');
        m.form->commandAction("DatenstzeImportieren1")->trigger();
        m.form->commandAction("Suchen1")->trigger();
        QCOMPARE(import.runs, 0);
        QCOMPARE(search.runs, 1);
        QCOMPARE(m.boxes.takeTexts(), QStringList{refused});
        // Grid editing cannot be switched on, but can be switched off.
        m.form->commandAction("BearbeitenimGrid1")->trigger();
        QCOMPARE(m.boxes.takeTexts(), QStringList{refused});
        QVERIFY(!m.state().GridEditMode);
        QVERIFY(!m.form->commandAction("BearbeitenimGrid1")->isChecked());
        m.state().SendRunActive = false;
        m.form->commandAction("BearbeitenimGrid1")->trigger();
        m.state().SendRunActive = true;
        m.form->commandAction("BearbeitenimGrid1")->trigger();
        QVERIFY(m.boxes.isEmpty());
        QVERIFY(!m.state().GridEditMode);
        // A new mailing waits too.
        m.form->commandAction("SerienEmailschreiben1")->trigger();
        QCOMPARE(m.boxes.takeTexts(), QStringList{refused});
        m.state().SendRunActive = false;
    }

    void everyShortcutBelongsToOneCommand()
    {
        StartedMain m;
        QHash<QKeySequence, QString> owner;
        for (const TMainCommand &c : MainCommands()) {
            QAction *a = m.form->commandAction(c.name);
            QVERIFY2(a, c.name);
            if (a->shortcut().isEmpty())
                continue;
            QVERIFY2(!owner.contains(a->shortcut()), qPrintable(owner.value(a->shortcut()) + " and " + c.name));
            owner.insert(a->shortcut(), c.name);
        }
        QCOMPARE(owner.value(QKeySequence("F2")), QStringLiteral("SerienEmailschreiben1"));
    }

    void switchesAreWrittenAtOnce()
    {
        ShownMain m;
        auto key = [&](const char *name) { return IniFile(m.dir.file("config.ini")).readString("Database", name); };
        QAction *grid = m.form->commandAction("BearbeitenimGrid1");
        grid->trigger();
        QVERIFY(m.state().GridEditMode && grid->isChecked() && m.state().CurrentDataSource->isEditable());
        QCOMPARE(m.grid()->palette().color(QPalette::Text), QColor(Qt::blue));
        QCOMPARE(key("GridEdit"), QStringLiteral("1"));
        grid->trigger();
        QVERIFY(!m.state().GridEditMode && !grid->isChecked() && !m.state().CurrentDataSource->isEditable());
        QCOMPARE(m.grid()->palette().color(QPalette::Text), QColor(Qt::black));
        QCOMPARE(key("GridEdit"), QStringLiteral("0"));
        QVERIFY(m.grid()->hasFocus());

        QAction *log = m.form->commandAction("TransactionlogwrdendesMailversandes1");
        log->trigger();
        QVERIFY(m.state().TransactionLogOn && log->isChecked());
        QCOMPARE(key("TransActLog"), QStringLiteral("1"));
        log->trigger();
        QVERIFY(!m.state().TransactionLogOn && !log->isChecked());
        QCOMPARE(key("TransActLog"), QStringLiteral("0"));
        // The address check is written only when the window closes.
        m.form->commandAction("NachdoppeltenEmailadressenprfen1")->trigger();
        QVERIFY(!m.state().CheckNewAddresses);
        QCOMPARE(key("Checkdoublettes"), QString());
    }

    void cellToClipboardAndMailClient()
    {
        ShownMain m;
        ShellRecorder shell;
        m.goTo(0, "Name");
        m.form->commandAction("CopyDBGridToClipboard")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Zorn"));
        m.form->commandAction("OutlookStarten")->trigger();
        m.form->commandAction("OutlookmitderselektiertenEmailstarten1")->trigger();
        QCOMPARE(shell.opened.size(), 2);
        QCOMPARE(shell.opened.at(0).toString(), QStringLiteral("mailto:anna.zorn@example.de"));
        QCOMPARE(shell.opened.at(1), shell.opened.at(0));
    }

    void firstAndLastRecord()
    {
        ShownMain m;
        m.goTo(1, "Mail");
        QTest::mouseClick(m.child<QToolButton>("LastButton"), Qt::LeftButton);
        QCOMPARE(m.table()->row(), 3);
        QCOMPARE(m.grid()->currentIndex().row(), 3);
        QTest::mouseClick(m.child<QToolButton>("FirstButton"), Qt::LeftButton);
        QCOMPARE(m.table()->row(), 0);
        QCOMPARE(m.grid()->currentIndex().row(), 0);
    }

    void refreshShowsRecordsWrittenElsewhere()
    {
        ShownMain m;
        m.goTo(2, "Mail");
        {
            AddressTable other;
            QVERIFY(other.open(m.table()->fileName()));
            TableAppender a(other);
            QVERIFY(a.setValue(other.fieldIndex("Mail"), "neu@example.de") && a.append() && a.commit());
        }
        QCOMPARE(m.grid()->model()->rowCount(), 4);
        m.state().Ops->refreshGrid();
        QCOMPARE(m.grid()->model()->rowCount(), 5);
        QCOMPARE(m.statusPanel(), QStringLiteral("5 Datensätze"));
        QCOMPARE(m.table()->text("Mail"), QStringLiteral("carl@example.de"));
    }

    void webCommandsWorkOnTheOpenDatabasesSettings()
    {
        StartedMain m([](TestFolder &dir) {
            dir.write("Data/Database.web", "[SETTINGS]\r\nOnlinePath=http://www.verein.de/news/\r\n"
                                           "OnlinePassword=x1\r\nStatsURL=https://s.de/st/\r\nStatsPassword=Stat1\r\n");
        });
        QVERIFY(m.form->commandAction("Links1")->isEnabled() &&
                m.form->commandAction("NeueEintrageabholen1")->isEnabled());
        QStringList shown, seen;
        Modal::setHandler([&](QDialog *d) {
            shown.append(d->objectName());
            if (auto *links = qobject_cast<TEnterpriseLinksForm *>(d)) {
                links->FormActivate();
                seen << d->findChild<QLineEdit *>("SubEdit")->text()
                     << d->findChild<QLineEdit *>("OnlineStats")->text();
            }
            if (d->objectName() == QLatin1String("TEnterpriseOptionsForm"))
                seen << d->findChild<QLineEdit *>("OnlineDBEdit")->text();
            return int(QDialog::Rejected);
        });
        for (const char *command :
             {"Bestellformular1", "Links1", "Newsletterstatistikeinrichten1", "NeueEintrageabholen1"})
            m.form->commandAction(command)->trigger();
        Modal::setHandler({});
        QCOMPARE(shown, QStringList({"TEnterpriseOptionsForm", "TEnterpriseLinksForm", "TStatsForm", "TSuscribeForm"}));
        QCOMPARE(seen, QStringList({"http://www.verein.de/news/", "http://www.verein.de/news/subscribe.html",
                                    "https://s.de/st/auswertung.php?password=Stat1"}));
        QCOMPARE(m.state().WebSettingsFile, m.dir.file("Data/Database.web"));
    }
};

QTEST_MAIN(TestMainCommands)
#include "tst_maincommands.moc"
