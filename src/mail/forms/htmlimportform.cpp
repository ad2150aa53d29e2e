#include "htmlimportform.h"
#include "ui_htmlimportform.h"

#include "clock.h"
#include "filedialogs.h"
#include "htmlfilepreview.h"
#include "htmlpage.h"
#include "mailerform.h"
#include "mailfiles.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "productinfo.h"
#include "startmailer.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QShowEvent>

namespace vt {

namespace {

const QString kProjectFilter = QStringLiteral("Vantrel Projekt Datei|*.vtp");

QString attachmentFilter()
{
    const QString documents =
        QStringLiteral("*.xls;*.ppt;*.pps;*.doc;*.xlt;*.xlsx;*.docx;*.pptx;*.odt;*.ods;*.txt;*.sxc;*.stc;*.ots;*.pdf");
    return DialogFilter(QStringLiteral("Dokumente|") + documents +
                        QStringLiteral("|Bilder|*.tif;*.jpg;*.jpeg;*.gif;*.png;*.tiff;*.bmp;*.cdr;*.psd"
                                       "|Office Formate|") +
                        documents +
                        QStringLiteral("|Daten Formate|*.csv;*.db;*.html;*.xml|E-Mail Nachrichten|*.eml;*.msg"
                                       "|Archive|*.zip;*.rar;*.ace;*.tgz;*.tar.gz"));
}

// The paths one to a line; a long list ends with how many more there are.
QString listed(const QStringList &paths)
{
    constexpr qsizetype kShown = 15;
    QString out;
    for (qsizetype i = 0; i < paths.size() && i < kShown; ++i)
        out += QStringLiteral("\n  ") + paths.at(i);
    if (paths.size() > kShown)
        out += QStringLiteral("\n  ... und ") + QString::number(paths.size() - kShown) + QStringLiteral(" weitere");
    return out;
}

// The folder of the first path that names one, else where mail files are chosen.
QString dialogFolder(const QStringList &paths)
{
    for (const QString &p : paths)
        if (!p.isEmpty() && QFileInfo(p).absoluteDir().exists())
            return QFileInfo(p).absolutePath();
    return MailDialogFolder();
}

} // namespace

THTMLImportForm::THTMLImportForm(QWidget *parent) : QDialog(parent), ui(new Ui::THTMLImportForm)
{
    ui->setupUi(this);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &THTMLImportForm::BitBtn1Click);
    connect(ui->BitBtn5, &QPushButton::clicked, this, &THTMLImportForm::BitBtn5Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &THTMLImportForm::BitBtn2Click);
    connect(ui->BitBtn3, &QPushButton::clicked, this, &THTMLImportForm::BitBtn3Click);
    connect(ui->BitBtn4, &QPushButton::clicked, this, &THTMLImportForm::BitBtn4Click);
    connect(ui->LoadProjectBtn, &QPushButton::clicked, this, &THTMLImportForm::LoadProjectBtnClick);
    connect(ui->SaveProjectBtn, &QPushButton::clicked, this, &THTMLImportForm::SaveProjectBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &THTMLImportForm::AbortBitBtnClick);
    connect(ui->WeiterBitBtn, &QPushButton::clicked, this, &THTMLImportForm::WeiterBitBtnClick);
}

THTMLImportForm::~THTMLImportForm()
{
    delete ui;
}

void THTMLImportForm::FormCreate()
{
    setHtmlFile(QString());
    updateRemoveButton();
}

void THTMLImportForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Until "Weiter" hands a mail over, the serial e-mail window takes no subject from here.
    if (!event->spontaneous())
        HtmlImportChoice().HtmlImported = false;
}

HtmlImportProject THTMLImportForm::project() const
{
    HtmlImportProject p;
    p.htmlFile = ui->Edit1->text();
    p.embedPictures = ui->RadioButton1->isChecked();
    p.textFile = ui->TextOnlyEdit->text();
    p.subject = ui->Edit2->text();
    for (int i = 0; i < ui->ListBox1->count(); ++i)
        p.attachments.append(ui->ListBox1->item(i)->text());
    return p;
}

void THTMLImportForm::setHtmlFile(const QString &path)
{
    ui->Edit1->setText(path);
    ui->WeiterBitBtn->setEnabled(!path.isEmpty());
    ui->WebBrowser1->showFile(path);
}

