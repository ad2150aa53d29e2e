#pragma once
// The preview "Vorschau" of the personalised mail: steps through the marked
// records of the mailing's table and shows the mail as the current recipient
// would get it. While it is open the table, and with it the main grid, shows
// the marked records only; closing it in any way puts the grid back as it was.
#include <QDialog>
#include <QPointer>

#include <functional>

namespace Ui {
class TPreviewForm;
}

namespace vt {

class AddressTable;

class TPreviewForm : public QDialog
{
    Q_OBJECT
public:
    explicit TPreviewForm(QWidget *parent = nullptr);
    ~TPreviewForm() override;
    void FormCreate();

    // The table of the mailing.
    QPointer<AddressTable> MailTable;
    // Before the preview is shown: the table shows its marked records only, a
    // marked current record stays current (otherwise the first marked one becomes
    // it). Hiding the window, in whatever way, puts back filter and record.
    void beginPreview(AddressTable *table);
    // Renders the current record into this window: the serial e-mail window's "Vorschau".
    std::function<void()> refresh;

    // A text mail: the subject field and the text box.
    void showTextLayout();
    // An HTML mail: the browser.
    void showHtmlLayout();
    // Reads a mail template file into the subject field and the text box (the
    // attachment is not shown).
    void LoadMailFile(const QString &path);
    // Shows a preview page (".html" with its pictures, or ".txt").
    void showPage(const QString &path);
    void setRecordLabel(const QString &id);

public slots:
    void PreviousButtonClick();
    void NextButtonClick();
    void RefreshBtnClick();
    void ClosebtnClick();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void restoreTable();

    Ui::TPreviewForm *ui;
    struct Saved
    {
        bool active = false;
        QString filterText;
        bool filtered = false;
        qint64 currentId = -1;
    } m_saved;
};

// The one preview window of the program.
TPreviewForm *PreviewForm();

} // namespace vt
