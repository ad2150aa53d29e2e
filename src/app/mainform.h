#pragma once
// The main window of the program.
#include <QMainWindow>

namespace vt {

class TMainForm : public QMainWindow
{
public:
    TMainForm();
    void FormCreate();
    // Runs when the window is shown and when the user comes back to it from
    // another modeless window of the program.
    void FormActivate();

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace vt
