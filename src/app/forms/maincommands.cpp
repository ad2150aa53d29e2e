// The commands of the main window: the menus, the toolbar above the grid, the
// button bar, the grid's context menu and keys, and the commands that work on
// the grid itself.
#include "crashreport.h"
#include "dbgrid.h"
#include "definitionfiles.h"
#include "enterpriselinksform.h"
#include "enterpriseoptionsform.h"
#include "exportrun.h"
#include "exportwizardform.h"
#include "filter.h"
#include "forms.h"
#include "grussformelform.h"
#include "importaccountsform.h"
#include "importaccountsoutlookform.h"
#include "inifile.h"
#include "logforms.h"
#include "mainform.h"
#include "messages.h"
#include "modal.h"
#include "newwizform.h"
#include "onlineupdate.h"
#include "optionsform.h"
#include "paths.h"
#include "sendrunguard.h"
#include "shell.h"
#include "startmailer.h"
#include "statsform.h"
#include "suscribeform.h"
#include "text.h"
#include "tracking.h"
#include "wizardimportform.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <optional>

namespace vt {

namespace {

const QString kOpenDatabaseFirst = QStringLiteral("Zuerst Datenbank öffnen!");
const QString kOpenADatabaseFirst = QStringLiteral("Öffnen Sie zuerst eine Datenbank!");
const QString kMarkedFilter = QStringLiteral("Selected='True'");

using W = WithoutDatabase;
using H = HookRule;

// The icon of the mail commands: a letter envelope.
QIcon envelopeIcon()
{
    QPixmap p(22, 22);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(22, 58, 112), 1.4));
    g.setBrush(Qt::white);
    g.drawRect(QRectF(2.5, 5.5, 17, 12));
    g.drawPolyline(QPolygonF({{2.5, 5.5}, {11, 12.5}, {19.5, 5.5}}));
    return QIcon(p);
}

} // namespace

