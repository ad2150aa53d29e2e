#pragma once
// The instructions for running the program from a server on several
// workstations, with the download of the client version.
#include <QDialog>

namespace Ui {
class TMehrplatzForm;
}

namespace vt {

class TMehrplatzForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMehrplatzForm(QWidget *parent = nullptr);
    ~TMehrplatzForm() override;

    void FormCreate();
    void FormActivate();
    // "hier klicken": the client version's download.
    void Label4Click();

private:
    Ui::TMehrplatzForm *ui;
};

} // namespace vt
