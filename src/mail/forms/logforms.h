#pragma once
// The two lists of a send run's outcome, each with "Speichern" and "Drucken":
// the sent-log viewer (the addresses of the last run) and the list of rejected
// addresses (the failed list of the run that has just ended).
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;

namespace Ui {
class TListWindow;
}

namespace vt {

// The lines of a printout: "Vantrel: " and the date, 77 hyphens, a blank line, the list.
QStringList ListPrintLines(const QStringList &lines, const QDate &date);

// Where "Drucken" prints: the default printer, or none (tests put a PDF file here).
using PrinterProvider = std::function<std::unique_ptr<QPrinter>()>;
void SetPrinterProvider(PrinterProvider provider);
inline const QString kNoPrinterText = QStringLiteral("Es ist kein Drucker eingerichtet!");

class TListWindow : public QDialog
{
    Q_OBJECT
public:
    ~TListWindow() override;
    QStringList lines() const;
    void setLines(const QStringList &lines);

    Ui::TListWindow *ui;

public slots:
    virtual void FormActivate() = 0;
    void SpeichernBitBtnClick();
    void DruckenBitBtnClick();

protected:
    TListWindow(const QString &caption, const QString &label, Qt::WindowFlags flags);
    void showEvent(QShowEvent *event) override;
};

// "Zuletzt versendete Emails": the sent log of the last run.
class TLogForm : public TListWindow
{
    Q_OBJECT
public:
    TLogForm();
    void FormActivate() override;
};

// "ungültige E-Mail-Adressen": the failed list of the serial e-mail window.
class TErrorMailForm : public TListWindow
{
    Q_OBJECT
public:
    TErrorMailForm();
    void FormActivate() override;
};

TLogForm *LogForm();
TErrorMailForm *ErrorMailForm();

} // namespace vt
