#pragma once
// The tips window the main window shows when it closes: the maker's other
// products, each with its page. Ticking "Tipp's nicht mehr anzeigen!" leaves
// the empty file "NoWer.ini" in the user's folder, which switches it off.
#include <QDialog>

namespace Ui {
class TWerbungForm;
}

namespace vt {

// The marker file that switches the tips window off (its existence alone counts).
QString NoTipsFile();

class TWerbungForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWerbungForm(QWidget *parent = nullptr);
    ~TWerbungForm() override;

    void FormCreate();
    void FormShow();
    void FormResize();
    void FormClose();
    // "Mehr Infos..." of product 1 to 5 (the picture does the same).
    void BitBtnClick(int product);

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void colourCheckBox();

    Ui::TWerbungForm *ui;
};

} // namespace vt
