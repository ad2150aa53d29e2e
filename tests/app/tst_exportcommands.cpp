// "Datensätze exportieren" from the main window: the wizard opens on the first
// record, and the workbook holds the columns the grid shows, in the order it
// shows them, with the records under its filter (read back with openpyxl).
#include "../exchange/readback.h"
#include "exportwizardform.h"
#include "filedialogrecorder.h"
#include "mainformfixture.h"
#include "modal.h"

#include <QAction>
#include <QPushButton>
#include <QRadioButton>

using namespace vt;

class TestExportCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }
    void cleanup() { Modal::setHandler({}); }

    void workbookOfTheShownColumns()
    {
        MainOnScreen m({{{"Mail", "anna@example.de"}, {"Name", "Zorn"}, {"PLZ", "01067"}, {"Ort", "Dresden"}},
                        {{"Mail", "bert@example.de"}, {"Name", "Adler"}, {"PLZ", "80331"}, {"Ort", "München"}},
                        {{"Mail", "carl@example.de"}, {"Name", "Maier"}, {"PLZ", "04109"}, {"Ort", "Leipzig"}}});
        QVERIFY(m.table()->setFilterText(QStringLiteral("PLZ<'5'")) && m.table()->setFiltered(true));
        QVERIFY(m.table()->last());
        // The user moved "Ort" to the front and hid everything but Ort, Name and PLZ.
        QHeaderView *titles = m.grid()->horizontalHeader();
        const AddressModel *model = m.state().CurrentDataSource;
        for (int c = 0; c < model->columnCount(); ++c)
            titles->setSectionHidden(c, !QStringList{"Ort", "Name", "PLZ"}.contains(model->fieldOfColumn(c)));
        titles->moveSection(titles->visualIndex(m.column("Ort")), 0);

        FileDialogRecorder files;
        files.answer(m.dir.file("export"));
        qint64 rowWhenShown = -1;
        Modal::setHandler([&](QDialog *d) {
            auto *wizard = qobject_cast<TExportWizzard1Form *>(d);
            if (!wizard)
                return int(QDialog::Rejected);
            rowWhenShown = m.table()->row();
            d->findChild<QRadioButton *>("ExcelRadioButton")->setChecked(true);
            d->findChild<QPushButton *>("WeiterBitBtn")->click();
            return d->result();
        });
        m.form->commandAction("Datenstzeexportieren1")->trigger();
        QCOMPARE(rowWhenShown, 0);
        QCOMPARE(files.requests, QStringList{"save|Speichern unter||Excel-Datei (*.xlsx)"});
        READ_EXPORT(book, ReadWorkbook(m.dir.file("export.xlsx")));
        QCOMPARE(book.sheets, QStringList{"Vantrel_Export"});
        const QString name = model->columns().at(m.column("Name")).title;
        QCOMPARE(book.rows, (QList<QStringList>{
                                {"Ort", name, "PLZ"}, {"Dresden", "Zorn", "01067"}, {"Leipzig", "Maier", "04109"}}));
        QVERIFY(m.table()->isFiltered());
        QVERIFY(m.boxes.isEmpty());
    }

    void refusedWithoutADatabase()
    {
        StartedMain m;
        m.state().FreeTableComponents();
        int shown = 0;
        Modal::setHandler([&](QDialog *) { return ++shown, int(QDialog::Rejected); });
        m.form->commandAction("Datenstzeexportieren1")->trigger();
        QVERIFY(m.boxes.takeExpected(MsgKind::Information, QStringLiteral("Zuerst Datenbank öffnen!")));
        QCOMPARE(shown, 0);
    }
};

QTEST_MAIN(TestExportCommands)
#include "tst_exportcommands.moc"
