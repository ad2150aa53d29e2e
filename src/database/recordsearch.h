#pragma once
// One step of the record search: from the first or last record, or one record
// on from the last find, through the table's rows under its filter in its
// order, to the next record that matches (textsearch.h). The table's cursor
// goes to the find; a step without a find leaves it at the end it walked to.
#include "addresstable.h"
#include "textsearch.h"

#include <QString>

namespace vt {

struct SearchStepResult
{
    enum class Outcome {
        Found,     // the cursor is on the record
        NoFurther, // nothing more after an earlier find
        NotFound,  // nothing at all since the search began
        Failed,    // the table could not be read (error says why)
    };
    Outcome outcome = Outcome::NotFound;
    int field = -1; // the first field of the record found that matches
    QString error;
};

// continueSearch: a step has found a record since the search began; the step
// then starts one record on from the current one. Otherwise a backward step
// starts at the last record, a forward exact step at the first, a forward fuzzy
// step at the current record.
SearchStepResult SearchStep(AddressTable &table, const TextSearch &search, bool backward, bool continueSearch);

} // namespace vt
