#pragma once
// The outside programs the main window hands over to: the layout application
// of the brand and the database repair tool. Each is found through the
// InstallLocation value of its uninstall key in the registry store.
#include <QString>

namespace vt {

struct ExternalProgram
{
    QString key;      // the uninstall key
    QString fileName; // the program file in its install location
};

// The layout application of the brand (maker or reseller).
ExternalProgram LayoutApplication(const QString &brandCode);
ExternalProgram RepairTool();

// Whether the program's uninstall key holds any value.
bool ProgramKeyExists(const ExternalProgram &program);
// The program file in the key's install location (found without regard to
// case); empty when the value is missing or empty.
QString InstalledProgramPath(const ExternalProgram &program);

// Whether a process of this computer runs the program file, as its executable
// or as the script or program its interpreter (a shell, wine) was given.
bool ProgramRunning(const QString &path);

} // namespace vt
