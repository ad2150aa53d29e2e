#pragma once
// The record editor: one row per field of the open table, built from the
// field definitions and the combo definition file each time it opens, for a
// new record (mode 1), the current record (mode 0) or to confirm the deletion
// of the current record (mode 2). The controls hold the values; a save writes
// what changed into the table and posts it, after the rules and, for a new
// address while the check of new addresses is on, the question about an
// address already stored.
#include "recordeditor.h"

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class TEdForm;
}

namespace vt {

class TDoUpdatesForm;

class TEdForm : public QDialog
{
    Q_OBJECT
public:
    explicit TEdForm(QWidget *parent = nullptr);
    ~TEdForm() override;
    void FormCreate() {}

    quint8 EditMode = 0; // 0 edit, 1 new record, 2 delete
    // The answer to a close: set by a stored record, a delete question or a cancel.
    bool CanCloseFlag = false;
    // The rules of the open table (the program's own tables have none).
    TDoUpdatesForm *rules() const { return m_rules.get(); }
    void setRules(std::unique_ptr<TDoUpdatesForm> rules);

    // Builds the rows for the mode, shows the dialog modally, frees the rows.
    int ExecuteEditor(int mode);
    void BuildEditorControls();
    void FreeEditorControls();
    void OKSpeedButtonClick();
    void AbortSpeedButtonClick();
    void HilfeBitBtnClick();
    // Asks once per stored address that holds the new one; the last answer counts.
    bool ConfirmDuplicateMail();

    void done(int result) override;
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Row
    {
        EditorField field;
        int index = -1; // the field in the table; -1 when the table has none of that name
        QWidget *control = nullptr;
        QWidget *label = nullptr;
    };
    void loadControls();
    // Writes the values that differ from the table's into it; false (said) when one is refused.
    bool applyControls();

    Ui::TEdForm *ui;
    std::unique_ptr<TDoUpdatesForm> m_rules;
    QList<Row> m_rows;
};

} // namespace vt
