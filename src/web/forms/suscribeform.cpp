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
const QString kCancelledStatus = QStringLiteral("Bestellungen / Abbestellungen abholen - abgebrochen");

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

SubscriptionServer TSuscribeForm::server()
{
    if (Options)
        m_http.setProxy(Options->proxySettings());
    return SubscriptionServer(m_http, Settings->Values.OnlinePath, Settings->Values.OnlinePassword, RequestLimits);
}

bool TSuscribeForm::answerUsable(const ListAnswer &answer, bool subscriptions)
{
    switch (answer.status) {
    case ListAnswer::Status::Ok: return true;
    case ListAnswer::Status::Cancelled: setStatus(kCancelledStatus); return false;
    case ListAnswer::Status::Refused:
        error(QStringLiteral("FEHLER!\nDas online hinterlegte Passwort stimmt nicht mit dem im Programm vergebenen "
                             "überein.\nBitte aktualisieren Sie die Ihre Daten online! Indem Sie das \n\"Automatische "
                             "Abholen von Bestellungen\" neu einrichten."));
        break;
    case ListAnswer::Status::Incomplete:
        // Applying a cut list would read its cut last line as something else (a
        // subscription cut after its time reads as an unsubscription).
        error(QStringLiteral("FEHLER!\nDie Liste der %1 ist nicht vollständig angekommen: ihr Ende fehlt, vermutlich "
                             "wurde die Verbindung vorzeitig getrennt.\n\nEs wurde nichts in die Datenbank übernommen "
                             "und auf dem Server nichts gelöscht. Bitte holen Sie die Einträge erneut ab. Tritt der "
                             "Fehler wieder auf, stellen Sie Ihre Formulare und Scripte erneut online.")
                  .arg(subscriptions ? QStringLiteral("Bestellungen") : QStringLiteral("Abbestellungen")));
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
            {MsgButton::Yes, MsgButton::No}, MsgButton::No, QString()) != MsgButton::Yes)
        return;

    const WaitCursor cursor;
    m_canApply = false;
    ui->InDatabaseBitBtn->setEnabled(false);
    ui->CheckListBox1->clear();
    m_found = {};
    for (QProgressBar *bar : {ui->GesamtProgressBar, ui->SuscribeProgressBar, ui->UnsuscribeProgressBar})
        bar->setValue(0);
    SubscriptionServer scripts = server();
    if (!scripts.ping()) {
        setStatus(kCancelledStatus);
        return;
    }

    setStatus(QStringLiteral("Bestellungen abholen, bitte warten..."));
    const ListAnswer in = scripts.fetchList(true);
    ui->SuscribeMemo->setPlainText(in.lines.join(QLatin1Char('\n')));
    if (!answerUsable(in, true))
        return;
    const ListAnswer out = scripts.fetchList(false);
    ui->UnsuscribeMemo->setPlainText(out.lines.join(QLatin1Char('\n')));
    if (!answerUsable(out, false))
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
    const WipeResult wiped = server().wipe(m_markIn, m_markOut);
    QString what, status;
    switch (wiped.emptied) {
    case WipeResult::Emptied::Both: accept(); return;
    case WipeResult::Emptied::None:
        what = QStringLiteral("auf dem Server wurde keine der beiden Listen geleert");
        status = QStringLiteral("Übernommen - die Online-Listen wurden nicht geleert!");
        break;
    case WipeResult::Emptied::SubscriptionsOnly:
        what = QStringLiteral("auf dem Server wurde nur die Liste der Bestellungen geleert, die Liste der "
                              "Abbestellungen nicht");
        status = QStringLiteral("Übernommen - die Liste der Abbestellungen wurde nicht geleert!");
        break;
    case WipeResult::Emptied::Unknown:
        what = QStringLiteral("ob die Listen auf dem Server geleert wurden, ist nicht bekannt");
        status = QStringLiteral("Übernommen - ob die Online-Listen geleert wurden, ist nicht bekannt!");
        break;
    }
    setStatus(status);
    error(QStringLiteral("Die Einträge wurden in die Datenbank übernommen, aber %1:\n%2\n\nHolen Sie die "
                         "Bestellungen später erneut ab: bereits übernommene Einträge werden dabei erkannt und nicht "
                         "noch einmal eingetragen.")
              .arg(what, wiped.reason));
}

} // namespace vt
