#pragma once
// The program's data grid: a table view over the address model that behaves
// like a dataset grid. The current cell's row is the table's current record, in
// both directions; the title row is drawn with the style's header items, with
// the title under the mouse and the pressed title marked; the indicator column
// shows the current record and whether it is being edited; boolean cells show
// the check-box pictures; and the mouse wheel moves two records per notch (one
// with Shift, a page with Ctrl) after discarding a pending change.
#include "addressmodel.h"
#include "wheelhook.h"

#include <QHeaderView>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

namespace vt {

class TDBGrid;

// The title row. It keeps which title the mouse is over and which one is pressed.
class TDBGridTitles : public QHeaderView
{
public:
    explicit TDBGridTitles(TDBGrid *grid);

    int HotColumn = -1; // title under the mouse; -1 for none
    bool TitlePressed = false;
    int PressedColumn = -1; // title the left button went down on; -1 for none
    bool Sizing = false;    // the press began on a border between two titles
    bool ColumnDragging = false;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader *option, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;

private:
    bool onBorder(int x) const;
    QPoint m_pressPos;
};

// The indicator column: an arrow at the current record, an edit or insert mark
// while it is being changed.
class TDBGridIndicator : public QHeaderView
{
public:
    explicit TDBGridIndicator(TDBGrid *grid);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    TDBGrid *m_grid;
};

class TDBGridDelegate : public QStyledItemDelegate
{
public:
    explicit TDBGridDelegate(TDBGrid *grid);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    TDBGrid *m_grid;
};

class TDBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);

    // The model shown; nullptr detaches the grid.
    void setDataSource(AddressModel *model);
    AddressModel *dataSource() const { return m_model; }
    AddressTable *table() const { return m_model ? m_model->table() : nullptr; }

    // The model's columns are the layout that is saved: the displayed order,
    // widths and hidden columns go into it before a save, and come from it after
    // a load.
    void storeLayoutInModel();
    void applyLayoutFromModel();

    TDBGridTitles *titles() const { return m_titles; }

    // The pictures of boolean cells; a missing picture is drawn as a check box.
    void setGlyphs(const QPixmap &trueGlyph, const QPixmap &falseGlyph);
    bool isBooleanColumn(int column) const;
    QPixmap glyph(bool value) const { return value ? m_trueGlyph : m_falseGlyph; }

    // The field of the current column; empty when there is none.
    QString currentFieldName() const;
    // Whole data rows that fit on screen.
    int visibleRowCount() const;

    // A cell editor is open.
    bool isEditing() const { return !m_editor.isNull(); }
    // Commits an open cell editor to its record; false when the table refused
    // the value (the refusal has been told through editRefused).
    bool postPendingEdit();
    // Closes an open cell editor without keeping what was typed and cancels a
    // pending change of the table.
    void cancelPendingEdit();

    // While cells are editable: Insert, and Down on the last row, add a new row
    // for a record; Ctrl+Del deletes the current record after asking; Escape
    // drops the new row, and so does leaving it (or the grid) before a value
    // was entered.
    void appendRow();
    void deleteCurrentRecord();

    // The owner's handlers, asked first: true means they dealt with it.
    // CanChangeRecords: whether records may be added or deleted now (the owner
    // says why not).
    std::function<bool()> CanChangeRecords;
    std::function<bool(Qt::KeyboardModifiers)> OnMouseWheelDown;
    std::function<bool(Qt::KeyboardModifiers)> OnMouseWheelUp;
    std::function<bool(QKeyEvent *)> OnKeyDown;

    // One wheel notch; true when the current record moved (or the owner dealt with it).
    bool DoMouseWheelDown(Qt::KeyboardModifiers modifiers);
    bool DoMouseWheelUp(Qt::KeyboardModifiers modifiers);

signals:
    void titleClick(int column);
    void dblClick();
    // A value typed into a cell was not taken; the text says why.
    void editRefused(const QString &message);

protected:
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TDBGridDelegate;
    bool editKey(QKeyEvent *e);
    void showNewRow(int column);
    void followTableRow();
    bool moveBy(int distance);
    bool takeWheelFocus();
    int defaultColumnWidth(int column) const;

    TDBGridTitles *m_titles;
    TDBGridIndicator *m_indicator;
    QPointer<AddressModel> m_model;
    QList<QMetaObject::Connection> m_links;
    QPointer<QWidget> m_editor;
    QPointer<QWidget> m_droppedEditor; // open while the rows started again
    QPixmap m_trueGlyph, m_falseGlyph;
    WheelNotches m_wheel;
    bool m_following = false;
    bool m_applyingLayout = false;
    int m_columnBeforeReset = -1;
    bool m_focusBeforeReset = false;
    bool m_commitRefused = false;
};

} // namespace vt
