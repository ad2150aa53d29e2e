#pragma once
// Naming a new database and listing its extra columns, one name a line. "OK"
// checks the input and that no database of that name exists; the name and
// the column lines are kept from one use to the next.
#include <QDialog>
#include <QStringList>

namespace Ui {
class TNewDatabaseForm;
}

namespace vt {

class TNewDatabaseForm : public QDialog
{
    Q_OBJECT
public:
    explicit TNewDatabaseForm(QWidget *parent = nullptr);
    ~TNewDatabaseForm() override;
    void FormCreate() {}

    // Set when "OK" accepted the input.
    QString NewDatabaseCaption;
    QString NewDatabaseFileName;
    // The lines of the column list as the user sees them (a last empty line after a line break is none).
    QStringList columnLines() const;

    void BitBtn1Click();
    // Whether the dialog may close with OK: no entry of the data folder bears the name.
    bool FormCloseQuery();

private:
    Ui::TNewDatabaseForm *ui;
};

} // namespace vt
