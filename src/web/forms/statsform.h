#pragma once
// The dialog "Newsletter Statistik einrichten": the address and password of the
// click statistics of the open database and whether tracking is on by default.
// "Verwenden" writes the statistics files to upload and stores the settings.
#include <QDialog>

namespace Ui {
class TStatsForm;
}

namespace vt {

class TStatsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TStatsForm(QWidget *parent = nullptr);
    ~TStatsForm() override;
    void FormCreate();

    // Writes the statistics folder into a folder the user picks, and the installation page.
    void CreateFormular(const QString &folderName);
    bool WriteEnterprisePrgIni();

public slots:
    void Ectivate();
    void BitBtn1Click();
    void BitBtn3Click();

private:
    Ui::TStatsForm *ui;
};

} // namespace vt
