#pragma once
// The about box: the program's name, version and maker, the product page and
// the support address as links, and the update check.
#include <QDialog>

#include <functional>

namespace Ui {
class TAboutBox;
}

namespace vt {

class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;

    // Fills the box from the product information.
    void FormCreate();
    void URLLabelClick();
    void MailLabelClick();
    void UpdateButtonClick();

    // The check of "Jetzt auf Updates überprüfen".
    std::function<void()> CheckForUpdate;
    // The maker's page on a social network, behind the small picture.
    static const QString SocialPageUrl;

private:
    Ui::TAboutBox *ui;
};

} // namespace vt