const QList<TMainCommand> &MainCommands()
{
    // name, caption, key, without a database, message hook, refused during a send run, check item
    static const QList<TMainCommand> commands{
        // &Programm
        {"SerienEmailschreiben1", "Serien-E-Mail schreiben", "F2", W::Refuse, H::Removed, true, false},
        {"Newsletterdesignen1", "Newsletter designen", nullptr, W::Ignore, H::None, false, false},
        {"Options", "Optionen", nullptr, W::Ignore, H::Removed, false, false},
        {"DatenstzeImportieren1", "Datensätze importieren", nullptr, W::Refuse, H::Removed, true, false},
        {"Datenstzeexportieren1", "Datensätze exportieren", nullptr, W::Refuse, H::Removed, false, false},
        {"Beenden1", "Beenden", "Alt+X", W::Ignore, H::None, false, false},
        // &Bearbeiten
        {"NewRec", "&Neuen Datensatz eingeben", "F5", W::Refuse, H::Removed, true, false},
        {"EditRec", "&Bearbeite vorhandenen Datensatz", "F4", W::Refuse, H::Removed, true, false},
        {"DeleteRec", "&Lösche vorhandenen Datensatz", "F8", W::Refuse, H::Removed, true, false},
        {"Suchen1", "&Suche in Datenbank", "F3", W::Refuse, H::Removed, false, false},
        // &Spezial
        {"Filter1", "&Filter", "F6", W::Refuse, H::Removed, false, false},
        {"Platzhalter", "Platzhalter anzeigen", nullptr, W::Refuse, H::None, false, false},
        {"BearbeitenimGrid1", "&Datensätze in der Tabelle bearbeiten", nullptr, W::Refuse, H::None, false, true},
        {"LogDateimitzuletztversendetenEmails1", "Log Datei mit zuletzt versendeten E-Mails", nullptr, W::Ignore,
         H::Removed, false, false},
        {"OutlookmitderselektiertenEmailstarten1", "Standardmailer mit der selektierten E-Mail starten", nullptr,
         W::Refuse, H::None, false, false},
        {"BCCinsClipbord1", "Markierte E-Mails ins Clipbord kopieren", nullptr, W::RefuseWeb, H::None, false, false},
        {"N250erBCCStringinDateien", "E-Mails in Datei(en) kopieren. 250 Mails pro Datei", nullptr, W::RefuseWeb,
         H::None, false, false},
        {"MarkierenvonIDbisID1", "Markieren von ID bis ID", nullptr, W::Refuse, H::Kept, true, false},
        {"MarkierenallerDatenstzemitbestimmtenWortlaut1", "Alle Datensätze mit bestimmten Text markieren", nullptr,
         W::Refuse, H::Removed, true, false},
        {"AlleInvalidzurcksetzen1", "Alle Invalid zurücksetzen", nullptr, W::Silent, H::None, true, false},
        {"Spalteninhaltlschensetzen1", "Spalteninhalt löschen/setzen", nullptr, W::Refuse, H::Kept, true, false},
        // The top-level entry
        {"Grussormel1", "Grußformel", nullptr, W::Ignore, H::Removed, false, false},
        // &Prüfung
        {"EmailAdressenaufGltigkeitberprfen2", "E-Mail-Adressen auf Gültigkeit überprüfen", nullptr, W::Refuse, H::None,
         true, false},
        {"TransactionlogwrdendesMailversandes1", "Transaction.log während des Mailversandes", nullptr, W::Ignore,
         H::None, false, true},
        {"NachdoppeltenEmailadressenprfen1", "Eingabeprüfung E-Mail-Adresse", nullptr, W::Ignore, H::None, false, true},
        {"DatenbankWartung1", "Datenbank Wartung/Reparatur", nullptr, W::Silent, H::None, true, false},
        // &Löschen
        {"AllemarkiertenDatenstzelschen2", "Alle markierten Datensätze löschen", nullptr, W::Refuse, H::None, true,
         false},
        {"DoppelteEmailAdressenlschen1", "Doppelte Datensätze löschen", nullptr, W::Refuse, H::Removed, true, false},
        {"SelektivesLschendoppelterDatenstze1", "Selektives Löschen doppelter Datensätze", nullptr, W::Refuse, H::Kept,
         true, false},
        {"Datenbankkomplettleeren1", "Datenbank komplett leeren", nullptr, W::Refuse, H::None, true, false},
        {"AlleinvalidenDatenstzelschen1", "Alle invaliden Datensätze löschen", nullptr, W::Refuse, H::None, true,
         false},
        // Datensicherung
        {"Backup2", "Datenbank(en) sichern", nullptr, W::Ignore, H::Removed, false, false},
        {"Restore1", "Datenbank(en) wiederherstellen", nullptr, W::Ignore, H::Removed, true, false},
        // Datenbanken
        {"Datenbankffnen2", "Datenbank öffnen", "F12", W::Ignore, H::Removed, true, false},
        {"NeueDatenbankerzeugen1", "Neue frei definierbare Datenbank erzeugen", nullptr, W::Ignore, H::Kept, true,
         false},
        {"Datenbanklschen2", "Datenbank löschen", nullptr, W::Ignore, H::Removed, true, false},
        {"Datentransfer1", "Datentransfer zwischen den Datenbanken", nullptr, W::Refuse, H::Removed, true, false},
        // Mehrplatz
        {"BetriebsanleitungMehrplatzversion1", "Mehrplatzversion einrichten", nullptr, W::Ignore, H::Removed, false,
         false},
        // Web u. Newsletter
        {"NeueEintrageabholen1", "Bestellungen/Abbestellungen von Ihrer Internetseite abholen", "F10", W::RefuseWeb,
         H::Removed, true, false},
        {"Links1", "Links zu Statistik und Bestell-Datenbank", "F11", W::RefuseWeb, H::Removed, false, false},
        {"Bestellformular1", "Automatisches Abholen von Bestellungen einrichten", nullptr, W::RefuseWeb, H::Removed,
         false, false},
        {"Newsletterstatistikeinrichten1", "Newslettertracking einrichten", nullptr, W::RefuseWeb, H::Removed, false,
         false},
        // &Hilfe
        {"Hilfedatei1", "&Hilfedatei", "F1", W::Ignore, H::None, false, false},
        {"NachUpdatessuchen1", "beim Programmstart auf Update prüfen", nullptr, W::Ignore, H::None, false, true},
        {"Update1", "Jetzt auf Updates überprüfen", nullptr, W::Ignore, H::None, false, false},
        {"Info1", "&Info", nullptr, W::Ignore, H::Removed, false, false},
        // The grid's context menu
        {"OutlookStarten", "Outlook mit der selektierten Email starten", nullptr, W::Refuse, H::None, false, false},
        {"CopyDBGridToClipboard", "Ausdruck ins Clipboard kopieren", nullptr, W::Silent, H::None, false, false},
        // Commands of the toolbar and the button bar alone
        {"ImportBitBtn", "Datensatz suchen (F3)", nullptr, W::Refuse, H::Removed, false, false},
        {"SearchTB", "Sucht nach Adressen in der Datenbank (F3)", nullptr, W::Refuse, H::Removed, false, false},
        {"SelectAllTB", "alle Adressen markieren", nullptr, W::Silent, H::None, true, false},
        {"UnselectAllTB", "alle Adressen unmarkieren", nullptr, W::Silent, H::None, true, false},
        {"FilterBtn", "Gewählten Filter einschalten (F9)", nullptr, W::Refuse, H::None, false, false},
        {"FirstButton", "Erster Datensatz", nullptr, W::Refuse, H::None, false, false},
        {"LastButton", "Letzter Datensatz", nullptr, W::Refuse, H::None, false, false},
    };
    return commands;
}

