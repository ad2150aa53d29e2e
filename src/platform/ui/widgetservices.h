#pragma once
// The widget implementations of the platform services: message boxes, file
// dialogs, the desktop's opener and the error dialog.
namespace vt {

// Makes them the defaults (tests that put a recorder in front keep it). The
// program's application class calls it; a test with real windows may too.
void InstallWidgetServices();

} // namespace vt
