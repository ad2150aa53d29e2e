#include "doupdatesform.h"
#include "definitionfiles.h"
#include "mainstate.h"

namespace vt {

TDoUpdatesForm::TDoUpdatesForm(TMainState &state) : m_state(state)
{
}

bool TDoUpdatesForm::ValidateRecord()
{
    return true;
}

void TDoUpdatesForm::StartNewRecord()
{
}

void TDoUpdatesForm::SetFieldDefault(const QString &)
{
}

QStringList TDoUpdatesForm::LoadComboItems(const QString &fieldName) const
{
    return ComboItems(m_state.ComboDefinitions, fieldName).value_or(QStringList());
}

} // namespace vt
