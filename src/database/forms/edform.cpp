#include "edform.h"
#include "ui_edform.h"

#include "doupdatesform.h"
#include "gradientbackground.h"
#include "mainstate.h"
#include "messages.h"
#include "modal.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace vt {

namespace {

const QColor kGradientTop(239, 246, 253);
const QColor kGradientBottom(199, 218, 240);
constexpr int kRowHeight = 20;

} // namespace

TEdForm::TEdForm(QWidget *parent)
    : QDialog(parent), ui(new Ui::TEdForm), m_rules(std::make_unique<TDoUpdatesForm>(MainState()))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TEdForm"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QFont heading = ui->ESLabel1->font();
    heading.setBold(true);
    heading.setPixelSize(13);
    ui->ESLabel1->setFont(heading);
    for (QWidget *w : {ui->TopPanel, ui->BottomPanel, ui->ScrollBoxContents})
        SetGradientBackground(w, kGradientTop, kGradientBottom);
    ui->HilfeBitBtn->installEventFilter(this);
    connect(ui->OKSpeedButton, &QToolButton::clicked, this, &TEdForm::OKSpeedButtonClick);
    connect(ui->AbortSpeedButton, &QToolButton::clicked, this, &TEdForm::AbortSpeedButtonClick);
    connect(ui->HilfeBitBtn, &QPushButton::clicked, this, &TEdForm::HilfeBitBtnClick);
}

TEdForm::~TEdForm()
{
    delete ui;
}

void TEdForm::setRules(std::unique_ptr<TDoUpdatesForm> rules)
{
    m_rules = rules ? std::move(rules) : std::make_unique<TDoUpdatesForm>(MainState());
}

int TEdForm::ExecuteEditor(int mode)
{
    EditMode = quint8(mode);
    CanCloseFlag = false;
    BuildEditorControls();
    if (EditMode == 1) {
        m_rules->StartNewRecord();
        loadControls();
    }
    const int result = Modal::exec(this);
    // However the dialog went, no half-entered record stays behind.
    if (AddressTable *t = MainState().CurrentTable;
        t && (t->state() == AddressTable::State::Edit || t->state() == AddressTable::State::Insert))
        t->cancel();
    FreeEditorControls();
    return result;
}

void TEdForm::BuildEditorControls()
{
    FreeEditorControls();
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    const bool deleting = EditMode == 2;
    if (EditMode == 1 && t && !t->append())
        error(t->lastError());
    ui->ESLabel1->setText(EditMode == 1   ? QStringLiteral("Neueingabe")
                          : EditMode == 2 ? QStringLiteral("Löschen")
                                          : QStringLiteral("Bearbeiten"));
    QPalette headingColours = ui->ESLabel1->palette();
    headingColours.setColor(QPalette::WindowText, deleting ? Qt::red : Qt::black);
    ui->ESLabel1->setPalette(headingColours);
    QPalette okColours = ui->OKSpeedButton->palette();
    okColours.setColor(QPalette::ButtonText, deleting ? Qt::red : Qt::black);
    ui->OKSpeedButton->setPalette(okColours);
    ui->OKSpeedButton->setText(deleting ? QStringLiteral("Löschen (F2)") : QStringLiteral("Speichern (F2)"));

    QWidget *box = ui->ScrollBoxContents;
    QWidget *previous = ui->HilfeBitBtn;
    int lastLine = 0;
    for (const EditorField &f : EditorFields(s.FieldDefinitions, s.ComboDefinitions)) {
        Row row;
        row.field = f;
        row.index = t ? t->fieldIndex(f.name) : -1;
        const int top = (f.line - 1) * kRowHeight;
        switch (f.control) {
        case EditorField::Control::Combo: {
            auto *c = new QComboBox(box);
            c->setObjectName(QStringLiteral("Combo_") + f.name);
            c->setEditable(true);
            c->setMaxVisibleItems(40);
            c->setInsertPolicy(QComboBox::NoInsert);
            c->addItems(f.items);
            c->lineEdit()->installEventFilter(this);
            c->setEnabled(!deleting);
            row.control = c;
            break;
        }
        case EditorField::Control::Check: {
            auto *c = new QCheckBox(box);
            c->setObjectName(QStringLiteral("Check_") + f.name);
            c->setEnabled(!deleting);
            // A new record starts marked and otherwise false.
            if (EditMode == 1 && row.index >= 0)
                t->setValue(row.index, f.name == QLatin1String("Selected"));
            row.control = c;
            break;
        }
        case EditorField::Control::Edit: {
            auto *e = new QLineEdit(box);
            e->setObjectName(QStringLiteral("Edit_") + f.name);
            if (row.index >= 0 && t->field(row.index).type == FieldType::String)
                e->setMaxLength(t->field(row.index).size);
            // The table gives its counter itself.
            e->setReadOnly(deleting || (row.index >= 0 && t->field(row.index).type == FieldType::AutoInc));
            row.control = e;
            break;
        }
        }
        if (row.index < 0)
            row.control->setEnabled(false);
        row.control->setGeometry(120, top, 250, kRowHeight);
        row.control->installEventFilter(this);
        if (EditMode == 1 && f.control != EditorField::Control::Check)
            m_rules->SetFieldDefault(f.name);
        auto *label = new QLabel(f.caption, box);
        label->setObjectName(QStringLiteral("Label_") + f.name);
        label->setGeometry(20, top + 2, 98, kRowHeight);
        label->lower();
        row.label = label;
        row.control->setVisible(!f.hidden);
        label->setVisible(!f.hidden);
        setTabOrder(previous, row.control);
        previous = row.control;
        lastLine = f.line;
        m_rows.append(row);
    }
    // A caption longer than the label column moves the fields over instead of being cut.
    int labelWidth = 98;
    for (const Row &r : std::as_const(m_rows))
        labelWidth = std::max(labelWidth, r.label->sizeHint().width());
    for (const Row &r : std::as_const(m_rows)) {
        r.label->resize(labelWidth, kRowHeight);
        r.control->move(22 + labelWidth, r.control->y());
    }
    box->resize(390 + labelWidth - 98, lastLine * kRowHeight + 4);
    resize(std::max(width(), box->width() + 21), height());
    loadControls();
}

