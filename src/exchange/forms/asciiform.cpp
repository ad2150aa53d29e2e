#include "asciiform.h"
#include "ui_asciiform.h"

#include "activation.h"
#include "exportrun.h"
#include "filedialogs.h"
#include "mainstate.h"
#include "messages.h"

#include <QDir>

namespace vt {

namespace {

constexpr int kFieldRole = Qt::UserRole + 1;

} // namespace

TAsciiForm::TAsciiForm(QWidget *parent)
    : ExportDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), ui(new Ui::TAsciiForm)
{
    ui->setupUi(this);
    connect(ui->OKBitBtn, &QPushButton::clicked, this, &TAsciiForm::OKBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TAsciiForm::~TAsciiForm()
{
    delete ui;
}

void TAsciiForm::FormCreate()
{
    ActivationTracker::instance().install(
        this, [this] { FormActivate(); }, false);
}

void TAsciiForm::FormActivate()
{
    ui->CheckListBox1->clear();
    const AddressTable *t = MainState().CurrentTable;
    if (!t)
        return;
    for (int i = 0; i < t->fieldCount(); ++i) {
        auto *item = new QListWidgetItem(t->field(i).name, ui->CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(kFieldRole, i);
    }
}

void TAsciiForm::OKBitBtnClick()
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return;
    }
    TextExportOptions options;
    const QList<int> widths = TextExportWidths(s.FieldDefinitions, t->fieldCount());
    for (int row = 0; row < ui->CheckListBox1->count(); ++row) {
        const QListWidgetItem *item = ui->CheckListBox1->item(row);
        const int field = item->data(kFieldRole).toInt();
        if (item->checkState() != Qt::Checked || field >= t->fieldCount())
            continue;
        options.fields.append(field);
        options.widths.append(widths.at(field));
    }
    if (options.fields.isEmpty()) {
        information(QStringLiteral("Bitte zuerst mindestens ein Feld auswählen!"));
        return;
    }
    options.delimiter = ui->Edit1->text();
    const QString problem = TextExportDelimiterProblem(options.delimiter);
    if (!problem.isEmpty()) {
        information(problem);
        ui->Edit1->setFocus();
        return;
    }
    options.header = ui->TableHeaderCheckBox->isChecked();
    options.trim = ui->TrimCheckBox->isChecked();

    const QString folder = QDir(s.ExportFolder).exists() ? s.ExportFolder : QString();
    const QString chosen = FileDialogs::instance().saveFile(this, QStringLiteral("Speichern unter"), folder,
                                                            QStringLiteral("Trennzeichen getrennte Datei (*.csv)"));
    if (chosen.isEmpty()) {
        reject();
        return;
    }
    // The marked records replace the grid's filter when the table can mark records.
    std::optional<ExportSelection> selection;
    if (ui->OnlyMarkedCheckBox->isChecked())
        selection = MarkedRecords(*t);
    if (!selection)
        selection = ShownRecords(*t);
    if (RunTextExport(options, *selection, WithDefaultSuffix(chosen, QStringLiteral("csv"))).ok)
        accept();
}

QList<QAbstractButton *> TAsciiForm::gradientBoxes() const
{
    return {ui->TableHeaderCheckBox, ui->OnlyMarkedCheckBox, ui->TrimCheckBox};
}

} // namespace vt
