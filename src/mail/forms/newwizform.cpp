#include "newwizform.h"
#include "ui_newwizform.h"

#include "filedialogs.h"
#include "mailerform.h"
#include "mailfiles.h"
#include "mainstate.h"
#include "messages.h"
#include "msgconverter.h"
#include "optionpanel.h"
#include "paths.h"
#include "shell.h"
#include "startmailer.h"
#include "systools.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStyle>

namespace vt {

TNewWizForm::TNewWizForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), ui(new Ui::TNewWizForm),
      m_choice(StartWizardChoice())
{
    ui->setupUi(this);
    ui->FilenameEdit->setText(m_choice.FileName);
    connect(ui->FilenameEdit, &QLineEdit::textChanged, this, [this](const QString &t) { m_choice.FileName = t; });
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &TNewWizForm::Timer1Timer);
    const QList<QPair<WizardPanel, QStyle::StandardPixmap>> panels = {
        {WizardPanel::NeueMail, QStyle::SP_FileIcon},
        {WizardPanel::VorlageOeffnen, QStyle::SP_DialogOpenButton},
        {WizardPanel::ImportMail, QStyle::SP_FileDialogContentsView},
        {WizardPanel::TextMail, QStyle::SP_FileDialogDetailedView},
        {WizardPanel::HtmlMail, QStyle::SP_DesktopIcon},
        {WizardPanel::VorlagenMail, QStyle::SP_DirHomeIcon},
    };
    for (const auto &[p, picture] : panels) {
        OptionPanel *w = panel(p);
        const WizardPanel which = p;
        connect(w, &OptionPanel::clicked, this, [this, which] { panelClick(which); });
        if (auto *image = w->findChild<QLabel *>(w->objectName() + QStringLiteral("Image")))
            image->setPixmap(style()->standardIcon(picture).pixmap(32, 32));
    }
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TNewWizForm::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &TNewWizForm::BitBtn2Click);
    connect(ui->BitBtn3, &QPushButton::clicked, this, &TNewWizForm::BitBtn3Click);
    connect(ui->OutlookBitbtn, &QPushButton::clicked, this, &TNewWizForm::OutlookBitbtnClick);
    connect(ui->OEBitbtn, &QPushButton::clicked, this, &TNewWizForm::OEBitbtnClick);
    connect(ui->WeiterButton, &QPushButton::clicked, this, &TNewWizForm::WeiterButtonClick);
    // A click on a text or the file field of a box is a click on its "Datei wählen".
    for (QWidget *w : {static_cast<QWidget *>(ui->OpenHeadLabel), static_cast<QWidget *>(ui->OpenLabel),
                       static_cast<QWidget *>(ui->ExtraOpenLabel), static_cast<QWidget *>(ui->FilenameEdit),
                       static_cast<QWidget *>(ui->MusterLabel), static_cast<QWidget *>(ui->Filename2Edit)})
        w->installEventFilter(this);
}

TNewWizForm::~TNewWizForm()
{
    delete ui;
}

void TNewWizForm::FormCreate()
{
    ui->TextMailPanel->hide();
    ui->HTMLMailPanel->hide();
    ui->VorlagenMailPanel->hide();
    ui->OpenMailGroupBox->hide();
    ui->NewGroupBox->hide();
    ui->MusterGroupBox->hide();
    setStep(1);
}

OptionPanel *TNewWizForm::panel(WizardPanel p) const
{
    switch (p) {
    case WizardPanel::NeueMail: return ui->NeueMailPanel;
    case WizardPanel::VorlageOeffnen: return ui->VolageOeffnenPanel;
    case WizardPanel::ImportMail: return ui->ImportMailPanel;
    case WizardPanel::TextMail: return ui->TextMailPanel;
    case WizardPanel::HtmlMail: return ui->HTMLMailPanel;
    case WizardPanel::VorlagenMail: return ui->VorlagenMailPanel;
    }
    return nullptr;
}

void TNewWizForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TNewWizForm::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QDialog::hideEvent(event);
}

