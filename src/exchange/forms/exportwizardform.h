#pragma once
// The export wizard: the user chooses between a workbook ("Eine Excel Datei
// herstellen", written by the main window's ExportGridToExcel) and a delimited
// text file (the text export dialog).
#include "exportgradient.h"

#include <QDialog>

#include <functional>

namespace Ui {
class TExportWizzard1Form;
}

namespace vt {

class TExportWizzard1Form : public QDialog
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
    void MakeColors();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::TExportWizzard1Form *ui;
    ExportGradient m_gradient;
};

} // namespace vt
