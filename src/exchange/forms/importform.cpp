#include "importform.h"
#include "ui_importform.h"

#include "filedialogs.h"
#include "importrun.h"
#include "importtables.h"
#include "mainstate.h"
#include "messages.h"
#include "productinfo.h"
#include "text.h"

#include <QColor>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QShowEvent>

namespace vt {

namespace {

const QString kNoFile = QStringLiteral("Noch keine Datei gewählt");
const QString kNoQuote = QStringLiteral("keiner");

} // namespace

TImportForm::TImportForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), ui(new Ui::TImportForm)
{
    ui->setupUi(this);
    ui->DelimiterComboBox->addItems(
        {";", "|", ",", ".", "Tab", "Space", "*", "+", "~", "'", "#", "\"", "$", "§", "%", "&", "_", "-"});
    ui->ComboBox1->addItems({kNoQuote, "\"", "'", "´", "`", "~", "#", "*", "+"});
    ui->ComboBox1->setCurrentText(kNoQuote);
    ui->StringGrid1->verticalHeader()->hide();
    ui->StringGrid1->verticalHeader()->setDefaultSectionSize(20);
    ui->StringGrid1->horizontalHeader()->setDefaultSectionSize(80);
    ui->PreviewPanel->hide();

    // The preview follows every input, a moment after the last change.
    m_previewTimer.setSingleShot(true);
    m_previewTimer.setInterval(250);
    connect(&m_previewTimer, &QTimer::timeout, this, &TImportForm::FillPreview);
    connect(ui->DelimiterComboBox, &QComboBox::currentTextChanged, this, &TImportForm::previewSoon);
    connect(ui->ComboBox1, &QComboBox::currentTextChanged, this, &TImportForm::previewSoon);
    connect(ui->SkipCheckBox, &QCheckBox::toggled, this, &TImportForm::FillPreview);
    connect(ui->PreviewComboBox, &QComboBox::currentIndexChanged, this, &TImportForm::FillPreview);
    connect(ui->FixedEntryComboBox, &QComboBox::currentIndexChanged, this, &TImportForm::previewSoon);
    connect(ui->FixedEntryEdit, &QLineEdit::textChanged, this, &TImportForm::previewSoon);
    connect(ui->FixEntryChkBox, &QCheckBox::toggled, this, [this](bool on) {
        ui->FixedEntryComboBox->setEnabled(on);
        ui->FixedEntryEdit->setEnabled(on);
        previewSoon();
    });
    connect(ui->OpenBitBtn, &QPushButton::clicked, this, &TImportForm::OpenBitBtnClick);
    connect(ui->Blacklistbtn, &QPushButton::clicked, this, &TImportForm::BlacklistbtnClick);
    connect(ui->BlacklistDeletebtn, &QToolButton::clicked, this, &TImportForm::BlacklistDeletebtnClick);
    connect(ui->BlacklistInfobtn, &QToolButton::clicked, this, &TImportForm::BlacklistInfobtnClick);
    connect(ui->ImportBitBtn, &QPushButton::clicked, this, &TImportForm::ImportBitBtnClick);
    connect(ui->AbbrechenBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TImportForm::BitBtn1Click);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TImportForm::HilfeBitBtnClick);
    const QList<QPair<QLabel *, QString TProductInfo::*>> links{
        {ui->ExcelHelpLabel, &TProductInfo::ExcelHelpPage},
        {ui->AccessHelpLabel, &TProductInfo::AccessHelpPage},
        {ui->DatabasesHelpLabel, &TProductInfo::DatabasesHelpPage},
        {ui->TextHelpLabel, &TProductInfo::TextImportHelpPage}};
    for (const auto &[label, page] : links)
        connect(label, &QLabel::linkActivated, this, [page] { OpenHelpPage(ProductInfo().*page); });
}

TImportForm::~TImportForm()
{
    delete ui;
}