void THTMLImportForm::updateRemoveButton()
{
    ui->BitBtn3->setEnabled(ui->ListBox1->count() > 0);
}

void THTMLImportForm::BitBtn1Click()
{
    const QString chosen =
        FileDialogs::instance().openFile(this, QStringLiteral("HTML Datei öffnen"), dialogFolder({ui->Edit1->text()}),
                                         DialogFilter(QStringLiteral("HTML Dateien|*.html;*.htm")));
    // A cancelled dialog changes nothing.
    if (!chosen.isEmpty())
        setHtmlFile(chosen);
}

void THTMLImportForm::BitBtn5Click()
{
    const QString chosen = FileDialogs::instance().openFile(this, QStringLiteral("Textdatei öffnen"),
                                                            dialogFolder({ui->TextOnlyEdit->text(), ui->Edit1->text()}),
                                                            DialogFilter(QStringLiteral("Text Dateien|*.txt")));
    if (chosen.isEmpty())
        return;
    ui->TextOnlyEdit->setText(IsFile(chosen) ? chosen : QString());
}

void THTMLImportForm::BitBtn2Click()
{
    const QStringList chosen =
        FileDialogs::instance().openFiles(this, QStringLiteral("Dateianhang auswählen"),
                                          dialogFolder({m_lastAttachment, ui->Edit1->text()}), attachmentFilter());
    for (const QString &path : chosen) {
        m_lastAttachment = path;
        if (!ui->ListBox1->findItems(path, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
            warning(QStringLiteral("Die Datei ") + path + QStringLiteral(" ist bereits hinzugefügt!"));
            continue;
        }
        ui->ListBox1->addItem(path);
    }
    updateRemoveButton();
}

void THTMLImportForm::BitBtn3Click()
{
    QListWidgetItem *item = ui->ListBox1->currentItem();
    if (item && item->isSelected())
        delete item;
    updateRemoveButton();
}

void THTMLImportForm::BitBtn4Click()
{
    information(QStringLiteral(
        "Grundsätzlich können mit Vantrel beliebige HTML-Dateien als Newsletter versendet werden, das\n"
        "Programm selbst gibt hier keine Limitierung vor. Wir weisen aber ausdrücklich darauf hin, dass\n"
        "Sie, um eine optimale Anzeige auf allen E-Mail-Clients zu erreichen, unbedingt auf die Verwendung\n"
        "umfangreicher CSS-Angaben oder gar Javascript verzichten sollten! Weiterhin sollte besonders schlanker\n"
        "HTML-Code verwendet werden, da gerade die Ansicht in Outlook 2007/2010 keinen komplexen HTML-Code\n"
        "und wenige CSS Funktionen unterstützt. Testen Sie unbedingt vor dem ersten Versand die Anzeige bei\n"
        "gängigen E-Mail-Clients, wie z.B. Outlook, Thunderbird, Live Mail und div. Webmailern.\n"
        "Es gilt die Regel: Keep it as simple as it can be!\n"
        "HTML Dateien sollten mit einem geeigneten (Web-) Editor erstellt werden, um  HTML Darstellungsfehler beim "
        "Empfänger zu vermeiden."));
}

void THTMLImportForm::LoadProjectBtnClick()
{
    const QString chosen = FileDialogs::instance().openFile(
        this, QStringLiteral("Projekt öffnen"), dialogFolder({m_projectOpenName, m_projectSaveName, ui->Edit1->text()}),
        DialogFilter(kProjectFilter));
    if (chosen.isEmpty())
        return;
    m_projectOpenName = chosen;
    const std::optional<HtmlImportProject> p = LoadHtmlImportProject(chosen);
    if (!p) {
        plain(QStringLiteral("Fehler! Datei ist nicht lesbar"));
        return;
    }
    QString html = p->htmlFile;
    if (!html.isEmpty() && !IsFile(html)) {
        warning(QStringLiteral("Achtung! Die HTML-Datei ") + html +
                QStringLiteral(" exisitiert nicht mehr und wird jetzt aus dem Projekt entfernt!"));
        html.clear();
    }
    ui->RadioButton1->setChecked(p->embedPictures);
    ui->RadioButton2->setChecked(!p->embedPictures);
    QString text = p->textFile;
    if (!text.isEmpty() && !IsFile(text)) {
        warning(QStringLiteral("Achtung! Die alternative Textdatei ") + text +
                QStringLiteral(" exisitiert nicht mehr und wird jetzt aus dem Projekt entfernt!"));
        text.clear();
    }
    ui->TextOnlyEdit->setText(text);
    ui->Edit2->setText(p->subject);
    ui->ListBox1->clear();
    QStringList gone;
    for (const QString &path : p->attachments) {
        if (IsFile(path))
            ui->ListBox1->addItem(path);
        else
            gone.append(QStringLiteral("Achtung! Die als Anlage angegebene Datei ") + path +
                        QStringLiteral(" existiert nicht mehr!"));
    }
    // One box for all of them, however many there are.
    if (!gone.isEmpty())
        warning(gone.join(QLatin1Char('\n')));
    updateRemoveButton();
    setHtmlFile(html);
}

void THTMLImportForm::SaveProjectBtnClick()
{
    if (m_projectSaveName.isEmpty())
        m_projectSaveName =
            PathJoin(WithTrailingSlash(dialogFolder({ui->Edit1->text()})), DefaultProjectFileName(Clock::today()));
    const QString chosen = FileDialogs::instance().saveFileUnconfirmed(this, QStringLiteral("Projekt speichern"),
                                                                       m_projectSaveName, DialogFilter(kProjectFilter));
    if (chosen.isEmpty())
        return;
    m_projectSaveName = chosen;
    // The suffix first, so the question is about the file that would be replaced.
    const QString path = WithProjectSuffix(chosen);
    if (QFileInfo::exists(path) && !question(QStringLiteral("Datei besteht bereits, wollen Sie diese überschreiben?"),
                                             MsgButton::No, ProductInfo().DisplayName))
        return;
    QString problem;
    if (!SaveHtmlImportProject(path, project(), &problem))
        error(problem);
}

void THTMLImportForm::AbortBitBtnClick()
{
    reject();
}

void THTMLImportForm::reject()
{
    HtmlImportChoice().HtmlImported = false;
    QDialog::reject();
}

void THTMLImportForm::WeiterBitBtnClick()
{
    const HtmlImportProject p = project();
    // The file may have gone since it was chosen.
    if (!IsFile(p.htmlFile)) {
        plain(CannotOpenFileText(p.htmlFile));
        return;
    }
    const QStringList gone = MissingFiles(p.attachments);
    if (!gone.isEmpty() && !question(QStringLiteral("Folgende Dateianhänge existieren nicht mehr:") + listed(gone) +
                                     QStringLiteral("\n\nSoll die E-Mail ohne diese Dateianhänge erstellt werden?")))
        return;
    QString problem;
    std::optional<ImportedMail> made = ComposeImportedMail(p, &problem);
    if (!made) {
        plain(problem);
        return;
    }
    if (!made->outside.isEmpty() || !made->missing.isEmpty() || !made->tooLarge.isEmpty()) {
        QString text = QStringLiteral("Folgende Bilder und Stylesheets der HTML-Datei wurden nicht in die E-Mail "
                                      "eingebettet:");
        if (!made->outside.isEmpty())
            text += QStringLiteral("\n\nAußerhalb des Ordners der HTML-Datei (aus Sicherheitsgründen nicht gelesen):") +
                    listed(made->outside);
        if (!made->missing.isEmpty())
            text += QStringLiteral("\n\nNicht gefunden:") + listed(made->missing);
        if (!made->tooLarge.isEmpty())
            text += QStringLiteral("\n\nGrößer als ") + QString::number(kMaxPageFileBytes / (1024 * 1024)) +
                    QStringLiteral(" MB:") + listed(made->tooLarge);
        warning(text);
    }
    const QString target = ImportedMailPath();
    if (target.isEmpty()) {
        error(QStringLiteral("Der temporäre Ordner kann nicht angelegt werden!"));
        return;
    }
    if (!made->mail.saveFile(target, &problem)) {
        error(problem);
        return;
    }
    THtmlImportChoice &choice = HtmlImportChoice();
    choice.HtmlImported = true;
    choice.Subject = p.subject;
    MailerForm()->HtmlMailPath = target;
    accept();
    if (TMainWindowOps *ops = MainState().Ops)
        ops->StartMailer();
    else
        StartMailer();
}

} // namespace vt
