#include "filedialogrecorder.h"

#include <QTest>

FileDialogRecorder::FileDialogRecorder()
{
    m_previous = vt::FileDialogs::setInstance(this);
}

FileDialogRecorder::~FileDialogRecorder()
{
    vt::FileDialogs::setInstance(m_previous);
    if (!m_answers.isEmpty() && !QTest::currentTestFailed())
        QTest::qFail("file dialog answers queued but never asked for", __FILE__, __LINE__);
}

QString FileDialogRecorder::next(const QString &request)
{
    requests.append(request);
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected file dialog: ") + request), __FILE__, __LINE__);
        return {};
    }
    return m_answers.takeFirst();
}

QString FileDialogRecorder::openFile(QWidget *, const QString &caption, const QString &folder, const QString &filter)
{
    return next(QStringList{QStringLiteral("open"), caption, folder, filter}.join(QLatin1Char('|')));
}

QString FileDialogRecorder::saveFile(QWidget *, const QString &caption, const QString &proposed, const QString &filter)
{
    return next(QStringList{QStringLiteral("save"), caption, proposed, filter}.join(QLatin1Char('|')));
}

QString FileDialogRecorder::folder(QWidget *, const QString &caption, const QString &folder)
{
    return next(QStringList{QStringLiteral("folder"), caption, folder}.join(QLatin1Char('|')));
}

QStringList FileDialogRecorder::openFiles(QWidget *, const QString &caption, const QString &folder,
                                          const QString &filter)
{
    const QString chosen = next(QStringList{QStringLiteral("opens"), caption, folder, filter}.join(QLatin1Char('|')));
    return chosen.isEmpty() ? QStringList() : chosen.split(QLatin1Char('\n'));
}

QString FileDialogRecorder::saveFileUnconfirmed(QWidget *, const QString &caption, const QString &proposed,
                                                const QString &filter)
{
    return next(QStringList{QStringLiteral("saveu"), caption, proposed, filter}.join(QLatin1Char('|')));
}
