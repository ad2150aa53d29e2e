#pragma once
// The search dialog "Suchen": finds records of the open table by a term, step
// by step, forward from the first record or backward from the last, exactly
// (with or without regard to case) or fuzzily by edit distance. The grid's
// table goes to each find; the find can be edited or deleted from here.
#include <QColor>
#include <QDialog>

#include <functional>

namespace Ui {
class THVL_DB_SearchForm;
}

namespace vt {

class THVL_DB_SearchForm : public QDialog
{
    Q_OBJECT
public:
    explicit THVL_DB_SearchForm(QWidget *parent = nullptr);
    ~THVL_DB_SearchForm() override;
    void FormCreate() {}

    bool FuzzyMode = false;
    // A step has found a record since the dialog was shown or the term changed.
    bool ContinueSearch = false;
    QColor GradientStartColor, GradientEndColor;
    bool GradientOn = false;
    // The main window's commands for the current record.
    std::function<void()> EditRecord, DeleteRecord;

    int ShowSearchDialog(const QColor &start, const QColor &end, bool gradientOn);
    void SearchExact(bool backward);
    void SearchFuzzy(bool backward);
    void OKButtonClick();
    void Edit1Change();
    void Hilfebtn1Click();
    void FormShow();
    void FormActivate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void searchStep(bool fuzzy, bool backward);
    void showResult(const QString &line1, const QString &line2, const QString &line3, bool found);
    void setErgLabelGrey(bool grey);

    Ui::THVL_DB_SearchForm *ui;
};

} // namespace vt