bool TNewWizForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == ui->MusterLabel || watched == ui->Filename2Edit)
            BitBtn2Click();
        else
            BitBtn1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TNewWizForm::FormShow()
{
    const TMainState &m = MainState();
    ui->NoOfMailsLabel->setText(MarkedCountText(m.MarkedCount));
    if (m.OutlookAvailable) {
        // The three steps of writing the mail in the mail program.
        ui->Label6->setText(QStringLiteral("1. Starten Sie zuerst Ihr Outlook bzw. Outlook-Express Programm und bauen "
                                           "Sie dort Ihre E-Mail zusammen."));
        ui->Label7->setText(QStringLiteral("2. Speichern Sie diese E-Mail im Outlook bzw. Outlook-Express mit "
                                           "\"Datei, Speichern unter\" an einer beliebigen Stelle."));
        ui->Label8->setText(QStringLiteral("3. Schliessen Sie das Outlook bzw. Outlook-Express Fenster."));
    }
    // Without Outlook its button goes; the other one opens the shipped empty mail
    // with the desktop's mail program, which is there on every system.
    ui->OutlookBitbtn->setVisible(m.OutlookAvailable);
    ui->ImportMailPanel->setVisible(bool(htmlImport));
    m_choice.MailClientStarted = false;
    Timer1Timer();
    m_timer.start();
    growToFitTexts();
}

