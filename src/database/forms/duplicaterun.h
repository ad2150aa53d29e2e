#pragma once
// One duplicate removal over the open table: the doubled values of a field are
// found and written to a result file, the options dialog asks what to do, and
// the doubles are deleted or marked. Shared by the main window's command for the addresses and the
// selective dialog for any column.
#include <QDialog>

#include <functional>

namespace vt {

class TDeleteAdressesWizardForm;

enum class DuplicateCommand {
    Mail,      // the field Mail; other marks stay
    Selective, // a field the user chose; every other mark is cleared
};

// The folder of the result file "Dubletten_Ergebnis.txt", the doubled values
// found: the program's temporary folder for the addresses, the system's for a
// chosen column.
QString DuplicateResultFolder(DuplicateCommand command);

// field: the field's index in the open table (-1 when it has none: nothing is
// doubled then). execOptions shows the options dialog modally. True when the
// records were deleted or marked as chosen; false when the user stopped or the
// table failed (then it is as it was, and the user was told).
bool RunDuplicateRemoval(DuplicateCommand command, int field, TDeleteAdressesWizardForm *options,
                         const std::function<int(QDialog *)> &execOptions);

} // namespace vt