QString TImportForm::FieldDelimiter() const
{
    const QString text = ui->DelimiterComboBox->currentText();
    if (text == QLatin1String("Tab"))
        return QStringLiteral("\t");
    if (text == QLatin1String("Space"))
        return QStringLiteral(" ");
    return Trimmed(text).isEmpty() ? text : Trimmed(text);
}

QString TImportForm::quoteCharacter() const
{
    const QString text = Trimmed(ui->ComboBox1->currentText());
    return text == kNoQuote ? QString() : text;
}

void TImportForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    BuildFieldEditors();
    LoadColumnMap();
    BlacklistDeletebtnClick();
    // Every opening starts without a file, with ";" and without the preview.
    ImportFileName.clear();
    ui->FilenameEdit->setText(kNoFile);
    ui->ImportBitBtn->setEnabled(false);
    ui->DelimiterComboBox->setCurrentText(QStringLiteral(";"));
    setPreviewShown(false);
    clearPreviewRows();
}

void TImportForm::hideEvent(QHideEvent *event)
{
    m_previewTimer.stop();
    FreeFieldEditors();
    QDialog::hideEvent(event);
}

void TImportForm::BuildFieldEditors()
{
    FreeFieldEditors();
    m_fields = ImportableFields(MainState().FieldDefinitions);
    ui->StringGrid1->setColumnCount(int(m_fields.size()));
    const int chosen = ui->FixedEntryComboBox->currentIndex();
    FixedEntryFields.clear();
    ui->FixedEntryComboBox->clear();
    QWidget *box = ui->ScrollBox1Contents;
    // The boxes stand right of the longest label.
    int labelWidth = 148;
    for (const ImportField &f : std::as_const(m_fields))
        labelWidth = std::max(labelWidth, box->fontMetrics().horizontalAdvance(QLatin1Char('"') + f.displayName +
                                                                               QStringLiteral("\" ist in Spalte")) +
                                              4);
    const int editLeft = 20 + labelWidth + 2;
    for (qsizetype k = 0; k < m_fields.size(); ++k) {
        const ImportField &f = m_fields.at(k);
        ui->FixedEntryComboBox->addItem(f.displayName);
        FixedEntryFields.append(f.name);
        auto *edit = new QLineEdit(QStringLiteral("0"), box);
        edit->setObjectName(QStringLiteral("Edit_") + f.name);
        edit->setGeometry(editLeft, 10 + 20 * int(k), 100, 20);
        connect(edit, &QLineEdit::textChanged, this, &TImportForm::previewSoon);
        edit->show();
        auto *label = new QLabel(QLatin1Char('"') + f.displayName + QStringLiteral("\" ist in Spalte"), box);
        label->setObjectName(QStringLiteral("Label_") + f.name);
        label->setGeometry(20, 12 + 20 * int(k), labelWidth, 18);
        label->show();
        m_columnEdits.append(edit);
        ui->StringGrid1->setHorizontalHeaderItem(int(k), new QTableWidgetItem(f.displayName));
    }
    box->resize(editLeft + 120, 20 + 20 * int(m_fields.size()));
    ui->FixedEntryComboBox->setCurrentIndex(chosen >= 0 && chosen < ui->FixedEntryComboBox->count() ? chosen : 0);
}

void TImportForm::FreeFieldEditors()
{
    for (QObject *child : ui->ScrollBox1Contents->children())
        if (child->objectName().startsWith(QLatin1String("Edit_")) ||
            child->objectName().startsWith(QLatin1String("Label_")))
            delete child;
    m_columnEdits.clear();
}

void TImportForm::LoadColumnMap()
{
    const TMainState &s = MainState();
    ColumnMapFile = ColumnMapPath(s.DataFolder, s.DatabaseIniName);
    const QStringList boxes = ReadColumnMap(ColumnMapFile, int(m_columnEdits.size()));
    for (qsizetype k = 0; k < m_columnEdits.size(); ++k) {
        const QSignalBlocker quiet(m_columnEdits.at(k));
        m_columnEdits.at(k)->setText(boxes.at(k));
    }
}