void TEdForm::FreeEditorControls()
{
    for (const Row &r : std::as_const(m_rows)) {
        delete r.control;
        delete r.label;
    }
    m_rows.clear();
}

void TEdForm::loadControls()
{
    AddressTable *t = MainState().CurrentTable;
    for (const Row &r : std::as_const(m_rows)) {
        if (r.index < 0 || !t)
            continue;
        if (auto *c = qobject_cast<QCheckBox *>(r.control))
            c->setChecked(t->value(r.index).toBool());
        else if (auto *c = qobject_cast<QComboBox *>(r.control))
            c->setEditText(t->text(r.index));
        else if (auto *e = qobject_cast<QLineEdit *>(r.control))
            e->setText(t->text(r.index));
    }
}

bool TEdForm::applyControls()
{
    AddressTable *t = MainState().CurrentTable;
    for (const Row &r : std::as_const(m_rows)) {
        if (r.index < 0 || !r.control->isEnabled())
            continue;
        QVariant value;
        if (auto *c = qobject_cast<QCheckBox *>(r.control)) {
            // A blank stays blank until the box is ticked.
            if (c->isChecked() == t->value(r.index).toBool())
                continue;
            value = c->isChecked();
        } else {
            auto *e = qobject_cast<QLineEdit *>(r.control);
            const QString text = e ? e->text() : static_cast<QComboBox *>(r.control)->currentText();
            if ((e && e->isReadOnly()) || text == t->text(r.index))
                continue;
            value = text;
        }
        if ((t->state() == AddressTable::State::Browse && !t->edit()) || !t->setValue(r.index, value)) {
            error(QStringLiteral("%1: %2").arg(r.field.caption, t->lastError()));
            r.control->setFocus();
            return false;
        }
    }
    return true;
}

void TEdForm::OKSpeedButtonClick()
{
    CanCloseFlag = false;
    AddressTable *t = MainState().CurrentTable;
    if (!t) {
        CanCloseFlag = true;
        done(QDialog::Rejected);
        return;
    }
    if (EditMode == 2) {
        if (Messages::instance().show(MsgKind::Information, QStringLiteral("Datensatz wirklich löschen?"),
                                      {MsgButton::Yes, MsgButton::No}, MsgButton::No, QString()) == MsgButton::Yes &&
            !t->remove())
            error(t->lastError());
        CanCloseFlag = true;
        done(QDialog::Accepted);
        return;
    }
    if (!applyControls())
        return;
    const bool pending = t->state() == AddressTable::State::Edit || t->state() == AddressTable::State::Insert;
    if (pending && m_rules->ValidateRecord()) {
        if (EditMode == 1 && MainState().CheckNewAddresses && !ConfirmDuplicateMail())
            return;
        // A refused record stays in the dialog with what was typed, to be corrected.
        if (!t->post()) {
            error(t->lastError());
            return;
        }
    }
    CanCloseFlag = t->state() == AddressTable::State::Browse;
    if (CanCloseFlag)
        done(QDialog::Accepted);
}

void TEdForm::AbortSpeedButtonClick()
{
    AddressTable *t = MainState().CurrentTable;
    if (t && t->state() != AddressTable::State::Browse)
        t->cancel();
    CanCloseFlag = true;
    done(QDialog::Rejected);
}

void TEdForm::HilfeBitBtnClick()
{
    OpenHelpPage();
}

bool TEdForm::ConfirmDuplicateMail()
{
    AddressTable *t = MainState().CurrentTable;
    QStringList stored;
    if (!StoredAddressesHolding(*t, t->text(QStringLiteral("Mail")), &stored)) {
        error(t->lastError());
        return false;
    }
    bool result = true;
    for (const QString &address : std::as_const(stored))
        result = question(QStringLiteral("Ein Datensatz mit der Emailadresse ") + address +
                          QStringLiteral(" befindet sich bereits in der Datenbank! Wollen Sie diesen Datensatz "
                                         "trotzdem hinzufügen???"));
    return result;
}

void TEdForm::done(int result)
{
    if (CanCloseFlag)
        QDialog::done(result);
}

void TEdForm::reject()
{
    AbortSpeedButtonClick();
}

void TEdForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->HilfeBitBtn->setFocus();
}

bool TEdForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_PageDown: focusNextChild(); return true;
    case Qt::Key_PageUp: focusPreviousChild(); return true;
    case Qt::Key_F2: OKSpeedButtonClick(); return true;
    case Qt::Key_Escape: AbortSpeedButtonClick(); return true;
    default: return QDialog::eventFilter(watched, event);
    }
}

} // namespace vt
