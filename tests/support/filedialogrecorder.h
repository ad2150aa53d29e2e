#pragma once
// Stands in for the file dialogs during a test: answers each request from a
// queue (an empty answer is a cancel) and keeps what was asked.
#include "filedialogs.h"

#include <QStringList>

class FileDialogRecorder : public vt::FileDialogs
{
public:
    FileDialogRecorder();
    ~FileDialogRecorder() override;

    void answer(const QString &path) { m_answers.append(path); }
    // The answer to a dialog of several files, in the order chosen.
    void answer(const QStringList &paths) { m_answers.append(paths.join(QLatin1Char('\n'))); }
    // "open|caption|folder|filter", "opens|...", "save|caption|proposed|filter",
    // "saveu|..." (a save that leaves the overwrite question to the caller),
    // "folder|caption|folder"
    QStringList requests;

    QString openFile(QWidget *, const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFile(QWidget *, const QString &caption, const QString &proposed, const QString &filter) override;
    QString folder(QWidget *, const QString &caption, const QString &folder) override;
    QStringList openFiles(QWidget *, const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileUnconfirmed(QWidget *, const QString &caption, const QString &proposed,
                                const QString &filter) override;

private:
    QString next(const QString &request);
    QStringList m_answers;
    vt::FileDialogs *m_previous = nullptr;
};
