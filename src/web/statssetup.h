#pragma once
// The set-up of the click tracking: the statistics address, its password and
// whether tracking is on by default (three keys of the database's web settings
// file), and the files to upload into the statistics folder on the user's web
// server with the installation page that explains it.
#include <QByteArray>
#include <QList>
#include <QString>

namespace vt {

// The checks of "Verwenden": the message of the first that fails, or an empty text.
QString CheckTrackingInput(const QString &address, const QString &password);

// Writes StatsURL, StatsPassword and StatsActive; the other keys of the file stay.
bool WriteTrackingSettings(const QString &webSettingsFile, const QString &address, const QString &password, bool active,
                           QString *error = nullptr);

struct StatsFilesInput
{
    QString address;  // the statistics address, ending in "/"
    QString password; // letters and digits
    // The keys the links of the mails may be signed with, the one new links are signed with first.
    QList<QByteArray> keys;
    QString productName, databaseCaption;
};

// Writes "stats_pw.php" into the statistics folder (made when missing) and
// copies the shipped statistics scripts there from the program folder (a copy
// that fails is passed over); then the installation page "stats-einbau.html" in
// the program folder, readable by its owner only, as it holds the password.
bool WriteStatsFiles(const StatsFilesInput &in, const QString &statsFolder, const QString &appFolder,
                     QString *error = nullptr);

} // namespace vt
