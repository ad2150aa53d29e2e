#include "bulkrun.h"
#include "addresstable.h"
#include "inputblocker.h"
#include "mainstate.h"

#include <QApplication>
#include <QElapsedTimer>

namespace vt {

BulkRun::BulkRun(AddressTable *table, const QString &status)
    : m_table(table), m_blocker(std::make_unique<InputBlocker>())
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

BulkProgress BulkRun::progress(std::function<QString(qint64, qint64)> text)
{
    auto shown = std::make_shared<QElapsedTimer>();
    return [shown, text = std::move(text)](qint64 done, qint64 total) {
        constexpr qint64 kInterval = 100;
        if (shown->isValid() && shown->elapsed() < kInterval)
            return;
        shown->start();
        MainState().setStatusText(text(done, total));
        // The window repaints and keeps answering its window manager; the
        // blocker keeps clicks and keys away.
        QCoreApplication::processEvents();
    };
}

} // namespace vt
