#pragma once
// The hand-over from the main window to the serial e-mail window.
//
// The HTML import keeps its choice here (the start wizard keeps its own, see
// wizardchoice.h); both stay from one use to the next, as those windows do. The
// main window's StartMailer() calls vt::StartMailer(), which lays out and shows
// the serial e-mail window for the mail chosen.
#include "wizardchoice.h"

#include <QString>

namespace vt {

struct THtmlImportChoice
{
    // Set by the HTML import's "Weiter"; the end of a send run clears it.
    bool HtmlImported = false;
    // The subject typed in the HTML import.
    QString Subject;
};
THtmlImportChoice &HtmlImportChoice();

// Points the serial e-mail window at the open table, lays it out for a text or an
// HTML mail as the wizard chose, and shows it. While a run is going the window is
// only brought to the front.
void StartMailer();

} // namespace vt
