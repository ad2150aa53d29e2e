#include "wizardimportform.h"
#include "ui_wizardimportform.h"

#include "filedialogs.h"
#include "importrun.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "outlookcontacts.h"
#include "paths.h"
#include "productinfo.h"
#include "systools.h"

#include <QApplication>
#include <QButtonGroup>
#include <QPixmap>
#include <QShowEvent>

namespace vt {

ImportPlatform ImportPlatform::current()
{
    ImportPlatform p;
    p.vistaOrLater = IsVistaOrLater();
    p.windows7 = IsWindows7();
    p.liveMailInstalled = IsWindowsLiveMailInstalled();
    const TMainState &s = MainState();
    p.outlookAvailable = s.OutlookAvailable || ContactStore::instance().available();
    p.outlook64Bit = s.Outlook64Bit || ContactStore::instance().is64Bit();
    return p;
}

TWizardImportForm::TWizardImportForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint), ui(new Ui::TWizardImportForm)
{
    ui->setupUi(this);
    // One group, so that a choice can be unticked by none of the others and
    // nothing is ticked at first.
    auto *group = new QButtonGroup(this);
    for (QRadioButton *b : {ui->OERadioButton, ui->WindowsMailRadioButton, ui->OtherRadioButton, ui->OutlookButton})
        group->addButton(b);
    connect(ui->WeiterBitBtn, &QPushButton::clicked, this, &TWizardImportForm::WeiterBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TWizardImportForm::HilfeBitBtnClick);
}

TWizardImportForm::~TWizardImportForm()
{
    delete ui;
}

void TWizardImportForm::FormCreate()
{
    const QString picture = ProductInfo().WizardImage;
    if (!picture.isEmpty()) {
        const QPixmap p(PathJoin(MainState().AppFolder, QStringLiteral("recom/") + picture));
        if (!p.isNull())
            ui->Image1->setPixmap(p.scaledToWidth(150, Qt::SmoothTransformation));
    }
    if (Platform.vistaOrLater)
        ui->OERadioButton->setEnabled(false);
    else
        ui->WindowsMailRadioButton->setEnabled(false);
    if (Platform.liveMailInstalled && !Platform.vistaOrLater) {
        ui->WindowsMailRadioButton->setEnabled(true);
        ui->WindowsMailRadioButton->setText(QStringLiteral("Windows Live Mail Kontakte importieren"));
        ui->OERadioButton->setEnabled(true);
    }
    ui->OutlookButton->setEnabled(Platform.outlookAvailable);
    if (!Platform.outlookAvailable)
        ui->OutlookButton->setToolTip(ContactStore::instance().unavailableText());
    else if (ContactStore::instance().needsFile())
        ui->OutlookButton->setToolTip(ContactStore::instance().unavailableText());
}

void TWizardImportForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (Platform.windows7)
        ui->WindowsMailRadioButton->setEnabled(false);
    if (parentWidget() == nullptr)
        move(screen()->availableGeometry().center() - rect().center());
}

void TWizardImportForm::runImporter(const std::function<QDialog *()> &dialog)
{
    QDialog *importer = dialog ? dialog() : nullptr;
    accept();
    if (importer)
        Modal::exec(importer);
}

bool TWizardImportForm::chooseOutlookSource()
{
    ContactStore &store = ContactStore::instance();
    if (!store.needsFile())
        return true;
    const QString path = FileDialogs::instance().openFile(this, QStringLiteral("Outlook-Datendatei wählen"), QString(),
                                                          QStringLiteral("Outlook-Datendatei (*.pst *.ost)"));
    if (path.isEmpty())
        return false;
    QString why;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = store.setFile(path, &why);
    QApplication::restoreOverrideCursor();
    if (!ok)
        error(why);
    return ok;
}

void TWizardImportForm::WeiterBitBtnClick()
{
    if (ui->OERadioButton->isChecked()) {
        runImporter(WabDialog);
    } else if (ui->OutlookButton->isChecked()) {
        if (Platform.outlook64Bit &&
            !question(QStringLiteral("Achtung beim Import aus Outlook 2010 64Bit muss Outlook, vor dem Start von "
                                     "Vantrel geschlossen sein! Möchten Sie fortfahren?")))
            return;
        if (!chooseOutlookSource())
            return;
        runImporter(OutlookDialog);
    } else if (ui->WindowsMailRadioButton->isChecked()) {
        runImporter(WindowsMailDialog);
    } else if (ui->OtherRadioButton->isChecked()) {
        runImporter(TextDialog);
    } else {
        information(QStringLiteral("Bitte zuerst eine Auswahl treffen!"));
    }
}

void TWizardImportForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

} // namespace vt
