#pragma once
// The dialog "Grußformel": edits the first eight lines of the salutation table.
#include <QDialog>
#include <QLineEdit>
#include <QList>

namespace Ui {
class TGrussformelForm;
}

namespace vt {

class TGrussformelForm : public QDialog
{
    Q_OBJECT
public:
    // appFolder holds "Grussformel.txt" and the folder "help".
    explicit TGrussformelForm(const QString &appFolder, QWidget *parent = nullptr);
    ~TGrussformelForm() override;

    // The help page opened by "Hilfe", relative to the folder "help".
    void setHelpFile(const QString &helpFile) { m_helpFile = helpFile; }
    QString tableFile() const;

    static constexpr int kRows = 8;

public slots:
    void FormActivate();
    void OKBitBtnClick();
    void HilfeBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TGrussformelForm *ui;
    QString m_appFolder;
    QString m_helpFile = QStringLiteral("help.html");
    QList<QLineEdit *> m_keys;
    QList<QLineEdit *> m_salutations;
};

} // namespace vt