// ---------------------------------------------------------------------------
// Building the command surface

void TMainForm::buildMenus()
{
    for (const TMainCommand &c : MainCommands()) {
        const QString name = QLatin1String(c.name);
        auto *a = new QAction(QString::fromUtf8(c.caption), this);
        a->setObjectName(name);
        if (c.key)
            a->setShortcut(QKeySequence(QLatin1String(c.key)));
        a->setCheckable(c.checkable);
        addAction(a); // the shortcut works wherever the focus is in the window
        m_actions.insert(name, a);
        m_commands.insert(name, &c);
        connect(a, &QAction::triggered, this, [this, a, name] {
            // A check item keeps its mark until its command sets it.
            if (a->isCheckable() && !m_handlers.contains(name))
                a->setChecked(!a->isChecked());
            Guard(qPrintable(QStringLiteral("TMainForm.") + name), [&] { runCommand(name); });
            // The bar finishes its own handling of the key or click first.
            if (!a->menu() && menuBar()->actions().contains(a))
                QTimer::singleShot(0, this, [this] { leaveMenuBar(); });
        });
    }
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [&](const char *name, const char *caption, std::initializer_list<const char *> entries) {
        QMenu *m = bar->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QLatin1String(name));
        for (const char *e : entries) {
            if (e)
                m->addAction(commandAction(QLatin1String(e)));
            else
                m->addSeparator();
        }
    };
    menu("Programm1", "&Programm",
         {"SerienEmailschreiben1", "Newsletterdesignen1", nullptr, "Options", nullptr, "DatenstzeImportieren1",
          "Datenstzeexportieren1", nullptr, "Beenden1"});
    menu("Bearbeiten1", "&Bearbeiten", {"NewRec", "EditRec", "DeleteRec", nullptr, "Suchen1"});
    menu("Spezial1", "&Spezial",
         {"Filter1", "Platzhalter", "BearbeitenimGrid1", "LogDateimitzuletztversendetenEmails1",
          "OutlookmitderselektiertenEmailstarten1", nullptr, "BCCinsClipbord1", "N250erBCCStringinDateien", nullptr,
          "MarkierenvonIDbisID1", "MarkierenallerDatenstzemitbestimmtenWortlaut1", "AlleInvalidzurcksetzen1",
          "Spalteninhaltlschensetzen1"});
    bar->addAction(commandAction(QStringLiteral("Grussormel1")));
    connect(qApp, &QApplication::focusChanged, this, [this, bar](QWidget *old, QWidget *now) {
        if (now == bar && old && old != bar && old->window() == this)
            m_focusBeforeMenuBar = old;
    });
    menu("Pruefung1", "&Prüfung",
         {"EmailAdressenaufGltigkeitberprfen2", nullptr, "TransactionlogwrdendesMailversandes1",
          "NachdoppeltenEmailadressenprfen1", nullptr, "DatenbankWartung1"});
    menu("Loeschen1", "&Löschen",
         {"AllemarkiertenDatenstzelschen2", "DoppelteEmailAdressenlschen1", "SelektivesLschendoppelterDatenstze1",
          nullptr, "Datenbankkomplettleeren1", "AlleinvalidenDatenstzelschen1"});
    menu("Datensicherung1", "Datensicherung", {"Backup2", "Restore1"});
    menu("Datenbanken1", "Datenbanken",
         {"Datenbankffnen2", "NeueDatenbankerzeugen1", "Datenbanklschen2", nullptr, "Datentransfer1"});
    menu("Mehrplatz1", "Mehrplatz", {"BetriebsanleitungMehrplatzversion1"});
    menu("WebuNewsletter1", "Web u. Newsletter",
         {"NeueEintrageabholen1", "Links1", nullptr, "Bestellformular1", "Newsletterstatistikeinrichten1"});
    menu("Hilfe1", "&Hilfe", {"Hilfedatei1", nullptr, "NachUpdatessuchen1", "Update1", nullptr, "Info1"});

    m_gridPopup = new QMenu(this);
    m_gridPopup->setObjectName(QStringLiteral("DBGridPopupMenu"));
    m_gridPopup->addAction(commandAction(QStringLiteral("OutlookStarten")));
    m_gridPopup->addAction(commandAction(QStringLiteral("CopyDBGridToClipboard")));
}

