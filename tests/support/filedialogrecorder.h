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
    // "open|caption|folder|filter", "save|caption|proposed|filter", "folder|caption|folder"
    QStringList requests;

    QString openFile(QWidget *, const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFile(QWidget *, const QString &caption, const QString &proposed, const QString &filter) override;
    QString folder(QWidget *, const QString &caption, const QString &folder) override;

private:
    QString next(const QString &request);
    QStringList m_answers;
    vt::FileDialogs *m_previous = nullptr;
};
