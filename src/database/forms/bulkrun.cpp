#include "bulkrun.h"
#include "addresstable.h"
#include "mainstate.h"

#include <QApplication>

namespace vt {

BulkRun::BulkRun(AddressTable *table, const QString &status) : m_table(table)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    MainState().setStatusText(status);
    if (m_table)
        m_table->disableControls();
}

BulkRun::~BulkRun()
{
    if (m_table)
        m_table->enableControls();
    TMainState &s = MainState();
    s.setStatusText(QString());
    s.ShowRecordCount();
    QApplication::restoreOverrideCursor();
}

} // namespace vt
