#include "hvldbsearchform.h"
#include "ui_hvldbsearchform.h"

#include "gradientbackground.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"
#include "recordsearch.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace vt {

namespace {

const QColor kGreyText(160, 160, 164);
const QString kSearch = QStringLiteral("Suchen [F3]");

} // namespace

THVL_DB_SearchForm::THVL_DB_SearchForm(QWidget *parent) : QDialog(parent), ui(new Ui::THVL_DB_SearchForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("THVL_DB_SearchForm"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ui->ResultPanel->setAutoFillBackground(true);
    QPalette white = ui->ResultPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui->ResultPanel->setPalette(white);
    for (QLabel *l : {ui->ResultLabel1, ui->ResultLabel2, ui->ResultLabel3}) {
        QPalette grey = l->palette();
        grey.setColor(QPalette::WindowText, Qt::darkGray);
        l->setPalette(grey);
        l->setTextFormat(Qt::PlainText);
    }
    for (QWidget *w : {static_cast<QWidget *>(ui->Edit1), static_cast<QWidget *>(ui->BearbeitenBitBtn),
                       static_cast<QWidget *>(ui->DeleteBitBtn), static_cast<QWidget *>(ui->OKButton),
                       static_cast<QWidget *>(ui->BitBtn1), static_cast<QWidget *>(ui->Hilfebtn1),
                       static_cast<QWidget *>(ui->GrossKleinCheckBox), static_cast<QWidget *>(ui->LDCheckBox),
                       static_cast<QWidget *>(ui->ReverseCheckbox)})
        w->installEventFilter(this);
    connect(ui->Edit1, &QLineEdit::textChanged, this, &THVL_DB_SearchForm::Edit1Change);
    connect(ui->GrossKleinCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            const QSignalBlocker block(ui->LDCheckBox);
            ui->LDCheckBox->setChecked(false);
            FuzzyMode = false;
        }
        Edit1Change();
    });
    connect(ui->LDCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        FuzzyMode = on;
        if (on) {
            const QSignalBlocker block(ui->GrossKleinCheckBox);
            ui->GrossKleinCheckBox->setChecked(false);
        }
        Edit1Change();
    });
    // The direction only moves the table to where the next step begins.
    connect(ui->ReverseCheckbox, &QCheckBox::toggled, this, [](bool on) {
        if (AddressTable *t = MainState().CurrentTable)
            on ? t->last() : t->first();
    });
    connect(ui->OKButton, &QPushButton::clicked, this, &THVL_DB_SearchForm::OKButtonClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->Hilfebtn1, &QPushButton::clicked, this, &THVL_DB_SearchForm::Hilfebtn1Click);
    connect(ui->BearbeitenBitBtn, &QPushButton::clicked, this, [this] {
        if (EditRecord)
            EditRecord();
    });
    connect(ui->DeleteBitBtn, &QPushButton::clicked, this, [this] {
        if (DeleteRecord)
            DeleteRecord();
    });
}

THVL_DB_SearchForm::~THVL_DB_SearchForm()
{
    delete ui;
}

int THVL_DB_SearchForm::ShowSearchDialog(const QColor &start, const QColor &end, bool gradientOn)
{
    GradientStartColor = start;
    GradientEndColor = end;
    GradientOn = gradientOn;
    return Modal::exec(this);
}

void THVL_DB_SearchForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
    FormActivate();
}

void THVL_DB_SearchForm::FormShow()
{
    if (GradientOn)
        SetGradientBackground(ui->JvGradient1, GradientStartColor, GradientEndColor);
    else
        ui->JvGradient1->setStyleSheet(QString());
    ui->OKButton->setText(kSearch);
}

void THVL_DB_SearchForm::FormActivate()
{
    ContinueSearch = false;
    setErgLabelGrey(true);
    showResult({}, {}, {}, false);
    ui->Edit1->setFocus();
}

