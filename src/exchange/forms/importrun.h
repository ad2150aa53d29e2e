#pragma once
// What every import window does around the import itself.
#include "importsink.h"

#include <QString>

#include <memory>

namespace vt {

class InputBlocker;

// One import run: the hourglass, user input held back while the status bar of
// the main window shows the progress, and everything cleared at the end.
class ImportRun
{
public:
    ImportRun();
    ~ImportRun();
    ImportProgress &progress() { return m_progress; }
    // A Yes/No question in the middle of the run (input and the usual cursor
    // are given back while it is open); true for Yes.
    bool ask(const QString &text);
    ImportRun(const ImportRun &) = delete;
    ImportRun &operator=(const ImportRun &) = delete;

private:
    std::unique_ptr<InputBlocker> m_blocker;
    ImportProgress m_progress;
};

// After an import: a failure is said (nothing was imported), rows skipped are
// said (or, with notes, handed back for the window's own end message), and the
// open table is read anew so the grid shows the new records, on the record it
// stood on (or on its first record). True when the import was kept.
bool FinishImport(const ImportOutcome &outcome, bool keepPosition = true, QString *notes = nullptr);

} // namespace vt
