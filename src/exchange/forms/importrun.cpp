#include "importrun.h"

#include "inputblocker.h"
#include "mainstate.h"
#include "messages.h"

#include <QApplication>

namespace vt {

ImportRun::ImportRun()
    : m_blocker(std::make_unique<InputBlocker>()), m_progress([](const QString &text) {
          MainState().setStatusText(text);
          // Lets the status bar repaint; the blocker keeps clicks and keys away.
          QCoreApplication::processEvents();
      })
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    MainState().setStatusText(QString());
}

bool ImportRun::ask(const QString &text)
{
    m_blocker.reset();
    QApplication::restoreOverrideCursor();
    const bool yes = question(text);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_blocker = std::make_unique<InputBlocker>();
    return yes;
}

ImportRun::~ImportRun()
{
    MainState().setStatusText(QString());
    QApplication::restoreOverrideCursor();
}

bool FinishImport(const ImportOutcome &outcome, bool keepPosition, QString *notes)
{
    TMainState &s = MainState();
    if (AddressTable *t = s.CurrentTable) {
        t->refresh();
        if (!keepPosition)
            t->first();
    }
    s.ShowRecordCount();
    if (s.Ops)
        s.Ops->refreshGrid();
    if (outcome.cancelled)
        return false;
    if (outcome.failed) {
        error(outcome.error + QStringLiteral("\rEs wurde nichts importiert."));
        return false;
    }
    const QString text = ImportNotesText(outcome);
    if (notes)
        *notes = text;
    else if (!text.isEmpty())
        warning(text);
    return true;
}

} // namespace vt
