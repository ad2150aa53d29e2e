#pragma once
// What a window does around a tool that changes many records of the open
// table: the hourglass and a status text while it works, the grid detached
// from the table meanwhile (so it asks for no row that may be gone), and at the
// end one reset of the grid, the status text cleared and the record count
// shown. While the work reports its progress, the status bar shows it at most
// ten times a second and the window repaints; clicks and keys are swallowed
// meanwhile, so nothing can be started inside the run. Show messages after
// the run has ended.
#include "bulktools.h"

#include <QString>

#include <functional>
#include <memory>

namespace vt {

class AddressTable;
class InputBlocker;

class BulkRun
{
public:
    BulkRun(AddressTable *table, const QString &status);
    ~BulkRun();
    BulkRun(const BulkRun &) = delete;
    BulkRun &operator=(const BulkRun &) = delete;

    // A progress for a tool (or one stage of it) that shows the text made of
    // its numbers: the first report at once, later ones when 100 ms have
    // passed since its last text shown.
    BulkProgress progress(std::function<QString(qint64 done, qint64 total)> text);

private:
    AddressTable *m_table;
    std::unique_ptr<InputBlocker> m_blocker;
};

} // namespace vt
