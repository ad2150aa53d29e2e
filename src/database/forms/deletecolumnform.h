#pragma once
// The column content dialog: fills one column of every record, or of the
// marked ones, with a value, or clears it. It stays open for further changes;
// the main window's SetColumnValue does the work.
#include <QDialog>
#include <QStringList>

namespace Ui {
class TDeleteColumnForm;
}

namespace vt {

class TDeleteColumnForm : public QDialog
{
    Q_OBJECT
public:
    explicit TDeleteColumnForm(QWidget *parent = nullptr);
    ~TDeleteColumnForm() override;
    void FormCreate() {}

    // The field names beside the entries of the column box.
    QStringList FieldNameList;

    void btnDoClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TDeleteColumnForm *ui;
};

} // namespace vt
