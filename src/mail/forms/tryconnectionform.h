#pragma once
// The connection test "Verbindungstest" of the options dialog: sends a test mail
// with the values entered in the dialog, after saving them.
#include <QDialog>
#include <QPointer>

namespace Ui {
class TFTryconnection;
}

namespace vt {

class TOptionsForm;

class TFTryconnection : public QDialog
{
    Q_OBJECT
public:
    explicit TFTryconnection(QWidget *parent = nullptr);
    ~TFTryconnection() override;
    void FormCreate() {}

    // The address of the test mail.
    QString TestRecipient;
    // The dialog whose values are tested.
    QPointer<TOptionsForm> Options;

public slots:
    void HilfeBitBtnClick();

private:
    Ui::TFTryconnection *ui;
};

} // namespace vt
