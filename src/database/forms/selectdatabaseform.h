#pragma once
// Choosing a database of the catalogue, to open it (mode 0) or to delete it
// (mode 1). The list shows the catalogue's display names; a choice sets
// SelectedDefinitionFile, which is kept from one use to the next.
#include <QDialog>

namespace Ui {
class TSelectDatabaseForm;
}

namespace vt {

class TSelectDatabaseForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSelectDatabaseForm(QWidget *parent = nullptr);
    ~TSelectDatabaseForm() override;
    void FormCreate() {}

    quint8 SelectMode = 0; // 0 open, 1 delete; set before each showing
    QString SelectedDefinitionFile;

    // Fills the list from the catalogue.
    void FormShow();
    // Heading and buttons of the mode.
    void FormActivate();
    void ListBox1DblClick();
    void OpenBitBtnClick();
    void DeleteBitBtnClick();
    void AbortBitBtnClick();
    // True when an entry is chosen; otherwise says so.
    bool CheckSelected();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The definition file of the chosen entry's catalogue line.
    QString chosenDefinitionFile() const;

    Ui::TSelectDatabaseForm *ui;
};

} // namespace vt
