#pragma once
// "HTML Datei importieren": an HTML page made elsewhere (with its pictures
// embedded or left external), a subject, an optional plain text and attachments
// become the HTML mail of the next run; "Weiter" builds it and opens the serial
// e-mail window. What the user chose can be saved as a project (".vtp") and
// loaded again. The start wizard shows the window modally.
#include "htmlimport.h"

#include <QDialog>

namespace Ui {
class THTMLImportForm;
}

namespace vt {

class THTMLImportForm : public QDialog
{
    Q_OBJECT
public:
    explicit THTMLImportForm(QWidget *parent = nullptr);
    ~THTMLImportForm() override;
    void FormCreate();

    // What the window holds, as a project.
    HtmlImportProject project() const;

public slots:
    void BitBtn1Click(); // choosing the HTML file
    void BitBtn5Click(); // choosing the plain-text file
    void BitBtn2Click(); // adding attachments
    void BitBtn3Click(); // removing the selected attachment
    void BitBtn4Click(); // hints on HTML elements
    void LoadProjectBtnClick();
    void SaveProjectBtnClick();
    void AbortBitBtnClick();
    void WeiterBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    // The HTML file in the field and the preview, "Weiter" enabled; an empty path
    // returns the window to its state without an HTML file.
    void setHtmlFile(const QString &path);
    void updateRemoveButton();

    Ui::THTMLImportForm *ui;
    // The save dialog proposes the last name chosen, at first a name of today.
    QString m_projectSaveName;
    QString m_projectOpenName;
    QString m_textFileName;
    QString m_lastAttachment;
};

} // namespace vt
