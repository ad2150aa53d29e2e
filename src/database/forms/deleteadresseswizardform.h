#pragma once
// The options of a duplicate removal: delete the doubles now (keeping the
// oldest or the newest record of each value) or only mark them. The choice is
// kept between uses.
#include "bulktools.h"

#include <QDialog>

namespace Ui {
class TDeleteAdressesWizardForm;
}

namespace vt {

class TDeleteAdressesWizardForm : public QDialog
{
    Q_OBJECT
public:
    explicit TDeleteAdressesWizardForm(QWidget *parent = nullptr);
    ~TDeleteAdressesWizardForm() override;
    // Loads the picture of the program folder.
    void FormCreate();

    bool DeleteAtOnce = true;
    bool WizardAccepted = false;
    // The record of each value that stays when the doubles are deleted.
    KeepRecord keepRecord() const;

    void WeiterBitBtnClick();
    void AbortBitBtnClick();
    void HilfeBitBtnClick();
    // Every way out but "Weiter" (Esc, the frame) leaves it not accepted.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TDeleteAdressesWizardForm *ui;
};

} // namespace vt
