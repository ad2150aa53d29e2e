#pragma once
// The filter dialog: composes a filter of one or two conditions (a column, an
// operator, a value), joined by AND or OR, shows it in an editable line for
// experts and switches it on or off on the open table. Its state lasts from
// one use to the next, so the main window's F9 switches the last expression.
#include <QDialog>
#include <QStringList>

namespace Ui {
class TFilterForm;
}

namespace vt {

class TFilterForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFilterForm(QWidget *parent = nullptr);
    ~TFilterForm() override;
    void FormCreate();

    // The seven parts of the expression: field, operator and value of condition
    // 1, the connector, field, operator and value of condition 2.
    QStringList ExpressionParts;
    int Operator1Index = 1, Operator2Index = 1, ConnectorIndex = 1;
    // The field names beside the entries of both column boxes.
    QStringList FilterFieldNames;

    // Joins the parts into the expert line.
    void UpdateExpressionEdit();
    // The text of the expert line, which F9 switches on.
    QString expressionText() const;

    // Switches a filter on the open table on or off, shows the record count and
    // tells the main window. A text that is no valid filter is said, and the
    // table keeps the filter it had. False when the filter was not switched.
    static bool switchFilter(bool on, const QString &text);

    void OnBitBtnClick();
    void OffBitBtnClick();
    void HilfeBitBtnClick();
    void Operate1BtnClick();
    void Operate2BtnClick();
    void ConectorBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    // The parts of one condition from its controls.
    void takeCondition1();
    void takeCondition2();
    void takeConnector();
    void enableCondition2();

    Ui::TFilterForm *ui;
};

} // namespace vt
