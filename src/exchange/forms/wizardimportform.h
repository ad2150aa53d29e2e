#pragma once
// The import wizard "Import": the one entry to every address import. The user
// picks the source; the wizard closes and opens that importer's dialog.
#include <QDialog>

#include <functional>

namespace Ui {
class TWizardImportForm;
}

namespace vt {

// What decides which sources can be chosen.
struct ImportPlatform
{
    bool vistaOrLater = true;
    bool windows7 = false;
    bool liveMailInstalled = false;
    bool outlookAvailable = false;
    bool outlook64Bit = false;
    // The values of this system: Windows Mail contact files and Outlook data
    // files can be read here, the Windows Address Book cannot.
    static ImportPlatform current();
};

class TWizardImportForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWizardImportForm(QWidget *parent = nullptr);
    ~TWizardImportForm() override;
    // Applies the rules of the platform to the choices (once per run).
    void FormCreate();

    ImportPlatform Platform = ImportPlatform::current();
    // The importers' dialogs, each shown modally after the wizard has closed.
    std::function<QDialog *()> WabDialog, OutlookDialog, WindowsMailDialog, TextDialog;

public slots:
    void WeiterBitBtnClick();
    void HilfeBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Closes the wizard and shows the importer over where it stood.
    void runImporter(const std::function<QDialog *()> &dialog);
    bool chooseOutlookSource();

    Ui::TWizardImportForm *ui;
};

} // namespace vt
