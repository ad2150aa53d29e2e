#pragma once
// The online update check: the switch for a check at start in "Update.ini", the
// description of the newest version on the maker's server, and the check and
// download themselves (asynchronous, over HTTPS with verified certificates).
//
// The description file is an INI file:
//
//   [Update]
//   Version=1.2.0                       dotted numbers
//   File=vantrel-1.2.0.tar.gz           address of the installation file, relative to the description
//   Size=12345678                       its size in bytes
//   SHA256=<64 hex digits>              its SHA-256
//
// A file is kept only when it arrived whole with the size and hash the
// description gives; until then it does not appear in the target folder.
#include <QByteArray>
#include <QCryptographicHash>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QSaveFile;

namespace vt {

// The texts of the update check, by their number in the program's message table.
enum class UpdateText {
    Caption = 3,          // "Online Aktualisierung"
    Searching,            // "Suche nach Aktualisierungen..."
    Downloading,          // "Lade Dateien herunter..."
    Done,                 // "Prozesss fertig!"
    CurrentVersion,       // "Aktuelle Version: "
    Target,               // "Ziel: %1"
    Source,               // "Quelle: %1"
    File,                 // "Datei: %1"
    ReceivingInfo,        // "Empfange Datei Information... Bitte warten."
    Progress,             // "Fortschritt: %1.%2 min, Verbleibend: %3.%4 min  (%5 von %6 Kb)"
    DownloadingFile,      // "Lade Datei %1 von %2 herunter"
    InstallingFile,       // "Installiere Datei %1 von %2"
    Downloaded,           // "Installationsdatei wurde erfolgreich heruntergeladen. ..."
    ProgramStillOpenName, // "Das Programm %1 ist noch geöffnet. ..."
    ProgramStillOpen,     // "Das Programm ist noch geöffnet. ..."
    Yes,
    No,
    Ok,
    Cancel,
    Next,
    Later,
    Finish,
    Warning,
    Error,
    Information,
    NewVersion,      // "Eine neue Version ist verfügbar."
    AskDownloadRun,  // "Möchten Sie diese Installationsdatei herunterladen und ausführen?"
    NoNewerVersion,  // "Es ist keine neuere Version verfügbar!"
    FileNotFound,    // "Aktualisierung abgebrochen. Folgende Datei wurde nicht gefunden: %1"
    FileCorrupt,     // "Aktualisierung abgebrochen. Datei korrupt: %1"
    SureToClose,     // "Sind Sie sicher, daß Sie das Programm schließen möchten?"
    HostUnreachable, // "Zielserver ist nicht erreichbar. ..."
    ReallyCancel,    // "Die Aktualisierung ist noch nicht abgeschlossen. Möchten Sie wirklich abbrechen?"
    Error404,        // "Fehler 404 - auf folgende Datei kann nicht zugegriffen werden:"
    ConnectionLost,  // "Verbindung zum Server wurde unterbrochen. ..."
};
QString UpdateMessage(UpdateText id);

// The progress line of a download: the time so far and the time left as
// minutes.seconds, and the amounts in kilobytes.
QString UpdateProgressText(qint64 elapsedMs, qint64 received, qint64 total);

// "Update.ini": [Update] Active switches the check at start on; Updater, when
// set, is the command that installs a downloaded file.
namespace UpdateSettings {
bool readCheckAtStart(const QString &settingsFile, bool def);
bool writeCheckAtStart(const QString &settingsFile, bool on);
QString readUpdater(const QString &settingsFile);
} // namespace UpdateSettings

// The version number in a version text: trimmed, every "Version " removed
// (without regard to case).
QString UpdateVersionNumber(const QString &versionText);
// The server path without any "http://" or "https://" (without regard to case):
// the check always puts "https://" in front itself.
QString UpdateServerPath(const QString &serverPath);
// Whether the text is a version of dotted numbers ("9", "9.7.4").
bool IsVersionNumber(const QString &version);
// Compares two dotted version numbers part by part as numbers (9.10 after 9.9;
// 1.0 equals 1.0.0): below, equal to or above zero.
int CompareVersions(const QString &a, const QString &b);

struct UpdateDescription
{
    QString version;
    QUrl file;        // https only
    QString fileName; // the name the file is saved under (the last part of its address)
    qint64 size = -1;
    QByteArray sha256; // 32 bytes
};

// Reads a description file fetched from base. An empty error means it is sound.
UpdateDescription ParseUpdateDescription(const QByteArray &data, const QUrl &base, QString *error);

// The updater command of "Update.ini" for a downloaded file: the command line
// split into the program and its arguments (quotes group words, nothing goes
// through a shell), "{file}" and "{pid}" replaced by the file and this
// process's id; without "{file}" the file is the last argument.
QStringList UpdaterCommandLine(const QString &command, const QString &file, qint64 pid);

class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    // A server that sends its answer a byte now and then is given up all the same.
    struct Limits
    {
        int descriptionMs = 30000; // the whole description
        int idleMs = 30000;        // silence between two pieces of an answer
        // The download: at least this many bytes a second over each window of rateWindowMs.
        int rateWindowMs = 30000;
        qint64 minBytesPerSecond = 2048;
    };

    explicit UpdateCheck(QObject *parent = nullptr);
    ~UpdateCheck() override;

    void setCurrentVersion(const QString &version) { m_version = version; }
    QString currentVersion() const { return m_version; }
    void setDescriptionUrl(const QUrl &url) { m_descriptionUrl = url; }
    QUrl descriptionUrl() const { return m_descriptionUrl; }
    // The system's authorities and the peer always verified, unless a test adds its own.
    void setSslConfiguration(const QSslConfiguration &config) { m_ssl = config; }
    void setLimits(const Limits &limits) { m_limits = limits; }

    bool isBusy() const { return m_reply != nullptr; }
    // Fetches the description: upToDate, newerVersion or failed follow.
    void check();
    // Fetches the file into the folder: progress as it comes, then downloaded or failed.
    void download(const UpdateDescription &description, const QString &folder);
    // Ends a check or a download without a signal; a file being fetched is dropped.
    void cancel();

    // The largest description file accepted.
    static constexpr qint64 MaxDescriptionSize = 64 * 1024;

signals:
    void upToDate();
    void newerVersion(const vt::UpdateDescription &description);
    void progress(qint64 received, qint64 total);
    void downloaded(const QString &path);
    // The German message that says what went wrong.
    void failed(const QString &message);

private:
    QNetworkReply *get(const QUrl &url);
    void descriptionFinished();
    void downloadData();
    void downloadFinished();
    // The message for a reply that failed; bytesSeen tells a broken transfer from none.
    QString failureText(QNetworkReply *reply, bool bytesSeen) const;
    void finishWith(const QString &failure);
    // Once a rate window has passed: gives the download up when too little came in it.
    void checkRate();

    QString m_version;
    QUrl m_descriptionUrl;
    QSslConfiguration m_ssl;
    std::unique_ptr<QNetworkAccessManager> m_nam;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_buffer;
    bool m_sslFailed = false;
    Limits m_limits;
    QTimer m_deadline; // the description's whole duration
    QTimer m_rateTimer;
    qint64 m_receivedAtWindow = 0;
    // The download in progress.
    UpdateDescription m_description;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<QCryptographicHash> m_hash;
    qint64 m_received = 0;
};

} // namespace vt
