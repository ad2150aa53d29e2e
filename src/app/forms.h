#pragma once
// The windows of the program: each has one instance, reached through its
// accessor, made on first use and kept until the program ends.
namespace vt {

class THostForm;
class TMainForm;

THostForm *HostForm();
TMainForm *MainForm();

// Makes every window in the program's fixed order (the host first, then the
// main window, then the dialogs). A window whose set-up fails is reported and
// kept as far as it got; the next one is made all the same.
void CreateWindowsInOrder();
// Destroys every window, the last made first (at the end of the run).
void DestroyWindows();

} // namespace vt
