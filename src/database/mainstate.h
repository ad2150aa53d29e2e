#pragma once
// The main window's state that every layer reads (folders, switches, the
// database catalogue and the open database with its definition lists), and the
// operations that open and close databases. They live here, apart from the
// window, so that they work and can be tested without it; the window owns the
// widgets and follows this state through the signals below.
//
// Folders end in "/". Every file name that comes from a file (catalogue, last
// opened database, definition files) is looked up exactly first, then without
// regard to case.
#include "addressmodel.h"
#include "addresstable.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vt {

// What lower layers call on the main window; the window sets itself as
// MainState().Ops, tests set a fake.
class TMainWindowOps
{
public:
    virtual ~TMainWindowOps() = default;
    // Prepares and shows the serial e-mail window for the mail chosen in the start wizard.
    virtual void StartMailer() = 0;
    // Writes the grid into a workbook chosen by the user.
    virtual void ExportGridToExcel() = 0;
    // Sets one field of every record, or of the marked ones, from a text.
    virtual void SetColumnValue(const QString &fieldName, const QString &value, bool onlyMarked) = 0;
    // Deletes the database chosen in the open/delete dialog.
    virtual void DeleteSelectedDatabase() = 0;
    // Shows the table's records anew after others changed them.
    virtual void refreshGrid() = 0;
    // Counts the marked records and shows the start wizard of a serial e-mail again.
    virtual void MailBitBtnClick() {}
};

// One table of the open database with the model that feeds the grid from it
// ("Table" n and "DataSource" n, n counted from 1).
struct TTableComponent
{
    QString name;      // "Table1", ...
    QString tableName; // column 2 of the definition line
    AddressTable *table = nullptr;
    AddressModel *dataSource = nullptr;
};

class TMainState : public QObject
{
    Q_OBJECT
public:
    explicit TMainState(QObject *parent = nullptr);
    ~TMainState() override;

    // Folders (each ending in "/").
    QString AppFolder, UserDataFolder, DataFolder, ExportFolder, ImagesFolder, LettersFolder, AppTempFolder,
        SystemTempFolder, TemplatesCopySource;
    // Switches and values of the main window.
    bool CheckNewAddresses = true;
    bool TransactionLogOn = false;
    bool GridEditMode = false;
    bool FirstSettingsDone = false;
    bool TrackingActive = false;
    bool SslActive = false;
    int CharsetIndex = 0;
    QString StatsUrl, StatsPassword, WebSettingsFile;
    int MarkedCount = 0;
    // A serial e-mail run is sending: commands that change the open table wait for its end.
    bool SendRunActive = false;
    bool OutlookAvailable = false;
    bool Outlook64Bit = false;

    // The catalogue (Buttons.ini) and the open database.
    QStringList DatabaseCatalog;
    QStringList DatabaseDefinition;
    QList<TTableComponent> TableComponents;
    AddressTable *CurrentTable = nullptr;      // nullptr while no database is open
    AddressModel *CurrentDataSource = nullptr; // feeds the grid
    QString CurrentTableName, CurrentTableFile, DatabaseIniName, OpenDatabaseCaption;
    QStringList FieldDefinitions, ComboDefinitions, FilterPresets;

    // What the window shows of it.
    QString DatabaseLabelText;  // "Geöffnete Datenbank: " + caption
    QString StatusPanelText;    // record count + " Datensätze"
    QString StatusBarText;      // progress of long operations
    QStringList FilterBoxItems; // preset names for the filter box
    // Whether the web menu's entries for the links (Links1) and for fetching
    // orders from the web site (NeueEintrageabholen1) can be used.
    bool Links1Enabled = false;
    bool NeueEintrageabholen1Enabled = false;

    TMainWindowOps *Ops = nullptr;

    // What a command that changes the open table says while a send run is going
    // (the windows' check is CommandRefusedDuringSendRun(), sendrunguard.h).
    static QString sendRunActiveText();

