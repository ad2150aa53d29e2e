#include "recordsearch.h"

namespace vt {

SearchStepResult SearchStep(AddressTable &table, const TextSearch &search, bool backward, bool continueSearch)
{
    SearchStepResult result;
    const qint64 n = table.recordCount();
    if (n < 0) {
        result.outcome = SearchStepResult::Outcome::Failed;
        result.error = table.lastError();
        return result;
    }
    const qint64 current = table.row();
    qint64 start;
    if (backward)
        start = continueSearch ? current - 1 : n - 1;
    else if (continueSearch)
        start = current + 1;
    else
        start = search.kind() == TextSearch::Kind::Fuzzy ? std::max<qint64>(current, 0) : 0;

    qint64 row = -1;
    if (start >= 0 && start < n && !table.findRow(search, start, backward, &row)) {
        result.outcome = SearchStepResult::Outcome::Failed;
        result.error = table.lastError();
        return result;
    }
    if (row < 0) {
        // The walk ended at the end of the table.
        if (n > 0)
            table.moveTo(backward ? 0 : n - 1);
        result.outcome = continueSearch ? SearchStepResult::Outcome::NoFurther : SearchStepResult::Outcome::NotFound;
        return result;
    }
    table.moveTo(row);
    result.outcome = SearchStepResult::Outcome::Found;
    for (int f = 0; f < table.fieldCount(); ++f)
        if (search.matches(table.text(f))) {
            result.field = f;
            break;
        }
    return result;
}

} // namespace vt
