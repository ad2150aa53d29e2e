#include "crashreport.h"
#include "filedialogs.h"
#include "modal.h"
#include "paths.h"
#include "registry.h"
#include "shell.h"
#include "text.h"
#include "textfile.h"
#include "windowsinfo.h"

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
#include <QSysInfo>
#include <QVBoxLayout>
#include <QWizard>

#include <cxxabi.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <typeinfo>

namespace vt {

// ---------------------------------------------------------------------------
// Texts

CrashDialogTexts CrashTextsForLanguage(int language)
{
    switch (language) {
    case 1:
        return {"%appname% - Ein Fehler ist aufgetreten",
                "Programm fortfahren",
                "Details anzeigen",
                "Programm neu starten",
                "Programm Schliessen",
                "Anzeigen",
                "Drucken",
                "Speichern",
                "Senden",
                "OK",
                "Das Programm scheint eingefroren zu sein",
                "Ein Fehler ist aufgetreten",
                "Die Datei \"%modname%\" scheint defekt zu sein!",
                "Verbinde",
                "Bitte warten",
                "Bitte warten",
                "Setting Fields...",
                "Sende Anhänge...",
                "Senden beendet",
                "Senden fehlgeschlagen",
                "Füge Anhänge hinzu...",
                "Sende...",
                "Searching for mail server...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Fehlermeldung - Bugreport ist im Anhang",
                "Authentifiziere...",
                "Sende Mail..."};
    case 2:
        return {"%appname% - An error occured",
                "Continue Program",
                "Show Details",
                "Restart Program",
                "Close Program",
                "Show",
                "Print",
                "Save",
                "Send",
                "OK",
                "The Program seems to be frozen",
                "An error occured",
                "The File \"%modname%\" seems to be damaged!",
                "Connect",
                "Please wait",
                "Please wait",
                "Setting Fields...",
                "Send attachments...",
                "Sending completed",
                "Sending failed",
                "Add attachments...",
                "Send...",
                "Searching for mail server...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Error Message \u2013 Bug Report is attached",
                "Authentificate...",
                "Send Mail..."};
    case 3:
        return {"%appname% - Une erreur s'est produite",
                "Continuer le programme",
                "Afficher les détails",
                "Redémarrer le programme",
                "Fermer le programme",
                "Afficher",
                "Imprimer",
                "Enregistrer",
                "Envoyer",
                "OK",
                "Le programme semble bloqué",
                "Une erreur s'est produite",
                "Le fichier \"%modname%\" semble endommagé !",
                "Connexion",
                "Veuillez patienter",
                "Veuillez patienter",
                "Remplissage des champs...",
                "Envoi des pièces jointes...",
                "Envoi terminé",
                "Échec de l'envoi",
                "Ajout des pièces jointes...",
                "Envoi...",
                "Recherche du serveur de messagerie...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Message d'erreur - le rapport d'erreur est joint",
                "Authentification...",
                "Envoi du message..."};
    case 4:
        return {"%appname% - Si è verificato un errore",
                "Continua il programma",
                "Mostra dettagli",
                "Riavvia il programma",
                "Chiudi il programma",
                "Mostra",
                "Stampa",
                "Salva",
                "Invia",
                "OK",
                "Il programma sembra bloccato",
                "Si è verificato un errore",
                "Il file \"%modname%\" sembra danneggiato!",
                "Connessione",
                "Attendere prego",
                "Attendere prego",
                "Compilazione dei campi...",
                "Invio degli allegati...",
                "Invio completato",
                "Invio non riuscito",
                "Aggiunta degli allegati...",
                "Invio...",
                "Ricerca del server di posta...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Messaggio di errore - il rapporto di errore è allegato",
                "Autenticazione...",
                "Invio del messaggio..."};
    case 5:
        return {"%appname% - Se ha producido un error",
                "Continuar el programa",
                "Mostrar detalles",
                "Reiniciar el programa",
                "Cerrar el programa",
                "Mostrar",
                "Imprimir",
                "Guardar",
                "Enviar",
                "Aceptar",
                "El programa parece estar bloqueado",
                "Se ha producido un error",
                "¡El archivo \"%modname%\" parece estar dañado!",
                "Conectando",
                "Espere, por favor",
                "Espere, por favor",
                "Rellenando campos...",
                "Enviando adjuntos...",
                "Envío completado",
                "Error al enviar",
                "Añadiendo adjuntos...",
                "Enviando...",
                "Buscando el servidor de correo...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Mensaje de error - el informe de errores va adjunto",
                "Autenticando...",
                "Enviando correo..."};
    default:
        // The reporter's own texts, in use until the program chooses a language.
        return {"%appname% - error report",
                "continue",
                "details",
                "restart",
                "close",
                "show report",
                "print report",
                "save report",
                "send report",
                "OK",
                "The application does not respond.",
                "An unexpected error stopped the current action.",
                "The file \"%modname%\" is damaged.",
                "connecting...",
                "One moment...",
                "working",
                "filling in the report...",
                "sending the attachments...",
                "The report has been sent.",
                "The report could not be sent.",
                "preparing the attachments...",
                "sending the report",
                "looking for the mail server...",
                "%appname% error report",
                "%appname%: %exceptMsg% (the report follows)",
                "logging in...",
                "sending the mail..."};
    }
}

namespace {

// The texts of one page of the send assistant; a null text leaves that item alone.
struct PageTexts
{
    const char *title, *message, *next, *cancel, *skip, *label1, *label2, *checkName, *check;
};

const PageTexts *assistantTexts(int language)
{
    static const PageTexts texts[5][3] = {
        {{"Ihre Daten", "Bitte geben Sie Ihre Kontaktdaten ein", "weiter", "Abbrechen", "Überspringen", "Ihr Name",
          "Ihre E-Mail Adresse", "MemCheck", "Daten speichern"},
         {"Weitere Informationen", "Geben Sie uns weitere Informationen", "weiter", "Abbrechen", "Überspringen",
          "Wann ist der Fehler aufgetreten?", nullptr, nullptr, nullptr},
         {"Screenshot hinzufügen", "Dies kann uns evtl weiter helfen", "Senden", "Abbrechen", "Überspringen", nullptr,
          nullptr, "AttachCheck", "Screenshot hinzufügen"}},
        {{"Your Data", "Please insert your contact details", "Continue", "Cancel", "Skip", "Your Name",
          "Your Email Adress", "MemCheck", "Save Data"},
         {"More Informations", "More Informations", "Continue", "Cancel", "Skip", "When did the error occured?",
          nullptr, nullptr, nullptr},
         {"Add screenshot", "Maybe this will help to find a solution", "Send", "Cancel", "Skip", nullptr, nullptr,
          "AttachCheck", "Add screenshot"}},
        {{"Vos coordonnées", "Veuillez saisir vos coordonnées", "Continuer", "Annuler", "Ignorer", "Votre nom",
          "Votre adresse e-mail", "MemCheck", "Enregistrer les données"},
         {"Informations complémentaires", "Donnez-nous plus d'informations", "Continuer", "Annuler", "Ignorer",
          "Quand l'erreur s'est-elle produite ?", nullptr, nullptr, nullptr},
         {"Ajouter une capture d'écran", "Cela peut nous aider à trouver une solution", "Envoyer", "Annuler", "Ignorer",
          nullptr, nullptr, "AttachCheck", "Ajouter une capture d'écran"}},
        {{"I suoi dati", "Inserisca i suoi dati di contatto", "Avanti", "Annulla", "Salta", "Il suo nome",
          "Il suo indirizzo e-mail", "MemCheck", "Salva i dati"},
         {"Ulteriori informazioni", "Ci dia ulteriori informazioni", "Avanti", "Annulla", "Salta",
          "Quando si è verificato l'errore?", nullptr, nullptr, nullptr},
         {"Aggiungi screenshot", "Può aiutarci a trovare una soluzione", "Invia", "Annulla", "Salta", nullptr, nullptr,
          "AttachCheck", "Aggiungi screenshot"}},
        {{"Sus datos", "Introduzca sus datos de contacto", "Continuar", "Cancelar", "Omitir", "Su nombre",
          "Su dirección de correo electrónico", "MemCheck", "Guardar datos"},
         {"Más información", "Denos más información", "Continuar", "Cancelar", "Omitir", "¿Cuándo se produjo el error?",
          nullptr, nullptr, nullptr},
         {"Añadir captura de pantalla", "Esto puede ayudarnos a encontrar una solución", "Enviar", "Cancelar", "Omitir",
          nullptr, nullptr, "AttachCheck", "Añadir captura de pantalla"}},
    };
    return language >= 1 && language <= 5 ? texts[language - 1] : nullptr;
}

QString u8(const char *s)
{
    return QString::fromUtf8(s);
}

// ---------------------------------------------------------------------------
// Module state

CrashReportSettings g_settings;
QString g_reportFile;
QString g_reportVersion;
int g_reportLanguage = 0;
QList<ReportHandler> g_handlers;
AssistantHandler g_assistantHandler = nullptr;
CrashDialogs *g_dialogs = nullptr;
CrashExit g_exit = CrashExit::None;
int g_reporting = 0; // reports being shown; an error inside the dialog is not shown again

const QString kContactKey = QStringLiteral("Software\\Halvicor\\Vantrel\\BugReport");
const QString kVersionField = QStringLiteral("Programm Version");
const QString kNoVersion = QStringLiteral("No Version Information found");

// The version a report carries (SetupCrashReport keeps it trimmed).
QString versionForReport()
{
    return g_reportVersion.isEmpty() ? kNoVersion : g_reportVersion;
}

// ---------------------------------------------------------------------------
// The report of a fatal signal. The handler may only use async-signal-safe
// calls, so everything it writes is prepared here beforehand.

char g_signalFile[4096];
char g_signalVersion[1024];
bool g_signalsInstalled = false;
const int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS};

void copyToBuffer(char *buffer, size_t size, const QByteArray &bytes)
{
    const size_t n = std::min(size - 1, size_t(bytes.size()));
    std::memcpy(buffer, bytes.constData(), n);
    buffer[n] = '\0';
}

void prepareSignalReport()
{
    copyToBuffer(g_signalFile, sizeof g_signalFile, QFile::encodeName(BugReportFile()));
    copyToBuffer(g_signalVersion, sizeof g_signalVersion, versionForReport().toUtf8());
}

struct SignalText
{
    char data[2048];
    size_t length = 0;
    void add(const char *s)
    {
        while (*s && length < sizeof data)
            data[length++] = *s++;
    }
    void addNumber(unsigned long long u, int minDigits = 1)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + u % 10);
            u /= 10;
        } while (u && n < 24);
        while (n < minDigits && n < 24)
            digits[n++] = '0';
        while (n > 0 && length < sizeof data)
            data[length++] = digits[--n];
    }
};

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGBUS: return "SIGBUS";
    default: return "signal";
    }
}