void THVL_DB_SearchForm::setErgLabelGrey(bool grey)
{
    QPalette p = ui->ErgLabel->palette();
    p.setColor(QPalette::WindowText, grey ? kGreyText : palette().color(QPalette::WindowText));
    ui->ErgLabel->setPalette(p);
}

void THVL_DB_SearchForm::showResult(const QString &line1, const QString &line2, const QString &line3, bool found)
{
    ui->ResultLabel1->setText(line1);
    ui->ResultLabel2->setText(line2);
    ui->ResultLabel3->setText(line3);
    ui->BearbeitenBitBtn->setEnabled(found);
    ui->DeleteBitBtn->setEnabled(found);
}

void THVL_DB_SearchForm::SearchExact(bool backward)
{
    searchStep(false, backward);
}

void THVL_DB_SearchForm::SearchFuzzy(bool backward)
{
    searchStep(true, backward);
}

void THVL_DB_SearchForm::searchStep(bool fuzzy, bool backward)
{
    AddressTable *t = MainState().CurrentTable;
    if (!t)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setErgLabelGrey(false);
    ui->OKButton->setText(QStringLiteral("Weiter suchen [F3]"));
    const TextSearch::Kind kind = fuzzy                                 ? TextSearch::Kind::Fuzzy
                                  : ui->GrossKleinCheckBox->isChecked() ? TextSearch::Kind::MatchCase
                                                                        : TextSearch::Kind::IgnoreCase;
    const SearchStepResult r = SearchStep(*t, TextSearch(kind, ui->Edit1->text()), backward, ContinueSearch);
    QApplication::restoreOverrideCursor();
    switch (r.outcome) {
    case SearchStepResult::Outcome::Found:
        showResult(QStringLiteral("ID = ") + t->text(QStringLiteral("ID")),
                   QStringLiteral("Name = ") + t->text(QStringLiteral("Name")),
                   r.field >= 0 ? t->text(r.field) : QString(), true);
        ContinueSearch = true;
        break;
    case SearchStepResult::Outcome::NoFurther:
        showResult(QStringLiteral("Kein weiteres Ergebnis gefunden!"), {}, {}, false);
        break;
    case SearchStepResult::Outcome::NotFound:
        showResult(QStringLiteral("Kein Ergebnis gefunden!"), {}, {}, false);
        break;
    case SearchStepResult::Outcome::Failed: error(r.error); break;
    }
}

void THVL_DB_SearchForm::OKButtonClick()
{
    const bool backward = ui->ReverseCheckbox->isChecked();
    if (FuzzyMode)
        SearchFuzzy(backward);
    else
        SearchExact(backward);
}

void THVL_DB_SearchForm::Edit1Change()
{
    ui->OKButton->setText(kSearch);
    setErgLabelGrey(true);
    ContinueSearch = false;
    if (AddressTable *t = MainState().CurrentTable)
        ui->ReverseCheckbox->isChecked() ? t->last() : t->first();
    showResult({}, {}, {}, false);
}

void THVL_DB_SearchForm::Hilfebtn1Click()
{
    information(
        QStringLiteral("Was ist eine unscharfe Suche?\rMit dem Algorithmus der Levenshtein-Distanz werden nicht "
                       "nur exakte Übereinstimmungen mit dem Suchbegriff angezeigt, sondern auch Näherungswerte "
                       "miteinbezogen um beispielsweise Vertipper trotzdem zu finden."));
}

bool THVL_DB_SearchForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3: OKButtonClick(); return true;
    case Qt::Key_Escape: reject(); return true;
    case Qt::Key_F1: Hilfebtn1Click(); return true;
    // Also while the buttons are disabled: the editor asks before it deletes.
    case Qt::Key_F4:
        if (EditRecord)
            EditRecord();
        return true;
    case Qt::Key_F8:
        if (DeleteRecord)
            DeleteRecord();
        return true;
    default: return QDialog::eventFilter(watched, event);
    }
}

} // namespace vt
