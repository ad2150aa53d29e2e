#pragma once
// The BCC lists: the marked addresses as one text for a mail client's BCC
// field, and split into numbered files of at most 245 addresses each.
#include <QString>
#include <QStringList>

#include <functional>

namespace vt {

constexpr int kAddressesPerBccFile = 245;

// "BCC" + the number, filled with "0" to three digits, + ".bcc".
QString BccFileName(int number);

// The lines of the BCC files for an address list whose entries are separated
// by ";": up to 245 entries a line, joined by "; ". Each goes to the callback,
// which returns false to stop; false when it was stopped.
bool ForEachBccFileLine(const QString &list, const std::function<bool(const QString &line)> &take);

// Writes the lines of the list as the files BCC001.bcc ... into the folder
// (made when missing), each line followed by a line break, and removes the
// BCC files an earlier run left there. The new files are written apart first:
// when one cannot be written the folder stays as it was and error says why.
// files gets the number of files written.
bool WriteBccFiles(const QString &folder, const QString &list, int *files, QString *error);

// The message after the list went to the clipboard. A long list is shown by
// its first addresses and their number, so that the box fits on the screen.
QString ClipboardCopiedText(const QString &list, const QString &separator);

} // namespace vt
