#include "suscribeform.h"
#include "ui_suscribeform.h"

#include "addresstable.h"
#include "crashreport.h"
#include "enterpriseoptionsform.h"
#include "inifile.h"
#include "mainstate.h"
#include "messages.h"
#include "optionsform.h"
#include "paths.h"
#include "text.h"
#include "tracking.h"
#include "webcontrols.h"

#include <QGuiApplication>
#include <QShowEvent>

namespace vt {

namespace {

// The hourglass for as long as the object lives.
struct WaitCursor
{
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

const QString kFailedStatus = QStringLiteral("Bestellungen / Abbestellungen abholen - Fehler!");

} // namespace

TSuscribeForm::TSuscribeForm(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(new Ui::TSuscribeForm)
{
    ui->setupUi(this);
    connect(ui->GetOrdersBitBtn, &QPushButton::clicked, this,
            [this] { Guard("TSuscribeForm.GetOrdersBitBtnClick", [this] { GetOrdersBitBtnClick(); }); });
    connect(ui->InDatabaseBitBtn, &QPushButton::clicked, this,
            [this] { Guard("TSuscribeForm.InDatabaseBitBtnClick", [this] { InDatabaseBitBtnClick(); }); });
    connect(ui->CloseBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->OnlyInvalidCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        if (on && NoticeArmed)
            plain(QStringLiteral("Diese Einstellung ist nur einmalig aktiv, möchten Sie dieses Verhalten dauerhaft "
                                 "einstellen, aktivieren Sie die Option\nunter \"Web und Newsletter -> "
                                 "Automatisches abholen von Bestellungen einrichten\"!"));
        if (on)
            NoticeArmed = true;
    });
}

TSuscribeForm::~TSuscribeForm()
{
    delete ui;
}

void TSuscribeForm::FormCreate()
{
    ShowWebHeader(ui->Image1);
}

void TSuscribeForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Guard("TSuscribeForm.FormShow", [this] { FormShow(); });
}

void TSuscribeForm::FormShow()
{
    NoticeArmed = false;
    ui->PageControl1->setCurrentIndex(0);
    ui->GesamtLabel->setText(QStringLiteral("Gesamteinträge:"));
    ui->SuscribeLabel->setText(QStringLiteral("Bestellungen:"));
    ui->UnsuscribeLabel->setText(QStringLiteral("Abbestellungen:"));
    for (QProgressBar *bar : {ui->GesamtProgressBar, ui->SuscribeProgressBar, ui->UnsuscribeProgressBar})
        bar->setValue(0);
    ui->StatusLabel->setText(QStringLiteral("Bestellungen / Abbestellungen von Ihrer Internetseite abholen"));
    ui->InDatabaseBitBtn->setEnabled(false);
    m_canApply = false;
    m_found = {};
    ui->CheckListBox1->clear();
    ui->SuscribeMemo->clear();
    ui->UnsuscribeMemo->clear();
    const QString file = MainState().WebSettingsFile;
    if (file.isEmpty() || !IsFile(file)) {
        ui->OnlyInvalidCheckBox->setChecked(false);
        return;
    }
    ui->OnlyInvalidCheckBox->setChecked(IniFile(file).readString(kWebSettingsSection, QStringLiteral("Invalid"),
                                                                 QStringLiteral("False")) == QLatin1String("True"));
    NoticeArmed = true;
}

void TSuscribeForm::setStatus(const QString &text)
{
    ui->StatusLabel->setText(text);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TSuscribeForm::answerUsable(const ListAnswer &answer)
{
    switch (answer.status) {
    case ListAnswer::Status::Ok: return true;
    case ListAnswer::Status::Refused:
        error(QStringLiteral("FEHLER!\nDas online hinterlegte Passwort stimmt nicht mit dem im Programm vergebenen "
                             "überein.\nBitte aktualisieren Sie die Ihre Daten online! Indem Sie das \n\"Automatische "
                             "Abholen von Bestellungen\" neu einrichten."));
        break;
    case ListAnswer::Status::Html:
    case ListAnswer::Status::Failed:
        error(QStringLiteral("FEHLER!\n\nEntweder:\n\nIm angegebenen Onlinepfad\n") + Settings->Values.OnlinePath +
              QStringLiteral("\nbefinden sich nicht die aktuellen Formulare und Scripte! Bitte stellen Sie zuerst Ihre "
                             "Formulare und Scripte mit Ihrem FTP-Programm online!\n\noder:\nSie sind nicht mit dem "
                             "Internet verbunden! Bitte stellen Sie eine Internetverbindung her!\n") +
              (answer.error.isEmpty() ? QString() : QStringLiteral("\n(") + answer.error + QLatin1Char(')')));
        break;
    }
    setStatus(kFailedStatus);
    return false;
}

void TSuscribeForm::showStatistics(int total, int subscriptions, int unsubscriptions)
{
    ui->GesamtLabel->setText(QStringLiteral("Gesamteinträge: 100% (%1 Stück)").arg(total));
    ui->GesamtProgressBar->setValue(100);
    const int s = RoundedPercent(subscriptions, total), u = RoundedPercent(unsubscriptions, total);
    ui->SuscribeLabel->setText(QStringLiteral("Davon neue Bestellungen: %1% (%2 Stück)").arg(s).arg(subscriptions));
    ui->SuscribeProgressBar->setValue(s);
    ui->UnsuscribeLabel->setText(
        QStringLiteral("Davon neue Abbestellungen: %1% (%2 Stück)").arg(u).arg(unsubscriptions));
    ui->UnsuscribeProgressBar->setValue(u);
}

void TSuscribeForm::GetOrdersBitBtnClick()
{
    if (!Settings)
        return;
    const QString password = Settings->Values.OnlinePassword;
    if (Trimmed(password).isEmpty() &&
        Messages::instance().show(
            MsgKind::Warning,
            QStringLiteral("Achtung! Sie verwenden derzeit noch die alte, ungesicherte Methode um Ihre Einträge online "
                           "abzuholen, wir empfehlen Ihnen alle Einträge abzuholen und danach unter dem Punkt "
                           "\"Automatisches Abholen von Bestellungen einrichten\" Ihre automatische Abholung zu "
                           "aktualisieren! Möchten Sie mit der Abholung forfahren?"),
            {MsgButton::Yes, MsgButton::No}, MsgButton::No) != MsgButton::Yes)
        return;

    const WaitCursor cursor;
    m_canApply = false;
    ui->InDatabaseBitBtn->setEnabled(false);
    ui->CheckListBox1->clear();
    m_found = {};
    for (QProgressBar *bar : {ui->GesamtProgressBar, ui->SuscribeProgressBar, ui->UnsuscribeProgressBar})
        bar->setValue(0);
    if (Options)
        m_http.setProxy(Options->proxySettings());
    SubscriptionServer server(m_http, Settings->Values.OnlinePath, password);
    server.ping();

    setStatus(QStringLiteral("Bestellungen abholen, bitte warten..."));
    const ListAnswer in = server.fetchList(true);
    ui->SuscribeMemo->setPlainText(in.lines.join(QLatin1Char('\n')));
    if (!answerUsable(in))
        return;
    const ListAnswer out = server.fetchList(false);
    ui->UnsuscribeMemo->setPlainText(out.lines.join(QLatin1Char('\n')));
    if (!answerUsable(out))
        return;

    setStatus(QStringLiteral("Bestellungen: Neueinträge ermitteln, bitte warten... "));
    AddressTable *table = MainState().CurrentTable;
    if (!table) {
        error(QStringLiteral("Keine Datenbank zum eintragen der Bestellungen/Abbestellungen geöffnet!"));
        setStatus(kFailedStatus);
        return;
    }
    m_found = CompareOrders(in.lines, out.lines, *table);
    if (!m_found.error.isEmpty()) {
        error(m_found.error);
        setStatus(kFailedStatus);
        return;
    }
    for (int i = 0; i < m_found.entries.size(); ++i) {
        const ListEntry &e = m_found.entries.at(i);
        auto *item = new QListWidgetItem((e.kind == EntryKind::Unsubscription ? QStringLiteral("Abbestellung | ")
                                                                              : QStringLiteral("Bestellung | ")) +
                                             e.address,
                                         ui->CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, i);
    }
    // Lines no entry can be made of are shown, so nothing is emptied on the server unseen.
    for (const ListEntry &e : std::as_const(m_found.unusable))
        new QListWidgetItem(QStringLiteral("Ungültig | ") + e.line, ui->CheckListBox1);
    showStatistics(m_found.total, m_found.subscriptions, m_found.unsubscriptions);
    m_markIn = in.mark;
    m_markOut = out.mark;
    setStatus(QStringLiteral("Bestellungen / Abbestellungen abgeholt - fertig"));
    m_canApply = true;
    ui->InDatabaseBitBtn->setEnabled(true);
}

void TSuscribeForm::InDatabaseBitBtnClick()
{
    AddressTable *table = MainState().CurrentTable;
    if (!table || !m_canApply || !Settings)
        return;
    m_canApply = false;
    ui->InDatabaseBitBtn->setEnabled(false);
    QList<ListEntry> ticked;
    for (int row = 0; row < ui->CheckListBox1->count(); ++row) {
        const QListWidgetItem *item = ui->CheckListBox1->item(row);
        const QVariant index = item->data(Qt::UserRole);
        if (index.isValid() && item->checkState() == Qt::Checked)
            ticked.append(m_found.entries.at(index.toInt()));
    }

    const WaitCursor cursor;
    const ApplyResult applied = ApplyOrders(*table, ticked, ui->OnlyInvalidCheckBox->isChecked());
    MainState().ShowRecordCount();
    if (!applied.ok) {
        error(QStringLiteral("Die Bestellungen und Abbestellungen konnten nicht in die Datenbank übernommen werden; "
                             "die Datenbank ist unverändert.\n") +
              applied.error);
        m_canApply = true;
        ui->InDatabaseBitBtn->setEnabled(true);
        return;
    }
    setStatus(QStringLiteral("Online-Listen leeren, bitte warten..."));
    const QString problem = SubscriptionServer(m_http, Settings->Values.OnlinePath, Settings->Values.OnlinePassword)
                                .wipe(m_markIn, m_markOut);
    if (problem.isEmpty()) {
        accept();
        return;
    }
    setStatus(QStringLiteral("Übernommen - die Online-Listen wurden nicht geleert!"));
    error(
        QStringLiteral("Die Einträge wurden in die Datenbank übernommen, aber die Online-Listen konnten nicht geleert "
                       "werden:\n") +
        problem +
        QStringLiteral("\n\nHolen Sie die Bestellungen später erneut ab: bereits übernommene Einträge werden dabei "
                       "erkannt und nicht noch einmal eingetragen."));
}

} // namespace vt
