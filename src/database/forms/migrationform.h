#pragma once
// The dialog "Transfer": copies the records of another database of the
// catalogue into the open one. One row per user column of the open database
// says which column of the source fills it ("Nichts": none); the fixed fields
// are copied as they are. All records or only the marked ones, all or none.
#include "recordtransfer.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QComboBox;
class QLabel;

namespace Ui {
class TMigrationForm;
}

namespace vt {

class TMigrationForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMigrationForm(QWidget *parent = nullptr);
    ~TMigrationForm() override;
    void FormCreate() {}

    QStringList SourceFieldDefinitions, TargetFieldDefinitions;
    bool CanCloseFlag = false;

    void FormShow();
    void FormHide();
    void BuildMappingControls();
    void FreeMappingControls();
    void ComboBox1Change();
    void StartBitBtnClick();
    void AbortBitBtnClick();
    void HilfeBitBtnClick();

    void done(int result) override;
    // Esc and closing the window: the dialog's "Abbrechen".
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The target rows for the open database's entry in the lower box.
    void buildTargetRows();
    QString definitionFileAt(int catalogEntry) const;
    void showProgress(qint64 done, qint64 total);

    Ui::TMigrationForm *ui;
    QList<QComboBox *> m_combos;
    QList<QLabel *> m_labels;
    QList<UserColumn> m_sourceColumns, m_targetColumns;
    QString m_sourceTable;
    qint64 m_lastShown = 0;
};

} // namespace vt
