#include "enterpriseoptionsform.h"
#include "ui_enterpriseoptionsform.h"

#include "activation.h"
#include "crashreport.h"
#include "definitionfiles.h"
#include "filedialogs.h"
#include "mailsettings.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"
#include "text.h"
#include "tracking.h"
#include "webcontrols.h"
#include "webpages.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QShowEvent>

namespace vt {

namespace {

const QString kCheckPrefix = QStringLiteral("Check_");
const QString kLabelPrefix = QStringLiteral("Label_");

QStringList memoLines(const QPlainTextEdit *memo)
{
    return memo->toPlainText().split(QLatin1Char('\n'));
}

} // namespace

TEnterpriseOptionsForm::TEnterpriseOptionsForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(new Ui::TEnterpriseOptionsForm)
{
    ui->setupUi(this);
    setStyleSheet(QStringLiteral("#TEnterpriseOptionsForm { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                 "stop:0 #f4f8fd, stop:1 #c9dcf2); }"));
    ui->ComboBox1->addItems(WebFontFamilies());
    ui->ComboBox2->addItems(WebFontSizes());
    RestrictToPasswordKeys(ui->PasswordEdit);
    ui->MailEndMemo->setPlainText(ConfirmationMailEnd().join(QLatin1Char('\n')));
    PickColor = [this](const QColor &initial) { return QColorDialog::getColor(initial, this); };

    connect(ui->FormularErzeugenBitBtn1, &QPushButton::clicked, this, [this] {
        Guard("TEnterpriseOptionsForm.FormularErzeugenBitBtn1Click", [this] { FormularErzeugenBitBtn1Click(); });
    });
    connect(ui->AbbrechenBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TEnterpriseOptionsForm::HilfeBitBtnClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TEnterpriseOptionsForm::BitBtn1Click);
    connect(ui->TextColorButton, &QPushButton::clicked, this, &TEnterpriseOptionsForm::TextColorPanelClick);
    connect(ui->BKGButton, &QPushButton::clicked, this, &TEnterpriseOptionsForm::BKGButtonClick);
    connect(ui->BorderColorButton, &QPushButton::clicked, this, &TEnterpriseOptionsForm::BorderColorButtonClick);
    connect(ui->ComboBox1, &QComboBox::currentIndexChanged, this, [this](int i) { Values.Font = QString::number(i); });
    connect(ui->ComboBox2, &QComboBox::currentIndexChanged, this,
            [this](int i) { Values.FontSize = QString::number(i); });
    connect(ui->NewsletterEdit, &QLineEdit::textChanged, this, [this](const QString &t) { Values.Title = t; });
    connect(ui->PasswordEdit, &QLineEdit::textChanged, this, [this](const QString &t) { Values.OnlinePassword = t; });
    connect(ui->CapchtaBox, &QCheckBox::toggled, this,
            [this](bool on) { Values.Captcha = on ? QStringLiteral("On") : QStringLiteral("Off"); });
    connect(ui->CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
        Values.DoubleOptIn = on;
        ui->DoubleOptInPanel->setVisible(on);
    });
    connect(ui->OnlyInvalidCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        Values.Invalid = on;
        if (on && !LoadingSettings)
            plain(QStringLiteral("Durch diese Einstellung werden Abbestellungen nur noch als Invalid markiert und "
                                 "nicht mehr gelöscht. Beachten Sie auch, dass solange eine Datensatz invalid ist, "
                                 "mit dieser E-Mail-Adresse auch keine Anmeldung mehr möglich ist!"));
    });
    ActivationTracker::instance().install(
        this, [this] { Guard("TEnterpriseOptionsForm.FormActivate", [this] { FormActivate(); }); }, false);
}

TEnterpriseOptionsForm::~TEnterpriseOptionsForm()
{
    ActivationTracker::instance().remove(this);
    delete ui;
}

void TEnterpriseOptionsForm::FormCreate()
{
    ShowWebHeader(ui->Image1);
    m_creationTexts = DefaultConfirmationTexts();
    ui->subscribemessage_Memo->setPlainText(m_creationTexts.message.join(QLatin1Char('\n')));
    ui->SubjectEdit->setText(m_creationTexts.subject);
    ui->email_text_Memo->setPlainText(m_creationTexts.mailText.join(QLatin1Char('\n')));
    ui->CheckBox1->setChecked(false);
    ui->DoubleOptInPanel->setVisible(false);
    LoadingSettings = false;
    PoweredByPairs = vt::PoweredByPairs();
}

void TEnterpriseOptionsForm::LoadWebSettings()
{
    LoadingSettings = true;
    TMainState &s = MainState();
    s.WebSettingsFile = WebSettingsPath(s);
    bool exists = false;
    // Everything comes from this database's file or the defaults: no password or
    // text of the database loaded before may end up in this one's files.
    const WebSettings loaded = ReadWebSettings(s.WebSettingsFile, &exists);
    Values = loaded;
    if (!exists)
        Values.Title = QStringLiteral("Newsletter");
    ConfirmationTexts texts = m_creationTexts;
    const QString folder = WebFolderName(Values.OnlinePath);
    if (exists && !folder.isEmpty()) {
        // The texts as last written into the upload folder, where the user may have changed them.
        const QString parent =
            Values.UploadParent.isEmpty() ? PathJoin(s.AppFolder, QStringLiteral("online")) : Values.UploadParent;
        ReadConfirmationTexts(PathJoin(parent, folder), &texts);
    }
    ui->CapchtaBox->setChecked(loaded.captchaOn());
    ui->CheckBox1->setChecked(loaded.DoubleOptIn);
    ui->DoubleOptInPanel->setVisible(loaded.DoubleOptIn);
    ui->OnlyInvalidCheckBox->setChecked(loaded.Invalid);
    Values.Captcha = loaded.Captcha;
    ui->subscribemessage_Memo->setPlainText(texts.message.join(QLatin1Char('\n')));
    ui->SubjectEdit->setText(texts.subject);
    ui->email_text_Memo->setPlainText(texts.mailText.join(QLatin1Char('\n')));
    putIntoControls();
}

void TEnterpriseOptionsForm::putIntoControls()
{
    const WebSettings v = Values; // the controls' change handlers write back into Values
    ui->NewsletterEdit->setText(v.Title);
    for (const auto &[panel, color] : {std::pair<QWidget *, QString>{ui->TextColorPanel, v.FontColor},
                                       {ui->BKGColorPanel, v.BKGColor},
                                       {ui->BorderColorPanel, v.BorderColor}})
        if (!color.isEmpty())
            paintPanel(panel, color);
    ui->ComboBox1->setCurrentIndex(WebListIndex(v.Font, int(WebFontFamilies().size()), 4));
    ui->ComboBox2->setCurrentIndex(WebListIndex(v.FontSize, int(WebFontSizes().size()), 2));
    Values.Font = QString::number(ui->ComboBox1->currentIndex());
    Values.FontSize = QString::number(ui->ComboBox2->currentIndex());
    ui->OnlineDBEdit->setText(v.OnlinePath);
    ui->PasswordEdit->setText(v.OnlinePassword);
}

bool TEnterpriseOptionsForm::SaveWebSettings()
{
    TMainState &s = MainState();
    if (s.WebSettingsFile.isEmpty())
        s.WebSettingsFile = WebSettingsPath(s);
    QString problem;
    if (WriteWebSettings(s.WebSettingsFile, Values, &problem))
        return true;
    error(problem);
    return false;
}

void TEnterpriseOptionsForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Guard("TEnterpriseOptionsForm.FormShow", [this] { FormShow(); });
}

void TEnterpriseOptionsForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        Guard("TEnterpriseOptionsForm.FormHide", [this] { FormHide(); });
}

void TEnterpriseOptionsForm::FormShow()
{
    BuildFieldCheckBoxes();
    LoadingSettings = false;
}

void TEnterpriseOptionsForm::FormActivate()
{
    ui->DBLabel->setText(MainState().OpenDatabaseCaption);
    LoadingSettings = false;
    if (!Trimmed(Values.OnlinePath).isEmpty() && Trimmed(Values.OnlinePassword).isEmpty())
        plain(QStringLiteral("Achtung! Sie verwenden noch eine alte (unsichere) Konfiguration. \nBitte geben Sie ein "
                             "Passwort für Ihre Newslettersynchronisation ein,\nspeichern Sie das Formular und "
                             "befolgen Sie die weiteren Schritte!\nWICHTIG! Holen Sie ZUVOR die noch online "
                             "gespeicherten Bestellungen und Abbestellungen ab!"));
}

void TEnterpriseOptionsForm::FormHide()
{
    SaveFieldSelection();
}

void TEnterpriseOptionsForm::BuildFieldCheckBoxes()
{
    QWidget *box = ui->ScrollBox1Contents;
    const QList<bool> selection = ReadFieldSelection(MainState().AppFolder);
    int bottom = 0;
    for (const WebField &f : WebFieldsOf(MainState().FieldDefinitions)) {
        if (box->findChild<QCheckBox *>(kCheckPrefix + f.name, Qt::FindDirectChildrenOnly))
            continue;
        const int top = (f.line - 1) * 20 - 70;
        auto *check = new QCheckBox(box);
        check->setObjectName(kCheckPrefix + f.name);
        check->setProperty("tag", f.line);
        check->setGeometry(150, top, 250, 20);
        if (f.line == 5) {
            check->setChecked(true);
            check->setEnabled(false);
        } else {
            const int k = f.line - 5;
            check->setChecked(k < selection.size() && selection.at(k));
        }
        auto *label = new QLabel(f.label, box);
        label->setObjectName(kLabelPrefix + f.name);
        label->setGeometry(20, top + 2, 125, 20);
        label->show();
        check->show();
        check->raise(); // over its label, which must not take its clicks
        bottom = top + 20;
    }
    box->resize(380, std::max(150, bottom + 10));
}

