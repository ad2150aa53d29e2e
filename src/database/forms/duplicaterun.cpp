#include "duplicaterun.h"
#include "bulkrun.h"
#include "bulktools.h"
#include "deleteadresseswizardform.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "textfile.h"

namespace vt {

namespace {

// A status text of the form "<label>: <done> von <total>".
std::function<QString(qint64, qint64)> countText(const QString &label)
{
    return
        [label](qint64 done, qint64 total) { return QStringLiteral("%1: %2 von %3").arg(label).arg(done).arg(total); };
}

} // namespace

QString DuplicateResultFolder(DuplicateCommand command)
{
    const TMainState &s = MainState();
    return command == DuplicateCommand::Mail ? s.AppTempFolder : s.SystemTempFolder;
}

bool RunDuplicateRemoval(DuplicateCommand command, int field, TDeleteAdressesWizardForm *options,
                         const std::function<int(QDialog *)> &execOptions)
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t) {
        information(QStringLiteral("Zuerst Datenbank öffnen!"));
        return false;
    }
    const bool mail = command == DuplicateCommand::Mail;
    DuplicateGroups groups;
    qint64 records = 0;
    {
        BulkRun run(t, QString());
        t->setFiltered(false);
        records = t->recordCount();
        if (field >= 0)
            groups = FindDuplicates(
                *t, field, run.progress(countText(mail ? QStringLiteral("Getmail") : QStringLiteral("Get Data"))));
    }
    if (!groups.ok()) {
        error(groups.error);
        return false;
    }
    // The doubled values found, for the user to look at.
    const QString folder = DuplicateResultFolder(command);
    const QString resultFile = folder + QStringLiteral("Dubletten_Ergebnis.txt");
    QString why;
    if (!EnsureFolder(folder) || !WriteDuplicateValues(groups, resultFile, &why))
        warning(CannotWriteFileText(resultFile));
    // Every record was compared; the text stays while the options are asked.
    s.setStatusText(countText(QStringLiteral("Check doublettes"))(records, records));
    if (execOptions(options) != QDialog::Accepted || !options->WizardAccepted) {
        s.setStatusText(QString());
        return false;
    }

    BulkResult r;
    {
        BulkRun run(t, QString());
        r = options->DeleteAtOnce
                ? DeleteDuplicates(*t, groups, options->keepRecord(),
                                   run.progress(countText(QStringLiteral("Delete doublettes"))))
                : MarkDuplicates(*t, groups, !mail, run.progress(countText(QStringLiteral("Select doublettes"))),
                                 run.progress(countText(QStringLiteral("Unmarkieren"))));
    }
    if (!r.ok()) {
        error(r.error);
        return false;
    }
    const QString values = QString::number(groups.values());
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
