#include "mainstate.h"
#include "databasefiles.h"
#include "definitionfiles.h"
#include "inifile.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"
#include "text.h"
#include "textfile.h"
#include "windowsinfo.h"

#include <algorithm>

namespace vt {

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// A name from a file that is used as a file name in the data folder: never a
// path, so that a definition file cannot reach outside the data folder, and
// without control characters (a NUL would end the path early for SQLite).
bool isPlainFileName(const QString &name)
{
    return !Trimmed(name).isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           name != QLatin1String(".") && name != QLatin1String("..") &&
           std::none_of(name.begin(), name.end(), isControl);
}

// A name as it can be shown: control characters as "?".
QString shownName(QString name)
{
    std::replace_if(name.begin(), name.end(), isControl, QLatin1Char('?'));
    return name;
}

QString definitionMissing(const QString &name)
{
    return QStringLiteral("Die Datenbank-Definitionsdatei \"%1\" wurde nicht gefunden!").arg(name);
}

} // namespace

TMainState::TMainState(QObject *parent) : QObject(parent)
{
}

TMainState::~TMainState()
{
    blockSignals(true);
    deleteComponents(TableComponents);
}

QString TMainState::sendRunActiveText()
{
    return QStringLiteral("Während des Mailversands nicht möglich!\rBitte warten Sie, bis der Versand beendet ist.");
}

void TMainState::setAppFolder(const QString &folder)
{
    AppFolder = WithTrailingSlash(folder);
    auto sub = [this](const char *name) { return WithTrailingSlash(PathJoin(AppFolder, QLatin1String(name))); };
    DataFolder = sub("Data");
    ExportFolder = sub("Export");
    ImagesFolder = sub("Images");
    LettersFolder = sub("Briefe");
    AppTempFolder = sub("Temp");
    TemplatesCopySource = sub("Vorlagen");
    SystemTempFolder = WithTrailingSlash(WindowsInfo().TempDir);
}

bool TMainState::loadDatabaseCatalog()
{
    bool ok = false;
    DatabaseCatalog = ReadLines(ResolveExisting(AppFolder, QStringLiteral("Buttons.ini")), &ok);
    return ok;
}

QString TMainState::databaseToOpenAtStart() const
{
    const QString last = ResolveExisting(AppFolder, QStringLiteral("LastopenDB.inc"));
    if (IsFile(last)) {
        const QString name = Trimmed(ReadFirstLine(last));
        if (isPlainFileName(name) && IsFile(ResolveExisting(DataFolder, name)))
            return name;
    }
    return QStringLiteral("Database.ini");
}

bool TMainState::writeLastOpenDatabase(const QString &definitionFile) const
{
    return WriteLines(ResolveExisting(AppFolder, QStringLiteral("LastopenDB.inc")), {definitionFile});
}

QString TMainState::gridLayoutPath(const QString &definitionFile) const
{
    return ResolveExisting(DataFolder, NameBeforeFirstDot(definitionFile) + QStringLiteral(".grd"));
}

// ---------------------------------------------------------------------------
// Opening

bool TMainState::fail(const QString &text)
{
    m_errorText = text;
    return false;
}

bool TMainState::OpenDatabase(const QString &name)
{
    m_errorText.clear();
    if (Trimmed(name).isEmpty())
        return false;
    bool ok = false;
    QStringList lines;
    if (isPlainFileName(name)) {
        const QString path = ResolveExisting(DataFolder, name);
        if (IsFile(path))
            lines = ReadLines(path, &ok);
    }
    if (!ok)
        return fail(definitionMissing(name));
    const QStringList tables = DefinitionTableNames(lines);
    if (tables.isEmpty())
        return fail(QStringLiteral("Die Datenbank-Definitionsdatei \"%1\" nennt keine Tabelle!").arg(name));
    for (const QString &t : tables)
        if (!isPlainFileName(t))
            return fail(
                QStringLiteral("Die Datenbank-Definitionsdatei \"%1\" nennt einen ungültigen Tabellennamen: \"%2\"")
                    .arg(name, shownName(t)));
    QList<TTableComponent> components = buildComponents(tables, &ok);
    if (!ok)
        return false;
    Lists lists;
    if (!readTableDefinitions(components.first().tableName, &lists) || !openComponent(components.first())) {
        deleteComponents(components);
        return false;
    }

    // The new database is ready: now leave the one that is open.
    saveOpenDatabase();
    deleteComponents(TableComponents);
    TableComponents = components;
    DatabaseDefinition = lines;
    CurrentTable = components.first().table;
    CurrentDataSource = components.first().dataSource;
    CurrentTableName = components.first().tableName;
    CurrentTableFile = CurrentTable->fileName();
    installLists(lists);
    connectCurrentTable();
    DatabaseIniName = name;
    readWebSettings(name);
    LoadGridLayout(gridLayoutPath(name));
    setDatabaseCaption(name);
    emit databaseOpened();
    ShowRecordCount();
    return true;
}

