#include "addressmodel.h"
#include "text.h"

#include <QBrush>
#include <QFont>

namespace vt {

AddressModel::AddressModel(AddressTable *table, QObject *parent) : QAbstractTableModel(parent), m_table(table)
{
    // The table changes first and tells afterwards; the reset follows at once,
    // before any view can ask for data in between.
    connect(table, &AddressTable::rowsReset, this, [this] {
        beginResetModel();
        // A new row lasts only while the table inserts (a post elsewhere ends it).
        m_newRow = m_newRow && m_table->state() == AddressTable::State::Insert;
        ++m_resets;
        endResetModel();
    });
    connect(table, &AddressTable::rowChanged, this, [this](qint64 row) {
        if (row >= 0 && row < rowCount() && !m_columns.isEmpty())
            emit dataChanged(index(int(row), 0), index(int(row), columnCount() - 1));
    });
    connect(table, &AddressTable::afterOpen, this, [this] { resetColumns(); });
    if (table->isOpen())
        resetColumns();
}

void AddressModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns.clear();
    m_fieldOfColumn.clear();
    for (const GridColumn &c : columns) {
        const int field = m_table ? m_table->fieldIndex(c.field) : -1;
        if (field >= 0) {
            m_columns.append(c);
            m_fieldOfColumn.append(field);
        }
    }
    endResetModel();
}

void AddressModel::resetColumns()
{
    QList<GridColumn> cols;
    if (m_table)
        for (const FieldDef &f : m_table->fields())
            cols.append({f.name, f.name, -1, true});
    setColumns(cols);
}

void AddressModel::setColumnTitle(int column, const QString &title)
{
    if (column < 0 || column >= m_columns.size() || m_columns[column].title == title)
        return;
    m_columns[column].title = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void AddressModel::setColumnWidth(int column, int width)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].width = width;
}

void AddressModel::setColumnVisible(int column, bool visible)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].visible = visible;
}

int AddressModel::columnOfField(const QString &fieldName) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (EqualsNoCase(m_columns.at(i).field, fieldName))
            return i;
    return -1;
}

QString AddressModel::fieldOfColumn(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column).field : QString();
}

int AddressModel::fieldIndexOfColumn(int column) const
{
    return m_fieldOfColumn.value(column, -1);
}

void AddressModel::setSortMarker(const QString &fieldName)
{
    if (m_sortMarker == fieldName)
        return;
    m_sortMarker = fieldName;
    if (!m_columns.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int AddressModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_table || !m_table->isOpen())
        return 0;
    return int(m_table->recordCount()) + (m_newRow ? 1 : 0);
}

void AddressModel::setEditable(bool on)
{
    if (!on)
        cancelNewRow();
    m_editable = on;
}

bool AddressModel::beginNewRow()
{
    if (m_newRow)
        return true;
    if (!m_editable || !m_table || !m_table->isOpen())
        return false;
    if (!m_table->append()) {
        emit editFailed(m_table->lastError());
        return false;
    }
    // A record the program makes has its marks set, not blank.
    for (int f = 0; f < m_table->fieldCount(); ++f)
        if (m_table->field(f).type == FieldType::Boolean)
            m_table->setValue(f, false);
    const int row = int(m_table->recordCount());
    beginInsertRows({}, row, row);
    m_newRow = true;
    m_newRowValues = false;
    endInsertRows();
    return true;
}

void AddressModel::cancelNewRow()
{
    if (!m_newRow)
        return;
    const int row = newRow();
    beginRemoveRows({}, row, row);
    m_newRow = false;
    m_table->cancel();
    endRemoveRows();
}

bool AddressModel::leaveNewRow()
{
    if (!m_newRow)
        return true;
    if (!m_newRowValues) {
        cancelNewRow();
        return true;
    }
    return storeNewRow();
}

bool AddressModel::storeNewRow()
{
    // Storing reads the rows anew, with the record among them; the views start
    // again then (here, when the table did not say so itself).
    m_newRow = false;
    const int resets = m_resets;
    if (m_table->post()) {
        if (resets == m_resets) {
            beginResetModel();
            endResetModel();
        }
        return true;
    }
    m_newRow = true;
    emit editFailed(m_table->lastError());
    return false;
}

int AddressModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant AddressModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_table)
        return {};
    const int field = fieldIndexOfColumn(index.column());
    if (m_newRow && index.row() == newRow()) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole: return m_table->text(field);
        case ValueRole: return m_table->value(field);
        default: return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return m_table->textAt(index.row(), field);
    case ValueRole: return m_table->valueAt(index.row(), field);
    case IdRole: return m_table->idAt(index.row());
    default: return {};
    }
}

QVariant AddressModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    const bool marked = !m_sortMarker.isEmpty() && EqualsNoCase(m_columns.at(section).field, m_sortMarker);
    switch (role) {
    case Qt::DisplayRole: return m_columns.at(section).title;
    case Qt::FontRole: {
        QFont f;
        f.setBold(marked);
        return f;
    }
    case Qt::ForegroundRole: return QBrush(marked ? Qt::red : Qt::black);
    default: return {};
    }
}

Qt::ItemFlags AddressModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int field = fieldIndexOfColumn(index.column());
    if (m_editable && m_table && field >= 0 && m_table->field(field).type != FieldType::AutoInc)
        f |= Qt::ItemIsEditable;
    return f;
}

bool AddressModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_table || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int field = fieldIndexOfColumn(index.column());
    if (m_newRow && index.row() == newRow()) {
        if (!m_table->setValue(field, value)) {
            emit editFailed(m_table->lastError());
            return false;
        }
        m_newRowValues = true;
        emit dataChanged(index, index);
        return storeNewRow();
    }
    const bool ok =
        m_table->moveTo(index.row()) && m_table->edit() && m_table->setValue(field, value) && m_table->post();
    if (!ok) {
        const QString message = m_table->lastError();
        m_table->cancel();
        emit editFailed(message);
    }
    return ok;
}

} // namespace vt
