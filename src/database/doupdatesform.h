#pragma once
// The record editor's rules: a check before a record is saved, the start values
// of a new record and the default value of a field. Rules belong to particular
// tables; the tables this program makes have none, so here every record is
// accepted and nothing is set. A table with rules of its own gets a subclass.
#include <QString>
#include <QStringList>

namespace vt {

class TMainState;

class TDoUpdatesForm
{
public:
    explicit TDoUpdatesForm(TMainState &state);
    virtual ~TDoUpdatesForm() = default;

    // Before the record being edited or entered is saved; false keeps it
    // unsaved (a rule that refuses says why itself).
    virtual bool ValidateRecord();
    // When the editor opens for a new record.
    virtual void StartNewRecord();
    // Right after the editor made the edit or combo box of a field of a new record.
    virtual void SetFieldDefault(const QString &fieldName);

    // The drop-down items of a field in the open database's combo definitions;
    // empty when no line names it.
    QStringList LoadComboItems(const QString &fieldName) const;

protected:
    TMainState &m_state;
};

} // namespace vt
