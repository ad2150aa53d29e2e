#pragma once
namespace vt {
// Builds the application, creates its windows and runs the message loop.
int RunApplication(int argc, char **argv);
// The application's names and its way of ending, and Qt's texts in German.
// No display name is set: the window manager would show it after every
// window's caption.
void SetUpApplication();
} // namespace vt
