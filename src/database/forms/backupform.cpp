#include "backupform.h"
#include "ui_backupform.h"

#include "databasebackup.h"
#include "gradientbackground.h"
#include "inputblocker.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "textfile.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QScrollBar>
#include <QShowEvent>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>

namespace vt {

namespace {

// Shows the hourglass while it lives.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

TBackupForm::TBackupForm(QWidget *parent)
    : QDialog(parent), ui(new Ui::TBackupForm), m_folders(new QFileSystemModel(this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TBackupForm"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetGradientBackground(this, Qt::white, QColor(0xc4, 0xd7, 0xef));
    m_folders->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_folders->setRootPath(QStringLiteral("/"));
    ui->DirectoryListBox1->setModel(m_folders);
    for (int c = 1; c < m_folders->columnCount(); ++c)
        ui->DirectoryListBox1->hideColumn(c);
    ui->FolderLabel->setTextFormat(Qt::PlainText);
    connect(ui->DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    folderChanged(m_folders->filePath(current));
            });
    // The list loads and sorts folders in the background, which pushes the
    // chosen one out of sight: keep it in view until the user moves the list.
    QTreeView *tree = ui->DirectoryListBox1;
    auto keepInView = [this, tree] {
        if (m_keepInView)
            QTimer::singleShot(0, this, [this, tree] {
                if (m_keepInView)
                    tree->scrollTo(tree->currentIndex());
            });
    };
    connect(m_folders, &QAbstractItemModel::rowsInserted, this, keepInView);
    connect(m_folders, &QAbstractItemModel::layoutChanged, this, keepInView);
    connect(tree->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { m_keepInView = false; });
    connect(tree, &QAbstractItemView::pressed, this, [this] { m_keepInView = false; });
    // A drive without a medium simply shows nothing.
    connect(ui->DriveComboBox1, &QComboBox::activated, this,
            [this](int i) { selectFolder(ui->DriveComboBox1->itemData(i).toString()); });
    connect(ui->SaveBitBtn, &QPushButton::clicked, this, &TBackupForm::SaveBitBtnClick);
    connect(ui->AbortBitBtn, &QPushButton::clicked, this, &TBackupForm::AbortBitBtnClick);
}

TBackupForm::~TBackupForm()
{
    delete ui;
}

QString TBackupForm::backupPathFile() const
{
    return ResolveExisting(MainState().AppFolder, QStringLiteral("BackupPath.ini"));
}

void TBackupForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TBackupForm::fillDrives()
{
    // In place of drive letters: the places where backups go, and the media mounted now.
    ui->DriveComboBox1->clear();
    ui->DriveComboBox1->addItem(QStringLiteral("Persönlicher Ordner (%1)").arg(QDir::homePath()), QDir::homePath());
    if (!DefaultFolder.isEmpty())
        ui->DriveComboBox1->addItem(QStringLiteral("Vantrel-Dokumente (%1)").arg(WithoutTrailingSlash(DefaultFolder)),
                                    DefaultFolder);
    ui->DriveComboBox1->addItem(QStringLiteral("Dateisystem (/)"), QStringLiteral("/"));
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (v.isValid() && v.isReady() &&
            (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
             root.startsWith(QLatin1String("/run/media/"))))
            ui->DriveComboBox1->addItem(
                QStringLiteral("%1 (%2)").arg(v.displayName().isEmpty() ? root : v.displayName(), root), root);
    }
}

void TBackupForm::FormActivate()
{
    ui->ProgressBar1->setValue(0);
    const bool backup = BackupMode == 0;
    ui->DoLabel->setText(backup ? QStringLiteral("Backup soll im folgendem Ordner erstellt werden:")
                                : QStringLiteral("Ordner mit Backup auswählen:"));
    ui->SaveBitBtn->setText(backup ? QStringLiteral("Speichern") : QStringLiteral("Öffnen"));
    ui->DateinameLabel->setVisible(backup);
    ui->FileNameEdit->setVisible(backup);
    ui->FileNameEdit->clear();
    ui->ListBox1->setVisible(!backup);
    ui->ListBox1->clear();
    fillDrives();
    if (!DefaultFolder.isEmpty())
        EnsureFolder(DefaultFolder);
    QString folder = DefaultFolder.isEmpty() ? QDir::homePath() : DefaultFolder;
    if (IsFile(backupPathFile())) {
        const QString remembered = ReadFirstLine(backupPathFile());
        if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
            folder = remembered;
    }
    selectFolder(folder);
}

void TBackupForm::selectFolder(const QString &folder)
{
    const QModelIndex index = m_folders->index(WithoutTrailingSlash(folder));
    m_keepInView = index.isValid();
    if (index.isValid()) {
        ui->DirectoryListBox1->setCurrentIndex(index);
        ui->DirectoryListBox1->scrollTo(index);
        ui->DirectoryListBox1->expand(index);
    }
    folderChanged(folder);
}

void TBackupForm::folderChanged(const QString &folder)
{
    m_folder = WithTrailingSlash(folder);
    ui->FolderLabel->setText(WithoutTrailingSlash(m_folder));
    // The drive box shows the place that holds the folder.
    int best = -1;
    qsizetype length = -1;
    for (int i = 0; i < ui->DriveComboBox1->count(); ++i) {
        const QString place = WithTrailingSlash(ui->DriveComboBox1->itemData(i).toString());
        if (m_folder.startsWith(place) && place.size() > length) {
            best = i;
            length = place.size();
        }
    }
    ui->DriveComboBox1->setCurrentIndex(best);
    if (BackupMode == 1) {
        ui->ListBox1->clear();
        ui->ListBox1->addItems(DescribeBackupFolder(m_folder));
    }
}

void TBackupForm::setProgress(int percent)
{
    ui->ProgressBar1->setValue(percent);
    // The bar moves while the copy runs; nothing the user does reaches the program meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TBackupForm::SaveBitBtnClick()
{
    const QString folder = m_folder;
    if (BackupMode == 0)
        CreateBackup();
    else
        RestoreBackup();
    CanCloseFlag = true;
    WriteLines(backupPathFile(), {WithoutTrailingSlash(folder)});
    done(QDialog::Accepted);
}

void TBackupForm::AbortBitBtnClick()
{
    CanCloseFlag = true;
    done(QDialog::Rejected);
}

void TBackupForm::reject()
{
    AbortBitBtnClick();
}

void TBackupForm::done(int result)
{
    if (CanCloseFlag)
        QDialog::done(result);
}

void TBackupForm::CreateBackup()
{
    const TMainState &s = MainState();
    QString target, problem;
    if (!BackupTargetFolder(m_folder, ui->FileNameEdit->text(), &target, &problem)) {
        error(problem);
        return;
    }
    if (!FilesInBackupFolder(s.DataFolder, target).isEmpty() &&
        !question(QStringLiteral("Altes Backup überschreiben?"))) {
        information(
            QStringLiteral("Backup wurde nicht durchgeführt! Wählen Sie einen neuen Ordner für das neue Backup!"));
        return;
    }
    bool ok;
    {
        const WaitCursor wait;
        const InputBlocker block;
        ok = vt::CreateBackup(
            s.AppFolder, s.DataFolder, target, [this](int p) { setProgress(p); }, &problem);
    }
    if (ok)
        information(QStringLiteral("Backup wurde durchgeführt!"));
    else
        error(QStringLiteral("Backup wurde nicht durchgeführt!\r\r") + problem);
}

void TBackupForm::RestoreBackup()
{
    TMainState &s = MainState();
    if (!IsBackupFolder(m_folder)) {
        information(QStringLiteral("Kein Backup in diesem Ordner gefunden!"));
        return;
    }
    if (!question(QStringLiteral("Wollen Sie diese Backup wirklich wieder herstellen?\r\rHinweis: Damit wird die "
                                 "derzeitige Datenbank überschrieben. Derzeitige Daten gehen somit verloren!")))
        return;
    RestoreStage stage;
    QString problem;
    bool ok;
    {
        const WaitCursor wait;
        const InputBlocker block;
        ok = stage.prepare(
            s.AppFolder, s.DataFolder, m_folder, [this](int p) { setProgress(p); }, &problem);
        if (ok) {
            // The tables are closed for the swap and the open database is opened again, definitions and all.
            const bool wasOpen = s.CurrentTable != nullptr;
            const QString open = s.DatabaseIniName;
            s.FreeTableComponents();
            ok = stage.swap(&problem);
            s.loadDatabaseCatalog();
            if (wasOpen)
                s.OpenDatabase(IsFile(ResolveExisting(s.DataFolder, open)) ? open : QStringLiteral("Database.ini"));
        }
    }
    if (ok)
        information(QStringLiteral("Backup wurde erfolgreich wiederhergestellt!"));
    else
        error(QStringLiteral("Das Backup wurde nicht wiederhergestellt, die Datenbanken sind unverändert.\r\r") +
              problem);
}

} // namespace vt
