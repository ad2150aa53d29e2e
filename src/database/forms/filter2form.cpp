#include "filter2form.h"
#include "ui_filter2form.h"

#include "bulkrun.h"
#include "bulktools.h"
#include "mainstate.h"
#include "messages.h"
#include "sendrunguard.h"

#include <QShowEvent>

namespace vt {

TFilter2Form::TFilter2Form(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint), ui(new Ui::TFilter2Form)
{
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &TFilter2Form::MarkRecordsContaining);
    connect(ui->Edit1, &QLineEdit::returnPressed, this, &TFilter2Form::MarkRecordsContaining);
    connect(ui->AbortButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] {
        if (UnselectAll)
            UnselectAll();
    });
    connect(ui->Button1, &QPushButton::clicked, this, [this] {
        if (DeleteMarked)
            DeleteMarked();
    });
}

TFilter2Form::~TFilter2Form()
{
    delete ui;
}

void TFilter2Form::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ui->Edit1->setFocus();
}

void TFilter2Form::MarkRecordsContaining()
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t || CommandRefusedDuringSendRun())
        return;
    BulkResult r;
    {
        const BulkRun run(t, QString());
        r = vt::MarkRecordsContaining(*t, ui->Edit1->text());
    }
    if (!r.ok())
        error(r.error);
}

} // namespace vt
