#include "duplicaterun.h"
#include "bulkrun.h"
#include "bulktools.h"
#include "deleteadresseswizardform.h"
#include "mainstate.h"
#include "messages.h"

namespace vt {

bool RunDuplicateRemoval(DuplicateCommand command, int field, TDeleteAdressesWizardForm *options,
                         const std::function<int(QDialog *)> &execOptions)
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return false;
    }
    DuplicateGroups groups;
    {
        const BulkRun run(t, QStringLiteral("Doppelte Datensätze werden gesucht..."));
        t->setFiltered(false);
        if (field >= 0)
            groups = FindDuplicates(*t, field);
    }
    if (!groups.ok()) {
        error(groups.error);
        return false;
    }
    if (execOptions(options) != QDialog::Accepted || !options->WizardAccepted)
        return false;

    const bool mail = command == DuplicateCommand::Mail;
    const qint64 doubles = qint64(groups.rows.size()) - groups.values; // all but one of each value
    if (options->DeleteAtOnce && doubles > 0 &&
        !question(QStringLiteral("Wollen Sie wirklich alle doppelten Datensätze löschen?") +
                  AffectedRecordsText(doubles)))
        return false;
    BulkResult r;
    {
        const BulkRun run(t, QStringLiteral("Arbeite..."));
        r = options->DeleteAtOnce ? DeleteDuplicates(*t, groups, options->keepRecord())
                                  : MarkDuplicates(*t, groups, !mail);
    }
    if (!r.ok()) {
        error(r.error);
        return false;
    }
    const QString values = QString::number(groups.values);
    if (options->DeleteAtOnce)
        information(QStringLiteral("Prüfung abgeschlossen. ") + values +
                    (mail ? QStringLiteral(" doppelte E-Mail-Adressen gelöscht!")
                          : QStringLiteral(" doppelte Datensätze gelöscht!")));
    else
        information(mail ? QStringLiteral("Prüfung abgeschlossen. ") + values +
                               QStringLiteral(" doppelte E-Mail-Adressen markiert!")
                         : QStringLiteral("Prüfung abgeschlossen. Doppelte Datensätze markiert!"));
    return true;
}

} // namespace vt
