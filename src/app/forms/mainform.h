#pragma once
// The main window of the program: the address grid of the open database and
// every command of the program (menu, button bar, toolbar, the grid's context
// menu and keys). Its state that other windows read lives in MainState(); the
// window owns the widgets and follows that state.
#include "mainstate.h"
#include "programfolder.h"
#include "wheelhook.h"

#include <QHash>
#include <QMainWindow>
#include <QPixmap>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;

namespace vt {

class TDBGrid;

// What a command does while no database is open.
enum class WithoutDatabase {
    Ignore,    // it does not look at the open database
    Silent,    // it does nothing
    Refuse,    // "Zuerst Datenbank öffnen!"
    RefuseWeb, // "Öffnen Sie zuerst eine Datenbank!"
};
// Whether the application's message hook stays while the command's dialog is shown.
enum class HookRule { None, Removed, Kept };

// One command of the main window. Its QAction carries the name as objectName;
// the buttons of the command trigger that action.
struct TMainCommand
{
    const char *name;
    const char *caption;
    const char *key; // shortcut, or nullptr
    WithoutDatabase withoutDatabase;
    HookRule hook;
    bool changesTable; // refused while a send run is going
    bool checkable;
};
// Every command, in the order of the menus.
const QList<TMainCommand> &MainCommands();

class TMainForm : public QMainWindow, public TMainWindowOps
{
    Q_OBJECT
public:
    TMainForm();
    ~TMainForm() override;

    // Life cycle.
    void FormCreate();
    void FormShow();
    // Runs when the window is shown and when the user comes back to it from
    // another modeless window of the program.
    void FormActivate();
    // Closing: false when the window stays open (a value typed into the grid
    // could not be saved and the user keeps it).
    bool FormClose();
    void FormDestroy();
    // The application's message hook: the vertical wheel becomes cursor keys
    // for the focused control. True when the event was dealt with.
    bool AppMessage(QObject *receiver, QEvent *event);
    // The start ended before the window could be shown (another user holds the data).
    bool startEnded() const { return m_startEnded; }

    // Copies the templates of "Vorlagen" into the documents work folder.
    void CopyTemplatesToDocuments();
    // The documents work folder, ending in "/".
    static QString documentsWorkFolder();
    bool check_OL64Bit();

    // Commands.
    void MailBitBtnClick() override;
    // Switches editing in the grid on and off.
    void BearbeitenimGrid1Click();
    // Switches the transaction log of send runs on and off.
    void TransactionlogwrdendesMailversandes1Click();
    // Switches the check of newly typed e-mail addresses on and off.
    void NachdoppeltenEmailadressenprfen1Click();
    void OutlookEMailBitBtnClick();
    void CopyDBGridToClipboardClick();
    void FirstButtonClick();
    void LastButtonClick();
    // A filter preset was chosen in the filter box.
    void ComboBox1Change(int index);
    // A click on a column title of the address grid sorts by that column.
    void DBGrid1TitleClick(int column);
    // A double click into the address grid marks a record or opens the record editor.
    void DBGrid1DblClick();
    // The keys of the address grid; true when the key was dealt with.
    bool DBGrid1KeyDown(QKeyEvent *event);
    // The information windows and the outside programs.
    void Info1Click();
    void Hilfedatei1Click();
    void ExeClick();
    void LayoutwerkDownload1Click();
    void BetriebsanleitungMehrplatzversion1Click();
    void DatenbankWartung1Click();
    // The record editor and the search.
    void NewRecord();
    void EditRecord();
    void DeleteRecord();
    void Suchen1Click();
    void SearchTBClick();
    void ImportBitBtnClick();
    // Opening, creating, deleting, clearing, backing up and transferring databases.
    void OpenModeClick();
    void Datenbanklschen2Click();
    void NeueDatenbankerzeugen1Click();
    void Datenbankkomplettleeren1Click();
    void Backup2Click();
    void Restore1Click();
    void Datentransfer1Click();
    // Closes the window for a program that takes over (the updater, the repair
    // tool): the normal close without the tips window. False when it stayed open.
    bool closeForHandOver();
    // The tools for many records at once, the BCC lists and the filters.
    void SelectAllTBClick();
    void UnselectAllTBClick();
    void MarkierenvonIDbisID1Click();
    void EmailAdressenaufGltigkeitberprfen2Click();
    void AlleInvalidzurcksetzen1Click();
    void AllemarkiertenDatenstzelschen2Click();
    void AlleinvalidenDatenstzelschen1Click();
    void Spalteninhaltlschensetzen1Click();
    void DoppelteEmailAdressenlschen1Click();
    void SelektivesLschendoppelterDatenstze1Click();
    void BCCinsClipbord1Click();
    void N250erBCCStringinDateienClick();
    void PlatzhalterClick();
    void Filter1Click();
    void FilterBtnClick();
    void MarkierenallerDatenstzemitbestimmtenWortlaut1Click();
    // FilterBtn shows whether the open table is filtered.
    void showFilterSwitch();

    // Runs a command by name with its database, send-run and hook rules; an
    // unknown name or a command without a handler does nothing.
    void runCommand(const QString &name);
    // The handler of a command (the windows that build its dialog set it).
    void setCommandHandler(const QString &name, std::function<void()> handler);
    bool hasCommandHandler(const QString &name) const { return m_handlers.contains(name); }
    QAction *commandAction(const QString &name) const { return m_actions.value(name); }

    // What lower layers call.
    void StartMailer() override;
    void ExportGridToExcel() override;
    void SetColumnValue(const QString &fieldName, const QString &value, bool onlyMarked) override;
    void DeleteSelectedDatabase() override;
    void refreshGrid() override;

    TDBGrid *DBGrid1 = nullptr; // the address grid
    QPixmap TrueGlyph, FalseGlyph;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    void buildMenus();
    // After a command on the menu bar itself: nothing chosen on the bar, and the
    // keyboard back where it was before the bar took it.
    void leaveMenuBar();
    QWidget *buildToolbar();
    QWidget *buildButtonBar();
    void fitButtonCaptions();
    QToolButton *toolButton(QToolBar *bar, const QString &name, const QString &command, const QString &hint, int icon);
    void wireCommands();
    void wireRecordCommands();
    void followFilterSwitch();
    void wireDatabaseCommands();
    void recordEditor(int mode);
    void showSearch(const QColor &start, const QColor &end);
    void followState();
    void applyGridEditMode();
    void showMultiDatabaseCommands(bool on);
    QPixmap loadPicture(const QString &path);
    void writeConfigSwitch(const QString &key, bool on);
    QString configFile() const;

    QHash<QString, QAction *> m_actions;
    QHash<QString, std::function<void()>> m_handlers;
    QHash<QString, const TMainCommand *> m_commands;
    QLabel *m_image = nullptr;
    QLabel *m_versionLabel = nullptr;
    QLabel *m_databaseLabel = nullptr;
    QLabel *m_statusPanel = nullptr;
    QLabel *m_statusText = nullptr;
    QComboBox *m_filterBox = nullptr; // ComboBox1, the filter presets
    QPushButton *m_openModeBitBtn = nullptr;
    QToolButton *m_openModeGlowButton = nullptr;
    QMenu *m_gridPopup = nullptr;
    QPointer<QWidget> m_focusBeforeMenuBar;
    DataFolderLock m_lock;
    bool m_startEnded = false;
    bool m_created = false;
    bool m_updateSetUp = false;
    bool m_handOver = false;
    bool m_layoutApplicationRuns = false; // started here, the window waiting for its end
    WheelNotches m_wheelNotches;
};

} // namespace vt
