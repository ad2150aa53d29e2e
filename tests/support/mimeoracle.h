#pragma once
// Reads a message with Python's own e-mail package, an independent reader, so that
// a fault shared by our writer and our parser cannot hide (mimecheck.py).
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// Empty when the program exists; otherwise a text naming the Debian package that
// provides it, for the test to fail with.
QString MissingProgram(const QString &program, const QString &package);

struct MimeView
{
    QString error; // set when the message could not be read
    QJsonObject json;

    QString subject() const { return json.value("subject").toString(); }
    QString structure() const { return json.value("structure").toString(); }
    QJsonArray parts() const { return json.value("parts").toArray(); }
    QStringList defects() const;
    // The nth leaf part of the MIME type, or an empty object.
    QJsonObject part(const QString &type, int nth = 0) const;
    QStringList headers(const QString &name) const; // decoded values, in order
    // "name <address>" of each mailbox of the field ("From", "To", "Cc", "Bcc").
    QStringList mailboxes(const QString &field) const;
};

MimeView ReadWithPython(const QByteArray &message);

// Reads the message back into `view` and fails the test when Python could not.
#define READ_BACK(view, bytes)                                                                                         \
    const MimeView view = ReadWithPython(bytes);                                                                       \
    QVERIFY2(view.error.isEmpty(), qPrintable(view.error))

// The mail tests' fixture files (tests/mail/data) and their bytes.
QString MailTestData(const QString &name);
QByteArray FileBytes(const QString &path);
