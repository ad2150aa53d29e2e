#pragma once
// The grid's model over an address table. It shows the table's rows under its
// filter and order and reads their values through the table's page cache, so
// it never holds more than a few pages of rows. Its columns are a layout of its
// own (which fields, in which order, with which titles, widths and visibility),
// which the grid layout file stores per database.
#include "addresstable.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

namespace vt {

struct GridColumn
{
    QString field;  // field name
    QString title;  // column title
    int width = -1; // in pixels; -1 leaves it to the view
    bool visible = true;
    bool operator==(const GridColumn &) const = default;
};

class AddressModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1, // the row's record ID
        ValueRole,                 // the value in its natural form (bool for booleans)
    };

    explicit AddressModel(AddressTable *table, QObject *parent = nullptr);
    AddressTable *table() const { return m_table; }

    // The layout. Columns whose field the table lacks are dropped.
    const QList<GridColumn> &columns() const { return m_columns; }
    void setColumns(const QList<GridColumn> &columns);
    // One column per field, titled with the field name.
    void resetColumns();
    void setColumnTitle(int column, const QString &title);
    void setColumnWidth(int column, int width);
    void setColumnVisible(int column, bool visible);
    int columnOfField(const QString &fieldName) const;
    QString fieldOfColumn(int column) const;
    int fieldIndexOfColumn(int column) const;

    // The field whose title is marked as the sort column (bold, red); empty for none.
    void setSortMarker(const QString &fieldName);
    QString sortMarker() const { return m_sortMarker; }

    // Cells can be edited (each change is posted at once). Switching editing
    // off drops a new row that was not stored.
    void setEditable(bool on);
    bool isEditable() const { return m_editable; }

    // The new row: while cells are editable, an empty row after the last one,
    // for a record that does not exist yet (the table is inserting). The first
    // value entered stores it, and from then on it is an ordinary row. A value
    // the table refuses stays in the new row, to be corrected.
    bool beginNewRow();
    bool hasNewRow() const { return m_newRow; }
    int newRow() const { return m_newRow ? rowCount() - 1 : -1; }
    // A value is waiting in the new row.
    bool newRowHasValues() const { return m_newRow && m_newRowValues; }
    void cancelNewRow();
    // Leaving the new row: without values it is dropped, with values they are
    // stored; false (editFailed sent) when the table refuses them.
    bool leaveNewRow();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // An edit in a cell was refused (the text says why); the record is unchanged.
    void editFailed(const QString &message);

private:
    bool storeNewRow();

    QPointer<AddressTable> m_table;
    QList<GridColumn> m_columns;
    QList<int> m_fieldOfColumn;
    QString m_sortMarker;
    bool m_editable = false;
    bool m_newRow = false;
    bool m_newRowValues = false;
    int m_resets = 0; // resets the table asked for
};

} // namespace vt
