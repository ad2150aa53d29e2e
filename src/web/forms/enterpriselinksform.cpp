#include "enterpriselinksform.h"
#include "ui_enterpriselinksform.h"

#include "activation.h"
#include "crashreport.h"
#include "enterpriseoptionsform.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "shell.h"
#include "text.h"
#include "webcontrols.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QUrl>

namespace vt {

TEnterpriseLinksForm::TEnterpriseLinksForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(new Ui::TEnterpriseLinksForm)
{
    ui->setupUi(this);
    connect(ui->SubLinkBitBtn, &QPushButton::clicked, this, &TEnterpriseLinksForm::SubLinkBitBtnClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TEnterpriseLinksForm::BitBtn1Click);
    connect(ui->BitBtn3, &QPushButton::clicked, this, &TEnterpriseLinksForm::BitBtn3Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &TEnterpriseLinksForm::BitBtn2Click);
    connect(ui->OnlineStatsBtn, &QPushButton::clicked, this, &TEnterpriseLinksForm::OnlineStatsBtnClick);
    connect(ui->CloseBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    ActivationTracker::instance().install(
        this, [this] { Guard("TEnterpriseLinksForm.FormActivate", [this] { FormActivate(); }); }, false);
}

TEnterpriseLinksForm::~TEnterpriseLinksForm()
{
    ActivationTracker::instance().remove(this);
    delete ui;
}

void TEnterpriseLinksForm::FormCreate()
{
    ShowWebHeader(ui->Image1);
}

void TEnterpriseLinksForm::FormActivate()
{
    const TMainState &s = MainState();
    ui->DBLabel->setText(s.OpenDatabaseCaption);
    const QString path = Settings ? Settings->Values.OnlinePath : QString();
    const bool forms = !Trimmed(path).isEmpty();
    for (QWidget *w : {static_cast<QWidget *>(ui->SubEdit), static_cast<QWidget *>(ui->UnsubEdit),
                       static_cast<QWidget *>(ui->BitBtn1), static_cast<QWidget *>(ui->BitBtn2),
                       static_cast<QWidget *>(ui->BitBtn3), static_cast<QWidget *>(ui->SubLinkBitBtn)})
        w->setEnabled(forms);
    // A disabled field shows nothing, so no link of the database shown before stays in view.
    ui->SubEdit->setText(forms ? path + QStringLiteral("subscribe.html") : QString());
    ui->UnsubEdit->setText(forms ? path + QStringLiteral("unsubscribe.html") : QString());
    const bool stats = !Trimmed(s.StatsUrl).isEmpty() && !Trimmed(s.StatsPassword).isEmpty();
    ui->OnlineStats->setEnabled(stats);
    ui->OnlineStatsBtn->setEnabled(stats);
    ui->OnlineStats->setText(stats ? s.StatsUrl + QStringLiteral("auswertung.php?password=") + s.StatsPassword
                                   : QString());
}

void TEnterpriseLinksForm::SubLinkBitBtnClick()
{
    QGuiApplication::clipboard()->setText(ui->SubEdit->text());
}

void TEnterpriseLinksForm::BitBtn1Click()
{
    QGuiApplication::clipboard()->setText(ui->UnsubEdit->text());
}

void TEnterpriseLinksForm::BitBtn3Click()
{
    ShellOpen(ui->SubEdit->text());
}

void TEnterpriseLinksForm::BitBtn2Click()
{
    ShellOpen(ui->UnsubEdit->text());
}

void TEnterpriseLinksForm::OnlineStatsBtnClick()
{
    // The field can be edited: only a web address goes to the browser, never a file or a program.
    const QUrl url(Trimmed(ui->OnlineStats->text()), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        information(QStringLiteral("Bitte geben Sie eine Internetadresse ein, die mit \"http://\" oder \"https://\" "
                                   "beginnt."));
        return;
    }
    ShellOpenUrl(url);
}

} // namespace vt
