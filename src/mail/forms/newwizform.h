#pragma once
// The start wizard "Vantrel Assistent": every mailing begins here. In three
// steps the user says what to do, which kind of mail it is and which file to
// use (or starts the mail client to compose a new HTML mail); "Weiter" hands the
// mail to the serial e-mail window and opens it.
#include "wizardchoice.h"

#include <QDialog>
#include <QTimer>

#include <functional>

namespace Ui {
class TNewWizForm;
}

namespace vt {

class OptionPanel;

class TNewWizForm : public QDialog
{
    Q_OBJECT
public:
    explicit TNewWizForm(QWidget *parent = nullptr);
    ~TNewWizForm() override;
    void FormCreate();

    // The HTML import dialog, run modally for "HTML Datei öffnen"; it builds the
    // mail and starts the serial e-mail window itself. Without it that choice is
    // not offered.
    std::function<void()> htmlImport;
    // The main window's list of placeholders ("Meine Platzhalter").
    std::function<void()> showPlaceholders;

public slots:
    void FormShow();
    void panelClick(vt::WizardPanel panel);
    // Applies the rules of the current choice to the window (every 500 ms while
    // shown, and at once after each choice).
    void Timer1Timer();
    void BitBtn1Click(); // choosing the template or mail file (FilenameEdit)
    void BitBtn2Click(); // choosing a sample mail (Filename2Edit)
    void OutlookBitbtnClick();
    void OEBitbtnClick();
    void BitBtn3Click(); // "Meine Platzhalter"
    void WeiterButtonClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    OptionPanel *panel(WizardPanel p) const;
    void setStep(int step);
    void growToFitTexts();
    QString chooseFile(const QString &folder, const QString &pipeFilter);
    // Hands the mail over and opens the serial e-mail window.
    void finish(bool textMail, const QString &path);
    bool needsExistingFile(const QString &path);
    void setOpenButtonVisible(bool on);

    Ui::TNewWizForm *ui;
    // The choices (the program's one set, StartWizardChoice()); they stay from one
    // mailing to the next, except that the mail client counts as not started each
    // time the wizard is shown.
    TStartWizardChoice &m_choice;
    QTimer m_timer;
};

} // namespace vt
