#include "mainform.h"
#include "activation.h"
#include "checkedini.h"
#include "crashreport.h"
#include "dbgrid.h"
#include "forms.h"
#include "hostform.h"
#include "inifile.h"
#include "mailfiles.h"
#include "mailsettings.h"
#include "messages.h"
#include "modal.h"
#include "onlineupdate.h"
#include "outlook.h"
#include "paths.h"
#include "productinfo.h"
#include "sendrunguard.h"
#include "werbungform.h"
#include "wheelhook.h"
#include "windowplacement.h"
#include "windowsinfo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace vt {

namespace {

const QString kDatabaseSection = QStringLiteral("Database");

// Who holds the data folder, and when the lock is given up by itself.
QString lockHolderText(const DataFolderLock &lock)
{
    const DataFolderLock::Holder h = lock.holder();
    const int minutes = int(std::chrono::duration_cast<std::chrono::minutes>(lock.staleAfter()).count());
    QString text;
    if (!h.host.isEmpty())
        text = QStringLiteral("\r\rIn Benutzung auf dem Arbeitsplatz \"%1\" (Prozess %2), zuletzt bestätigt am %3 "
                              "um %4 Uhr.")
                   .arg(h.host)
                   .arg(h.pid)
                   .arg(h.renewed.toString(QStringLiteral("dd.MM.yyyy")), h.renewed.toString(QStringLiteral("HH:mm")));
    return text + QStringLiteral("\r\rEine Sperre, die %1 Minuten lang nicht bestätigt wurde (etwa nach einem "
                                 "Absturz des anderen Arbeitsplatzes), übernimmt der nächste Start.")
                      .arg(minutes);
}

} // namespace

TMainForm::TMainForm()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("."));
    setMinimumSize(994, 673);
    resize(994, 673);
    buildWindow();
}

TMainForm::~TMainForm()
{
    if (m_created)
        FormDestroy();
    TAppMessageHook::instance().remove();
    TMainState &s = MainState();
    s.disconnect(this);
    if (s.Ops == this)
        s.Ops = nullptr;
    // The tables go with the window that owns them.
    s.FreeTableComponents();
}

QString TMainForm::configFile() const
{
    return ResolveExisting(MainState().AppFolder, QStringLiteral("config.ini"));
}

QString TMainForm::documentsWorkFolder()
{
    return WindowsInfo().DocumentsDir.isEmpty() ? QString() : vt::DocumentsWorkFolder();
}

QPixmap TMainForm::loadPicture(const QString &path)
{
    // A picture that did not ship is said once; the start goes on without it.
    if (!IsFile(path)) {
        error(QStringLiteral("Die Datei \"%1\" wurde nicht gefunden!").arg(path));
        return {};
    }
    QPixmap p(path);
    if (p.isNull())
        error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden!").arg(path));
    return p;
}

