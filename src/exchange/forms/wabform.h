#pragma once
// The address book import "Outlook Express Addressbook": the contacts and
// distribution lists of the Windows Address Book, ticked by the user; every
// ticked contact becomes a record. The dialog works on a copy of the address
// book file, never on the user's own.
#include "wabsource.h"

#include <QDialog>

namespace Ui {
class TWabForm;
}

namespace vt {

class TWabForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWabForm(QWidget *parent = nullptr);
    ~TWabForm() override;
    void FormCreate() {}

    QString AddressBookFile; // the copy opened last
    bool WabImported = false;
    // The address book file; by default the system's.
    QString WabFileName;

    bool OpenAddressBookCopy(const QString &file, bool copy);
    void LoadAddressBookContents();
    void CloseAddressBook();
    void ImportCheckedEntries();

public slots:
    void ImportButtonClick();
    void AlleButtonClick();
    void CloseButtonClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::TWabForm *ui;
    ImportOutcome m_last;
};

} // namespace vt
