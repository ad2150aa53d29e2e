#pragma once
// The Outlook contacts import "  Vantrel Outlook Import": every contact with
// an e-mail address of the contacts folder (or one of its subfolders) in a
// preview; the user picks the address, the name form and up to three further
// properties with the fields they go to.
#include "importfields.h"
#include "outlookcontacts.h"

#include <QDialog>
#include <QStringList>

namespace Ui {
class TOutlookImportForm;
}

namespace vt {

class TOutlookImportForm : public QDialog
{
    Q_OBJECT
public:
    explicit TOutlookImportForm(QWidget *parent = nullptr);
    ~TOutlookImportForm() override;
    void FormCreate() {}

    // The folder shown: "" for the default contacts folder, else a subfolder's name.
    QString CurrentContactFolder;
    QStringList TargetCaptions, TargetFields;

    void CreateComponents();
    void Runit();

public slots:
    void Import1ComboxboxChange();
    void cbOutlookFolderChange();
    void StartImportBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Reads the items of the current folder once; every option works on them.
    void readFolder();
    QList<int> extraPositions() const;

    Ui::TOutlookImportForm *ui;
    QList<OutlookItem> m_items;
    QList<OutlookRow> m_rows;
    bool m_filling = false;
};

} // namespace vt