void TNewWizForm::growToFitTexts()
{
    // The marked count is set only now and may wrap onto another line; the
    // window grows rather than let the info panel cut off its last line.
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void TNewWizForm::setStep(int step)
{
    const QList<QFrame *> frames = {ui->Step1Frame, ui->Step2Frame, ui->Step3Frame};
    // The current step in the colours of a selected option panel, the others in those of a normal one.
    for (int i = 0; i < frames.size(); ++i) {
        const OptionPanel::Colors c =
            OptionPanel::colorsFor(i + 1 == step ? OptionPanel::State::Selected : OptionPanel::State::Normal);
        frames[i]->setStyleSheet(
            QStringLiteral("QFrame#%1 { background: %2; border: 1px solid %3; border-radius: 4px; }")
                .arg(frames[i]->objectName(), c.color.name(), c.border.name()));
    }
    setProperty("currentStep", step);
}

void TNewWizForm::panelClick(WizardPanel p)
{
    setStep(ChoosePanel(m_choice, p));
    Timer1Timer();
}

void TNewWizForm::Timer1Timer()
{
    for (WizardPanel p : {WizardPanel::NeueMail, WizardPanel::VorlageOeffnen, WizardPanel::ImportMail,
                          WizardPanel::TextMail, WizardPanel::HtmlMail, WizardPanel::VorlagenMail}) {
        OptionPanel *w = panel(p);
        if (PanelChosen(m_choice, p))
            w->setState(OptionPanel::State::Selected);
        else if (w->state() == OptionPanel::State::Selected)
            w->setState(OptionPanel::State::Normal);
    }
    const WizardView v = EvaluateWizard(m_choice, ui->FilenameEdit->text(), ui->Filename2Edit->text());
    ui->WeiterButton->setEnabled(v.weiterEnabled);
    ui->OpenMailGroupBox->setVisible(v.openBoxVisible);
    ui->ExtraOpenLabel->setText(v.extraOpenText);
    ui->TextMailPanel->setVisible(v.textPanelVisible);
    ui->HTMLMailPanel->setVisible(v.htmlPanelVisible);
    ui->VorlagenMailPanel->setVisible(v.samplePanelVisible);
    ui->MusterGroupBox->setVisible(v.sampleBoxVisible);
    ui->NewGroupBox->setVisible(v.newBoxVisible);
}

QString TNewWizForm::chooseFile(const QString &folder, const QString &pipeFilter)
{
    return FileDialogs::instance().openFile(this, QStringLiteral("Öffnen"), folder, DialogFilter(pipeFilter));
}

void TNewWizForm::BitBtn1Click()
{
    QString folder;
    if (m_choice.HtmlMailChosen)
        folder = MailDialogFolder();
    if (!m_choice.TextMailChosen && !m_choice.HtmlMailChosen)
        return;
    QString filter;
    if (m_choice.TextMailChosen) {
        folder = MainState().LettersFolder;
        filter = QStringLiteral("Text Mail|*.mail;|Text Dateien|*.txt");
    } else {
        filter = MsgConverter::available() ? QStringLiteral("Outlook / EML Datei|*.msg;*.eml;")
                                           : QStringLiteral("EML Datei|*.eml");
    }
    const QString chosen = chooseFile(folder, filter);
    ui->FilenameEdit->clear();
    if (!chosen.isEmpty()) {
        const TakenMail taken = ConvertIfMsg(chosen);
        if (taken.ok)
            ui->FilenameEdit->setText(taken.path);
        else
            error(taken.error);
    }
    Timer1Timer();
}

void TNewWizForm::BitBtn2Click()
{
    EnsureSampleMails(MainState().AppFolder);
    const QString chosen = chooseFile(MailDialogFolder(), QStringLiteral("EML Datei|*.eml"));
    ui->Filename2Edit->setText(chosen);
    Timer1Timer();
}

void TNewWizForm::OutlookBitbtnClick()
{
    ShellOpen(PathJoin(MainState().AppFolder, QStringLiteral("temp/dummy.msg")));
    m_choice.MailClientStarted = true;
    Timer1Timer();
}

void TNewWizForm::OEBitbtnClick()
{
    ShellOpen(PathJoin(MainState().AppFolder, QStringLiteral("temp/dummy.eml")));
    m_choice.MailClientStarted = true;
    Timer1Timer();
}

void TNewWizForm::BitBtn3Click()
{
    if (showPlaceholders)
        showPlaceholders();
}

void TNewWizForm::setOpenButtonVisible(bool on)
{
    MailerForm()->setOpenButtonVisible(on);
}

void TNewWizForm::finish(bool textMail, const QString &path)
{
    TMailerForm *mailer = MailerForm();
    if (textMail)
        mailer->TextTemplatePath = path;
    else
        mailer->HtmlMailPath = path;
    accept();
    if (TMainWindowOps *ops = MainState().Ops)
        ops->StartMailer();
    else
        StartMailer();
}

bool TNewWizForm::needsExistingFile(const QString &path)
{
    // A file chosen in an earlier use of the wizard may be gone by now.
    if (QFileInfo(path).isFile())
        return true;
    information(QStringLiteral("Die Datei ") + path + QStringLiteral(" existiert nicht mehr!"));
    return false;
}

void TNewWizForm::WeiterButtonClick()
{
    setOpenButtonVisible(true);
    switch (DecideWeiter(m_choice)) {
    case WizardAction::None: return;
    case WizardAction::ImportHtml:
        setOpenButtonVisible(false);
        accept();
        if (htmlImport)
            htmlImport();
        return;
    case WizardAction::SampleMail:
        // The shipped sample itself; the mailing never writes to it.
        if (needsExistingFile(ui->Filename2Edit->text()))
            finish(false, ui->Filename2Edit->text());
        return;
    case WizardAction::OpenHtmlMail: {
        const TakenMail copy = CopyToWorkFile(ui->FilenameEdit->text(), QString());
        if (!copy.ok) {
            information(copy.error);
            return;
        }
        finish(false, copy.path);
        return;
    }
    case WizardAction::OpenTextTemplate:
        if (needsExistingFile(ui->FilenameEdit->text()))
            finish(true, ui->FilenameEdit->text());
        return;
    case WizardAction::NewTextMail: finish(true, QString()); return;
    case WizardAction::NewHtmlMail: {
        const bool outlook = MsgConverter::available();
        const QString chosen =
            chooseFile(MailDialogFolder(), outlook ? QStringLiteral("Outlook Datei|*.msg;|EML Datei|*.eml")
                                                   : QStringLiteral("EML Datei|*.eml"));
        if (chosen.isEmpty())
            return;
        const TakenMail mime = ConvertIfMsg(chosen);
        if (!mime.ok) {
            error(mime.error);
            return;
        }
        const TakenMail copy =
            CopyToWorkFile(mime.path, IsMsgFile(chosen) ? QStringLiteral(".msg") : QStringLiteral(".eml"));
        if (!copy.ok) {
            information(copy.error);
            return;
        }
        finish(false, copy.path);
        return;
    }
    }
}

} // namespace vt
