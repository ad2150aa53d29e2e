#include "migrationform.h"
#include "ui_migrationform.h"

#include "definitionfiles.h"
#include "gradientbackground.h"
#include "inputblocker.h"
#include "mainstate.h"
#include "messages.h"
#include "text.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>

#include <algorithm>

namespace vt {

namespace {

const QString kNothing = QStringLiteral("Nichts");
constexpr int kRowTop = 8, kRowStep = 40;

} // namespace

TMigrationForm::TMigrationForm(QWidget *parent) : QDialog(parent), ui(new Ui::TMigrationForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TMigrationForm"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetGradientBackground(this, Qt::white, QColor(0xc4, 0xd7, 0xef));
    ui->ScrollBoxContents->setAutoFillBackground(true);
    QPalette white = ui->ScrollBoxContents->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui->ScrollBoxContents->setPalette(white);
    ui->StatusLabel->setTextFormat(Qt::PlainText);
    connect(ui->ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(ui->StartBitBtn, &QPushButton::clicked, this, &TMigrationForm::StartBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &TMigrationForm::AbortBitBtnClick);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TMigrationForm::HilfeBitBtnClick);
}

TMigrationForm::~TMigrationForm()
{
    delete ui;
}

void TMigrationForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMigrationForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

QString TMigrationForm::definitionFileAt(int catalogEntry) const
{
    // Entry i of the boxes stands for catalogue line i + 1.
    return catalogEntry < 0 ? QString()
                            : CatalogEntryOf(MainState().DatabaseCatalog.value(catalogEntry + 1)).definitionFile;
}

void TMigrationForm::FormShow()
{
    const TMainState &s = MainState();
    CanCloseFlag = false;
    ui->ProgressBar1->setValue(0);
    SourceFieldDefinitions.clear();
    TargetFieldDefinitions.clear();
    m_sourceColumns.clear();
    m_sourceTable.clear();
    ui->ComboBox1->clear();
    ui->ComboBox2->clear();
    for (int i = 1; i < s.DatabaseCatalog.size(); ++i) {
        const QString name = CatalogEntryOf(s.DatabaseCatalog.at(i)).displayName;
        ui->ComboBox1->addItem(name);
        ui->ComboBox2->addItem(name);
    }
    ui->ComboBox2->setCurrentIndex(-1);
    for (int i = 0; i < ui->ComboBox2->count(); ++i)
        if (EqualsNoCase(definitionFileAt(i), s.DatabaseIniName))
            ui->ComboBox2->setCurrentIndex(i);
    ui->ComboBox1->setCurrentIndex(-1);
    ui->StatusLabel->clear();
    ui->StartBitBtn->setEnabled(false);
    buildTargetRows();
}

void TMigrationForm::FormHide()
{
    FreeMappingControls();
    SourceFieldDefinitions.clear();
    TargetFieldDefinitions.clear();
}

void TMigrationForm::buildTargetRows()
{
    FreeMappingControls();
    TargetFieldDefinitions.clear();
    DatabaseTable target;
    QString problem;
    if (ui->ComboBox2->currentIndex() >= 0 &&
        !ReadDatabaseTable(MainState().DataFolder, definitionFileAt(ui->ComboBox2->currentIndex()), &target, &problem))
        error(problem);
    TargetFieldDefinitions = target.fieldDefinitions;
    BuildMappingControls();
}

void TMigrationForm::BuildMappingControls()
{
    m_targetColumns = UserColumns(TargetFieldDefinitions);
    QWidget *box = ui->ScrollBoxContents;
    int width = 400;
    for (int k = 0; k < m_targetColumns.size(); ++k) {
        const UserColumn &c = m_targetColumns.at(k);
        auto *combo = new QComboBox(box);
        combo->setObjectName(QStringLiteral("Combo_") + c.field);
        combo->setGeometry(22, kRowTop + kRowStep * k, 110, 22);
        combo->setMaxVisibleItems(40);
        combo->addItem(kNothing);
        for (const UserColumn &s : std::as_const(m_sourceColumns))
            combo->addItem(s.caption);
        combo->show();
        auto *label = new QLabel(QStringLiteral("----->  wird übernommen in das Feld \"%1\"").arg(c.caption), box);
        label->setObjectName(QStringLiteral("Label_") + c.field);
        label->setTextFormat(Qt::PlainText);
        // As wide as its text, so that a long field name is not cut off.
        label->setGeometry(142, kRowTop + 2 + kRowStep * k, std::max(250, label->sizeHint().width()), 20);
        label->show();
        width = std::max(width, label->geometry().right() + 8);
        m_combos.append(combo);
        m_labels.append(label);
    }
    box->resize(width, kRowTop + kRowStep * int(m_targetColumns.size()) + 8);
}

void TMigrationForm::FreeMappingControls()
{
    qDeleteAll(m_combos);
    qDeleteAll(m_labels);
    m_combos.clear();
    m_labels.clear();
}

void TMigrationForm::ComboBox1Change()
{
    buildTargetRows();
    ui->StartBitBtn->setEnabled(false);
    const int source = ui->ComboBox1->currentIndex(), target = ui->ComboBox2->currentIndex();
    if (source < 0)
        return;
    if (source == target || EqualsNoCase(definitionFileAt(source), definitionFileAt(target))) {
        information(QStringLiteral(
            "Quell und Zieldatenbank identisch! Datensätze können nicht in sich selbst übernommen werden!"));
        return;
    }
    DatabaseTable table;
    QString problem;
    if (!ReadDatabaseTable(MainState().DataFolder, definitionFileAt(source), &table, &problem)) {
        error(problem);
        return;
    }
    SourceFieldDefinitions = table.fieldDefinitions;
    m_sourceTable = table.tableFile;
    m_sourceColumns = UserColumns(SourceFieldDefinitions);
    for (QComboBox *combo : std::as_const(m_combos)) {
        combo->clear();
        combo->addItem(kNothing);
        for (const UserColumn &c : std::as_const(m_sourceColumns))
            combo->addItem(c.caption);
        combo->setCurrentIndex(0);
    }
    ui->StartBitBtn->setEnabled(true);
}

void TMigrationForm::showProgress(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    ui->ProgressBar1->setValue(percent);
    ui->StatusLabel->setText(QStringLiteral("%1 Datensäte von %2 (%3 Prozent)").arg(done).arg(total).arg(percent));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMigrationForm::StartBitBtnClick()
{
    AddressTable *target = MainState().CurrentTable;
    if (!target || m_sourceTable.isEmpty())
        return;
    ColumnMapping mapping;
    for (int k = 0; k < m_combos.size(); ++k) {
        const int p = m_combos.at(k)->currentIndex();
        if (p >= 1 && p <= m_sourceColumns.size())
            mapping.append({m_targetColumns.at(k).field, m_sourceColumns.at(p - 1).field});
    }
    if (mapping.isEmpty() && !question(QStringLiteral("Wollen Sie wirklich keine weiteren Felder zuordnen?"))) {
        CanCloseFlag = false;
        return;
    }
    const bool onlyMarked = ui->SeletctierteRadioButton->isChecked();
    QString problem;
    const qint64 n = CountTransferRecords(m_sourceTable, onlyMarked, &problem);
    if (n < 0) {
        error(problem);
        return;
    }
    if (!question(QStringLiteral("Es werden %1 Datensätze aus der Datenbank \"%2\" in die Datenbank \"%3 \" "
                                 "übernommen.\rWollen Sie den Transfer starten?")
                      .arg(n)
                      .arg(Trimmed(ui->ComboBox1->currentText()), Trimmed(ui->ComboBox2->currentText()))))
        return;
    bool ok;
    qint64 copied = 0;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ui->AbortBitBtn->setEnabled(false);
        const InputBlocker block;
        QElapsedTimer shown;
        shown.start();
        ok = TransferRecords(
            *target, m_sourceTable, onlyMarked, mapping,
            [&](qint64 done, qint64 total) {
                if (done == total || shown.elapsed() >= 100) {
                    showProgress(done, total);
                    shown.restart();
                }
            },
            &copied, &problem);
        ui->AbortBitBtn->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    if (!ok) {
        ui->ProgressBar1->setValue(0);
        ui->StatusLabel->clear();
        error(problem);
        return;
    }
    CanCloseFlag = true;
    done(QDialog::Accepted);
}

void TMigrationForm::AbortBitBtnClick()
{
    CanCloseFlag = true;
    done(QDialog::Rejected);
}

void TMigrationForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

void TMigrationForm::reject()
{
    AbortBitBtnClick();
}

void TMigrationForm::done(int result)
{
    if (CanCloseFlag)
        QDialog::done(result);
}

} // namespace vt
