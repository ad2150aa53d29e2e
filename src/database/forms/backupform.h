#pragma once
// The dialog "Backup": backs up every database into a folder (mode 0) or
// restores a backup from a folder (mode 1). The folder list is the folder the
// work is done in; the last one confirmed is remembered in "BackupPath.ini".
#include <QDialog>
#include <QString>

class QFileSystemModel;

namespace Ui {
class TBackupForm;
}

namespace vt {

class TBackupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TBackupForm(QWidget *parent = nullptr);
    ~TBackupForm() override;
    void FormCreate() {}

    quint8 BackupMode = 0; // 0 backup, 1 restore; set before each showing
    bool CanCloseFlag = false;
    // Shown when no remembered folder exists (the documents work folder); made when missing.
    QString DefaultFolder;

    // The folder of the folder list, ending in "/".
    QString Folder() const { return m_folder; }
    // Selects a folder in the drive box and the folder list.
    void selectFolder(const QString &folder);

    void FormActivate();
    void SaveBitBtnClick();
    void AbortBitBtnClick();
    void CreateBackup();
    void RestoreBackup();

    void done(int result) override;
    // Esc and closing the window: the dialog's "Abbrechen".
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fillDrives();
    void folderChanged(const QString &folder);
    void setProgress(int percent);
    QString backupPathFile() const;

    Ui::TBackupForm *ui;
    QFileSystemModel *m_folders;
    QString m_folder;
    bool m_keepInView = false; // the chosen folder is kept in view until the user moves the list
};

} // namespace vt
