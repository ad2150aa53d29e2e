#include "logforms.h"
#include "ui_listwindow.h"

#include "clock.h"
#include "crashreport.h"
#include "filedialogs.h"
#include "mailing.h"
#include "messages.h"
#include "textfile.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QShowEvent>

namespace vt {

namespace {

std::unique_ptr<QPrinter> defaultPrinter()
{
    // No printer set up (common on a desktop without CUPS queues): nothing to open.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_unique<QPrinter>(info);
}

PrinterProvider &provider()
{
    static PrinterProvider p = defaultPrinter;
    return p;
}

// Prints the lines in a fixed-width font, page after page.
bool printLines(QPrinter &printer, const QStringList &lines)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics fm = painter.fontMetrics();
    const QRect page = painter.viewport();
    int y = fm.ascent();
    for (const QString &line : lines) {
        if (y + fm.descent() > page.height()) {
            if (!printer.newPage())
                return false;
            y = fm.ascent();
        }
        painter.drawText(0, y, line);
        y += fm.lineSpacing();
    }
    return painter.end();
}

} // namespace

QStringList ListPrintLines(const QStringList &lines, const QDate &date)
{
    return QStringList{QStringLiteral("Vantrel: ") + date.toString(QStringLiteral("dd.MM.yyyy")),
                       QString(77, QLatin1Char('-')), QStringLiteral(" ")} +
           lines;
}

void SetPrinterProvider(PrinterProvider p)
{
    provider() = p ? std::move(p) : PrinterProvider(defaultPrinter);
}

TListWindow::TListWindow(const QString &caption, const QString &label, Qt::WindowFlags flags)
    : QDialog(nullptr, flags), ui(new Ui::TListWindow)
{
    ui->setupUi(this);
    setWindowTitle(caption);
    ui->Label1->setText(label); // the heading above the list (Memo1)
    connect(ui->SpeichernBitBtn, &QPushButton::clicked, this,
            [this] { Guard("SpeichernBitBtnClick", [this] { SpeichernBitBtnClick(); }); });
    connect(ui->DruckenBitBtn, &QPushButton::clicked, this,
            [this] { Guard("DruckenBitBtnClick", [this] { DruckenBitBtnClick(); }); });
    connect(ui->CloseBitBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TListWindow::~TListWindow()
{
    delete ui;
}

void TListWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormActivate();
    // Enter closes the list; the list itself stays editable by a click into it.
    ui->CloseBitBtn->setFocus();
}

QStringList TListWindow::lines() const
{
    const QString text = ui->Memo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TListWindow::setLines(const QStringList &lines)
{
    ui->Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TListWindow::SpeichernBitBtnClick()
{
    QString path = FileDialogs::instance().saveFile(this, QStringLiteral("Speichern"), QStringLiteral("untitled.txt"),
                                                    QStringLiteral("Textdatei (.txt) (*.txt)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    const QStringList memo = lines();
    WriteOptions options;
    options.encoding = EncodingForExport(memo.join(QLatin1Char('\n')));
    if (!WriteLines(path, memo, options))
        error(CannotWriteFileText(path));
}

void TListWindow::DruckenBitBtnClick()
{
    std::unique_ptr<QPrinter> printer = provider()();
    if (!printer) {
        error(kNoPrinterText);
        return;
    }
    if (!printLines(*printer, ListPrintLines(lines(), Clock::today())))
        error(QStringLiteral("Der Drucker kann nicht verwendet werden!"));
}

TLogForm::TLogForm()
    : TListWindow(QStringLiteral("Zuletzt versendete Emails"), QStringLiteral("Zuletzt/bereits versendete E-Mails"),
                  Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TLogForm"));
}

void TLogForm::FormActivate()
{
    bool ok = false;
    const QStringList sent = ReadLines(SentMailsLogPath(), &ok);
    setLines(ok ? sent : QStringList());
}

TErrorMailForm::TErrorMailForm()
    : TListWindow(QStringLiteral("ungültige E-Mail-Adressen"), QStringLiteral("ungültige E-Mail-Adressen:"), Qt::Dialog)
{
    setObjectName(QStringLiteral("TErrorMailForm"));
}

void TErrorMailForm::FormActivate()
{
    setLines(SerialMailing().FailedList);
}

TLogForm *LogForm()
{
    static QPointer<TLogForm> form;
    if (!form)
        form = new TLogForm;
    return form;
}

TErrorMailForm *ErrorMailForm()
{
    static QPointer<TErrorMailForm> form;
    if (!form)
        form = new TErrorMailForm;
    return form;
}

} // namespace vt
