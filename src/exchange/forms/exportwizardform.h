#pragma once
// The export wizard: the user chooses between a workbook ("Eine Excel Datei
// herstellen", written by the main window's ExportGridToExcel) and a delimited
// text file (the text export dialog).
#include "exportdialog.h"

#include <functional>

namespace Ui {
class TExportWizzard1Form;
}

namespace vt {

class TExportWizzard1Form : public ExportDialog
{
    Q_OBJECT
public:
    explicit TExportWizzard1Form(QWidget *parent = nullptr);
    ~TExportWizzard1Form() override;
    void FormCreate();

    // Shows the text export dialog (the program's one instance of it).
    std::function<void()> TextExport;

public slots:
    void WeiterBitBtnClick();
    void HilfeBitBtnClick();

protected:
    QList<QAbstractButton *> gradientBoxes() const override;

private:
    Ui::TExportWizzard1Form *ui;
};

} // namespace vt
