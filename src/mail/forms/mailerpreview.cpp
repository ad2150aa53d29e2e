// The serial e-mail window's "Vorlage öffnen" and "Vorschau".
#include "mailerform.h"
#include "ui_mailerform.h"

#include "addresstable.h"
#include "filedialogs.h"
#include "filter.h"
#include "mailcharset.h"
#include "mailfiles.h"
#include "mailsettings.h"
#include "mailtemplate.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "msgconverter.h"
#include "personalize.h"
#include "previewform.h"
#include "widgetservices.h"
#include "workfolder.h"

#include <QFile>

namespace vt {

void TMailerForm::OpenButtonClick()
{
    if (refusedWhileSending())
        return;
    TMainState &st = MainState();
    if (MailMode == 0) {
        const QString chosen = FileDialogs::instance().openFile(this, QStringLiteral("Öffnen"), st.LettersFolder,
                                                                DialogFilter(QStringLiteral("Text Mail|*.mail")));
        if (chosen.isEmpty())
            return;
        LoadMailTemplate(chosen);
        CurrentTemplateFile = chosen;
        return;
    }
    const QString filter = MsgConverter::available() ? QStringLiteral("Outlook / Windows Mail Datei|*.msg;*.eml;")
                                                     : QStringLiteral("Windows Mail Datei|*.eml");
    const QString chosen =
        FileDialogs::instance().openFile(this, QStringLiteral("Öffnen"), MailDialogFolder(), DialogFilter(filter));
    if (chosen.isEmpty())
        return;
    const TakenMail mime = ConvertIfMsg(chosen);
    if (!mime.ok) {
        error(mime.error);
        return;
    }
    // A file that holds no mail leaves the mail open now as it is, so a run never
    // sends one mail while the window names another.
    MailMessage probe;
    QString problem;
    if (!probe.loadFile(mime.path, &problem)) {
        error(QStringLiteral("Die Datei ") + chosen + QStringLiteral(" kann nicht als E-Mail gelesen werden!\r") +
              problem);
        return;
    }
    const TakenMail copy =
        CopyToWorkFile(mime.path, IsMsgFile(chosen) ? QStringLiteral(".msg") : QStringLiteral(".html"));
    if (!copy.ok) {
        error(copy.error);
        return;
    }
    HtmlMailPath = copy.path;
    renderHtmlMail(false);
    ui->SubjectEdit->setText(m_mailSubject);
}

void TMailerForm::PreviewBitBtnClick()
{
    if (refusedWhileSending())
        return;
    TMainState &st = MainState();
    if (!MailTable || !MailTable->isOpen()) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return;
    }
    if (MailTable->count(Filter::equals(QStringLiteral("Selected"), QVariant(true))) <= 0) {
        information(QStringLiteral("Keine Datensätze zum Versenden markiert!"));
        return;
    }
    st.CharsetIndex = MailSettingsFiles(st.AppFolder, st.DataFolder, st.DatabaseIniName).read().charsetIndex;

    TPreviewForm *preview = PreviewForm();
    const bool opening = !preview->isVisible();
    if (opening) {
        preview->refresh = [this] { PreviewBitBtnClick(); };
        preview->beginPreview(MailTable);
    }
    const std::optional<QList<QVariant>> record = MailTable->readRecord(MailTable->currentId());
    if (!record) {
        error(MailTable->lastError());
        return;
    }
    preview->setRecordLabel(QString::number(MailTable->currentId()));

    const QString work = MailWorkFolder();
    QString problem;
    if (MailMode == 0) {
        QFile::remove(work + QStringLiteral("temp.mail"));
        QFile::remove(work + QStringLiteral("Preview.mail"));
        preview->showTextLayout();
        SaveMailTemplate(work + QStringLiteral("temp.mail"));
        TextTemplatePath = work + QStringLiteral("temp.mail");
        // The recipient's mail is made from copies: the window keeps the mail as typed.
        const QStringList names = MailTable->fieldNames();
        const Personalizer personalizer(names, SalutationTablePath());
        QString subject = ui->SubjectEdit->text();
        QStringList body = bodyLines();
        if (!personalizer.PersonalizeTextMail(TableRecordValues(*MailTable, names, *record), subject, body, &problem)) {
            error(problem);
            return;
        }
        const QString personal = work + QStringLiteral("Preview.mail");
        if (!WriteMailTemplate(personal, subject, body, AttachmentPath, &problem)) {
            error(problem);
            return;
        }
        preview->LoadMailFile(personal);
        if (opening) {
            // The preview belongs to this window and comes up over it.
            PrepareOverTheProgram(preview, this);
            preview->show();
        }
        return;
    }

    preview->showHtmlLayout();
    if (!BuildHtmlMail(&problem)) {
        error(problem);
        return;
    }
    MailMessage mail;
    if (!mail.loadFile(SendTempFolder + QStringLiteral("/Sending.eml"), &problem)) {
        error(problem);
        return;
    }
    mail.setCharset(MailCharsetName(st.CharsetIndex));
    preview->showPage(writePreviewPages(mail));
    // The first preview of an HTML mail holds the serial e-mail window until it is closed.
    if (opening)
        Modal::execOver(preview, this);
}

} // namespace vt
