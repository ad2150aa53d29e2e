#pragma once
// The owner of the update check, never shown: configured once when the main
// window is first shown, it checks a few seconds later when the check at start
// is switched on (silently when there is nothing new), or at once from the
// menu and the about box, with a window "Suche nach Aktualisierungen..." that
// can end the check. A newer version is downloaded with a progress window
// after the user agreed, checked against its SHA-256, and then either handed
// to the updater command of "Update.ini" (the program then ends through the
// main window's normal close) or left in the download folder, which is opened.
#include "updatecheck.h"
#include "updateprogressform.h"
#include "waitwindows.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vt {

class TOnlineUpdate : public QWidget
{
    Q_OBJECT
public:
    TOnlineUpdate();
    ~TOnlineUpdate() override;
    void FormCreate() {}

    // The version text ("Version 9.7.4"), "Update.ini", the server path (host and
    // folder of the description file), the description file's name and the
    // language (1: German, the only one there is).
    void SetupUpdate(const QString &versionText, const QString &settingsFile, const QString &serverPath,
                     const QString &descriptionFile, int language);
    // Reads the switch (default: the negation of flag); when on, arms the check at start.
    bool CheckAtStartIfEnabled(bool flag);
    // now: check at once and say when there is nothing new; otherwise arm the
    // silent check at start.
    void CheckForUpdate(bool now);
    void SetCheckAtStart(bool on);

    // Ends the program for the updater through the main window's normal close;
    // false when the window stayed open.
    std::function<bool()> CloseProgram;
    // Where a download goes; the user's download folder when empty.
    QString DownloadFolder;
    // The pause between the main window's first show and the check at start.
    static void setStartDelay(int ms);

    UpdateCheck &updateCheck() { return m_check; }
    QString settingsFile() const { return m_settingsFile; }
    bool startCheckArmed() const { return m_startTimer.isActive(); }
    // The progress window while a download runs.
    TUpdateProgressForm *progressForm() const { return m_progress; }

private:
    void runCheck(bool silent);
    void newerVersion(const UpdateDescription &description);
    void downloaded(const QString &path);
    void failed(const QString &message);
    void LaunchUpdater(const QString &file);
    QString downloadFolder() const;

    UpdateCheck m_check;
    QTimer m_startTimer;
    QString m_settingsFile;
    bool m_silent = true;
    bool m_downloading = false;
    QPointer<TUpdateProgressForm> m_progress;
    // The window of a check the user asked for, until the check has ended.
    std::unique_ptr<WaitWindows::Wait> m_wait;
};

} // namespace vt
