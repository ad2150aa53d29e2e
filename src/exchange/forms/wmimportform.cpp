#include "wmimportform.h"
#include "ui_wmimportform.h"

#include "filedialogs.h"
#include "importrun.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "systools.h"
#include "wmimport.h"

#include <QShowEvent>

namespace vt {

TWMImport::TWMImport(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), ui(new Ui::TWMImport)
{
    ui->setupUi(this);
    connect(ui->Loadbutton, &QToolButton::clicked, this, &TWMImport::LoadbuttonClick);
    connect(ui->startbutton, &QPushButton::clicked, this, &TWMImport::startbuttonClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { tickAll(true); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { tickAll(false); });
}

TWMImport::~TWMImport()
{
    delete ui;
}

void TWMImport::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ContactFolder = DefaultContactFolder(IsWindowsLiveMailInstalled());
    ui->Edit1->setText(ContactFolder);
    Liststuff();
}

void TWMImport::Liststuff()
{
    ui->chklst1->clear();
    for (const ContactFile &f : ListContactFiles(ContactFolder)) {
        auto *item = new QListWidgetItem(f.name, ui->chklst1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        // The file's own path: its name may differ from the listed one in case or by a second extension.
        item->setData(Qt::UserRole, f.path);
    }
}

void TWMImport::tickAll(bool on)
{
    for (int i = 0; i < ui->chklst1->count(); ++i)
        ui->chklst1->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void TWMImport::LoadbuttonClick()
{
    const QString folder =
        FileDialogs::instance().folder(this, QStringLiteral("Bitte Kontakte-Ordner wählen"), ContactFolder);
    if (!folder.isEmpty()) {
        ContactFolder = WithTrailingSlash(folder);
        ui->Edit1->setText(ContactFolder);
    }
    Liststuff();
}

void TWMImport::startbuttonClick()
{
    for (int i = 0; i < ui->chklst1->count(); ++i)
        if (ui->chklst1->item(i)->checkState() == Qt::Checked) {
            importfct();
            return;
        }
    plain(QStringLiteral("Bitte wählen Sie zuerst Datensätze zum Importieren aus!"));
}

void TWMImport::importfct()
{
    AddressTable *table = MainState().CurrentTable;
    if (!table)
        return;
    QStringList paths;
    for (int i = 0; i < ui->chklst1->count(); ++i)
        if (ui->chklst1->item(i)->checkState() == Qt::Checked)
            paths.append(ui->chklst1->item(i)->data(Qt::UserRole).toString());
    ImportOutcome outcome;
    {
        ImportRun run;
        outcome = ImportContactFiles(*table, paths, IsWindowsLiveMailInstalled());
    }
    // The files that could not be read are named in the end message.
    QString notes;
    if (!FinishImport(outcome, true, &notes))
        return;
    plain(notes.isEmpty() ? ContactsImportedText(outcome.imported)
                          : ContactsImportedText(outcome.imported) + QStringLiteral("\r\r") + notes);
    accept();
}

} // namespace vt