void fatalSignalHandler(int sig)
{
    const int fd = ::open(g_signalFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        // The date by arithmetic alone: the time functions of the C library are
        // not safe in a signal handler.
        const long long secs = static_cast<long long>(::time(nullptr));
        long long days = secs / 86400, rest = secs % 86400;
        days += 719468;
        const long long era = days / 146097;
        const long long doe = days - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long long mp = (5 * doy + 2) / 153;
        const long long day = doy - (153 * mp + 2) / 5 + 1;
        const long long month = mp < 10 ? mp + 3 : mp - 9;
        const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);

        SignalText t;
        t.add("\r\n---------------------------------------------------------------\r\n");
        t.add("date/time          : ");
        t.addNumber(year, 4);
        t.add("-");
        t.addNumber(month, 2);
        t.add("-");
        t.addNumber(day, 2);
        t.add(" ");
        t.addNumber(rest / 3600, 2);
        t.add(":");
        t.addNumber(rest / 60 % 60, 2);
        t.add(":");
        t.addNumber(rest % 60, 2);
        t.add(" UTC\r\n");
        t.add("fatal signal       : ");
        t.add(signalName(sig));
        t.add(" (");
        t.addNumber(sig);
        t.add(")\r\n");
        t.add("Programm Version   : ");
        t.add(g_signalVersion);
        t.add("\r\n");
        size_t done = 0;
        while (done < t.length) {
            const ssize_t w = ::write(fd, t.data + done, t.length - done);
            if (w <= 0)
                break;
            done += size_t(w);
        }
        ::close(fd);
    }
    // The handler was reset to the default on entry: the signal now ends the
    // process as it would have without us (core dump included).
    ::raise(sig);
}