void TMainForm::leaveMenuBar()
{
    QMenuBar *bar = menuBar();
    // A menu the user has opened since stays open.
    if (bar->activeAction() && bar->activeAction()->menu())
        return;
    // The bar's own way out (as Escape on it): no entry chosen, out of its keyboard mode.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &escape);
    // The window gives the keyboard to the bar again when it is active once more
    // after the command's dialog; it goes back where it was before.
    if (focusWidget() == bar || !focusWidget()) {
        QWidget *back = m_focusBeforeMenuBar && m_focusBeforeMenuBar->isVisible() ? m_focusBeforeMenuBar.data()
                                                                                  : static_cast<QWidget *>(DBGrid1);
        back->setFocus(Qt::MenuBarFocusReason);
    }
}

QToolButton *TMainForm::toolButton(QToolBar *bar, const QString &name, const QString &command, const QString &hint,
                                   int icon)
{
    auto *b = new QToolButton;
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // the keyboard stays with the grid
    if (icon >= 0)
        b->setIcon(style()->standardIcon(QStyle::StandardPixmap(icon)));
    else
        b->setIcon(envelopeIcon());
    b->setIconSize(QSize(20, 20));
    QAction *a = commandAction(command);
    connect(b, &QToolButton::clicked, a, &QAction::trigger);
    bar->addWidget(b);
    return b;
}

