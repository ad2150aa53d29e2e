#include "newdatabaseform.h"
#include "ui_newdatabaseform.h"

#include "convert.h"
#include "databasefiles.h"
#include "mainstate.h"
#include "messages.h"
#include "text.h"

#include <QApplication>

namespace vt {

TNewDatabaseForm::TNewDatabaseForm(QWidget *parent) : QDialog(parent), ui(new Ui::TNewDatabaseForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TNewDatabaseForm"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QStringList fixed = FixedFieldNames();
    fixed.first() += QStringLiteral("   ");
    ui->Memo1->setPlainText(fixed.join(QLatin1Char('\n')));
    ui->Memo2->setPlainText(QStringLiteral("Gewinnspielfrage\nBestellnummer \nFeedback etc.\nVorname\nAlter\n"
                                           "Geschlecht\nStraße\nPLZ\nOrt"));
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TNewDatabaseForm::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TNewDatabaseForm::~TNewDatabaseForm()
{
    delete ui;
}

QStringList TNewDatabaseForm::columnLines() const
{
    const QString text = ui->Memo2->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    return lines;
}

void TNewDatabaseForm::BitBtn1Click()
{
    const QString problem = CheckNewDatabaseInput(ui->Edit1->text(), columnLines());
    if (!problem.isEmpty()) {
        information(problem);
        return;
    }
    NewDatabaseCaption = Trimmed(ui->Edit1->text());
    NewDatabaseFileName = MakeSafeName(NewDatabaseCaption);
    if (FormCloseQuery())
        accept();
}

bool TNewDatabaseForm::FormCloseQuery()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TMainState &s = MainState();
    const bool taken = DatabaseNameTaken(s.AppFolder, s.DataFolder, NewDatabaseFileName);
    QApplication::restoreOverrideCursor();
    if (taken)
        information(DatabaseNameTakenText(NewDatabaseFileName));
    return !taken;
}

} // namespace vt
