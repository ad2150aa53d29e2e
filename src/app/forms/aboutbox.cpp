#include "aboutbox.h"
#include "ui_aboutbox.h"

#include "linklabel.h"
#include "mainstate.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"

#include <QPixmap>

namespace vt {

const QString TAboutBox::SocialPageUrl = QStringLiteral("https://social.halvicor.example/@halvicor");

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent), ui(new Ui::TAboutBox)
{
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->UpdateButton, &QPushButton::clicked, this, &TAboutBox::UpdateButtonClick);
    MakeLink(ui->URLLabel, [this] { URLLabelClick(); });
    MakeLink(ui->MailLabel, [this] { MailLabelClick(); });
    // The social network is the maker's business: whatever the desktop does with it is fine.
    MakeLink(
        ui->SocialImage, [] { ShellOpen(SocialPageUrl); }, false);
}

TAboutBox::~TAboutBox()
{
    delete ui;
}

void TAboutBox::FormCreate()
{
    const TProductInfo &p = ProductInfo();
    setWindowTitle(p.DisplayName);
    const QString pictures = PathJoin(MainState().AppFolder, QStringLiteral("recom/"));
    ui->ProgramIcon->setPixmap(QPixmap(ResolveExisting(pictures, p.AboutImage)));
    ui->SocialImage->setPixmap(QPixmap(ResolveExisting(pictures, QStringLiteral("social.png"))));
    ui->ProductName->setText(p.DisplayName);
    ui->Copyright->setText(QStringLiteral("Copyright © %1. Alle Rechte vorbehalten.").arg(p.MakerName));
    ui->VersionLabel->setText(p.VersionText);
    if (p.ResellerId.isEmpty()) {
        ui->URLLabel->setText(p.MakerWebSite);
        ui->MailLabel->setText(p.SupportEmail);
    } else {
        ui->URLLabel->setText(QStringLiteral("Kontakt"));
        ui->MailLabel->clear();
    }
}

void TAboutBox::URLLabelClick()
{
    ShellOpen(ProductInfo().ProductPageUrl);
}

void TAboutBox::MailLabelClick()
{
    ShellOpen(QStringLiteral("mailto:") + ProductInfo().SupportEmail);
}

void TAboutBox::UpdateButtonClick()
{
    if (CheckForUpdate)
        CheckForUpdate();
}

} // namespace vt