QWidget *TMainForm::buildToolbar()
{
    // The toolbar lies on a panel with a gradient behind it.
    auto *panel = new QWidget;
    panel->setObjectName(QStringLiteral("JvGradient2"));
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(QStringLiteral("#JvGradient2 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                                        "stop:0 #dfe9f5, stop:1 #a9c6e8); }"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 8, 2);
    auto *bar = new QToolBar;
    bar->setObjectName(QStringLiteral("AdvToolBar1")); // the toolbar above the grid
    bar->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    toolButton(bar, QStringLiteral("SearchTB"), QStringLiteral("SearchTB"),
               QStringLiteral("Sucht nach Adressen in der Datenbank (F3)"), QStyle::SP_FileDialogContentsView);
    toolButton(bar, QStringLiteral("UniversalFilterTB"), QStringLiteral("Filter1"),
               QStringLiteral("Filtern von Adressen nach bestimmten Kriterien (F6)"),
               QStyle::SP_FileDialogDetailedView);
    // ToolButton3: the serial e-mail; ToolButton1: marking records by text.
    toolButton(bar, QStringLiteral("ToolButton3"), QStringLiteral("SerienEmailschreiben1"),
               QStringLiteral("Schreibt ein Serienemail an alle markierten Adressen in der Datenbank"), -1);
    bar->addSeparator();
    toolButton(bar, QStringLiteral("ToolButton1"), QStringLiteral("MarkierenallerDatenstzemitbestimmtenWortlaut1"),
               QStringLiteral("Alle Datensätze mit folgendem Text markieren"), QStyle::SP_FileDialogInfoView);
    toolButton(bar, QStringLiteral("SelectAllTB"), QStringLiteral("SelectAllTB"),
               QStringLiteral("alle Adressen markieren"), QStyle::SP_DialogApplyButton);
    toolButton(bar, QStringLiteral("UnselectAllTB"), QStringLiteral("UnselectAllTB"),
               QStringLiteral("alle Adressen unmarkieren"), QStyle::SP_DialogCancelButton);
    bar->addSeparator();
    toolButton(bar, QStringLiteral("FilterBtn"), QStringLiteral("FilterBtn"),
               QStringLiteral("Gewählten Filter einschalten (F9)"), QStyle::SP_FileDialogListView);
    m_filterBox = new QComboBox;
    m_filterBox->setObjectName(QStringLiteral("ComboBox1"));
    m_filterBox->setToolTip(QStringLiteral("Filtern der Datenbank nach vorgegeben Kriterien"));
    m_filterBox->setMinimumContentsLength(24);
    m_filterBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_filterBox, &QComboBox::activated, this,
            [this](int index) { Guard("TMainForm.ComboBox1Change", [&] { ComboBox1Change(index); }); });
    bar->addWidget(m_filterBox);
    bar->addSeparator();
    for (const auto &[name, caption, hint, icon] :
         {std::tuple{"FirstButton", "Erster Datensatz", "Zum ersten Datenatz springen", QStyle::SP_MediaSkipBackward},
          std::tuple{"LastButton", "Letzter Datensatz", "Zum letzten Datenatz springen",
                     QStyle::SP_MediaSkipForward}}) {
        QToolButton *b = toolButton(bar, QLatin1String(name), QLatin1String(name), QString::fromUtf8(hint), icon);
        b->setText(QString::fromUtf8(caption));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    row->addWidget(bar, 1);
    return panel;
}

QWidget *TMainForm::buildButtonBar()
{
    auto *panel = new QWidget;
    panel->setObjectName(QStringLiteral("BottomButtonsPanel"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 4, 6, 4);
    // Each command twice, as a button and as a button of the toolbar beside it,
    // both triggering the command; the buttons are the ones shown.
    auto *glow = new QToolBar;
    glow->setObjectName(QStringLiteral("AdvToolBar2"));
    glow->setToolButtonStyle(Qt::ToolButtonTextOnly);
    glow->hide();
    const struct
    {
        const char *button, *glowButton, *caption, *glowCaption, *command;
        int icon;
    } buttons[] = {
        {"NewBitBtn", "FirstButton1", "Neuer Datensatz (F5)", nullptr, "NewRec", QStyle::SP_FileIcon},
        {"EditBitBtn", "AdvGlowButton7", "Datensatz bearbeiten (F4)", nullptr, "EditRec",
         QStyle::SP_FileDialogDetailedView},
        {"DeleteBitBtn", "AdvGlowButton5", "Datensatz löschen (F8)", nullptr, "DeleteRec", QStyle::SP_TrashIcon},
        {"MailBitBtn", "AdvGlowButton4", "Serien-E-Mail senden (F2)", "Serien E-Mail senden (F2)",
         "SerienEmailschreiben1", -1},
        {"ImportBitBtn", "AdvGlowButton3", "Datensatz suchen (F3)", nullptr, "ImportBitBtn",
         QStyle::SP_FileDialogContentsView},
        {"Exe", "AdvGlowButton2", "Newsletter designen", nullptr, "Newsletterdesignen1", QStyle::SP_DesktopIcon},
        {"OpenModeBitBtn", "AdvGlowButton1", "DB öffnen (F12)", nullptr, "Datenbankffnen2", QStyle::SP_DirOpenIcon},
    };
    for (const auto &b : buttons) {
        QAction *a = commandAction(QLatin1String(b.command));
        auto *button = new QPushButton(QString::fromUtf8(b.caption));
        button->setObjectName(QLatin1String(b.button));
        button->setIcon(b.icon >= 0 ? style()->standardIcon(QStyle::StandardPixmap(b.icon)) : envelopeIcon());
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, a, &QAction::trigger);
        row->addWidget(button);
        auto *g = new QToolButton;
        g->setObjectName(QLatin1String(b.glowButton));
        g->setText(QString::fromUtf8(b.glowCaption ? b.glowCaption : b.caption));
        connect(g, &QToolButton::clicked, a, &QAction::trigger);
        glow->addWidget(g);
        if (QLatin1String(b.button) == QLatin1String("OpenModeBitBtn")) {
            m_openModeBitBtn = button;
            m_openModeGlowButton = g;
        }
    }
    row->addStretch(1);
    row->addWidget(glow);
    return panel;
}

void TMainForm::wireCommands()
{
    auto on = [this](const char *name, void (TMainForm::*handler)()) {
        setCommandHandler(QLatin1String(name), [this, handler] { (this->*handler)(); });
    };
    on("SerienEmailschreiben1", &TMainForm::MailBitBtnClick);
    setCommandHandler(QStringLiteral("Beenden1"), [this] { close(); });
    on("BearbeitenimGrid1", &TMainForm::BearbeitenimGrid1Click);
    on("TransactionlogwrdendesMailversandes1", &TMainForm::TransactionlogwrdendesMailversandes1Click);
    on("NachdoppeltenEmailadressenprfen1", &TMainForm::NachdoppeltenEmailadressenprfen1Click);
    on("OutlookmitderselektiertenEmailstarten1", &TMainForm::OutlookEMailBitBtnClick);
    on("OutlookStarten", &TMainForm::OutlookEMailBitBtnClick);
    on("CopyDBGridToClipboard", &TMainForm::CopyDBGridToClipboardClick);
    on("FirstButton", &TMainForm::FirstButtonClick);
    on("LastButton", &TMainForm::LastButtonClick);
    setCommandHandler(QStringLiteral("Grussormel1"), [] { Modal::exec(GrussformelForm()); });
    setCommandHandler(QStringLiteral("Options"), [] {
        TOptionsForm *options = OptionsForm();
        options->setPickers(ImportAccountsForm(), ImportAccountsOutlookForm());
        Modal::exec(options);
    });
    setCommandHandler(QStringLiteral("LogDateimitzuletztversendetenEmails1"), [] { Modal::exec(LogForm()); });
    setCommandHandler(QStringLiteral("DatenstzeImportieren1"), [] { Modal::exec(WizardImportForm()); });
    on("Info1", &TMainForm::Info1Click);
    on("Hilfedatei1", &TMainForm::Hilfedatei1Click);
    on("Newsletterdesignen1", &TMainForm::ExeClick);
    on("BetriebsanleitungMehrplatzversion1", &TMainForm::BetriebsanleitungMehrplatzversion1Click);
    on("DatenbankWartung1", &TMainForm::DatenbankWartung1Click);
    wireDatabaseCommands();
    setCommandHandler(QStringLiteral("NachUpdatessuchen1"), [this] {
        OnlineUpdate()->SetCheckAtStart(commandAction(QStringLiteral("NachUpdatessuchen1"))->isChecked());
    });
    setCommandHandler(QStringLiteral("Update1"), [] { OnlineUpdate()->CheckForUpdate(true); });
    setCommandHandler(QStringLiteral("Datenstzeexportieren1"), [] {
        MainState().CurrentTable->first();
        Modal::exec(ExportWizzard1Form());
    });
    // The web dialogs work on the open database's web settings, loaded anew each time.
    setCommandHandler(QStringLiteral("NeueEintrageabholen1"), [] {
        TSuscribeForm *form = SuscribeForm();
        form->Settings = EnterpriseOptionsForm();
        form->Options = OptionsForm();
        form->Settings->LoadWebSettings();
        Modal::exec(form);
    });
    setCommandHandler(QStringLiteral("Bestellformular1"), [] {
        EnterpriseOptionsForm()->LoadWebSettings();
        Modal::exec(EnterpriseOptionsForm());
    });
    setCommandHandler(QStringLiteral("Newsletterstatistikeinrichten1"), [] {
        EnterpriseOptionsForm()->LoadWebSettings();
        Modal::exec(StatsForm());
    });
    setCommandHandler(QStringLiteral("Links1"), [] {
        // Both loads also clear what a database without the settings would otherwise keep showing.
        TEnterpriseLinksForm *form = EnterpriseLinksForm();
        form->Settings = EnterpriseOptionsForm();
        form->Settings->LoadWebSettings();
        LoadTrackingSettings(MainState());
        Modal::exec(form);
    });
    wireRecordCommands();
}

void TMainForm::setCommandHandler(const QString &name, std::function<void()> handler)
{
    if (handler)
        m_handlers.insert(name, std::move(handler));
    else
        m_handlers.remove(name);
}

void TMainForm::runCommand(const QString &name)
{
    const TMainCommand *c = m_commands.value(name);
    if (!c)
        return;
    TMainState &s = MainState();
    // Said first, whether the command's window exists yet or not.
    if (!s.CurrentTable) {
        switch (c->withoutDatabase) {
        case WithoutDatabase::Ignore: break;
        case WithoutDatabase::Silent: return;
        case WithoutDatabase::Refuse: information(kOpenDatabaseFirst); return;
        case WithoutDatabase::RefuseWeb: information(kOpenADatabaseFirst); return;
        }
    }
    const std::function<void()> handler = m_handlers.value(name);
    if (!handler)
        return;
    // What was typed into a cell belongs to its record before any command runs.
    if (!DBGrid1->postPendingEdit())
        return;
    if (c->changesTable && CommandRefusedDuringSendRun())
        return;
    std::optional<WheelHookSuspender> hook;
    if (c->hook == HookRule::Removed)
        hook.emplace();
    handler();
}

// ---------------------------------------------------------------------------
// Commands

void TMainForm::MailBitBtnClick()
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t) {
        information(kOpenDatabaseFirst);
        return;
    }
    if (CommandRefusedDuringSendRun() || !DBGrid1->postPendingEdit())
        return;
    // The marked records are counted without showing them; the table ends
    // unfiltered on the record it stood on, with the count's filter kept as its
    // filter text (switched off).
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const qint64 bookmark = t->currentId();
    if (t->isFiltered())
        t->setFiltered(false);
    t->setFilterText(kMarkedFilter);
    s.MarkedCount = int(t->count(Filter::parse(kMarkedFilter)));
    if (bookmark >= 0)
        t->gotoId(bookmark);
    s.ShowRecordCount();
    QApplication::restoreOverrideCursor();
    if (s.MarkedCount == 0) {
        information(QStringLiteral("Keine Datensätze zum versenden markiert! \rKlicken Sie doppelt auf die Spalte "
                                   "\"Selected\" um Datensätze zu markieren!"));
        return;
    }
    const WheelHookSuspender hook;
    Modal::exec(NewWizForm());
}

