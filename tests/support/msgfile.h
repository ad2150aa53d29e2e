#pragma once
// Outlook message files for the tests, written by tests/support/makemsg.pl with
// the storage module that the converter itself depends on.
#include <QString>

// Writes the file; false (after a warning naming the missing package) when it cannot.
bool MakeMsgFile(const QString &path, const QString &subject, const QString &text, const QString &html);
