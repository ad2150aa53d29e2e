#include "outlookimportform.h"
#include "ui_outlookimportform.h"

#include "importrun.h"
#include "mainstate.h"
#include "messages.h"

#include <QApplication>
#include <QHeaderView>
#include <QShowEvent>

namespace vt {

namespace {

const QString kNotImported = QStringLiteral("Nicht importieren");
const QString kMainFolder = QStringLiteral("Kontakt Hauptordner");

} // namespace

TOutlookImportForm::TOutlookImportForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui(new Ui::TOutlookImportForm)
{
    ui->setupUi(this);
    ui->StringGrid1->verticalHeader()->hide();
    ui->StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    ui->StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (QComboBox *box : {ui->Import1Comboxbox, ui->Import2Comboxbox, ui->Import3Comboxbox}) {
        for (const OutlookProperty &p : OutlookProperties())
            box->addItem(p.caption);
        connect(box, &QComboBox::currentIndexChanged, this, &TOutlookImportForm::Import1ComboxboxChange);
    }
    connect(ui->ComboBox6, &QComboBox::currentIndexChanged, this, &TOutlookImportForm::Runit);
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TOutlookImportForm::Runit);
    connect(ui->cbOutlookFolder, &QComboBox::currentIndexChanged, this, &TOutlookImportForm::cbOutlookFolderChange);
    connect(ui->StartImportBitBtn, &QPushButton::clicked, this, &TOutlookImportForm::StartImportBitBtnClick);
    connect(ui->AbortBitbtn, &QPushButton::clicked, this, &QDialog::reject);
}

TOutlookImportForm::~TOutlookImportForm()
{
    delete ui;
}

void TOutlookImportForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // The wizard set the hourglass for the way here.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    CreateComponents();
    // The folder box always starts on the folder that is shown and imported.
    m_filling = true;
    ui->cbOutlookFolder->clear();
    ui->cbOutlookFolder->addItem(kMainFolder);
    ui->cbOutlookFolder->addItems(ContactStore::instance().subfolderNames());
    ui->cbOutlookFolder->setCurrentIndex(0);
    m_filling = false;
    CurrentContactFolder.clear();
    readFolder();
    Runit();
}

void TOutlookImportForm::CreateComponents()
{
    const QList<ImportField> targets = OutlookTargets(MainState().FieldDefinitions);
    TargetCaptions.clear();
    TargetFields.clear();
    m_filling = true;
    for (QComboBox *box : {ui->ComboBox3, ui->ComboBox4, ui->ComboBox5}) {
        // A choice of an earlier opening stays while the open database still has that field.
        const QString chosen = box->currentText();
        box->clear();
        box->addItem(kNotImported);
        for (const ImportField &f : targets)
            box->addItem(f.displayName);
        const int again = box->findText(chosen);
        box->setCurrentIndex(again > 0 ? again : 0);
    }
    m_filling = false;
    for (const ImportField &f : targets) {
        TargetCaptions.append(f.displayName);
        TargetFields.append(f.name);
    }
}

void TOutlookImportForm::readFolder()
{
    QString why;
    m_items.clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = ContactStore::instance().items(CurrentContactFolder, &m_items, &why);
    QApplication::restoreOverrideCursor();
    if (!ok)
        error(why);
}

QList<int> TOutlookImportForm::extraPositions() const
{
    return {ui->Import1Comboxbox->currentIndex(), ui->Import2Comboxbox->currentIndex(),
            ui->Import3Comboxbox->currentIndex()};
}

void TOutlookImportForm::Runit()
{
    if (m_filling)
        return;
    const QList<int> extras = extraPositions();
    m_rows = OutlookPreviewRows(m_items, ui->ComboBox6->currentIndex(), ui->CheckBox1->isChecked(), extras);
    QStringList headers{QStringLiteral("Name"), QStringLiteral("E-Mail")};
    QList<int> shown; // the extra boxes with a column, in order
    const QList<QComboBox *> boxes{ui->Import1Comboxbox, ui->Import2Comboxbox, ui->Import3Comboxbox};
    for (int k = 0; k < 3; ++k)
        if (extras.at(k) > 0) {
            headers.append(boxes.at(k)->currentText());
            shown.append(k);
        }
    QTableWidget *grid = ui->StringGrid1;
    grid->clear();
    grid->setColumnCount(int(headers.size()));
    grid->setHorizontalHeaderLabels(headers);
    grid->setRowCount(int(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r) {
        const OutlookRow &row = m_rows.at(r);
        grid->setItem(r, 0, new QTableWidgetItem(row.name));
        grid->setItem(r, 1, new QTableWidgetItem(row.address));
        for (int c = 0; c < shown.size(); ++c)
            grid->setItem(r, 2 + c, new QTableWidgetItem(row.extras.value(shown.at(c))));
    }
    ui->Anzeigelabel->setText(QStringLiteral("Datensätze: %1").arg(m_rows.size()));
}

void TOutlookImportForm::Import1ComboxboxChange()
{
    if (m_filling)
        return;
    m_filling = true;
    auto follow = [](QComboBox *leader, QComboBox *extra, QComboBox *target) {
        const bool on = leader->isEnabled() && leader->currentIndex() > 0;
        extra->setEnabled(on);
        target->setEnabled(on);
        if (!on) {
            extra->setCurrentIndex(0);
            target->setCurrentIndex(0);
        }
    };
    follow(ui->Import1Comboxbox, ui->Import2Comboxbox, ui->ComboBox4);
    follow(ui->Import2Comboxbox, ui->Import3Comboxbox, ui->ComboBox5);
    m_filling = false;
    Runit();
}

void TOutlookImportForm::cbOutlookFolderChange()
{
    if (m_filling)
        return;
    CurrentContactFolder = ui->cbOutlookFolder->currentIndex() <= 0 ? QString() : ui->cbOutlookFolder->currentText();
    readFolder();
    Runit();
}

void TOutlookImportForm::StartImportBitBtnClick()
{
    const QList<QComboBox *> targets{ui->ComboBox3, ui->ComboBox4, ui->ComboBox5};
    QStringList captions;
    for (QComboBox *box : targets)
        captions.append(box->currentText());
    if (HasDuplicateTarget(captions)) {
        plain(QStringLiteral("Sie haben mehrmals das gleiche Zielfeld angegeben! Bitte korrigieren dieses!"));
        return;
    }
    AddressTable *table = MainState().CurrentTable;
    if (!table)
        return;
    // The extra value of box k goes to target k; the last field of that display name counts.
    QStringList fields;
    const QList<int> extras = extraPositions();
    for (int k = 0; k < 3; ++k) {
        const int at = int(TargetCaptions.lastIndexOf(captions.at(k)));
        fields.append(extras.at(k) > 0 && at >= 0 ? TargetFields.at(at) : QString());
    }
    ImportOutcome outcome;
    {
        ImportRun run;
        outcome = ImportOutlookRows(*table, m_rows, fields, run.progress());
    }
    FinishImport(outcome);
    accept();
}

} // namespace vt
