#pragma once
// The notice shown instead of the layout application when it is not
// installed: both of its ways out lead to the application's web page.
#include <QDialog>

namespace Ui {
class TNoLayoutwerkForm;
}

namespace vt {

class TNoLayoutwerkForm : public QDialog
{
    Q_OBJECT
public:
    explicit TNoLayoutwerkForm(QWidget *parent = nullptr);
    ~TNoLayoutwerkForm() override;

    void FormCreate();
    void BitBtn1Click();
    void Label4Click();

private:
    Ui::TNoLayoutwerkForm *ui;
};

} // namespace vt
