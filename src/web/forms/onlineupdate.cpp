#include "onlineupdate.h"
#include "messages.h"
#include "paths.h"
#include "shell.h"
#include "updateprogressform.h"

#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace vt {

namespace {

int g_startDelayMs = 3000;

} // namespace

void TOnlineUpdate::setStartDelay(int ms)
{
    g_startDelayMs = ms;
}

TOnlineUpdate::TOnlineUpdate()
{
    setObjectName(QStringLiteral("OnlineUpdate"));
    setWindowFlag(Qt::Tool);
    m_startTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, [this] { runCheck(true); });
    connect(&m_check, &UpdateCheck::upToDate, this, [this] {
        m_wait.reset();
        if (!m_silent)
            information(UpdateMessage(UpdateText::NoNewerVersion));
    });
    connect(&m_check, &UpdateCheck::newerVersion, this, &TOnlineUpdate::newerVersion);
    connect(&m_check, &UpdateCheck::progress, this, [this](qint64 received, qint64 total) {
        if (m_progress)
            m_progress->showProgress(received, total);
    });
    connect(&m_check, &UpdateCheck::downloaded, this, &TOnlineUpdate::downloaded);
    connect(&m_check, &UpdateCheck::failed, this, &TOnlineUpdate::failed);
}

TOnlineUpdate::~TOnlineUpdate()
{
    m_check.cancel();
    m_wait.reset();
    delete m_progress;
}

void TOnlineUpdate::SetupUpdate(const QString &versionText, const QString &settingsFile, const QString &serverPath,
                                const QString &descriptionFile, int language)
{
    m_settingsFile = settingsFile;
    (void)language; // the texts are German only
    m_startTimer.stop();
    m_check.setCurrentVersion(UpdateVersionNumber(versionText));
    m_check.setDescriptionUrl(QUrl(QStringLiteral("https://") + UpdateServerPath(serverPath) + descriptionFile));
}

bool TOnlineUpdate::CheckAtStartIfEnabled(bool flag)
{
    const bool on = UpdateSettings::readCheckAtStart(m_settingsFile, !flag);
    if (on)
        CheckForUpdate(false);
    return on;
}

void TOnlineUpdate::CheckForUpdate(bool now)
{
    if (!now) {
        m_startTimer.start(g_startDelayMs);
        return;
    }
    m_startTimer.stop();
    runCheck(false);
}

void TOnlineUpdate::SetCheckAtStart(bool on)
{
    if (!m_settingsFile.isEmpty())
        UpdateSettings::writeCheckAtStart(m_settingsFile, on);
}

void TOnlineUpdate::runCheck(bool silent)
{
    if (m_downloading)
        return;
    const bool busy = m_check.isBusy();
    // A check asked for while the one at start runs says its result.
    m_silent = busy ? m_silent && silent : silent;
    if (!m_silent && !m_wait) {
        m_wait = WaitWindows::instance().open(UpdateMessage(UpdateText::Searching), [this] {
            m_check.cancel();
            m_silent = true;
            // Not inside the window's own handler.
            QTimer::singleShot(0, this, [this] { m_wait.reset(); });
        });
    }
    if (!busy)
        m_check.check();
}

void TOnlineUpdate::newerVersion(const UpdateDescription &description)
{
    m_wait.reset();
    const bool updater = !UpdateSettings::readUpdater(m_settingsFile).isEmpty();
    const QString text = UpdateMessage(UpdateText::NewVersion) + QStringLiteral("\r\r") +
                         UpdateMessage(UpdateText::CurrentVersion) + m_check.currentVersion() +
                         QStringLiteral("\rNeue Version: ") + description.version + QStringLiteral("\r\r") +
                         (updater ? UpdateMessage(UpdateText::AskDownloadRun)
                                  : QStringLiteral("Möchten Sie diese Installationsdatei herunterladen?"));
    if (!question(text, MsgButton::Yes))
        return;
    const QString folder = downloadFolder();
    m_downloading = true;
    if (!m_progress) {
        m_progress = new TUpdateProgressForm(this);
        m_progress->setWindowModality(Qt::ApplicationModal);
        connect(m_progress, &TUpdateProgressForm::cancelConfirmed, this, [this] {
            m_check.cancel();
            m_downloading = false;
        });
    }
    m_progress->start(description.fileName, description.file.toString(), folder);
    m_progress->show();
    m_check.download(description, folder);
}

void TOnlineUpdate::downloaded(const QString &path)
{
    m_downloading = false;
    if (m_progress)
        m_progress->finish();
    if (UpdateSettings::readUpdater(m_settingsFile).isEmpty()) {
        // Installing is the system's business here: the file waits in its folder.
        information(QStringLiteral("Die Installationsdatei wurde heruntergeladen und geprüft:\r%1\r\rInstallieren Sie "
                                   "die neue Version damit, nachdem Sie das Programm beendet haben. Der Ordner mit der "
                                   "Datei wird jetzt geöffnet.")
                        .arg(path));
        ShellOpen(WithTrailingSlash(QFileInfo(path).absolutePath()));
        return;
    }
    information(UpdateMessage(UpdateText::Downloaded));
    LaunchUpdater(path);
}

void TOnlineUpdate::failed(const QString &message)
{
    m_wait.reset();
    const bool shown = m_downloading || !m_silent;
    if (m_downloading && m_progress)
        m_progress->finish();
    m_downloading = false;
    if (shown)
        error(message);
}

void TOnlineUpdate::LaunchUpdater(const QString &file)
{
    QStringList args =
        UpdaterCommandLine(UpdateSettings::readUpdater(m_settingsFile), file, QCoreApplication::applicationPid());
    const QString program = args.isEmpty() ? QString() : args.takeFirst();
    const QString why = StartDetached(program, args, QCoreApplication::applicationDirPath());
    if (!why.isEmpty()) {
        error(QStringLiteral("Das Aktualisierungsprogramm \"%1\" konnte nicht gestartet werden:\r%2\r\rDie "
                             "Installationsdatei finden Sie hier:\r%3")
                  .arg(program, why, file));
        return;
    }
    // The updater waits for this process to end before it installs.
    if (CloseProgram)
        CloseProgram();
}

QString TOnlineUpdate::downloadFolder() const
{
    if (!DownloadFolder.isEmpty())
        return WithTrailingSlash(DownloadFolder);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return WithTrailingSlash(folder);
}

} // namespace vt