void installSignalHandlers()
{
    if (g_signalsInstalled)
        return;
    g_signalsInstalled = true;
    // A stack of its own, so that a stack overflow can still be reported.
    static char altStack[64 * 1024];
    stack_t ss{};
    ss.ss_sp = altStack;
    ss.ss_size = sizeof altStack;
    ::sigaltstack(&ss, nullptr);
    struct sigaction sa
    {
    };
    sa.sa_handler = fatalSignalHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
    for (int sig : kFatalSignals)
        ::sigaction(sig, &sa, nullptr);
}

// ---------------------------------------------------------------------------

QString demangle(const char *name)
{
    if (!name)
        return QStringLiteral("unknown");
    int status = 0;
    std::unique_ptr<char, void (*)(void *)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return QString::fromUtf8(status == 0 && readable ? readable.get() : name);
}

bool saveReport(const BugReport &report, const QString &path, bool append)
{
    EnsureFolder(QFileInfo(path).absolutePath());
    QStringList lines = SplitLines(report.text());
    if (append) {
        lines.prepend(QString(63, u'-'));
        lines.prepend(QString());
        return AppendLines(path, lines, TextEncoding::Utf8);
    }
    WriteOptions opt;
    opt.encoding = TextEncoding::Utf8;
    return WriteLines(path, lines, opt);
}