void TEnterpriseOptionsForm::SaveFieldSelection()
{
    QWidget *box = ui->ScrollBox1Contents;
    const QList<QCheckBox *> checks = box->findChildren<QCheckBox *>(Qt::FindDirectChildrenOnly);
    if (checks.isEmpty())
        return;
    QList<bool> offered;
    const QStringList &defs = MainState().FieldDefinitions;
    for (int i = 5; i < defs.size(); ++i) {
        const QString name = ParseFieldDefinitionLine(defs.at(i)).name;
        const auto *check = name.isEmpty() ? nullptr : box->findChild<QCheckBox *>(kCheckPrefix + name);
        offered.append(check && check->isChecked());
    }
    qDeleteAll(checks);
    qDeleteAll(box->findChildren<QLabel *>(Qt::FindDirectChildrenOnly));
    QString problem;
    if (!WriteFieldSelection(MainState().AppFolder, offered, &problem))
        error(problem);
}

void TEnterpriseOptionsForm::FormularErzeugenBitBtn1Click()
{
    const QString path = Trimmed(ui->OnlineDBEdit->text());
    QString problem;
    if (path.isEmpty())
        problem = QStringLiteral("Keinen Serverpfad für die Online-Datenbank eingegeben!");
    else if (Trimmed(Values.OnlinePassword).isEmpty())
        problem = QStringLiteral("Sie haben kein Passwort für die Newslettersynchronisation eingegeben!");
    else if (!IsWebPassword(Values.OnlinePassword))
        problem = kOnlyLettersAndDigitsText;
    else
        problem = CheckServerPath(path);
    if (!problem.isEmpty()) {
        error(problem);
        setResult(0);
        return;
    }
    // Settings whose files could not be written would point the other web
    // commands at scripts that were never made: the dialog stays as it was.
    if (!GenerateWebFiles(WebFolderName(path))) {
        setResult(0);
        return;
    }
    const QString stored = Values.OnlinePath;
    Values.OnlinePath = path;
    if (!SaveWebSettings()) {
        Values.OnlinePath = stored;
        setResult(0);
        return;
    }
    TMainState &s = MainState();
    s.Links1Enabled = s.NeueEintrageabholen1Enabled = true;
    emit s.webMenusChanged(s.Links1Enabled, s.NeueEintrageabholen1Enabled);
    accept();
}

