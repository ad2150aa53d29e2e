#pragma once
// Stands in for the error dialog during a test: keeps every report shown and
// answers with a queued choice (Continue when none is queued). An action can be
// queued to run on the dialog's session first (send or save the report).
// A report that the test did not take fails the test at the end of its scope.
#include "crashreport.h"

#include <QList>
#include <functional>

class CrashDialogRecorder : public vt::CrashDialogs
{
public:
    struct Shown
    {
        vt::BugReport report;
        QString title;
        QString message;
        vt::CrashReportSettings settings;
    };

    CrashDialogRecorder();
    ~CrashDialogRecorder() override;

    void answer(vt::CrashChoice choice) { m_choices.append(choice); }
    void onShow(std::function<void(vt::CrashReportSession &)> action) { m_action = std::move(action); }
    QList<Shown> takeAll();

    vt::CrashChoice show(vt::CrashReportSession &session) override;

private:
    QList<Shown> m_shown;
    QList<vt::CrashChoice> m_choices;
    std::function<void(vt::CrashReportSession &)> m_action;
    vt::CrashDialogs *m_previous = nullptr;
};
