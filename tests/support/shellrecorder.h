#pragma once
// Stands in for the desktop during a test: keeps every URL that would have been
// opened and every browser start, so no browser or mail program is launched.
#include "shell.h"

#include <QList>
#include <QStringList>
#include <QUrl>

class ShellRecorder : public vt::ShellBackend
{
public:
    ShellRecorder();
    ~ShellRecorder() override;

    // What the desktop answers; false makes ShellOpen fall back to the browser.
    bool desktopOpens = true;
    bool browserStarts = true;

    QList<QUrl> opened;         // URLs given to the desktop, in order
    QStringList browserStarted; // arguments given to the browser, in order

    bool openUrl(const QUrl &url) override;
    bool startBrowser(const QString &argument) override;

private:
    vt::ShellBackend *m_previous = nullptr;
};
