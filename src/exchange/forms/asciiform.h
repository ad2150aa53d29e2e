#pragma once
// The text export dialog: which fields, with or without a title line, only the
// marked records or those the grid shows, padded or trimmed, and the delimiter.
// "OK" asks for the file and writes it.
#include "exportdialog.h"

namespace Ui {
class TAsciiForm;
}

namespace vt {

class TAsciiForm : public ExportDialog
{
    Q_OBJECT
public:
    explicit TAsciiForm(QWidget *parent = nullptr);
    ~TAsciiForm() override;
    void FormCreate();

public slots:
    // Each time the dialog is shown: every field of the open table, ticked.
    void FormActivate();
    void OKBitBtnClick();

protected:
    QList<QAbstractButton *> gradientBoxes() const override;

private:
    Ui::TAsciiForm *ui;
};

} // namespace vt
