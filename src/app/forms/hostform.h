#pragma once
// The host window: made first, never shown. It fills the product information
// while it is made, shows the main window when the program starts running, and
// its closing ends the program (the main window closes it when it closes).
#include <QWidget>

namespace vt {

class THostForm : public QWidget
{
public:
    THostForm();
    // Makes the branding folder when it is missing and fills ProductInfo.
    void FormCreate();
    void SetupProductInfo();
    // Shows the main window. Called once when the event loop starts.
    void FormActivate();

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace vt