void TMainForm::StartMailer()
{
    vt::StartMailer();
}

void TMainForm::ExportGridToExcel()
{
    // The columns the grid shows, in the order it shows them.
    QList<ExportColumn> columns;
    const AddressModel *model = DBGrid1->dataSource();
    const QHeaderView *titles = DBGrid1->horizontalHeader();
    for (int v = 0; model && v < titles->count(); ++v) {
        const int c = titles->logicalIndex(v);
        if (c >= 0 && c < model->columns().size() && !titles->isSectionHidden(c))
            columns.append({model->fieldIndexOfColumn(c), model->columns().at(c).title});
    }
    ExportGridToExcelFile(this, columns);
}

void TMainForm::refreshGrid()
{
    TMainState &s = MainState();
    if (!s.CurrentTable || !s.CurrentTable->refresh())
        return;
    s.ShowRecordCount();
}

void TMainForm::applyGridEditMode()
{
    const bool on = MainState().GridEditMode;
    if (AddressModel *m = DBGrid1->dataSource())
        m->setEditable(on);
    // A double click keeps its meaning (marking, the record editor) while editing is on.
    DBGrid1->setEditTriggers(on ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                                      QAbstractItemView::AnyKeyPressed
                                : QAbstractItemView::NoEditTriggers);
    QPalette p = DBGrid1->palette();
    p.setColor(QPalette::Text, on ? Qt::blue : Qt::black);
    DBGrid1->setPalette(p);
    commandAction(QStringLiteral("BearbeitenimGrid1"))->setChecked(on);
}

