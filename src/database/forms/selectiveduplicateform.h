#pragma once
// Duplicate removal over a column the user chooses: records whose values of
// the column agree (without regard to case and blanks around) are deleted or
// marked as the options dialog says; the dialog closes once that is done.
#include <QDialog>
#include <QStringList>

#include <functional>

namespace Ui {
class TSelectiveDuplicateForm;
}

namespace vt {

class TDeleteAdressesWizardForm;

class TSelectiveDuplicateForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSelectiveDuplicateForm(QWidget *parent = nullptr);
    ~TSelectiveDuplicateForm() override;
    void FormCreate() {}

    QStringList FieldNameList;
    // The options dialog, and how it is shown (the main window takes its
    // message hook away meanwhile).
    TDeleteAdressesWizardForm *Options = nullptr;
    std::function<int(QDialog *)> ExecOptions;

    void btnDoClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TSelectiveDuplicateForm *ui;
};

} // namespace vt
