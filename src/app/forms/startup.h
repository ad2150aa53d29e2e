#pragma once
namespace vt {
// Builds the application, creates its windows and runs the message loop.
int RunApplication(int argc, char **argv);
}
