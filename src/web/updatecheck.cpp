#include "updatecheck.h"
#include "httpclient.h"
#include "inifile.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"

#include <QHash>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>

#include <array>

namespace vt {

namespace {

const QString kSection = QStringLiteral("Update");

// The message table, numbers 3 to 37.
const std::array<const char *, 35> kMessages = {
    "Online Aktualisierung",
    "Suche nach Aktualisierungen...",
    "Lade Dateien herunter...",
    "Prozesss fertig!",
    "Aktuelle Version: ",
    "Ziel: %1",
    "Quelle: %1",
    "Datei: %1",
    "Empfange Datei Information... Bitte warten.",
    "Fortschritt: %1.%2 min, Verbleibend: %3.%4 min  (%5 von %6 Kb)",
    "Lade Datei %1 von %2 herunter",
    "Installiere Datei %1 von %2",
    "Installationsdatei wurde erfolgreich heruntergeladen. Drücken Sie OK um das Setup zu starten.",
    "Das Programm %1 ist noch geöffnet. Bitte schliessen Sie das Programm und drücken Sie OK.",
    "Das Programm ist noch geöffnet. Wollen Sie das Programm schliessen?",
    "&Yes",
    "&No",
    "&OK",
    "&Cancel",
    "&Next >",
    "&Later",
    "&Finish",
    "Warnung",
    "Fehler",
    "Information",
    "Eine neue Version ist verfügbar.",
    "Möchten Sie diese Installationsdatei herunterladen und ausführen?",
    "Es ist keine neuere Version verfügbar!",
    "Aktualisierung abgebrochen. Folgende Datei wurde nicht gefunden: %1",
    "Aktualisierung abgebrochen. Datei korrupt: %1",
    "Sind Sie sicher, daß Sie das Programm schließen möchten?",
    "Zielserver ist nicht erreichbar. Bitte überprüfen Sie Ihre Internet Einstellungen.",
    "Die Aktualisierung ist noch nicht abgeschlossen. Möchten Sie wirklich abbrechen?",
    "Fehler 404 - auf folgende Datei kann nicht zugegriffen werden:",
    "Verbindung zum Server wurde unterbrochen. Bitte stellen Sie diese wieder her und versuchen Sie es erneut.",
};

// The largest installation file accepted.
constexpr qint64 kMaxFileSize = qint64(4) * 1024 * 1024 * 1024;

QString badDescription(const QString &key)
{
    return QStringLiteral("Die Beschreibung der neuen Version auf dem Server ist fehlerhaft (%1).").arg(key);
}

// Minutes and seconds, the seconds always with two digits.
std::pair<QString, QString> minutesSeconds(qint64 ms)
{
    const qint64 s = std::max<qint64>(0, ms / 1000);
    return {QString::number(s / 60), QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'))};
}

// A file name a stranger's server may give: one plain name, not hidden, no
// control character, no folder part.
bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name.size() > 255 || name.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 32 || c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() == 127)
            return false;
    }
    return true;
}

} // namespace

QString UpdateMessage(UpdateText id)
{
    const int i = int(id) - int(UpdateText::Caption);
    return i >= 0 && i < int(kMessages.size()) ? QString::fromUtf8(kMessages[size_t(i)]) : QString();
}

QString UpdateProgressText(qint64 elapsedMs, qint64 received, qint64 total)
{
    const qint64 left = received > 0 && total > received ? elapsedMs * (total - received) / received : 0;
    const auto [elapsedMin, elapsedSec] = minutesSeconds(elapsedMs);
    const auto [leftMin, leftSec] = minutesSeconds(left);
    const QLocale german(QLocale::German, QLocale::Germany);
    return UpdateMessage(UpdateText::Progress)
        .arg(elapsedMin, elapsedSec, leftMin, leftSec, german.toString(double(received) / 1024.0, 'f', 2),
             german.toString(double(total) / 1024.0, 'f', 2));
}

namespace UpdateSettings {

bool readCheckAtStart(const QString &settingsFile, bool def)
{
    return IniFile(settingsFile).readBool(kSection, QStringLiteral("Active"), def);
}

bool writeCheckAtStart(const QString &settingsFile, bool on)
{
    return IniFile(settingsFile).writeBool(kSection, QStringLiteral("Active"), on);
}

QString readUpdater(const QString &settingsFile)
{
    return IniFile(settingsFile).readString(kSection, QStringLiteral("Updater"));
}

} // namespace UpdateSettings

QString UpdateVersionNumber(const QString &versionText)
{
    return Trimmed(QString(versionText).remove(QStringLiteral("Version "), Qt::CaseInsensitive));
}

QString UpdateServerPath(const QString &serverPath)
{
    return QString(serverPath)
        .remove(QStringLiteral("http://"), Qt::CaseInsensitive)
        .remove(QStringLiteral("https://"), Qt::CaseInsensitive);
}

