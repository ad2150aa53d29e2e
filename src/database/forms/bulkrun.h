#pragma once
// What a window does around a tool that changes many records of the open
// table: the hourglass and a status text while it works, the grid detached
// from the table meanwhile (so it asks for no row that may be gone), and at the
// end one reset of the grid, the status text cleared and the record count
// shown. The work runs without the event loop, so nothing can be clicked into
// it; show messages after the run has ended.
#include <QString>

namespace vt {

class AddressTable;

class BulkRun
{
public:
    BulkRun(AddressTable *table, const QString &status);
    ~BulkRun();
    BulkRun(const BulkRun &) = delete;
    BulkRun &operator=(const BulkRun &) = delete;

private:
    AddressTable *m_table;
};

} // namespace vt
