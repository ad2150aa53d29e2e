#pragma once
// Handing documents, folders, web addresses and mail links to the desktop, and
// starting helper programs. Nothing here goes through a shell command line:
// targets become URLs (QUrl) and programs get their arguments as a list.
//
// The desktop side is a replaceable backend, so tests record what would have
// been opened instead of starting a browser or a mail program.
#include <QString>
#include <QStringList>
#include <QUrl>

namespace vt {

class ShellBackend
{
public:
    virtual ~ShellBackend() = default;
    // Opens the URL with the desktop's handler for its kind; false when none took it.
    virtual bool openUrl(const QUrl &url) = 0;
    // Starts the user's web browser with one argument; false when it could not be started.
    virtual bool startBrowser(const QString &argument) = 0;

    static ShellBackend &instance();
    // Replaces the backend (tests); returns the previous one. nullptr restores the default.
    static ShellBackend *setInstance(ShellBackend *backend);
    // The backend used when no test replaced it: the freedesktop opener without
    // windows; the widget library installs the desktop services of Qt.
    static void setDefault(ShellBackend *backend);
};

// The freedesktop way: "xdg-open" hands a URL to the desktop's program for its
// kind, "sensible-browser" is the user's browser.
class XdgShellBackend : public ShellBackend
{
public:
    bool openUrl(const QUrl &url) override;
    bool startBrowser(const QString &argument) override;
};

// The URL a target stands for: web and file URLs as they are, "mailto:" followed
// by an address (everything after the colon is the address, so a "?" or "&" in
// it cannot add headers), anything else a local path (made absolute).
QUrl ShellTargetUrl(const QString &target);
// A "mailto:" URL with the subject and body properly encoded.
QUrl MailToUrl(const QString &address, const QString &subject = {}, const QString &body = {});

// The message when no program on this computer opens the URL.
QString CannotOpenText(const QUrl &url);

// The message when a page of the help folder is not there.
QString MissingHelpPageText(const QString &path);
// Opens a page of the folder "help" of the program folder. A page that is not
// there is said (MissingHelpPageText) rather than handed to the desktop, which
// would only say that nothing opens it.
bool OpenHelpFile(const QString &programFolder, const QString &page);

// Opens a file, folder, web address or "mailto:" link. When the desktop cannot
// open it, the browser is started with the target as a file URL. When neither
// takes it, now or when the desktop's opener ends with a failure, the user is
// told (CannotOpenText); callers do not need to look at the result.
bool ShellOpen(const QString &target);
bool ShellOpenUrl(const QUrl &url);
// Starts the web browser with the text; when that fails the desktop opens the text itself.
bool OpenUrlInBrowser(const QString &argument);

// Deletes every file that matches the name part (with "*" and "?") in the folder
// part of the mask. Files that cannot be deleted are passed over. True when
// anything matched.
bool DeleteFilesByMask(const QString &maskPath);

// Starts the program without a window of its own in the work folder and waits
// until it has ended, checking every 100 ms while the event loop runs: timers
// and the user's input of every window go on meanwhile. Returns early when the
// application is quitting. A failed start
// shows "Error starting " and the program. The parameters are split like a
// command line (quotes group words) but never passed to a shell.
// Returns true when the program was started.
bool RunAndWait(const QString &workFolder, const QString &program, const QString &params);

// Starts a program that goes on running on its own (also after this program
// has ended), in the work folder, with its arguments as a list. Returns an empty
// text when it runs, otherwise why it could not be started.
QString StartDetached(const QString &program, const QStringList &arguments, const QString &workFolder);

// Whether the application has been told to quit (or is being destroyed).
bool ApplicationQuitting();

} // namespace vt
