#pragma once
// Outlook automation and the Outlook library. Neither exists on this system: the
// production backend reports both absent, so every window that would use Outlook
// behaves as it does on a computer without it. Tests put in a fake.
#include <QString>

namespace vt {

class OutlookBackend
{
public:
    virtual ~OutlookBackend() = default;
    // Tells the Outlook library to convert MIME itself. Failures are not reported.
    virtual void prepareLibrary() = 0;
    // Starts Outlook automation, logs on to its "MAPI" name space and sets up the
    // library session over it (first attempt).
    virtual bool connectOverOutlookSession() = 0;
    // The same with the library session logging on by itself (second attempt).
    virtual bool connectWithOwnLogon() = 0;
    // The "Bitness" value of the installed Outlook 2010 ("x64", "x86"); empty when
    // there is none.
    virtual QString outlookBitness() = 0;

    static OutlookBackend &instance();
    // Replaces the backend (tests); returns the previous one. nullptr restores the default.
    static OutlookBackend *setInstance(OutlookBackend *backend);
};

} // namespace vt