void TMainForm::writeConfigSwitch(const QString &key, bool on)
{
    IniFile(configFile()).writeBool(QStringLiteral("Database"), key, on);
}

void TMainForm::BearbeitenimGrid1Click()
{
    TMainState &s = MainState();
    if (!s.CurrentTable) {
        information(kOpenDatabaseFirst);
        applyGridEditMode();
        return;
    }
    if (s.GridEditMode) {
        DBGrid1->postPendingEdit();
        s.GridEditMode = false;
    } else {
        if (CommandRefusedDuringSendRun()) {
            applyGridEditMode();
            return;
        }
        s.GridEditMode = true;
    }
    applyGridEditMode();
    writeConfigSwitch(QStringLiteral("GridEdit"), s.GridEditMode);
    DBGrid1->setFocus();
}

void TMainForm::TransactionlogwrdendesMailversandes1Click()
{
    TMainState &s = MainState();
    s.TransactionLogOn = !s.TransactionLogOn;
    commandAction(QStringLiteral("TransactionlogwrdendesMailversandes1"))->setChecked(s.TransactionLogOn);
    writeConfigSwitch(QStringLiteral("TransActLog"), s.TransactionLogOn);
}

void TMainForm::NachdoppeltenEmailadressenprfen1Click()
{
    // Written to config.ini when the window closes.
    TMainState &s = MainState();
    s.CheckNewAddresses = !s.CheckNewAddresses;
    commandAction(QStringLiteral("NachdoppeltenEmailadressenprfen1"))->setChecked(s.CheckNewAddresses);
}

