#pragma once
// INI reads that report a missing section or key before reading.
#include <QString>

#include <functional>

namespace vt {

class IniFile;

// Takes each text of what a file lacks; without one, each is an error box.
using IniReport = std::function<void(const QString &text)>;

// Shows "Block <section> not found in <file>" and then "Item <key> not found in
// <file>" for what the file lacks. The section is matched as "[section]" anywhere
// in a line, case-sensitively; the key on every line from there to the end of the
// file (later sections included), case-sensitively, as the text before "=".
// A file that does not exist shows nothing: whoever opened it reports that.
void CheckIniEntry(const IniFile &ini, const QString &section, const QString &key, const IniReport &report = {});
QString CheckedReadString(const IniFile &ini, const QString &section, const QString &key, const QString &def,
                          const IniReport &report = {});
int CheckedReadInteger(const IniFile &ini, const QString &section, const QString &key, int def,
                       const IniReport &report = {});

} // namespace vt
