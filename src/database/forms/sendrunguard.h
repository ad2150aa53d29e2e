#pragma once
// The one check of every command that changes the open table (imports, deletes,
// bulk tools, opening another database, grid editing, loading a template while
// mails go out).
#include "mainstate.h"
#include "messages.h"

namespace vt {

// While a send run is going: tells the user so and returns true, and the command stops.
inline bool CommandRefusedDuringSendRun()
{
    if (!MainState().SendRunActive)
        return false;
    information(TMainState::sendRunActiveText());
    return true;
}

} // namespace vt