void TImportForm::SaveColumnMap()
{
    if (ColumnMapFile.isEmpty())
        return;
    QStringList boxes;
    for (QLineEdit *e : std::as_const(m_columnEdits))
        boxes.append(e->text());
    QString why;
    if (!WriteColumnMap(ColumnMapFile, boxes, FieldDelimiter(), &why))
        error(why);
}

QList<int> TImportForm::columnNumbers() const
{
    QList<int> columns;
    for (QLineEdit *e : m_columnEdits)
        columns.append(IsIntegerText(e->text()) ? Trimmed(e->text()).toInt() : 0);
    return columns;
}

bool TImportForm::checkColumns()
{
    for (qsizetype k = 0; k < m_columnEdits.size(); ++k)
        if (!IsIntegerText(m_columnEdits.at(k)->text())) {
            information(QStringLiteral("Bei \"%1\" steht keine ganze Zahl als Spalte!\rGeben Sie 0 für nicht "
                                       "vorhandene Spalten ein.")
                            .arg(m_fields.value(k).displayName));
            m_columnEdits.at(k)->setFocus();
            return false;
        }
    return true;
}

TextImportSettings TImportForm::textSettings() const
{
    TextImportSettings s;
    s.path = ImportFileName;
    s.format = {FieldDelimiter(), quoteCharacter()};
    s.skipHeader = ui->SkipCheckBox->isChecked();
    s.blacklistPath = BlacklistFileName;
    s.columns = columnNumbers();
    if (ui->FixEntryChkBox->isChecked()) {
        s.fixedField = ui->FixedEntryComboBox->currentIndex();
        s.fixedText = ui->FixedEntryEdit->text();
    }
    return s;
}

bool TImportForm::ImportCVS(const QString &fileName)
{
    AddressTable *table = MainState().CurrentTable;
    if (!table)
        return false;
    TextImportSettings s = textSettings();
    s.path = fileName;
    ImportOutcome outcome;
    {
        ImportRun run;
        outcome = ImportDelimitedText(*table, m_fields, s, run.progress(),
                                      [&run](const QString &text) { return run.ask(text); });
    }
    m_cancelled = outcome.cancelled;
    return FinishImport(outcome);
}

bool TImportForm::ImportDataBase(const QString &fileName)
{
    AddressTable *table = MainState().CurrentTable;
    if (!table)
        return false;
    ImportOutcome outcome;
    {
        ImportRun run;
        outcome = ImportSourceTable(*table, m_fields, fileName, columnNumbers(), run.progress());
    }
    return FinishImport(outcome);
}

void TImportForm::ImportBitBtnClick()
{
    if (ImportFileName.isEmpty() || !checkColumns())
        return;
    const bool table = IsTableFile(ImportFileName);
    if (!table) {
        const QString why = DelimitedFormatError({FieldDelimiter(), quoteCharacter()});
        if (!why.isEmpty()) {
            information(why);
            return;
        }
    }
    m_cancelled = false;
    if (table)
        ImportDataBase(ImportFileName);
    else
        ImportCVS(ImportFileName);
    // Said No before anything was stored: the dialog stays, as it was.
    if (m_cancelled)
        return;
    SaveColumnMap();
    accept();
}

void TImportForm::previewSoon()
{
    if (PreviewShown && isVisible())
        m_previewTimer.start();
}

int TImportForm::previewRows() const
{
    static const int rows[] = {1, 5, 10, 20};
    const int i = ui->PreviewComboBox->currentIndex();
    return i >= 0 && i < 4 ? rows[i] : 1;
}

void TImportForm::clearPreviewRows()
{
    ui->StringGrid1->clearContents();
    ui->StringGrid1->setRowCount(0);
    ui->PreviewErrorLabel->clear();
    ui->PreviewErrorLabel->hide();
    ui->PreviewNoteLabel->clear();
    ui->PreviewNoteLabel->hide();
}

