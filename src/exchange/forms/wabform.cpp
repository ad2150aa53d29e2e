#include "wabform.h"
#include "ui_wabform.h"

#include "importrun.h"
#include "mainstate.h"
#include "messages.h"
#include "windowsinfo.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QShowEvent>
#include <QTimer>

namespace vt {

TWabForm::TWabForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint), ui(new Ui::TWabForm)
{
    ui->setupUi(this);
    ui->AdrBookListView->setColumnWidth(0, 130);
    ui->AdrBookListView->setColumnWidth(1, 180);
    ui->AdrBookListView->setColumnWidth(2, 140);
    connect(ui->ImportButton, &QPushButton::clicked, this, &TWabForm::ImportButtonClick);
    connect(ui->AlleButton, &QPushButton::clicked, this, &TWabForm::AlleButtonClick);
    connect(ui->CloseButton, &QPushButton::clicked, this, &TWabForm::CloseButtonClick);
}

TWabForm::~TWabForm()
{
    delete ui;
}

void TWabForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    WabImported = false;
    const QString file = WabFileName.isEmpty() ? WindowsInfo().WabFileName : WabFileName;
    if (file.isEmpty() || !QFileInfo::exists(file) || !OpenAddressBookCopy(file, true)) {
        error(QStringLiteral("Addressbook not found"));
        QTimer::singleShot(0, this, &QDialog::reject);
    }
}

bool TWabForm::OpenAddressBookCopy(const QString &file, bool copy)
{
    CloseAddressBook();
    QString path = file;
    if (copy) {
        const QFileInfo fi(file);
        path = fi.absolutePath() + QStringLiteral("/CopyOf") + fi.fileName();
        QFile::remove(path);
        if (!QFile::copy(file, path))
            return false;
    }
    QString why;
    if (!WabSource::instance().open(path, &why))
        return false;
    AddressBookFile = path;
    LoadAddressBookContents();
    return true;
}

void TWabForm::LoadAddressBookContents()
{
    ui->AdrBookListView->clear();
    for (const WabEntry &e : WabSource::instance().contents()) {
        if (e.objectType != kWabContact && e.objectType != kWabDistributionList)
            continue;
        auto *item = new QTreeWidgetItem(ui->AdrBookListView, {e.displayName, e.email, e.homePage});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, Qt::UserRole, e.entryId);
        item->setData(0, Qt::UserRole + 1, e.objectType);
        if (e.objectType == kWabDistributionList)
            for (int c = 0; c < 3; ++c)
                item->setForeground(c, Qt::gray);
    }
}

void TWabForm::CloseAddressBook()
{
    ui->AdrBookListView->clear();
    WabSource::instance().close();
}

void TWabForm::ImportCheckedEntries()
{
    QList<QByteArray> ids;
    for (int i = 0; i < ui->AdrBookListView->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = ui->AdrBookListView->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked)
            continue;
        item->setCheckState(0, Qt::Unchecked);
        ids.append(item->data(0, Qt::UserRole).toByteArray());
    }
    AddressTable *table = MainState().CurrentTable;
    if (!table)
        return;
    ImportRun run;
    m_last = ImportWabEntries(*table, WabSource::instance(), ids);
}

void TWabForm::ImportButtonClick()
{
    ImportCheckedEntries();
    if (!FinishImport(m_last, false))
        return;
    information(QStringLiteral("Importvorgang war erfolgreich!"));
    WabImported = true;
}

void TWabForm::AlleButtonClick()
{
    for (int i = 0; i < ui->AdrBookListView->topLevelItemCount(); ++i)
        ui->AdrBookListView->topLevelItem(i)->setCheckState(0, Qt::Checked);
}

void TWabForm::CloseButtonClick()
{
    if (WabImported)
        information(QStringLiteral("Die Datensätze wurden nur mit den im Windows Adressbuch zur Verfügung stehenden "
                                   "Daten importiert. Zusätzliche Informationen wie z.B. die Anrede müssen selbst "
                                   "ergänzt werden."));
    WabImported = false;
    CloseAddressBook();
    accept();
}

void TWabForm::closeEvent(QCloseEvent *event)
{
    CloseAddressBook();
    QDialog::closeEvent(event);
}

} // namespace vt