void TMainState::saveOpenDatabase()
{
    if (!CurrentTable)
        return;
    SaveGridLayout(gridLayoutPath(DatabaseIniName));
    if (CurrentTable->state() == AddressTable::State::Edit)
        CurrentTable->post();
}

QList<TTableComponent> TMainState::buildComponents(const QStringList &tableNames, bool *ok)
{
    QList<TTableComponent> out;
    *ok = true;
    for (int n = 1; n <= tableNames.size(); ++n) {
        const QString tableName = tableNames.at(n - 1);
        if (!IsFile(ResolveExisting(DataFolder, tableName + QStringLiteral(".DB"))) &&
            !CreateTableFromDefinition(tableName)) {
            deleteComponents(out);
            *ok = false;
            return {};
        }
        TTableComponent c;
        c.name = QStringLiteral("Table%1").arg(n);
        c.tableName = tableName;
        c.table = new AddressTable(this);
        c.table->setObjectName(c.name);
        c.dataSource = new AddressModel(c.table, this);
        c.dataSource->setObjectName(QStringLiteral("DataSource%1").arg(n));
        out.append(c);
    }
    return out;
}

void TMainState::deleteComponents(QList<TTableComponent> &components)
{
    for (TTableComponent &c : components) {
        delete c.dataSource;
        if (c.table) {
            c.table->disconnect(this);
            c.table->close();
        }
        delete c.table;
    }
    components.clear();
}

bool TMainState::openComponent(TTableComponent &c)
{
    if (!c.table->open(ResolveExisting(DataFolder, c.tableName + QStringLiteral(".DB"))))
        return fail(c.table->lastError());
    c.table->last();
    return true;
}

bool TMainState::CreateTableFromDefinition(const QString &tableName)
{
    m_errorText.clear();
    if (CreateTableFile(DataFolder, tableName, nullptr))
        return true;
    return fail(QStringLiteral("Database not created!"));
}

bool TMainState::readTableDefinitions(const QString &tableName, Lists *lists)
{
    const struct
    {
        const char *extension;
        QStringList *list;
    } files[] = {
        {".fil", &lists->filterPresets}, {".cb", &lists->comboDefinitions}, {".pro", &lists->fieldDefinitions}};
    for (const auto &f : files) {
        const QString fileName = tableName + QLatin1String(f.extension);
        const QString path = ResolveExisting(DataFolder, fileName);
        bool ok = false;
        if (IsFile(path))
            *f.list = ReadLines(path, &ok);
        if (!ok)
            return fail(QStringLiteral("Die Definitionsdatei \"%1\" kann nicht gelesen werden!").arg(fileName));
    }
    return true;
}

void TMainState::installLists(const Lists &lists)
{
    FilterPresets = lists.filterPresets;
    ComboDefinitions = lists.comboDefinitions;
    FieldDefinitions = lists.fieldDefinitions;
    FilterBoxItems.clear();
    for (const FilterPreset &p : FilterPresetsFromLines(FilterPresets))
        FilterBoxItems.append(p.name);
    emit filterBoxChanged(FilterBoxItems);
}

bool TMainState::LoadTableDefinitions(const QString &tableName)
{
    m_errorText.clear();
    Lists lists;
    if (!readTableDefinitions(tableName, &lists)) {
        installLists({});
        return false;
    }
    installLists(lists);
    return true;
}

bool TMainState::ActivateTable(int n)
{
    m_errorText.clear();
    if (n < 1 || DatabaseDefinition.size() < n + 1 || TableComponents.size() < n)
        return false;
    CloseTableExtras();
    TTableComponent &c = TableComponents[n - 1];
    CurrentTable = c.table;
    CurrentDataSource = c.dataSource;
    CurrentTableName = c.tableName;
    Lists lists;
    if (!readTableDefinitions(c.tableName, &lists) || !openComponent(c)) {
        installLists({});
        return false;
    }
    CurrentTableFile = c.table->fileName();
    installLists(lists);
    connectCurrentTable();
    emit databaseOpened();
    return c.table->isOpen();
}

void TMainState::connectCurrentTable()
{
    for (const TTableComponent &c : std::as_const(TableComponents))
        c.table->disconnect(this);
    AddressTable *t = CurrentTable;
    connect(t, &AddressTable::afterOpen, this, &TMainState::ShowRecordCount);
    connect(t, &AddressTable::afterPost, this, &TMainState::ShowRecordCount);
    connect(t, &AddressTable::afterDelete, this, &TMainState::ShowRecordCount);
    connect(t, &AddressTable::afterBulkChange, this, &TMainState::ShowRecordCount);
}