bool IsVersionNumber(const QString &version)
{
    static const QRegularExpression dotted(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9})*$"));
    return dotted.match(version).hasMatch();
}

int CompareVersions(const QString &a, const QString &b)
{
    const QStringList x = a.split(QLatin1Char('.'));
    const QStringList y = b.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        const qlonglong p = x.value(i).toLongLong();
        const qlonglong q = y.value(i).toLongLong();
        if (p != q)
            return p < q ? -1 : 1;
    }
    return 0;
}

UpdateDescription ParseUpdateDescription(const QByteArray &data, const QUrl &base, QString *error)
{
    // Sections and keys without regard to case, the first value wins.
    QHash<QString, QString> values;
    bool inSection = false;
    const QStringList lines = DecodeText(data).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString &raw : lines) {
        const QString line = Trimmed(raw);
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection = EqualsNoCase(Trimmed(line.mid(1, line.size() - 2)), kSection);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq <= 0)
            continue;
        const QString key = AsciiLower(Trimmed(line.left(eq)));
        if (!values.contains(key))
            values.insert(key, Trimmed(line.mid(eq + 1)));
    }

    UpdateDescription d;
    QString problem;
    d.version = values.value(QStringLiteral("version"));
    if (!IsVersionNumber(d.version))
        problem = QStringLiteral("Version");

    d.file = base.resolved(QUrl(values.value(QStringLiteral("file")), QUrl::StrictMode));
    d.fileName = d.file.fileName(QUrl::FullyDecoded);
    if (problem.isEmpty() &&
        (values.value(QStringLiteral("file")).isEmpty() || !d.file.isValid() ||
         d.file.scheme() != QLatin1String("https") || d.file.host().isEmpty() || !isPlainFileName(d.fileName)))
        problem = QStringLiteral("File");

    bool sizeOk = false;
    const QString sizeText = values.value(QStringLiteral("size"));
    d.size = sizeText.toLongLong(&sizeOk);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (problem.isEmpty() && (!sizeOk || !digits.match(sizeText).hasMatch() || d.size <= 0 || d.size > kMaxFileSize))
        problem = QStringLiteral("Size");

    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    const QString hash = values.value(QStringLiteral("sha256"));
    if (hex.match(hash).hasMatch())
        d.sha256 = QByteArray::fromHex(hash.toLatin1());
    else if (problem.isEmpty())
        problem = QStringLiteral("SHA256");

    if (error)
        *error = problem.isEmpty() ? QString() : badDescription(problem);
    return d;
}

QStringList UpdaterCommandLine(const QString &command, const QString &file, qint64 pid)
{
    QStringList args = QProcess::splitCommand(command);
    bool fileGiven = false;
    for (QString &a : args) {
        fileGiven = fileGiven || a.contains(QLatin1String("{file}"));
        a.replace(QLatin1String("{file}"), file).replace(QLatin1String("{pid}"), QString::number(pid));
    }
    if (!args.isEmpty() && !fileGiven)
        args.append(file);
    return args;
}

// ---------------------------------------------------------------------------

UpdateCheck::UpdateCheck(QObject *parent) : QObject(parent), m_nam(std::make_unique<QNetworkAccessManager>())
{
    m_ssl = QSslConfiguration::defaultConfiguration();
    m_ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_ssl.setProtocol(QSsl::TlsV1_2OrLater);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finishWith(QStringLiteral("Der Update-Server hat die Beschreibung der neuen Version nicht innerhalb von %1 "
                                  "gesendet; die Suche nach Aktualisierungen wurde abgebrochen.")
                       .arg(SecondsText(m_limits.descriptionMs)));
    });
    connect(&m_rateTimer, &QTimer::timeout, this, &UpdateCheck::checkRate);
}

UpdateCheck::~UpdateCheck()
{
    cancel();
}

QNetworkReply *UpdateCheck::get(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setSslConfiguration(m_ssl);
    request.setTransferTimeout(m_limits.idleMs);
    // Redirects are followed from https to https only.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Vantrel/") + m_version);
    m_sslFailed = false;
    QNetworkReply *reply = m_nam->get(request);
    connect(reply, &QNetworkReply::sslErrors, this, [this] { m_sslFailed = true; });
    return reply;
}

void UpdateCheck::check()
{
    cancel();
    m_buffer.clear();
    if (m_descriptionUrl.scheme() != QLatin1String("https")) {
        finishWith(UpdateMessage(UpdateText::HostUnreachable));
        return;
    }
    m_reply = get(m_descriptionUrl);
    m_deadline.start(m_limits.descriptionMs);
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        m_buffer += m_reply->readAll();
        if (m_buffer.size() > MaxDescriptionSize)
            finishWith(badDescription(QStringLiteral("Größe")));
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::descriptionFinished);
}

