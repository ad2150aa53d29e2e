#pragma once
// The Windows Mail contacts import "Import von Windows Mail": lists the contact
// files of a folder; every ticked file becomes a record with its name and
// e-mail address.
#include <QDialog>

namespace Ui {
class TWMImport;
}

namespace vt {

class TWMImport : public QDialog
{
    Q_OBJECT
public:
    explicit TWMImport(QWidget *parent = nullptr);
    ~TWMImport() override;
    void FormCreate() {}

    // The folder whose contact files are listed, ending in "/".
    QString ContactFolder;

    void Liststuff();
    void importfct();

public slots:
    void LoadbuttonClick();
    void startbuttonClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void tickAll(bool on);

    Ui::TWMImport *ui;
};

} // namespace vt