void TMainState::FreeTableComponents()
{
    if (CurrentTable && CurrentTable->state() == AddressTable::State::Edit)
        CurrentTable->post();
    deleteComponents(TableComponents);
    CurrentTable = nullptr;
    CurrentDataSource = nullptr;
    CurrentTableName.clear();
    CurrentTableFile.clear();
    DatabaseDefinition.clear();
    DatabaseIniName.clear();
    OpenDatabaseCaption.clear();
    installLists({});
    DatabaseLabelText.clear();
    StatusPanelText.clear();
    Links1Enabled = NeueEintrageabholen1Enabled = false;
    emit databaseClosed();
    emit databaseLabelChanged(DatabaseLabelText);
    emit statusPanelChanged(StatusPanelText);
    emit webMenusChanged(false, false);
}

void TMainState::CloseTableExtras()
{
    FilterPresets.clear();
    FieldDefinitions.clear();
    if (CurrentTable && CurrentTable->state() == AddressTable::State::Edit)
        CurrentTable->post();
    ComboDefinitions.clear();
    if (CurrentTable)
        CurrentTable->close();
}

void TMainState::readWebSettings(const QString &definitionFile)
{
    const QString path = ResolveExisting(DataFolder, NameBeforeFirstDot(definitionFile) + QStringLiteral(".web"));
    if (IsFile(path)) {
        const IniFile ini(path);
        const QString online = ini.readString(QStringLiteral("SETTINGS"), QStringLiteral("OnlinePath"));
        const QString stats = ini.readString(QStringLiteral("SETTINGS"), QStringLiteral("StatsURL"));
        Links1Enabled = !online.isEmpty() || !stats.isEmpty();
        NeueEintrageabholen1Enabled = !online.isEmpty();
    } else {
        Links1Enabled = NeueEintrageabholen1Enabled = false;
    }
    emit webMenusChanged(Links1Enabled, NeueEintrageabholen1Enabled);
}

void TMainState::setDatabaseCaption(const QString &definitionFile)
{
    int line = FindCatalogLine(DatabaseCatalog, definitionFile);
    if (line < 0)
        line = 1;
    OpenDatabaseCaption =
        line < DatabaseCatalog.size() ? CatalogEntryOf(DatabaseCatalog.at(line)).displayName : QString();
    DatabaseLabelText = QStringLiteral("Geöffnete Datenbank: ") + OpenDatabaseCaption;
    emit databaseLabelChanged(DatabaseLabelText);
}

// ---------------------------------------------------------------------------
// Grid layout and labels

void TMainState::SaveGridLayout(const QString &path)
{
    if (!CurrentDataSource)
        return;
    // The sort marking is no part of the layout.
    ResetTitleFonts();
    emit aboutToSaveGridLayout();
    WriteGridLayoutFile(path, CurrentDataSource->columns());
}

void TMainState::LoadGridLayout(const QString &path)
{
    if (!CurrentDataSource)
        return;
    CurrentDataSource->resetColumns();
    // A file that is missing, not ours or names none of the table's fields
    // leaves one column per field.
    if (const auto columns = ReadGridLayoutFile(path)) {
        CurrentDataSource->setColumns(*columns);
        if (CurrentDataSource->columns().isEmpty())
            CurrentDataSource->resetColumns();
    }
    ApplyColumnCaptions();
    emit gridLayoutLoaded();
}

void TMainState::ApplyColumnCaptions()
{
    if (!CurrentDataSource || FieldDefinitions.isEmpty() ||
        !FieldDefinitions.first().contains(QLatin1String("ANZEIGENAME")))
        return;
    for (int i = 1; i < FieldDefinitions.size(); ++i) {
        const QString field = ListColumn(FieldDefinitions.at(i), 1);
        const QString title = ListColumn(FieldDefinitions.at(i), 9);
        const QList<GridColumn> &cols = CurrentDataSource->columns();
        for (int c = 0; c < cols.size(); ++c)
            if (EqualsNoCase(cols.at(c).title, field))
                CurrentDataSource->setColumnTitle(c, title);
    }
}

void TMainState::ResetTitleFonts()
{
    if (CurrentDataSource)
        CurrentDataSource->setSortMarker({});
}

void TMainState::ShowRecordCount()
{
    StatusPanelText = CurrentTable && CurrentTable->isOpen()
                          ? QString::number(CurrentTable->recordCount()) + QStringLiteral(" Datensätze")
                          : QString();
    emit statusPanelChanged(StatusPanelText);
}

void TMainState::setStatusText(const QString &text)
{
    StatusBarText = text;
    emit statusTextChanged(text);
}

TMainState &MainState()
{
    // Made once and never destroyed: windows that live to the end of the
    // process may still read it while they go.
    static TMainState *state = new TMainState;
    return *state;
}

void OpenHelpPage(const QString &page)
{
    OpenHelpFile(MainState().AppFolder, page.isEmpty() ? ProductInfo().HelpFile : page);
}

} // namespace vt