void TMainForm::FormCreate()
{
    m_created = true;
    TMainState &s = MainState();
    // A new window starts from no open database and the switches' defaults.
    s.FreeTableComponents();
    s.GridEditMode = false;
    s.TransactionLogOn = false;
    s.FirstSettingsDone = false;
    s.MarkedCount = 0;
    s.OutlookAvailable = false;
    s.Ops = this;
    followState();
    ActivationTracker::instance().install(
        this, [this] { FormActivate(); }, true);

    // The program folder and the folders inside it; the per-user folder, which
    // falls back to the program folder when it cannot be made.
    s.setAppFolder(ProgramFolder());
    // Templates are saved to and opened from the letters folder from the first start on.
    EnsureFolder(s.LettersFolder);
    s.UserDataFolder = WithTrailingSlash(PathJoin(WindowsInfo().AppDataDir, QStringLiteral("Halvicor/Vantrel")));
    if (WindowsInfo().AppDataDir.isEmpty() || !EnsureFolder(s.UserDataFolder))
        s.UserDataFolder = s.AppFolder;
    s.TrackingActive = false;

    // Without a stored placement the window fills the screen but for the bottom 27 pixels.
    if (!RestoreWindowPlacement(this)) {
        const QRect a = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
        PlaceWindowFrame(this, QRect(a.left(), a.top(), a.width(), std::max(a.height() - 27, minimumHeight())));
    }

    const IniFile config(configFile());
    s.CheckNewAddresses = config.readBool(kDatabaseSection, QStringLiteral("Checkdoublettes"), true);
    const bool transActLog = config.readBool(kDatabaseSection, QStringLiteral("TransActLog"), false);
    const bool gridEdit = config.readBool(kDatabaseSection, QStringLiteral("GridEdit"), false);
    commandAction(QStringLiteral("NachdoppeltenEmailadressenprfen1"))->setChecked(s.CheckNewAddresses);

    setWindowTitle(ProductInfo().DisplayName);
    m_image->setPixmap(loadPicture(PathJoin(s.AppFolder, QStringLiteral("recom/") + ProductInfo().HeadImage)));

    if (!s.loadDatabaseCatalog())
        error(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden!")
                  .arg(PathJoin(s.AppFolder, QStringLiteral("Buttons.ini"))));
    TrueGlyph = loadPicture(PathJoin(s.ImagesFolder, QStringLiteral("True.bmp")));
    FalseGlyph = loadPicture(PathJoin(s.ImagesFolder, QStringLiteral("False.bmp")));
    DBGrid1->setGlyphs(TrueGlyph, FalseGlyph);
    showMultiDatabaseCommands(s.hasSeveralDatabases());

    // Another workstation works on the data folder: nothing is opened or
    // written, the window is never shown and the start ends.
    if (m_lock.acquire(s.DataFolder) == DataFolderLock::Result::InUse) {
        information(QStringLiteral("Datenbank ist in Benutzung durch einen anderen Benutzer!\r\rBitte warten Sie bis "
                                   "der andere Benutzer die Datenbank wieder geschlossen hat!") +
                    lockHolderText(m_lock));
        m_startEnded = true;
        return;
    }

    if (!s.OpenDatabase(s.databaseToOpenAtStart()) && !s.errorText().isEmpty())
        error(s.errorText());
    CopyTemplatesToDocuments();

    OutlookBackend &outlook = OutlookBackend::instance();
    outlook.prepareLibrary();
    s.Outlook64Bit = false;
    s.OutlookAvailable = outlook.connectOverOutlookSession() || outlook.connectWithOwnLogon();
    if (check_OL64Bit()) {
        s.Outlook64Bit = true;
        s.OutlookAvailable = true;
    }

    if (transActLog)
        TransactionlogwrdendesMailversandes1Click();
    if (gridEdit)
        BearbeitenimGrid1Click();
}

bool TMainForm::check_OL64Bit()
{
    return OutlookBackend::instance().outlookBitness() == QLatin1String("x64");
}

void TMainForm::CopyTemplatesToDocuments()
{
    const QString target = documentsWorkFolder();
    if (target.isEmpty() || !EnsureFolder(target))
        return;
    const QString source = MainState().TemplatesCopySource;
    // Only the files at the top of the folder; the first failure ends the copy.
    const QStringList names = QDir(source).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString to = target + name;
        if (QFileInfo::exists(to) && !QFile::remove(to))
            return;
        if (!QFile::copy(PathJoin(source, name), to))
            return;
    }
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow()
{
    fitButtonCaptions();
    // The grid's keys (F9, Space, Ctrl+F) work from the start, before any click.
    DBGrid1->setFocus();
    TAppMessageHook::instance().install(
        [this](QObject *receiver, QEvent *event) { return AppMessage(receiver, event); });
    if (!m_updateSetUp) {
        m_updateSetUp = true;
        TOnlineUpdate *update = OnlineUpdate();
        update->CloseProgram = [main = QPointer<TMainForm>(this)] { return main && main->closeForHandOver(); };
        update->SetupUpdate(
            ProductInfo().VersionText, ResolveExisting(MainState().AppFolder, QStringLiteral("Update.ini")),
            ProductInfo().UpdateServer + QStringLiteral("/downloads/inf/"), QStringLiteral("vantrel_update.inf"), 1);
        commandAction(QStringLiteral("NachUpdatessuchen1"))->setChecked(update->CheckAtStartIfEnabled(true));
    }
}