void TImportForm::FillPreview()
{
    m_previewTimer.stop();
    clearPreviewRows();
    if (ImportFileName.isEmpty())
        return;
    for (QLineEdit *e : std::as_const(m_columnEdits))
        if (!IsIntegerText(e->text()))
            return;
    ImportPreview p;
    const QString formatError = DelimitedFormatError({FieldDelimiter(), quoteCharacter()});
    if (IsTableFile(ImportFileName))
        p = PreviewSourceTable(m_fields, ImportFileName, columnNumbers(), previewRows());
    else if (formatError.isEmpty())
        p = PreviewDelimitedText(m_fields, textSettings(), previewRows());
    else
        p.error = formatError;
    if (!p.error.isEmpty()) {
        ui->PreviewErrorLabel->setText(p.error);
        ui->PreviewErrorLabel->show();
    }
    ui->PreviewNoteLabel->setText(p.note);
    ui->PreviewNoteLabel->setVisible(!p.note.isEmpty());
    // A note or an error takes room the window may not have yet.
    ui->PreviewPanel->layout()->invalidate();
    layout()->activate();
    if (height() < sizeHint().height())
        resize(width(), sizeHint().height());
    ui->StringGrid1->setRowCount(previewRows());
    for (int r = 0; r < p.rows.size(); ++r) {
        // A record of several lines is marked, and says which lines it took.
        const QPair<qint64, qint64> lines = p.lines.value(r);
        const bool several = lines.second > lines.first;
        for (int c = 0; c < p.rows.at(r).size(); ++c) {
            auto *item = new QTableWidgetItem(p.rows.at(r).at(c));
            if (several) {
                item->setBackground(QColor(255, 236, 200));
                item->setToolTip(QStringLiteral("Zeilen %1 bis %2 der Datei").arg(lines.first).arg(lines.second));
            }
            ui->StringGrid1->setItem(r, c, item);
        }
    }
}

void TImportForm::setPreviewShown(bool on)
{
    PreviewShown = on;
    ui->PreviewPanel->setVisible(on);
    adjustSize();
}

void TImportForm::BitBtn1Click()
{
    setPreviewShown(!PreviewShown);
    if (PreviewShown)
        FillPreview();
}

QString TImportForm::chooseFile(const QString &caption)
{
    return FileDialogs::instance().openFile(
        this, caption, QString(),
        QStringLiteral("Import (*.txt *.csv *.db *.dbf *.TXT *.CSV *.DB *.DBF);;Alle Dateien (*)"));
}

void TImportForm::OpenBitBtnClick()
{
    const QString path = chooseFile(QStringLiteral("Datei öffnen"));
    if (path.isEmpty())
        return;
    ImportFileName = path;
    ui->FilenameEdit->setText(QFileInfo(path).fileName());
    ui->ImportBitBtn->setEnabled(true);
    previewSoon();
}

void TImportForm::BlacklistbtnClick()
{
    const QString path = chooseFile(QStringLiteral("Blacklist laden"));
    if (path.isEmpty())
        return;
    BlacklistFileName = path;
    ui->BlacklistLabel->setText(QStringLiteral("Blacklist: ") + QFileInfo(path).fileName());
    ui->BlacklistDeletebtn->setEnabled(true);
    previewSoon();
}

void TImportForm::BlacklistDeletebtnClick()
{
    BlacklistFileName.clear();
    ui->BlacklistLabel->clear();
    ui->BlacklistDeletebtn->setEnabled(false);
    previewSoon();
}

void TImportForm::BlacklistInfobtnClick()
{
    plain(QStringLiteral("Was ist eine Blacklist? Sie können hier eine Textdatei laden, in der pro Zeile ein Begriff "
                         "(Name, E-Mail-Adresse) steht. Datensätze, die diese Daten enhalten, werden beim Import "
                         "nicht berücksichtigt. Es ist z.B. auch möglich hier mit Begriffen wie \"@beispiel.de\", "
                         "alle Datensätze mit E-Mail-Adressen dieser Domain nicht zu importieren!"));
}

void TImportForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

} // namespace vt
