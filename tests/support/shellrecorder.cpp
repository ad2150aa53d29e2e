#include "shellrecorder.h"

ShellRecorder::ShellRecorder()
{
    m_previous = vt::ShellBackend::setInstance(this);
}

ShellRecorder::~ShellRecorder()
{
    vt::ShellBackend::setInstance(m_previous);
}

bool ShellRecorder::openUrl(const QUrl &url)
{
    opened.append(url);
    return desktopOpens;
}

bool ShellRecorder::startBrowser(const QString &argument)
{
    browserStarted.append(argument);
    return browserStarts;
}