bool TEnterpriseOptionsForm::GenerateWebFiles(const QString &folderName)
{
    TMainState &s = MainState();
    const QString start =
        Values.UploadParent.isEmpty() ? PathJoin(s.UserDataFolder, QStringLiteral("online")) : Values.UploadParent;
    const QString parent = FileDialogs::instance().folder(this, QStringLiteral("Ausgabeverzeichnis auswählen"), start);
    if (parent.isEmpty())
        return true;

    WebFilesInput in;
    in.serverPath = Trimmed(ui->OnlineDBEdit->text());
    in.folderName = folderName;
    in.title = Values.Title;
    in.fontColor = Values.FontColor;
    in.bkgColor = Values.BKGColor;
    in.borderColor = Values.BorderColor;
    in.fontFamily = ui->ComboBox1->currentText();
    in.pixelSize = ui->ComboBox2->currentText().toInt();
    in.doubleOptIn = Values.DoubleOptIn;
    in.captcha = Values.captchaOn();
    for (const WebField &f : WebFieldsOf(s.FieldDefinitions)) {
        const auto *check = ui->ScrollBox1Contents->findChild<QCheckBox *>(kCheckPrefix + f.name);
        if (check && check->isChecked())
            in.offeredFields.append(f);
    }
    in.password = Values.OnlinePassword;
    in.texts = {memoLines(ui->subscribemessage_Memo), ui->SubjectEdit->text(), memoLines(ui->email_text_Memo)};
    const MailSettingsFiles::SenderList senders =
        MailSettingsFiles(s.AppFolder, s.DataFolder, s.DatabaseIniName).readSenderList();
    if (senders.ok && !senders.lines.isEmpty())
        in.senderAddress = Trimmed(ParseSenderLine(senders.lines.first()).address);
    in.versionText = ProductInfo().VersionText;
    in.productName = ProductInfo().DisplayName;
    in.supportEmail = ProductInfo().SupportEmail;
    in.databaseCaption = s.OpenDatabaseCaption;
    in.pairs = PoweredByPairs;

    const WebFilesResult result = WriteWebFiles(in, PathJoin(parent, folderName), s.AppFolder);
    if (!result.ok) {
        error(result.error);
        return false;
    }
    Values.UploadParent = WithTrailingSlash(parent);
    if (Messages::instance().show(MsgKind::Information,
                                  QStringLiteral("Bestellformular, Abbestellformular und Einbauanleitung wurden "
                                                 "erstellt! Möchten Sie die Voransicht nun starten?"),
                                  {MsgButton::Yes, MsgButton::No}, MsgButton::Yes, QString()) == MsgButton::Yes)
        ShellOpen(PathJoin(s.AppFolder, QStringLiteral("einbau.html")));
    return true;
}

void TEnterpriseOptionsForm::pickColor(QString *field, QWidget *panel)
{
    bool ok = false;
    const QColor initial = HtmlToColor(*field, &ok);
    const QColor chosen = PickColor ? PickColor(initial) : QColor();
    if (!chosen.isValid())
        return;
    *field = ColorToHtml(chosen);
    paintPanel(panel, *field);
}

void TEnterpriseOptionsForm::paintPanel(QWidget *panel, const QString &color)
{
    bool ok = false;
    const QColor c = HtmlToColor(color, &ok);
    if (!ok)
        QApplication::beep();
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, c);
    panel->setPalette(p);
}

void TEnterpriseOptionsForm::TextColorPanelClick()
{
    pickColor(&Values.FontColor, ui->TextColorPanel);
}

void TEnterpriseOptionsForm::BKGButtonClick()
{
    pickColor(&Values.BKGColor, ui->BKGColorPanel);
}

void TEnterpriseOptionsForm::BorderColorButtonClick()
{
    pickColor(&Values.BorderColor, ui->BorderColorPanel);
}

void TEnterpriseOptionsForm::BitBtn1Click()
{
    plain(QStringLiteral("Hier können Sie einstellen, ob bei der Eingabe des Formulares zusätzlich \nein "
                         "Sicherheitscode ausgefüllt werden muss. Damit können Sie automatisierte\nEintragungen "
                         "verhindern! Um dieses Feature nutzen zu können muss Ihr verwendeter\nWebspace neben PHP "
                         "auch Grafikerzeugung per GD-Library unterstützen. Dieses\nkönnen Sie bei Ihrem Provider in "
                         "Erfahrung bringen!\n\nACHTUNG! Wenn Sie diese Option verändern, müssen Sie auch die "
                         "veränderten Scripte\nneu auf Ihren Webspace übertragen!"));
}

void TEnterpriseOptionsForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

} // namespace vt
