#include "crashdialogrecorder.h"

#include <QTest>

CrashDialogRecorder::CrashDialogRecorder()
{
    m_previous = vt::CrashDialogs::setInstance(this);
}

CrashDialogRecorder::~CrashDialogRecorder()
{
    vt::CrashDialogs::setInstance(m_previous);
    vt::ClearRequestedExit();
    if (!m_shown.isEmpty() && !QTest::currentTestFailed())
        QTest::qFail(qPrintable(QStringLiteral("unexpected error report: ") + m_shown.first().report.exceptionMessage),
                     __FILE__, __LINE__);
}

QList<CrashDialogRecorder::Shown> CrashDialogRecorder::takeAll()
{
    QList<Shown> out;
    out.swap(m_shown);
    return out;
}

vt::CrashChoice CrashDialogRecorder::show(vt::CrashReportSession &session)
{
    m_shown.append({session.report(), session.title(), session.message(), session.settings()});
    if (m_action)
        m_action(session);
    return m_choices.isEmpty() ? vt::CrashChoice::Continue : m_choices.takeFirst();
}
