#include "grussformelform.h"
#include "shell.h"
#include "ui_grussformelform.h"

#include "messages.h"
#include "paths.h"
#include "systools.h"
#include "text.h"
#include "textfile.h"

#include <QShowEvent>

namespace vt {

TGrussformelForm::TGrussformelForm(const QString &appFolder, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(new Ui::TGrussformelForm),
      m_appFolder(WithTrailingSlash(appFolder))
{
    ui->setupUi(this);
    // Edit1 to Edit8 hold the keys of the salutation table, Edit_1 to Edit_8 their salutations.
    m_keys = {ui->Edit1, ui->Edit2, ui->Edit3, ui->Edit4, ui->Edit5, ui->Edit6, ui->Edit7, ui->Edit8};
    m_salutations = {ui->Edit_1, ui->Edit_2, ui->Edit_3, ui->Edit_4, ui->Edit_5, ui->Edit_6, ui->Edit_7, ui->Edit_8};
    connect(ui->OKBitBtn, &QPushButton::clicked, this, &TGrussformelForm::OKBitBtnClick);
    connect(ui->AbbrechenBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TGrussformelForm::HilfeBitBtnClick);
}

TGrussformelForm::~TGrussformelForm()
{
    delete ui;
}

QString TGrussformelForm::tableFile() const
{
    return m_appFolder + QStringLiteral("Grussformel.txt");
}

void TGrussformelForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TGrussformelForm::FormActivate()
{
    bool ok = false;
    const QStringList lines = ReadLines(tableFile(), &ok);
    if (!ok)
        error(CannotOpenFileText(tableFile()));
    // A table shorter than eight lines leaves the remaining rows empty.
    for (int k = 0; k < kRows; ++k) {
        const QString line = k < lines.size() ? lines.at(k) : QString();
        m_keys[k]->setText(ExtractDelimitedWord(1, line, QStringLiteral("|")));
        m_salutations[k]->setText(ExtractDelimitedWord(2, line, QStringLiteral("|")));
    }
}

void TGrussformelForm::OKBitBtnClick()
{
    QStringList lines;
    for (int k = 0; k < kRows; ++k)
        lines.append(Trimmed(m_keys[k]->text()) + QLatin1Char('|') + Trimmed(m_salutations[k]->text()));
    QString reason;
    if (!WriteLines(tableFile(), lines, {}, &reason)) {
        // The dialog stays open so that nothing typed is lost.
        error(CannotWriteFileText(tableFile()) + QStringLiteral("\r") + reason);
        return;
    }
    accept();
}

void TGrussformelForm::HilfeBitBtnClick()
{
    OpenHelpFile(m_appFolder, m_helpFile);
}

} // namespace vt
