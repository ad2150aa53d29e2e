#pragma once
// A temporary program folder for a test: a private copy of the shipped files
// (resources/) in a folder that is removed at the end.
#include <QString>
#include <QTemporaryDir>

class TestFolder
{
public:
    // withResources: copy every shipped file into the folder first.
    explicit TestFolder(bool withResources = false);
    // The folder, ending in "/".
    QString path() const;
    QString file(const QString &relative) const;
    // Writes a text file (UTF-8 bytes as given) below the folder, making its folders.
    void write(const QString &relative, const QByteArray &bytes) const;
    QByteArray read(const QString &relative) const;

    // The source tree's resources/ folder.
    static QString resourcesDir();
    // A file of the source tree's tests/fixtures/ folder (files the tests cannot make themselves).
    static QString fixture(const QString &relative);

private:
    QTemporaryDir m_dir;
};
