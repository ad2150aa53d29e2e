#pragma once
// The system information object: special folders and system values gathered once.
// Values that have no counterpart on this system stay empty.
#include <QString>

namespace vt {

class TWindowsInfo
{
public:
    TWindowsInfo();
    QString DocumentsDir;    // the user's documents folder, without a closing "/"
    QString AppDataDir;      // the user's application-data folder, without a closing "/"
    QString ProgramFilesDir; // empty: there is no program-files folder here
    QString TempDir;         // the system's temporary folder, with its closing "/"
    QString WabFileName;     // empty: there is no Windows Address Book here
};

// The one global instance, made on first use before any window.
const TWindowsInfo &WindowsInfo();

} // namespace vt
