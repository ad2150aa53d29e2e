#include "crashdialogs.h"
#include "modal.h"
#include "paths.h"
#include "registry.h"
#include "text.h"
#include "widgetservices.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWizard>

namespace vt {

namespace {

const QString kContactKey = QStringLiteral("Software\\Halvicor\\Vantrel\\BugReport");

// The error dialog of the program.
class ReportDialog : public QDialog
{
public:
    ReportDialog(CrashReportSession &session) : m_session(session)
    {
        const CrashDialogTexts &t = session.settings().texts;
        setObjectName(QStringLiteral("CrashReportDialog"));
        setWindowTitle(session.title());
        auto *layout = new QVBoxLayout(this);
        auto *top = new QHBoxLayout;
        auto *icon = new QLabel;
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
        top->addWidget(icon, 0, Qt::AlignTop);
        auto *message = new QLabel(session.message());
        message->setObjectName(QStringLiteral("MessageLabel"));
        message->setWordWrap(true);
        top->addWidget(message, 1);
        layout->addLayout(top);

        m_details = new QPlainTextEdit(session.report().text());
        m_details->setObjectName(QStringLiteral("DetailsMemo"));
        m_details->setReadOnly(true);
        m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_details->setMinimumSize(560, 240);
        m_details->hide();
        layout->addWidget(m_details, 1);

        auto *tools = new QHBoxLayout;
        if (session.settings().SendBtnVis)
            tools->addWidget(button("SendBtn", t.SendBtnTxt, [this] { RunSendAssistant(m_session); }));
        if (session.settings().SaveBtnVis)
            tools->addWidget(button("SaveBtn", t.SaveBtnTxt, [this] { m_session.save(); }));
        if (session.settings().ShowBtnVis)
            tools->addWidget(button("ShowBtn", t.ShowBtnTxt, [this] {
                m_details->setVisible(!m_details->isVisible());
                adjustSize();
            }));
        tools->addStretch(1);
        layout->addLayout(tools);

        auto *ends = new QHBoxLayout;
        ends->addStretch(1);
        auto *cont = button("ContinueBtn", t.ContinueBtnTxt, [this] { finish(CrashChoice::Continue); });
        ends->addWidget(cont);
        ends->addWidget(button("RestartBtn", t.RestartBtnTxt, [this] { finish(CrashChoice::Restart); }));
        ends->addWidget(button("CloseBtn", t.CloseBtnTxt, [this] { finish(CrashChoice::Close); }));
        layout->addLayout(ends);
        cont->setDefault(true);
        cont->setFocus();
    }

    CrashChoice choice() const { return m_choice; }

private:
    template <class F> QPushButton *button(const char *name, const QString &text, F onClick)
    {
        auto *b = new QPushButton(m_session.button(text));
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, onClick);
        return b;
    }
    void finish(CrashChoice c)
    {
        m_choice = c;
        accept();
    }