    // The operations below show nothing: when one fails it returns false and
    // errorText() says why, for the caller to show (empty when there is nothing to say).
    QString errorText() const { return m_errorText; }

    // Sets AppFolder and the folders inside it; SystemTempFolder is the system's
    // temporary folder.
    void setAppFolder(const QString &folder);
    // Reads AppFolder + "Buttons.ini"; false (and an empty catalogue) when it cannot be read.
    bool loadDatabaseCatalog();
    // The commands for several databases need at least two databases.
    bool hasSeveralDatabases() const { return DatabaseCatalog.size() > 2; }
    // The definition file to open at start: the name in "LastopenDB.inc" when that
    // file names an existing definition file, otherwise "Database.ini".
    QString databaseToOpenAtStart() const;
    // Writes "LastopenDB.inc" with the one name.
    bool writeLastOpenDatabase(const QString &definitionFile) const;

    // Opens the database of a definition file of the data folder. The new
    // database is made ready first (tables created when missing, definition
    // files read, table 1 opened); only then is the open one left (its grid
    // layout saved, its components freed). When anything fails there is one
    // message to show (errorText()), and the database that was open stays open as it was.
    // An empty name changes nothing.
    bool OpenDatabase(const QString &name);
    // Saves the grid layout of the open database and posts a pending edit (closing the window).
    void saveOpenDatabase();

    // The steps of opening, also used by the database dialogs.
    // Creates the table DataFolder + name + ".DB" from its field definition file
    // and writes the creation log; "Database not created!" when it fails.
    bool CreateTableFromDefinition(const QString &tableName);
    // Reads the filter preset, combo definition and field definition files of a
    // table into the lists and fills the filter box; all or nothing.
    bool LoadTableDefinitions(const QString &tableName);
    // Makes table n (from 1) of the open database current and opens it at its
    // last record; false when the database has no table n or it cannot be opened.
    bool ActivateTable(int n);
    // Closes and frees every table of the open database; no database is open afterwards.
    void FreeTableComponents();
    // Frees the definition lists, posts a pending edit and closes the current table.
    void CloseTableExtras();
    void SaveGridLayout(const QString &path);
    void LoadGridLayout(const QString &path);
    // Titles from the display names of the field definition file (with
    // "ANZEIGENAME" in its header line).
    void ApplyColumnCaptions();
    // No column title marked as the sort column.
    void ResetTitleFonts();
    void ShowRecordCount();
    void setStatusText(const QString &text);

    // The grid layout file of a definition file: DataFolder + name up to its first "." + ".grd".
    QString gridLayoutPath(const QString &definitionFile) const;

signals:
    void databaseOpened();
    void databaseClosed();
    // The window writes its columns' widths, order and visibility into the
    // model before the layout is saved, and applies them after it is loaded.
    void aboutToSaveGridLayout();
    void gridLayoutLoaded();
    void databaseLabelChanged(const QString &text);
    void statusPanelChanged(const QString &text);
    void statusTextChanged(const QString &text);
    // Fill the filter box with these names and show the first, without applying it.
    void filterBoxChanged(const QStringList &items);
    void webMenusChanged(bool links, bool fetch);

private:
    bool fail(const QString &text);

    QString m_errorText;
    struct Lists
    {
        QStringList filterPresets, comboDefinitions, fieldDefinitions;
    };
    bool readTableDefinitions(const QString &tableName, Lists *lists);
    bool openComponent(TTableComponent &c);
    void installLists(const Lists &lists);
    void connectCurrentTable();
    void readWebSettings(const QString &definitionFile);
    void setDatabaseCaption(const QString &definitionFile);
    QList<TTableComponent> buildComponents(const QStringList &tableNames, bool *ok);
    void deleteComponents(QList<TTableComponent> &components);
};

// The one instance the program uses (made on first use, kept until the end).
TMainState &MainState();

// Opens a page of the program's help folder; the main help page when none is named.
void OpenHelpPage(const QString &page = QString());

} // namespace vt
