#pragma once
// The ID range dialog: the first and the last ID of a range of records, both
// included. Its edits keep their texts between uses.
#include <QDialog>

namespace Ui {
class TDoIDForm;
}

namespace vt {

class TDoIDForm : public QDialog
{
    Q_OBJECT
public:
    explicit TDoIDForm(QWidget *parent = nullptr);
    ~TDoIDForm() override;
    void FormCreate() {}

    qint32 StartId = 0;
    qint32 EndId = 0;

    // The heading above the two edits.
    void setHeading(const QString &text);
    // OK: takes both numbers and closes; a text that is no number from 0 to
    // 2147483647 is said, and the dialog stays open.
    void BitBtn1Click();

private:
    Ui::TDoIDForm *ui;
};

} // namespace vt