void autoSave(const BugReport &report, const CrashReportSettings &settings)
{
    saveReport(report, BugReportFile(), settings.AppendBugReps);
}

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
            tools->addWidget(button("SendBtn", t.SendBtnTxt, [this] { m_session.send(); }));
        if (session.settings().SaveBtnVis)
            tools->addWidget(button("SaveBtn", t.SaveBtnTxt, [this] { m_session.save(); }));
        if (session.settings().ShowBtnVis)
            tools->addWidget(button("DetailsBtn", t.DetailsBtnTxt, [this] {
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
        setOption(QWizard::HaveCustomButton1, true);
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
                // The inputs belong to the labels of the first two pages.
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

// ---------------------------------------------------------------------------

CrashReportSettings &CrashSettings()
{
    return g_settings;
}

QString BugReportFile()
{
    if (!g_reportFile.isEmpty())
        return g_reportFile;
    return PathJoin(WindowsInfo().AppDataDir, QStringLiteral("Halvicor/Vantrel/bugreport.txt"));
}

void SetBugReportFile(const QString &path)
{
    g_reportFile = path;
    prepareSignalReport();
}

QString BugReport::field(const QString &name) const
{
    for (const auto &[n, v] : header)
        if (n == name)
            return v;
    return {};
}

QString BugReport::text() const
{
    qsizetype width = 0;
    for (const auto &f : header)
        width = std::max(width, f.first.size());
    QString out;
    for (const auto &[name, value] : header)
        out += name.leftJustified(width) + QStringLiteral(" : ") + value + QLatin1Char('\n');
    return out;
}

void RegisterReportHandler(ReportHandler handler)
{
    if (handler && !g_handlers.contains(handler))
        g_handlers.append(handler);
}

void UnregisterReportHandler(ReportHandler handler)
{
    g_handlers.removeAll(handler);
}

BugReport BuildBugReport(const QString &where, const QString &exceptionClass, const QString &message)
{
    BugReport r;
    r.time = QDateTime::currentDateTime();
    r.where = where;
    r.exceptionClass = exceptionClass;
    r.exceptionMessage = message;
    r.addField(QStringLiteral("date/time"), r.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    r.addField(QStringLiteral("computer name"), QSysInfo::machineHostName());
    r.addField(QStringLiteral("operating system"), QSysInfo::prettyProductName());
    r.addField(QStringLiteral("Qt version"), QString::fromLatin1(qVersion()));
    r.addField(QStringLiteral("executable"), QCoreApplication::applicationFilePath());
    r.addField(QStringLiteral("exception class"), exceptionClass);
    r.addField(QStringLiteral("exception message"), message);
    r.addField(QStringLiteral("location"), where);
    for (ReportHandler h : std::as_const(g_handlers))
        h(r);
    return r;
}

QString FillReportPlaceholders(const QString &text, const BugReport &report)
{
    QString r = text;
    const QString app = QCoreApplication::applicationName();
    r.replace(QLatin1String("%appname%"), app.isEmpty() ? QStringLiteral("Vantrel") : app);
    r.replace(QLatin1String("%exceptMsg%"), report.exceptionMessage);
    r.replace(QLatin1String("%modname%"), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    return r;
}

Assistant MakeSendAssistant()
{
    Assistant a;
    AssistantPage contact;
    contact.title = QStringLiteral("Contact");
    contact.message = QStringLiteral("Who may we ask about this error?");
    contact.nextText = QStringLiteral("next");
    contact.cancelText = QStringLiteral("cancel");
    contact.skipText = QStringLiteral("skip");
    contact.labels = {{QStringLiteral("Label1"), QStringLiteral("name")},
                      {QStringLiteral("Label2"), QStringLiteral("e-mail")}};
    contact.checkBoxes = {{QStringLiteral("MemCheck"), QStringLiteral("remember")}};
    AssistantPage details;
    details.title = QStringLiteral("Details");
    details.message = QStringLiteral("What happened before the error?");
    details.nextText = contact.nextText;
    details.cancelText = contact.cancelText;
    details.skipText = contact.skipText;
    details.labels = {{QStringLiteral("Label1"), QStringLiteral("description")}};
    AssistantPage screenshot;
    screenshot.title = QStringLiteral("Screenshot");
    screenshot.message = QStringLiteral("A picture of the screen may show what went wrong.");
    screenshot.nextText = QStringLiteral("send");
    screenshot.cancelText = contact.cancelText;
    screenshot.skipText = contact.skipText;
    screenshot.labels = {{QStringLiteral("Label1"), QStringLiteral("The picture shows the whole screen.")}};
    screenshot.checkBoxes = {{QStringLiteral("AttachCheck"), QStringLiteral("attach a screenshot")}};
    a.pages = {contact, details, screenshot};
    return a;
}

void SetAssistantHandler(AssistantHandler handler)
{
    g_assistantHandler = handler;
}

AssistantHandler CurrentAssistantHandler()
{
    return g_assistantHandler;
}

void CrashReportStartup()
{
    CrashReportSettings &s = g_settings;
    s.MailAddr = QStringLiteral("bugreport@halvicor.example");
    s.AutoSaveIfNotSent = true;
    s.AppendBugReps = true;
    s.PrintBtnVis = false;
    s.SendBtnVis = true;
    s.ShowBtnVis = true;
    s.SaveBtnVis = true;
    s.AutoSave = true;
    s.MailViaMailto = false;
    s.MailAsSmtpClient = false;
    s.SendInBackgr = false;
    s.MailAsSmtpServer = false;
    s.MailViaMapi = true;
    RegisterReportHandler(AddVersionField);
    SetAssistantHandler(TranslateAssistant);
    prepareSignalReport();
    installSignalHandlers();
}

void CrashReportShutdown()
{
    UnregisterReportHandler(AddVersionField);
    g_reportVersion.clear();
    prepareSignalReport();
}

void SetupCrashReport(int language, const QString &version)
{
    SetAssistantHandler(TranslateAssistant);
    const QString v = Trimmed(version);
    if (!v.isEmpty())
        g_reportVersion = v;
    if (language >= 1 && language <= 5) {
        g_reportLanguage = language;
        g_settings.texts = CrashTextsForLanguage(language);
    }
    prepareSignalReport();
}

void AddVersionField(BugReport &report)
{
    report.addField(kVersionField, versionForReport());
}

void TranslateAssistant(Assistant &assistant, const CrashReportSettings &)
{
    QList<AssistantPage> &pages = assistant.pages;
    if (pages.size() >= 3 && pages[2].labels.contains(QStringLiteral("Label1")))
        pages[2].labels[QStringLiteral("Label1")] = QStringLiteral("  ");
    const PageTexts *t = assistantTexts(g_reportLanguage);
    if (!t)
        return;
    auto setIfPresent = [](QMap<QString, QString> &map, const char *name, const char *text) {
        if (!name || !text)
            return;
        const QString key = QLatin1String(name);
        if (map.contains(key))
            map[key] = u8(text);
    };
    for (qsizetype i = 0; i < std::min<qsizetype>(3, pages.size()); ++i) {
        AssistantPage &p = pages[i];
        const PageTexts &pt = t[i];
        p.title = u8(pt.title);
        p.message = u8(pt.message);
        p.nextText = u8(pt.next);
        p.cancelText = u8(pt.cancel);
        p.skipText = u8(pt.skip);
        setIfPresent(p.labels, "Label1", pt.label1);
        setIfPresent(p.labels, "Label2", pt.label2);
        setIfPresent(p.checkBoxes, pt.checkName, pt.check);
    }
}

QString ReportVersion()
{
    return g_reportVersion;
}

int ReportLanguage()
{
    return g_reportLanguage;
}

// ---------------------------------------------------------------------------

CrashReportSession::CrashReportSession(BugReport report, const CrashReportSettings &settings)
    : m_report(std::move(report)), m_settings(settings)
{
}

QString CrashReportSession::title() const
{
    return FillReportPlaceholders(m_settings.texts.TitleBar, m_report);
}

QString CrashReportSession::message() const
{
    return FillReportPlaceholders(m_settings.texts.ExceptMsg, m_report) + QStringLiteral("\n\n") +
           m_report.exceptionMessage;
}

bool CrashReportSession::send()
{
    Assistant assistant = MakeSendAssistant();
    if (AssistantHandler h = CurrentAssistantHandler())
        h(assistant, m_settings);
    AssistantWizard wizard(assistant);
    if (Modal::exec(&wizard) != QDialog::Accepted)
        return false;

    QString body = FillReportPlaceholders(m_settings.texts.MailBody, m_report) + QStringLiteral("\n\n");
    if (!wizard.name().isEmpty() || !wizard.email().isEmpty())
        body += wizard.name() + QStringLiteral(" <") + wizard.email() + QStringLiteral(">\n\n");
    if (!Trimmed(wizard.description()).isEmpty())
        body += wizard.description() + QStringLiteral("\n\n");
    if (wizard.attachScreenshot()) {
        // A mail link carries no attachment: the picture is saved beside the
        // report file and the user attaches it.
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QString picture =
                PathJoin(QFileInfo(BugReportFile()).absolutePath(),
                         m_report.time.toString(QStringLiteral("'screenshot-'yyyyMMdd-HHmmss'.png'")));
            EnsureFolder(QFileInfo(picture).absolutePath());
            if (screen->grabWindow(0).save(picture))
                body += QStringLiteral("Screenshot: ") + picture + QStringLiteral("\n\n");
        }
    }
    body += m_report.text();
    m_sent =
        ShellOpenUrl(MailToUrl(m_settings.MailAddr, FillReportPlaceholders(m_settings.texts.MailSubj, m_report), body));
    return m_sent;
}

bool CrashReportSession::save()
{
    const QString path =
        FileDialogs::instance().saveFile(nullptr, button(m_settings.texts.SaveBtnTxt),
                                         QFileInfo(BugReportFile()).fileName(), QStringLiteral("Text (*.txt)"));
    return !path.isEmpty() && saveReport(m_report, path, false);
}

CrashDialogs &CrashDialogs::instance()
{
    return g_dialogs ? *g_dialogs : static_cast<CrashDialogs &>(g_defaultDialogs);
}

CrashDialogs *CrashDialogs::setInstance(CrashDialogs *dialogs)
{
    CrashDialogs *prev = g_dialogs;
    g_dialogs = dialogs;
    return prev;
}

void ReportException(const QString &where, std::exception_ptr error)
{
    QString cls, message;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        cls = demangle(typeid(e).name());
        message = QString::fromUtf8(e.what());
    } catch (...) {
        const std::type_info *type = abi::__cxa_current_exception_type();
        cls = demangle(type ? type->name() : nullptr);
        message = cls;
    }

    const CrashReportSettings settings = g_settings;
    BugReport report = BuildBugReport(where, cls, message);
    // An error inside the error dialog is kept in any case; nothing more is shown.
    if (settings.AutoSave || g_reporting > 0)
        autoSave(report, settings);
    if (g_reporting > 0) {
        qWarning("%s", qPrintable(report.text()));
        return;
    }

    ++g_reporting;
    CrashReportSession session(report, settings);
    CrashChoice choice = CrashChoice::Continue;
    try {
        choice = CrashDialogs::instance().show(session);
    } catch (...) {
        qWarning("the error dialog failed");
    }
    --g_reporting;
    if (!settings.AutoSave && settings.AutoSaveIfNotSent && !session.sent())
        autoSave(report, settings);

    if (choice == CrashChoice::Continue)
        return;
    g_exit = choice == CrashChoice::Restart ? CrashExit::Restart : CrashExit::Close;
    // Ends the running event loop; before it runs, the start-up code looks at RequestedExit().
    QCoreApplication::exit(1);
}

bool Guard(const char *where, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (...) {
        ReportException(QString::fromUtf8(where), std::current_exception());
        return false;
    }
}

CrashExit RequestedExit()
{
    return g_exit;
}

void ClearRequestedExit()
{
    g_exit = CrashExit::None;
}

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv)
{
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