    CrashReportSession &m_session;
    QPlainTextEdit *m_details = nullptr;
    CrashChoice m_choice = CrashChoice::Continue; // closing the frame continues
};

class DialogCrashDialogs final : public CrashDialogs
{
public:
    CrashChoice show(CrashReportSession &session) override
    {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return CrashChoice::Continue;
        ReportDialog dialog(session);
        PrepareOverTheProgram(&dialog);
        dialog.exec();
        return dialog.choice();
    }
};

DialogCrashDialogs g_defaultDialogs;

// The send assistant as a wizard, one page per page of the model.
class AssistantWizard : public QWizard
{
public:
    explicit AssistantWizard(const Assistant &model)
    {
        setObjectName(QStringLiteral("SendAssistant"));
        setWizardStyle(QWizard::ClassicStyle);
        setOption(QWizard::HaveCustomButton1, true); // the skip button
        setOption(QWizard::NoBackButtonOnStartPage, true);
        for (int i = 0; i < model.pages.size(); ++i) {
            const AssistantPage &p = model.pages.at(i);
            auto *page = new QWizardPage;
            page->setTitle(p.title);
            page->setSubTitle(p.message);
            page->setButtonText(QWizard::NextButton, p.nextText);
            page->setButtonText(QWizard::FinishButton, p.nextText);
            page->setButtonText(QWizard::CancelButton, p.cancelText);
            page->setButtonText(QWizard::CustomButton1, p.skipText);
            auto *layout = new QVBoxLayout(page);
            for (auto it = p.labels.cbegin(); it != p.labels.cend(); ++it) {
                auto *label = new QLabel(it.value());
                label->setObjectName(it.key());
                layout->addWidget(label);
                // The inputs belong to the labels of the first two pages: Label1 and
                // Label2 of the contact page to the name and the e-mail address,
                // Label1 of the details page to the description.
                if (i == 0 && it.key() == QLatin1String("Label1"))
                    layout->addWidget(m_name = edit("NameEdit"));
                else if (i == 0 && it.key() == QLatin1String("Label2"))
                    layout->addWidget(m_email = edit("EmailEdit"));
                else if (i == 1 && it.key() == QLatin1String("Label1")) {
                    m_description = new QPlainTextEdit;
                    m_description->setObjectName(QStringLiteral("DescriptionMemo"));
                    layout->addWidget(m_description);
                }
            }
            for (auto it = p.checkBoxes.cbegin(); it != p.checkBoxes.cend(); ++it) {
                auto *box = new QCheckBox(it.value());
                box->setObjectName(it.key());
                layout->addWidget(box);
                if (it.key() == QLatin1String("AttachCheck"))
                    m_attach = box;
                else if (it.key() == QLatin1String("MemCheck"))
                    m_remember = box;
            }
            addPage(page);
        }
        // Contact details the user asked us to keep come back next time.
        if (m_name && m_email) {
            m_name->setText(Registry::readString(kContactKey, QStringLiteral("Name")));
            m_email->setText(Registry::readString(kContactKey, QStringLiteral("Email")));
            if (m_remember)
                m_remember->setChecked(!m_name->text().isEmpty() || !m_email->text().isEmpty());
        }
        connect(this, &QDialog::accepted, this, [this] {
            if (m_remember && m_remember->isChecked() && m_name && m_email) {
                Registry::writeString(kContactKey, QStringLiteral("Name"), name());
                Registry::writeString(kContactKey, QStringLiteral("Email"), email());
            }
        });
        // Skipping a page leaves its inputs out of the report.
        connect(this, &QWizard::customButtonClicked, this, [this] {
            const int id = currentId();
            if (id == 0) {
                m_name->clear();
                m_email->clear();
            } else if (id == 1 && m_description) {
                m_description->clear();
            } else if (m_attach) {
                m_attach->setChecked(false);
            }
            if (nextId() < 0)
                accept();
            else
                next();
        });
    }

    QString name() const { return m_name ? Trimmed(m_name->text()) : QString(); }
    QString email() const { return m_email ? Trimmed(m_email->text()) : QString(); }
    QString description() const { return m_description ? m_description->toPlainText() : QString(); }
    bool attachScreenshot() const { return m_attach && m_attach->isChecked(); }

private:
    QLineEdit *edit(const char *name)
    {
        auto *e = new QLineEdit;
        e->setObjectName(QLatin1String(name));
        return e;
    }
    QLineEdit *m_name = nullptr;
    QLineEdit *m_email = nullptr;
    QPlainTextEdit *m_description = nullptr;
    QCheckBox *m_attach = nullptr;
    QCheckBox *m_remember = nullptr;
};

} // namespace

CrashDialogs *WidgetCrashDialogs()
{
    return &g_defaultDialogs;
}

bool RunSendAssistant(CrashReportSession &session)
{
    Assistant assistant = MakeSendAssistant();
    if (AssistantHandler h = CurrentAssistantHandler())
        h(assistant, session.settings());
    AssistantWizard wizard(assistant);
    if (Modal::exec(&wizard) != QDialog::Accepted)
        return false;

    CrashSendDetails details;
    details.name = wizard.name();
    details.email = wizard.email();
    details.description = wizard.description();
    if (wizard.attachScreenshot()) {
        // A mail link carries no attachment: the picture is saved beside the
        // report file and the user attaches it.
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QString picture =
                PathJoin(QFileInfo(BugReportFile()).absolutePath(),
                         session.report().time.toString(QStringLiteral("'screenshot-'yyyyMMdd-HHmmss'.png'")));
            EnsureFolder(QFileInfo(picture).absolutePath());
            if (screen->grabWindow(0).save(picture))
                details.screenshot = picture;
        }
    }
    return session.send(details);
}

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    InstallWidgetServices();
}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    const char *cls = receiver ? receiver->metaObject()->className() : "?";
    const int type = event ? int(event->type()) : 0;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(QStringLiteral("event %1 to %2").arg(type).arg(QLatin1String(cls)), std::current_exception());
        return false;
    }
}

} // namespace vt
