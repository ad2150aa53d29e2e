// The grid and the mouse wheel: the grid's own wheel (two records per notch,
// one with Shift, a page with Ctrl, a pending change discarded first), the
// application's message hook that turns the wheel into cursor keys while the
// main window runs, the title row's pressed and hot titles, the column widths
// kept in the model, and adding and deleting records while cells are edited.
#include "dbgrid.h"
#include "mainformfixture.h"
#include "wheelhook.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QWheelEvent>

using namespace vt;

namespace {

// A shown main window over twenty addresses, the grid focused on record 10.
struct GridMain : StartedMain
{
    GridMain()
    {
        QList<FieldValues> records;
        for (int i = 0; i < 20; ++i)
            records.append({{"Mail", QStringLiteral("a%1@example.de").arg(i)}, {"Name", QString::number(i)}});
        add(records);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        grid()->setFocus();
        table()->moveTo(10);
    }
    TDBGrid *grid() const { return form->DBGrid1; }
    AddressModel *model() const { return state().CurrentDataSource; }
    void editCells() const { form->commandAction("BearbeitenimGrid1")->trigger(); }
    // Sends one wheel event over the grid's cells.
    void wheel(int delta, Qt::KeyboardModifiers modifiers = {}, bool sideways = false) const
    {
        const QPoint pos = grid()->viewport()->rect().center();
        QWheelEvent e(pos, grid()->viewport()->mapToGlobal(pos), QPoint(),
                      sideways ? QPoint(delta, 0) : QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(grid()->viewport(), &e);
    }
};

} // namespace

class TestDBGrid : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }

    void notches_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<QList<int>>("notches");
        QTest::newRow("whole notches") << QList<int>{120, -240} << QList<int>{1, -2};
        QTest::newRow("fine steps add up") << QList<int>{40, 40, 40, 40} << QList<int>{0, 0, 1, 0};
        QTest::newRow("a turn back starts afresh") << QList<int>{80, -40, -80} << QList<int>{0, 0, -1};
        QTest::newRow("nothing") << QList<int>{0} << QList<int>{0};
    }
    void notches()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(QList<int>, notches);
        WheelNotches n;
        QList<int> got;
        for (int d : deltas)
            got.append(n.add(d));
        QCOMPARE(got, notches);
    }

    void hookTurnsTheWheelIntoCursorKeys_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<bool>("sideways");
        QTest::addColumn<int>("row");
        QTest::newRow("towards the user") << QList<int>{-120} << false << 11;
        QTest::newRow("away from the user") << QList<int>{120} << false << 9;
        QTest::newRow("two notches in one event") << QList<int>{-240} << false << 12;
        QTest::newRow("fine steps") << QList<int>{-40, -40, -40} << false << 11;
        QTest::newRow("an empty step") << QList<int>{0} << false << 10;
        QTest::newRow("sideways") << QList<int>{-120} << true << 10;
    }
    void hookTurnsTheWheelIntoCursorKeys()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(bool, sideways);
        QFETCH(int, row);
        GridMain m;
        QVERIFY(TAppMessageHook::instance().isInstalled());
        for (int d : deltas)
            m.wheel(d, {}, sideways);
        QCOMPARE(m.table()->row(), row);
        QCOMPARE(m.grid()->currentIndex().row(), row);
    }

    void gridWheelWithoutTheHook_data()
    {
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("move"); // records, or a page: the visible rows minus one
        QTest::newRow("down") << -120 << int(Qt::NoModifier) << "+2";
        QTest::newRow("up") << 120 << int(Qt::NoModifier) << "-2";
        QTest::newRow("down with Shift") << -120 << int(Qt::ShiftModifier) << "+1";
        QTest::newRow("up with Shift") << 120 << int(Qt::ShiftModifier) << "-1";
        QTest::newRow("down with Ctrl") << -120 << int(Qt::ControlModifier) << "+page";
        QTest::newRow("up with Ctrl") << 120 << int(Qt::ControlModifier) << "-page";
        // Going down Ctrl turns a page whatever else is held; going up only alone.
        QTest::newRow("down with Ctrl and Shift") << -120 << int(Qt::ControlModifier | Qt::ShiftModifier) << "+page";
        QTest::newRow("up with Ctrl and Shift") << 120 << int(Qt::ControlModifier | Qt::ShiftModifier) << "-1";
        QTest::newRow("up with Ctrl and Alt") << 120 << int(Qt::ControlModifier | Qt::AltModifier) << "-2";
    }
    void gridWheelWithoutTheHook()
    {
        QFETCH(int, delta);
        QFETCH(int, modifiers);
        QFETCH(QString, move);
        GridMain m;
        const int page = m.grid()->visibleRowCount() - 1;
        QVERIFY(page > 2);
        const int sign = move.startsWith('-') ? -1 : 1;
        const int distance = move.endsWith("page") ? page : move.mid(1).toInt();
        const int expected = std::clamp(10 + sign * distance, 0, 19);
        {
            const WheelHookSuspender noHook;
            QVERIFY(!TAppMessageHook::instance().isInstalled());
            m.wheel(delta, Qt::KeyboardModifiers(modifiers));
        }
        QVERIFY(TAppMessageHook::instance().isInstalled());
        QCOMPARE(m.table()->row(), expected);
        QCOMPARE(m.grid()->currentIndex().row(), expected);
    }

    void suspendersNest()
    {
        int calls = 0;
        TAppMessageHook &hook = TAppMessageHook::instance();
        hook.install([&](QObject *, QEvent *) {
            ++calls;
            return false;
        });
        {
            const WheelHookSuspender outer;
            {
                const WheelHookSuspender inner;
                QVERIFY(!hook.isInstalled());
            }
            QVERIFY(!hook.isInstalled());
        }
        QVERIFY(hook.isInstalled());
        QWidget w;
        QEvent e(QEvent::User);
        QApplication::sendEvent(&w, &e);
        QVERIFY(calls > 0);
        hook.remove();
        {
            const WheelHookSuspender none;
        }
        QVERIFY(!hook.isInstalled());
    }

    void wheelDiscardsAPendingEdit()
    {
        GridMain m;
        m.form->commandAction("BearbeitenimGrid1")->trigger();
        const int nameColumn = m.state().CurrentDataSource->columnOfField("Name");
        m.grid()->setCurrentIndex(m.grid()->model()->index(10, nameColumn));
        m.grid()->edit(m.grid()->currentIndex());
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText("getippt");
        const WheelHookSuspender noHook;
        m.wheel(-120);
        QVERIFY(!m.grid()->isEditing());
        QCOMPARE(m.table()->row(), 12);
        QCOMPARE(m.table()->textAt(10, m.table()->fieldIndex("Name")), QStringLiteral("10"));
    }

    void ownerWheelHandlerComesFirst()
    {
        GridMain m;
        int asked = 0;
        m.grid()->OnMouseWheelDown = [&](Qt::KeyboardModifiers) {
            ++asked;
            return true;
        };
        const WheelHookSuspender noHook;
        m.wheel(-120);
        QCOMPARE(asked, 1);
        QCOMPARE(m.table()->row(), 10);
        m.wheel(120); // no handler for the other way
        QCOMPARE(m.table()->row(), 8);
    }

    void titlePressedWhileItsClickRuns()
    {
        GridMain m;
        TDBGridTitles *titles = m.grid()->titles();
        const int column = m.state().CurrentDataSource->columnOfField("Mail");
        const QPoint at(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2,
                        titles->height() / 2);
        const qint64 current = m.table()->currentId();
        QList<int> clicked;
        bool pressedDuringClick = false;
        connect(m.grid(), &TDBGrid::titleClick, this, [&](int c) {
            clicked.append(c);
            pressedDuringClick = titles->TitlePressed && titles->PressedColumn == c;
        });
        QTest::mouseMove(titles->viewport(), at);
        QTRY_COMPARE(titles->HotColumn, column);
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(clicked, QList<int>{column});
        QVERIFY(pressedDuringClick);
        QVERIFY(!titles->TitlePressed);
        QCOMPARE(titles->PressedColumn, -1);
        // The click on a title never changes the current record.
        QCOMPARE(m.table()->currentId(), current);
    }

    void columnWidthsFollowTheScreen()
    {
        GridMain m;
        AddressModel *model = m.state().CurrentDataSource;
        const int column = model->columnOfField("Name");
        m.grid()->horizontalHeader()->resizeSection(column, 177);
        QCOMPARE(model->columns().at(column).width, 177);
        // Hiding a column keeps its width for the layout.
        m.grid()->setColumnHidden(column, true);
        m.grid()->storeLayoutInModel();
        QCOMPARE(model->columns().at(model->columnOfField("Name")).width, 177);
        QVERIFY(!model->columns().at(model->columnOfField("Name")).visible);
        // A moved column moves in the model, and the grid keeps what it showed.
        QHeaderView *h = m.grid()->horizontalHeader();
        const int mail = model->columnOfField("Mail");
        h->resizeSection(mail, 150);
        h->moveSection(h->visualIndex(mail), 0);
        m.grid()->storeLayoutInModel();
        QCOMPARE(model->columns().first().field, QStringLiteral("Mail"));
        QCOMPARE(h->sectionSize(0), 150);
        QVERIFY(m.grid()->isColumnHidden(model->columnOfField("Name")));
        QCOMPARE(m.table()->row(), 10);
    }

    // Without a stored layout the address column shows a typical address whole.
    void addressColumnShowsAnAddress()
    {
        GridMain m;
        const QString address = "vorname.nachname@beispiel-firma.de";
        QVERIFY(m.table()->edit() && m.table()->setValue("Mail", address) && m.table()->post());
        const int mail = m.model()->columnOfField("Mail");
        const QModelIndex cell = m.model()->index(m.table()->row(), mail);
        QStyleOptionViewItem option;
        option.initFrom(m.grid());
        option.rect = m.grid()->visualRect(cell);
        option.text = address;
        option.features = QStyleOptionViewItem::HasDisplay;
        // The text area the style leaves for the cell's text holds the address.
        const QRect text = m.grid()->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, m.grid());
        QVERIFY2(
            text.width() >= m.grid()->fontMetrics().horizontalAdvance(address),
            qPrintable(
                QStringLiteral("%1 < %2").arg(text.width()).arg(m.grid()->fontMetrics().horizontalAdvance(address))));
    }

    void ctrlDelDeletesAfterAsking()
    {
        GridMain m;
        const int name = m.table()->fieldIndex("Name");
        // Only while the cells are edited.
        QTest::keyClick(m.grid(), Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(m.boxes.isEmpty());
        m.editCells();
        for (MsgButton answer : {MsgButton::No, MsgButton::Yes}) {
            m.boxes.answer(answer);
            QTest::keyClick(m.grid(), Qt::Key_Delete, Qt::ControlModifier);
            const MessageRecorder::Box box = m.boxes.take();
            QCOMPARE(box.kind, MsgKind::Question);
            QCOMPARE(box.text, QStringLiteral("Datensatz löschen?"));
            QCOMPARE(box.defaultButton, MsgButton::No);
        }
        QCOMPARE(m.table()->recordCount(), 19);
        QCOMPARE(m.table()->count(Filter::equals("Name", "10")), 0);
        QCOMPARE(m.table()->text(name), QStringLiteral("11"));
        QCOMPARE(m.grid()->currentIndex().row(), 10);
    }

    void insertAndDownAddARecord_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("from"); // row the grid stands on
        QTest::newRow("Insert") << int(Qt::Key_Insert) << 10;
        QTest::newRow("Down on the last row") << int(Qt::Key_Down) << 19;
    }
    void insertAndDownAddARecord()
    {
        QFETCH(int, key);
        QFETCH(int, from);
        GridMain m;
        const int name = m.model()->columnOfField("Name");
        m.editCells();
        m.grid()->setCurrentIndex(m.model()->index(from, name));
        QTest::keyClick(m.grid(), Qt::Key(key));
        QCOMPARE(m.model()->rowCount(), 21);
        QCOMPARE(m.grid()->currentIndex(), m.model()->index(20, name));
        QCOMPARE(m.table()->state(), AddressTable::State::Insert);
        // Down on the new row adds no second one.
        QTest::keyClick(m.grid(), Qt::Key_Down);
        QCOMPARE(m.model()->rowCount(), 21);
        // The first value typed stores the record; the grid stays on it, in its column.
        m.grid()->edit(m.grid()->currentIndex());
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText("Neu");
        QTest::keyClick(editor, Qt::Key_Return); // the editor commits after the key
        QTRY_COMPARE(m.table()->state(), AddressTable::State::Browse);
        QCOMPARE(m.table()->recordCount(), 21);
        QCOMPARE(m.model()->rowCount(), 21);
        QCOMPARE(m.table()->text("Name"), QStringLiteral("Neu"));
        QCOMPARE(m.table()->value("Selected"), QVariant(false));
        QCOMPARE(m.table()->value("Invalid"), QVariant(false));
        QCOMPARE(m.grid()->currentIndex(), m.model()->index(20, name));
        QVERIFY(m.boxes.isEmpty());
        // The focus stays in the grid, so Down adds the next one.
        QTRY_COMPARE(QApplication::focusWidget(), m.grid());
        QTest::keyClick(m.grid(), Qt::Key_Down);
        QCOMPARE(m.model()->rowCount(), 22);
    }

    // Tab after the value that stores the new record goes on to the next cell
    // of that record, as it does in any other row.
    void tabMovesOnFromTheNewRecord()
    {
        GridMain m;
        m.editCells();
        m.grid()->setCurrentIndex(m.model()->index(19, m.model()->columnOfField("Mail")));
        QTest::keyClick(m.grid(), Qt::Key_Down);
        QTest::keyClicks(m.grid(), "a"); // starts editing the cell
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        QTest::keyClicks(editor, "nna@example.de");
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(m.grid()->currentIndex(), m.model()->index(20, m.model()->columnOfField("Anrede")));
        editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        QTest::keyClicks(editor, "Frau");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(m.table()->text("Anrede"), QStringLiteral("Frau"));
        QCOMPARE(m.table()->text("Mail"), QStringLiteral("anna@example.de"));
        QCOMPARE(m.table()->recordCount(), 21);
    }

    // A new row left before anything was typed into it is dropped: no empty record.
    void abandonedNewRowIsCancelled_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Up") << "up";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("Ctrl+Del") << "ctrl+del";
        QTest::newRow("another control") << "control";
        QTest::newRow("a command") << "command";
        QTest::newRow("the wheel") << "wheel";
        QTest::newRow("editing switched off") << "off";
    }
    void abandonedNewRowIsCancelled()
    {
        QFETCH(QString, how);
        GridMain m;
        m.editCells();
        QTest::keyClick(m.grid(), Qt::Key_Insert);
        QCOMPARE(m.model()->rowCount(), 21);
        if (how == "up") {
            QTest::keyClick(m.grid(), Qt::Key_Up);
        } else if (how == "escape") {
            QTest::keyClick(m.grid(), Qt::Key_Escape);
        } else if (how == "ctrl+del") {
            QTest::keyClick(m.grid(), Qt::Key_Delete, Qt::ControlModifier);
        } else if (how == "control") {
            m.child<QComboBox>("ComboBox1")->setFocus();
        } else if (how == "command") {
            m.form->commandAction("FirstButton")->trigger();
        } else if (how == "wheel") {
            const WheelHookSuspender noHook;
            m.wheel(120);
        } else {
            m.editCells();
        }
        QCOMPARE(m.model()->rowCount(), 20);
        QCOMPARE(m.table()->state(), AddressTable::State::Browse);
        QCOMPARE(m.table()->count({}), 20);
        QVERIFY(m.boxes.isEmpty());
        QVERIFY(m.grid()->currentIndex().isValid());
        QCOMPARE(m.grid()->currentIndex().row(), m.table()->row());
    }

    // A box over the window is no leaving: the new row waits for its value.
    void newRowSurvivesAMessageBox()
    {
        GridMain m;
        m.editCells();
        QTest::keyClick(m.grid(), Qt::Key_Insert);
        auto *other = new QLineEdit; // a window of its own, as a message box is
        other->setAttribute(Qt::WA_DeleteOnClose);
        other->show();
        other->activateWindow();
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QVERIFY(m.model()->hasNewRow());
        other->close();
    }
};

QTEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"