void TMainForm::OutlookEMailBitBtnClick()
{
    AddressTable *t = MainState().CurrentTable;
    if (!t) {
        information(kOpenDatabaseFirst);
        return;
    }
    ShellOpen(QStringLiteral("mailto:") + AsciiLower(t->text(QStringLiteral("Mail"))));
}

void TMainForm::CopyDBGridToClipboardClick()
{
    if (!MainState().CurrentTable || !DBGrid1->currentIndex().isValid())
        return;
    QGuiApplication::clipboard()->setText(DBGrid1->currentIndex().data(Qt::DisplayRole).toString());
}

void TMainForm::FirstButtonClick()
{
    if (AddressTable *t = MainState().CurrentTable)
        t->first();
}

void TMainForm::LastButtonClick()
{
    if (AddressTable *t = MainState().CurrentTable)
        t->last();
}

void TMainForm::ComboBox1Change(int index)
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    const QList<FilterPreset> presets = FilterPresetsFromLines(s.FilterPresets);
    if (!t || index < 0 || index >= presets.size() || !DBGrid1->postPendingEdit())
        return;
    // A preset that is no valid filter is said, and the table shows all records.
    if (!t->setFilterText(Trimmed(presets.at(index).expression)) || !t->setFiltered(true)) {
        error(t->lastError());
        t->setFiltered(false);
    }
    s.ShowRecordCount();
}

void TMainForm::DBGrid1TitleClick(int column)
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    AddressModel *m = DBGrid1->dataSource();
    if (!t || !m)
        return;
    const QString field = m->fieldOfColumn(column);
    // The column's line of the field definition file, among the lines up to the
    // table's field count.
    std::optional<FieldDefinitionLine> def;
    const int last = std::min<int>(t->fieldCount(), int(s.FieldDefinitions.size()) - 1);
    for (int i = 0; i <= last; ++i) {
        const FieldDefinitionLine line = ParseFieldDefinitionLine(s.FieldDefinitions.at(i));
        if (line.name == field)
            def = line;
    }
    if (!def || !def->sortable() || def->indexName.isEmpty() || !DBGrid1->postPendingEdit())
        return;
    if (!m->sortMarker().isEmpty() && EqualsNoCase(m->sortMarker(), field)) {
        // A second click returns to the primary order.
        s.ResetTitleFonts();
        t->setIndexName(QString());
    } else if (t->setIndexName(def->indexName)) {
        s.ResetTitleFonts();
        m->setSortMarker(field);
    }
}

void TMainForm::DBGrid1DblClick()
{
    TMainState &s = MainState();
    AddressTable *t = s.CurrentTable;
    if (!t || !DBGrid1->postPendingEdit())
        return;
    const QString field = DBGrid1->currentFieldName();
    if (field == QLatin1String("Selected") || field == QLatin1String("Invalid")) {
        // A blank counts as false, so it becomes true.
        if (!t->edit() || !t->setValue(field, !t->value(field).toBool()) || !t->post()) {
            error(t->lastError());
            t->cancel();
        }
        return;
    }
    // The record editor, with the message hook left in place.
    if (const std::function<void()> editor = m_handlers.value(QStringLiteral("EditRec")))
        editor();
    DBGrid1->setFocus();
}

bool TMainForm::DBGrid1KeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !MainState().GridEditMode &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        DBGrid1DblClick();
        return true;
    }
    if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier) {
        runCommand(QStringLiteral("Suchen1"));
        return true;
    }
    if (event->key() == Qt::Key_F9) {
        runCommand(QStringLiteral("FilterBtn"));
        return true;
    }
    return false;
}

} // namespace vt
