#pragma once
// Outlook message files (".msg") turned into MIME files (".eml") by the converter
// program "msgconvert", so that they can be opened like any other mail.
//
// Every conversion writes a file of its own in the process's work folder, and a
// conversion counts only when the converter ended well and left a mail with a
// text: a failure is never covered by the file of an earlier conversion.
#include <QString>

namespace vt {

// Whether the path names an Outlook message file: its suffix is ".msg" in any case.
bool IsMsgFile(const QString &path);

struct MsgConversion
{
    bool ok = false;
    QString emlPath; // the converted mail (a new file)
    QString error;   // for the user, when not ok
};

class MsgConverter
{
public:
    // The converter program: "msgconvert" from the search path unless set.
    static QString program();
    // Tests put a converter of their own in place; an empty text restores the default.
    static void setProgram(const QString &program);
    // Whether the converter can be started (decides whether ".msg" files are offered).
    static bool available();

    // Converts the file, waiting with the event loop running and user input blocked.
    static MsgConversion convert(const QString &msgPath);

    // "... wird das Programm msgconvert benötigt ...": said when a ".msg" file is
    // chosen while no converter is installed.
    static QString missingText();
};

} // namespace vt
