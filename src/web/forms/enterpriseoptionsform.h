#pragma once
// The dialog "Web Einstellungen": the server folder of the open database's
// subscription forms, their look, the fields they offer, the confirmation mail
// and the list password. "Speichern" writes the files to upload and stores the
// settings. The dialog also holds the loaded settings for the other web dialogs
// (OnlinePath and OnlinePassword).
#include "websettings.h"

#include <QDialog>

#include <functional>

namespace Ui {
class TEnterpriseOptionsForm;
}

namespace vt {

class TEnterpriseOptionsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TEnterpriseOptionsForm(QWidget *parent = nullptr);
    ~TEnterpriseOptionsForm() override;
    void FormCreate();

    // The settings, kept in step with the controls; OnlinePath is the stored
    // server path, set only by LoadWebSettings and a successful "Speichern".
    WebSettings Values;
    QList<PoweredBy> PoweredByPairs;
    bool LoadingSettings = false;

    // The colour dialog (tests answer it themselves): the chosen colour, or an invalid one when cancelled.
    std::function<QColor(const QColor &initial)> PickColor;

    // Reads the open database's web settings and confirmation texts into the
    // dialog; a database without settings gets the defaults.
    void LoadWebSettings();
    bool SaveWebSettings();
    // Writes the files of the server folder into a folder the user picks. False
    // when they could not be written (the user has been told why); a cancelled
    // folder choice writes nothing and counts as done.
    bool GenerateWebFiles(const QString &folderName);
    void BuildFieldCheckBoxes();
    void SaveFieldSelection();

public slots:
    void FormShow();
    void FormActivate();
    void FormHide();
    void FormularErzeugenBitBtn1Click();
    void TextColorPanelClick();
    void BKGButtonClick();
    void BorderColorButtonClick();
    void BitBtn1Click();
    void HilfeBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void pickColor(QString *field, QWidget *panel);
    void paintPanel(QWidget *panel, const QString &color);
    void putIntoControls();

    Ui::TEnterpriseOptionsForm *ui;
    ConfirmationTexts m_creationTexts;
};

} // namespace vt
