#pragma once
// Marking by text: marks every record (under the table's filter) in which any
// field holds a text, without regard to case; beside it the main window's
// commands that unmark all records and delete the marked ones.
#include <QDialog>

#include <functional>

namespace Ui {
class TFilter2Form;
}

namespace vt {

class TFilter2Form : public QDialog
{
    Q_OBJECT
public:
    explicit TFilter2Form(QWidget *parent = nullptr);
    ~TFilter2Form() override;
    void FormCreate() {}

    // The main window's commands behind "Alle unmarkieren" and "Markierte löschen".
    std::function<void()> UnselectAll, DeleteMarked;

    // Marks the records holding the text of Edit1.
    void MarkRecordsContaining();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TFilter2Form *ui;
};

} // namespace vt