void TMainForm::FormActivate()
{
    TMainState &s = MainState();
    const MailSettingsFiles files(s.AppFolder, s.DataFolder, s.DatabaseIniName);
    if (!files.generalFileExists()) {
        // Said at every activation; the run goes on as if the settings were never made.
        error(files.missingGeneralFileText());
        s.FirstSettingsDone = false;
    } else {
        const IniFile ini(files.generalFile());
        s.FirstSettingsDone = CheckedReadString(ini, MailKeys::FirstSettingsSection, MailKeys::FirstSettingsDone,
                                                QString()) == QLatin1String("Done");
    }
    m_versionLabel->setText(ProductInfo().ProductLabel);
    // From now on error reports are German and carry the version.
    SetupCrashReport(1, ProductInfo().VersionText);
}

bool TMainForm::AppMessage(QObject *receiver, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !receiver->isWidgetType())
        return false;
    const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
    // Sideways and empty steps (touchpads send them at the start and end of a
    // gesture) pass unchanged: they would otherwise all count as "down".
    if (delta == 0)
        return false;
    const int notches = m_wheelNotches.add(delta);
    QWidget *focus = QApplication::focusWidget();
    for (int i = 0; focus && i < std::abs(notches); ++i) {
        QKeyEvent key(QEvent::KeyPress, notches > 0 ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(focus, &key);
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (m_created && !m_startEnded && !FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // The host window's closing ends the program.
    if (THostForm *host = ExistingHostForm())
        host->close();
}

bool TMainForm::FormClose()
{
    TMainState &s = MainState();
    // What was typed into a cell is saved first; a value the table refuses keeps the window open.
    if (!DBGrid1->postPendingEdit())
        return false;
    if (AddressTable *t = s.CurrentTable;
        t && (t->state() == AddressTable::State::Edit || t->state() == AddressTable::State::Insert) && !t->post()) {
        if (!question(t->lastError() + QStringLiteral("\r\rÄnderung verwerfen und das Programm beenden?")))
            return false;
        t->cancel();
    }
    IniFile(configFile()).writeBool(kDatabaseSection, QStringLiteral("Checkdoublettes"), s.CheckNewAddresses);
    s.saveOpenDatabase();
    if (!m_handOver && !QFile::exists(NoTipsFile()))
        Modal::exec(WerbungForm());
    return true;
}

bool TMainForm::closeForHandOver()
{
    m_handOver = true;
    const bool closed = close();
    m_handOver = false;
    return closed;
}

void TMainForm::FormDestroy()
{
    SaveWindowPlacement(this);
}

// ---------------------------------------------------------------------------
// Following the state

void TMainForm::followState()
{
    TMainState &s = MainState();
    s.disconnect(this);
    connect(&s, &TMainState::databaseOpened, this, [this] {
        DBGrid1->setDataSource(MainState().CurrentDataSource);
        applyGridEditMode();
    });
    connect(&s, &TMainState::databaseOpened, this, &TMainForm::followFilterSwitch);
    connect(&s, &TMainState::databaseClosed, this, [this] { DBGrid1->setDataSource(nullptr); });
    connect(&s, &TMainState::aboutToSaveGridLayout, this, [this] {
        if (DBGrid1->dataSource() == MainState().CurrentDataSource)
            DBGrid1->storeLayoutInModel();
    });
    connect(&s, &TMainState::gridLayoutLoaded, this, [this] {
        if (DBGrid1->dataSource() == MainState().CurrentDataSource)
            DBGrid1->applyLayoutFromModel();
    });
    connect(&s, &TMainState::databaseLabelChanged, m_databaseLabel, &QLabel::setText);
    connect(&s, &TMainState::statusPanelChanged, m_statusPanel, &QLabel::setText);
    connect(&s, &TMainState::statusTextChanged, this, [this](const QString &text) {
        m_statusText->setText(text);
        // Long runs give the event loop no time: the bar shows its text at once.
        if (m_statusText->isVisible())
            m_statusText->repaint();
    });
    connect(&s, &TMainState::filterBoxChanged, this, [this](const QStringList &items) {
        const QSignalBlocker block(m_filterBox);
        m_filterBox->clear();
        m_filterBox->addItems(items);
        m_filterBox->setCurrentIndex(items.isEmpty() ? -1 : 0);
    });
    connect(&s, &TMainState::webMenusChanged, this, [this](bool links, bool fetch) {
        commandAction(QStringLiteral("Links1"))->setEnabled(links);
        commandAction(QStringLiteral("NeueEintrageabholen1"))->setEnabled(fetch);
    });
}

void TMainForm::fitButtonCaptions()
{
    // Wider than designed where the font needs more room for the captions of the buttons shown.
    const QWidget *buttons = findChild<QWidget *>(QStringLiteral("BottomButtonsPanel"));
    // A window as narrow as it may be stays so.
    const bool atMinimum = width() == minimumWidth();
    setMinimumWidth(std::max(994, buttons->minimumSizeHint().width()));
    FitMinimumToScreen(this);
    if (atMinimum)
        resize(minimumWidth(), height());
}

void TMainForm::showMultiDatabaseCommands(bool on)
{
    m_openModeBitBtn->setVisible(on);
    m_openModeGlowButton->setVisible(on);
    fitButtonCaptions();
    for (const char *name : {"Datenbankffnen2", "Datenbanklschen2", "Datentransfer1"})
        commandAction(QLatin1String(name))->setEnabled(on);
}

// ---------------------------------------------------------------------------
// The window

void TMainForm::buildWindow()
{
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The header band with the brand's picture, the open database and the version.
    auto *band = new QWidget;
    band->setObjectName(QStringLiteral("HeaderPanel"));
    band->setAutoFillBackground(true);
    QPalette bandPalette = band->palette();
    bandPalette.setColor(QPalette::Window, QColor(88, 150, 214));
    bandPalette.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(bandPalette);
    auto *bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(0, 0, 12, 0);
    m_image = new QLabel;
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setMinimumHeight(60);
    bandLayout->addWidget(m_image);
    bandLayout->addStretch(1);
    auto *bandText = new QVBoxLayout;
    m_databaseLabel = new QLabel;
    m_databaseLabel->setObjectName(QStringLiteral("DatabaseLabel"));
    QFont bold = m_databaseLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_databaseLabel->setFont(bold);
    m_versionLabel = new QLabel;
    m_versionLabel->setObjectName(QStringLiteral("AdvVersionLabel"));
    m_databaseLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_versionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bandText->addWidget(m_databaseLabel);
    bandText->addWidget(m_versionLabel);
    bandLayout->addLayout(bandText);
    layout->addWidget(band);

    buildMenus();
    layout->addWidget(buildToolbar());

    DBGrid1 = new TDBGrid;
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setToolTip(QStringLiteral("Klicken Sie doppelt auf die Spalte \"Selected\" um die Adressen zu markieren "
                                       "an die Sie ein eMail versenden wollen."));
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { m_gridPopup->popup(DBGrid1->viewport()->mapToGlobal(p)); });
    connect(DBGrid1, &TDBGrid::titleClick, this,
            [this](int column) { Guard("TMainForm.DBGrid1TitleClick", [&] { DBGrid1TitleClick(column); }); });
    connect(DBGrid1, &TDBGrid::dblClick, this, [this] { DBGrid1DblClick(); });
    connect(DBGrid1, &TDBGrid::editRefused, this, [](const QString &message) { error(message); });
    DBGrid1->CanChangeRecords = [] { return !CommandRefusedDuringSendRun(); };
    DBGrid1->OnKeyDown = [this](QKeyEvent *e) { return DBGrid1KeyDown(e); };
    layout->addWidget(DBGrid1, 1);

    layout->addWidget(buildButtonBar());
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    m_statusText = new QLabel;
    m_statusText->setObjectName(QStringLiteral("StatusBar1Text"));
    statusBar()->addWidget(m_statusText, 1);
    m_statusPanel = new QLabel;
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel"));
    m_statusPanel->setMinimumWidth(140);
    m_statusPanel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->addPermanentWidget(m_statusPanel);

    wireCommands();
}

} // namespace vt
