#include "previewform.h"
#include "ui_previewform.h"

#include "activation.h"
#include "addresstable.h"
#include "crashreport.h"
#include "mailtemplate.h"
#include "textfile.h"

#include <QFileInfo>
#include <QHideEvent>
#include <QUrl>

namespace vt {

TPreviewForm::TPreviewForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui(new Ui::TPreviewForm)
{
    ui->setupUi(this);
    connect(ui->PreviousButton, &QPushButton::clicked, this, &TPreviewForm::PreviousButtonClick);
    connect(ui->NextButton, &QPushButton::clicked, this, &TPreviewForm::NextButtonClick);
    connect(ui->RefreshBtn, &QPushButton::clicked, this, &TPreviewForm::RefreshBtnClick);
    connect(ui->Closebtn, &QPushButton::clicked, this, &TPreviewForm::ClosebtnClick);
    ui->WebBrowser->setOpenExternalLinks(false);
}

TPreviewForm::~TPreviewForm()
{
    ActivationTracker::instance().remove(this);
    delete ui;
}

void TPreviewForm::FormCreate()
{
    // Coming back to the preview from the serial e-mail window or the main window
    // shows the current record anew (the mail may have changed meanwhile).
    ActivationTracker::instance().install(
        this,
        [this] {
            // A late activation after the window was closed must not open it again.
            if (isVisible() && refresh)
                refresh();
        },
        true);
}

void TPreviewForm::beginPreview(AddressTable *table)
{
    MailTable = table;
    if (!MailTable || m_saved.active)
        return;
    m_saved.active = true;
    m_saved.filterText = MailTable->filterText();
    m_saved.filtered = MailTable->isFiltered();
    m_saved.currentId = MailTable->currentId();
    MailTable->setFilterText(QStringLiteral("Selected='True'"));
    MailTable->setFiltered(true);
    if (m_saved.currentId >= 0)
        MailTable->gotoId(m_saved.currentId);
}

void TPreviewForm::hideEvent(QHideEvent *event)
{
    // Every way of closing ends here: "Schliessen", the close box and Escape alike.
    restoreTable();
    QDialog::hideEvent(event);
}

void TPreviewForm::restoreTable()
{
    if (!m_saved.active)
        return;
    m_saved.active = false;
    if (!MailTable)
        return;
    MailTable->setFilterText(m_saved.filterText);
    MailTable->setFiltered(m_saved.filtered);
    if (m_saved.currentId >= 0)
        MailTable->gotoId(m_saved.currentId);
}

void TPreviewForm::showTextLayout()
{
    ui->BrowserPanel->hide();
    ui->BetreffLabel->show();
    ui->PreviewSubjectEdit->show();
    ui->PreviewMemo->show();
}

void TPreviewForm::showHtmlLayout()
{
    ui->BrowserPanel->show();
    ui->BetreffLabel->hide();
    ui->PreviewSubjectEdit->hide();
    ui->PreviewMemo->hide();
}

void TPreviewForm::setRecordLabel(const QString &id)
{
    ui->PreviewLabel->setText(QStringLiteral("Vorschau Datensatz Nr: ") + id);
}

void TPreviewForm::LoadMailFile(const QString &path)
{
    ui->PreviewMemo->clear();
    const MailTemplateContent content = ParseMailTemplate(ReadLines(path));
    if (content.subject)
        ui->PreviewSubjectEdit->setText(*content.subject);
    ui->PreviewMemo->setPlainText(content.body.join(QLatin1Char('\n')));
}

void TPreviewForm::showPage(const QString &path)
{
    // A page that cannot be shown leaves the browser empty; nothing to report.
    if (!QFileInfo(path).isFile())
        ui->WebBrowser->clear();
    else if (path.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        ui->WebBrowser->setPlainText(ReadTextFile(path));
    else
        ui->WebBrowser->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
}

void TPreviewForm::PreviousButtonClick()
{
    if (MailTable)
        MailTable->prior();
    RefreshBtnClick();
}

void TPreviewForm::NextButtonClick()
{
    if (MailTable)
        MailTable->next();
    RefreshBtnClick();
}

void TPreviewForm::RefreshBtnClick()
{
    if (isVisible() && refresh)
        refresh();
}

void TPreviewForm::ClosebtnClick()
{
    close();
}

} // namespace vt

namespace vt {

TPreviewForm *PreviewForm()
{
    static QPointer<TPreviewForm> form;
    if (!form) {
        form = new TPreviewForm;
        Guard("TPreviewForm.FormCreate", [] { form->FormCreate(); });
    }
    return form;
}

} // namespace vt
