#pragma once
// The dialog "Web Info": the subscription, unsubscription and statistics links of
// the open database, to copy into web pages and newsletters or to open.
#include <QDialog>
#include <QPointer>

namespace Ui {
class TEnterpriseLinksForm;
}

namespace vt {

class TEnterpriseOptionsForm;

class TEnterpriseLinksForm : public QDialog
{
    Q_OBJECT
public:
    explicit TEnterpriseLinksForm(QWidget *parent = nullptr);
    ~TEnterpriseLinksForm() override;
    void FormCreate();

    // The holder of the server path (set by the main window).
    QPointer<TEnterpriseOptionsForm> Settings;

public slots:
    void FormActivate();
    void SubLinkBitBtnClick();
    void BitBtn1Click();
    void BitBtn3Click();
    void BitBtn2Click();
    void OnlineStatsBtnClick();

private:
    Ui::TEnterpriseLinksForm *ui;
};

} // namespace vt