void UpdateCheck::descriptionFinished()
{
    m_deadline.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status != 200) {
        finishWith(failureText(reply, false));
        return;
    }
    m_buffer += reply->readAll();
    if (m_buffer.size() > MaxDescriptionSize) {
        finishWith(badDescription(QStringLiteral("Größe")));
        return;
    }
    QString problem;
    const UpdateDescription d = ParseUpdateDescription(m_buffer, reply->url(), &problem);
    m_buffer.clear();
    if (!IsVersionNumber(d.version))
        emit failed(problem);
    else if (!IsVersionNumber(m_version) || CompareVersions(d.version, m_version) <= 0)
        emit upToDate();
    else if (!problem.isEmpty())
        emit failed(problem);
    else
        emit newerVersion(d);
}

void UpdateCheck::download(const UpdateDescription &description, const QString &folder)
{
    cancel();
    m_description = description;
    const QString path = PathJoin(WithTrailingSlash(folder), description.fileName);
    m_file = std::make_unique<QSaveFile>(path);
    if (!isPlainFileName(description.fileName) || !EnsureFolder(folder) || !m_file->open(QIODevice::WriteOnly)) {
        finishWith(CannotWriteFileText(path));
        return;
    }
    m_hash = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    m_received = 0;
    m_receivedAtWindow = 0;
    m_rateTimer.start(m_limits.rateWindowMs);
    m_reply = get(description.file);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateCheck::downloadData);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::downloadFinished);
}

void UpdateCheck::downloadData()
{
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty())
        return;
    // More than the description announced is not the file it describes.
    if (m_received + chunk.size() > m_description.size) {
        finishWith(UpdateMessage(UpdateText::FileCorrupt).arg(m_description.fileName));
        return;
    }
    if (m_file->write(chunk) != chunk.size()) {
        finishWith(CannotWriteFileText(m_file->fileName()));
        return;
    }
    m_hash->addData(chunk);
    m_received += chunk.size();
    emit progress(m_received, m_description.size);
}

void UpdateCheck::downloadFinished()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() != QNetworkReply::NoError || status != 200) {
        finishWith(failureText(m_reply, m_received > 0));
        return;
    }
    downloadData();
    if (!m_reply)
        return; // the last data ended the download
    m_reply->disconnect(this);
    m_reply->deleteLater();
    m_reply = nullptr;
    m_rateTimer.stop();
    if (m_received != m_description.size || m_hash->result() != m_description.sha256) {
        finishWith(UpdateMessage(UpdateText::FileCorrupt).arg(m_description.fileName));
        return;
    }
    const QString path = m_file->fileName();
    const bool written = m_file->commit();
    m_file.reset();
    m_hash.reset();
    if (!written)
        emit failed(CannotWriteFileText(path));
    else
        emit downloaded(path);
}

QString UpdateCheck::failureText(QNetworkReply *reply, bool bytesSeen) const
{
    const QNetworkReply::NetworkError e = reply->error();
    if (m_sslFailed || e == QNetworkReply::SslHandshakeFailedError || e == QNetworkReply::InsecureRedirectError)
        return QStringLiteral("Die Verbindung zum Update-Server ist nicht sicher (%1). Die Aktualisierung wurde "
                              "abgebrochen.")
            .arg(reply->errorString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString address = reply->url().toString(QUrl::RemoveUserInfo);
    if (status == 404 || status == 410)
        return UpdateMessage(UpdateText::Error404) + QLatin1Char('\r') + address;
    if (status != 0 && status != 200)
        return QStringLiteral("Der Update-Server meldet den Fehler %1 für:\r%2").arg(status).arg(address);
    if (bytesSeen)
        return UpdateMessage(UpdateText::ConnectionLost);
    return UpdateMessage(UpdateText::HostUnreachable);
}

void UpdateCheck::checkRate()
{
    const qint64 least = m_limits.minBytesPerSecond * m_limits.rateWindowMs / 1000;
    if (m_reply && m_received - m_receivedAtWindow < least) {
        finishWith(QStringLiteral("Die Verbindung zum Update-Server ist zu langsam (weniger als %1 KB in %2); der "
                                  "Download wurde abgebrochen. Bitte versuchen Sie es später noch einmal.")
                       .arg(QLocale(QLocale::German, QLocale::Germany).toString(double(least) / 1024.0, 'f', 0),
                            SecondsText(m_limits.rateWindowMs)));
        return;
    }
    m_receivedAtWindow = m_received;
}

void UpdateCheck::cancel()
{
    m_deadline.stop();
    m_rateTimer.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    // A file not committed is removed with its writer.
    m_file.reset();
    m_hash.reset();
}

void UpdateCheck::finishWith(const QString &failure)
{
    cancel();
    emit failed(failure);
}

} // namespace vt
