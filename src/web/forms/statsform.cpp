#include "statsform.h"
#include "ui_statsform.h"

#include "activation.h"
#include "crashreport.h"
#include "filedialogs.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"
#include "statssetup.h"
#include "text.h"
#include "tracking.h"
#include "webcontrols.h"
#include "websettings.h"

namespace vt {

TStatsForm::TStatsForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), ui(new Ui::TStatsForm)
{
    ui->setupUi(this);
    RestrictToPasswordKeys(ui->PasswdEdit);
    connect(ui->BitBtn1, &QPushButton::clicked, this,
            [this] { Guard("TStatsForm.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BitBtn3, &QPushButton::clicked, this, &TStatsForm::BitBtn3Click);
    ActivationTracker::instance().install(
        this, [this] { Guard("TStatsForm.Ectivate", [this] { Ectivate(); }); }, false);
}

TStatsForm::~TStatsForm()
{
    ActivationTracker::instance().remove(this);
    delete ui;
}

void TStatsForm::FormCreate()
{
    ShowWebHeader(ui->Image1);
}

void TStatsForm::Ectivate()
{
    TMainState &s = MainState();
    LoadTrackingSettings(s);
    ui->TrackingCheckBox->setChecked(s.TrackingActive);
    ui->URLEdit->setText(s.StatsUrl);
    ui->PasswdEdit->setText(s.StatsPassword);
}

void TStatsForm::BitBtn3Click()
{
    plain(QStringLiteral(
        "Warum gibt es in Vantrel \"nur\" Klicktracking und kein Aufrufstracking?\n\nImmer finden sich im "
        "E-Mail-Marketing Bereich neben den Klickstatistiken, die jeden Klick auf einen Link in einem Newsletter "
        "zählen,\nauch sogenannte Aufrufsstatistiken, die jeden Aufruf (Betrachten) des Newsletter zählen wollen. "
        "Grundsätzlich ist dies eine recht\ninteressante Statistik, das dies aber nur anhand eines extern abgelegten "
        "Bildes realisiert werden kann und nahezu jede aktuelle\nE-Mail- oder Webmail-Obefläche das direkte Nachladen "
        "von externen Bilder blockiert, ist diese faktisch nicht mehr zu gebrauchen\nund wurde absichtlich hier nicht "
        "berücksichtigt!"));
}

void TStatsForm::BitBtn1Click()
{
    const QString problem = CheckTrackingInput(ui->URLEdit->text(), ui->PasswdEdit->text());
    if (!problem.isEmpty()) {
        error(problem);
        return;
    }
    TMainState &s = MainState();
    s.StatsUrl = Trimmed(ui->URLEdit->text());
    s.StatsPassword = Trimmed(ui->PasswdEdit->text());
    CreateFormular(WebFolderName(s.StatsUrl));
    if (!WriteEnterprisePrgIni())
        return;
    s.Links1Enabled = true;
    emit s.webMenusChanged(s.Links1Enabled, s.NeueEintrageabholen1Enabled);
    accept();
}

void TStatsForm::CreateFormular(const QString &folderName)
{
    TMainState &s = MainState();
    if (s.WebSettingsFile.isEmpty())
        s.WebSettingsFile = WebSettingsPath(s);
    const QString remembered = ReadWebSettings(s.WebSettingsFile).UploadParent;
    const QString parent = FileDialogs::instance().folder(
        this, QStringLiteral("Ausgabeverzeichnis auswählen"),
        remembered.isEmpty() ? PathJoin(s.UserDataFolder, QStringLiteral("online")) : remembered);
    if (parent.isEmpty())
        return;
    // The mails sign their tracked links with the address's key; the statistics
    // script checks them with every key the address has had.
    QString problem;
    const QList<QByteArray> keys = TrackingKeys(s.WebSettingsFile, s.StatsUrl, &problem);
    StatsFilesInput in{s.StatsUrl, s.StatsPassword, keys, ProductInfo().DisplayName, s.OpenDatabaseCaption};
    if (keys.isEmpty() || !WriteStatsFiles(in, PathJoin(parent, folderName), s.AppFolder, &problem)) {
        error(problem);
        return;
    }
    if (Messages::instance().show(MsgKind::Information,
                                  QStringLiteral("Dateien wurden erstellt! Möchten Sie nun die Einbauanleitung "
                                                 "starten?"),
                                  {MsgButton::Yes, MsgButton::No}, MsgButton::Yes, QString()) == MsgButton::Yes)
        ShellOpen(PathJoin(s.AppFolder, QStringLiteral("stats-einbau.html")));
}

bool TStatsForm::WriteEnterprisePrgIni()
{
    TMainState &s = MainState();
    QString problem;
    if (WriteTrackingSettings(s.WebSettingsFile, s.StatsUrl, s.StatsPassword, ui->TrackingCheckBox->isChecked(),
                              &problem))
        return true;
    error(problem);
    return false;
}

} // namespace vt
