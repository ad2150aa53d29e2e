#include "dbgrid.h"
#include "messages.h"
#include "text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QWheelEvent>

namespace vt {

// ---------------------------------------------------------------------------
// Title row

TDBGridTitles::TDBGridTitles(TDBGrid *grid) : QHeaderView(Qt::Horizontal, grid)
{
    setSectionsClickable(true);
    setSectionsMovable(true);
    setHighlightSections(false);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
}

void TDBGridTitles::initStyleOptionForIndex(QStyleOptionHeader *option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    // Our own bookkeeping decides, so that sizing and dragging leave the titles alone.
    option->state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken);
    if (TitlePressed && logicalIndex == PressedColumn)
        option->state |= QStyle::State_Sunken;
    else if (HotColumn != -1 && logicalIndex == HotColumn)
        option->state |= QStyle::State_MouseOver;
}

bool TDBGridTitles::onBorder(int x) const
{
    const int logical = logicalIndexAt(x);
    if (logical < 0)
        return false;
    const int margin = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int start = sectionViewportPosition(logical);
    const int end = start + sectionSize(logical);
    return (visualIndex(logical) > 0 && x - start < margin) || end - x <= margin;
}

void TDBGridTitles::mousePressEvent(QMouseEvent *e)
{
    const int x = int(e->position().x());
    Sizing = onBorder(x);
    if (!Sizing) {
        PressedColumn = -1;
        TitlePressed = false;
        HotColumn = -1;
        if (e->button() == Qt::LeftButton && logicalIndexAt(x) >= 0) {
            TitlePressed = true;
            PressedColumn = logicalIndexAt(x);
        }
        m_pressPos = e->position().toPoint();
        viewport()->update();
    }
    QHeaderView::mousePressEvent(e);
}

void TDBGridTitles::mouseMoveEvent(QMouseEvent *e)
{
    if ((e->buttons() & Qt::LeftButton) && TitlePressed && !Sizing &&
        (e->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        ColumnDragging = sectionsMovable();
    if (!Sizing && !ColumnDragging) {
        const int hot = logicalIndexAt(int(e->position().x()));
        if (hot != HotColumn) {
            HotColumn = hot;
            viewport()->update();
        }
    }
    QHeaderView::mouseMoveEvent(e);
}

void TDBGridTitles::mouseReleaseEvent(QMouseEvent *e)
{
    // The owner's title click runs inside (sectionClicked) while the title still shows pressed.
    QHeaderView::mouseReleaseEvent(e);
    Sizing = false;
    ColumnDragging = false;
    TitlePressed = false;
    PressedColumn = -1;
    viewport()->update();
}

void TDBGridTitles::leaveEvent(QEvent *e)
{
    HotColumn = -1;
    PressedColumn = -1;
    viewport()->update();
    QHeaderView::leaveEvent(e);
}

// ---------------------------------------------------------------------------
// Indicator column

TDBGridIndicator::TDBGridIndicator(TDBGrid *grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid)
{
    setSectionsClickable(false);
    setSectionResizeMode(QHeaderView::Fixed);
    setHighlightSections(false);
}

QSize TDBGridIndicator::sizeHint() const
{
    // Fixed: measuring the sections of a million rows would cost for nothing.
    return QSize(14, QHeaderView::sizeHint().height());
}

void TDBGridIndicator::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    QHeaderView::paintSection(painter, rect, logicalIndex);
    AddressTable *t = m_grid->table();
    const AddressModel *m = m_grid->dataSource();
    const qint64 marked = m && m->hasNewRow() ? m->newRow() : t ? t->row() : -1;
    if (!t || !t->isOpen() || logicalIndex != marked)
        return;
    painter->save();
    // The style's header drawing leaves the painter clipped to nothing.
    painter->setClipRect(rect, Qt::ReplaceClip);
    painter->setRenderHint(QPainter::Antialiasing, false);
    const QPoint c = rect.center();
    if (t->state() == AddressTable::State::Edit || t->state() == AddressTable::State::Insert) {
        // An I-beam while the record is edited, a star for a new one.
        painter->setPen(palette().color(QPalette::ButtonText));
        if (t->state() == AddressTable::State::Edit) {
            painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
            painter->drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
            painter->drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
        } else {
            painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
        }
    } else {
        // An arrow pointing right with a white shadow.
        auto arrow = [&](int dx, const QColor &color) {
            const int x = rect.left() + 3 + dx, y = c.y();
            const QPoint pts[3] = {{x, y - 4}, {x + 4, y}, {x, y + 4}};
            painter->setPen(color);
            painter->setBrush(color);
            painter->drawPolygon(pts, 3);
        };
        arrow(1, Qt::white);
        arrow(0, Qt::black);
    }
    painter->restore();
}

// ---------------------------------------------------------------------------
// Cells

TDBGridDelegate::TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid)
{
}

void TDBGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!m_grid->isBooleanColumn(index.column())) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell as usual without its "True"/"False", and the picture of the
    // value in its top left corner, unscaled; a blank counts as false.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    const bool value = index.data(AddressModel::ValueRole).toBool();
    const QPixmap pic = m_grid->glyph(value);
    if (!pic.isNull()) {
        painter->drawPixmap(option.rect.topLeft(), pic);
        return;
    }
    QStyleOptionButton box;
    box.state = QStyle::State_Enabled | (value ? QStyle::State_On : QStyle::State_Off);
    const int side = std::min(option.rect.height() - 2, 13);
    box.rect = QRect(option.rect.left() + 2, option.rect.top() + (option.rect.height() - side) / 2, side, side);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, opt.widget);
}

QWidget *TDBGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    m_grid->m_editor = editor;
    return editor;
}

// ---------------------------------------------------------------------------
// The grid

TDBGrid::TDBGrid(QWidget *parent)
    : QTableView(parent), m_titles(new TDBGridTitles(this)), m_indicator(new TDBGridIndicator(this))
{
    setHorizontalHeader(m_titles);
    setVerticalHeader(m_indicator);
    setItemDelegate(new TDBGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    m_indicator->setDefaultSectionSize(fontMetrics().height() + 4);
    m_titles->setMinimumSectionSize(12);
    // A title click sorts (the owner decides). Single cell selection keeps the
    // view from selecting the column, which would move the current record.
    connect(m_titles, &QHeaderView::sectionClicked, this, [this](int logical) {
        emit titleClick(logical);
        m_titles->TitlePressed = false;
        m_titles->PressedColumn = -1;
        m_titles->viewport()->update();
    });
    // The model's columns keep the widths that are shown.
    connect(m_titles, &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
        if (m_model && !m_applyingLayout && !m_titles->isSectionHidden(logical) && newSize > 0)
            m_model->setColumnWidth(logical, newSize);
    });
    // Cancel on exit: a new row without values is dropped when the focus moves
    // to another control of the window (not when a message box or dialog opens).
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (!now || now == this || isAncestorOf(now) || now->window() != window())
            return;
        if (m_model && m_model->hasNewRow() && !m_model->newRowHasValues()) {
            m_model->cancelNewRow();
            followTableRow();
        }
    });
}

void TDBGrid::setDataSource(AddressModel *model)
{
    if (model == m_model && model == QTableView::model())
        return;
    for (const QMetaObject::Connection &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_editor.clear();
    m_model = model;
    setModel(model);
    if (!model)
        return;
    AddressTable *t = model->table();
    m_links << connect(t, &AddressTable::currentRowChanged, this, [this] { followTableRow(); });
    // While the view starts again it moves its current cell by itself (an
    // editor it hides hands the focus on); the table's record decides afterwards.
    m_links << connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_columnBeforeReset = currentIndex().column();
        m_focusBeforeReset = hasFocus() || (m_editor && m_editor->hasFocus());
        m_droppedEditor = m_editor;
        m_following = true;
    });
    m_links << connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_following = false;
        m_editor.clear();
        if (!m_applyingLayout)
            applyLayoutFromModel();
        followTableRow();
        // An editor that had the focus is gone: the focus stays in the grid.
        if (m_focusBeforeReset && !hasFocus())
            setFocus(Qt::OtherFocusReason);
    });
    m_links << connect(t, &AddressTable::stateChanged, m_indicator, [this] { m_indicator->viewport()->update(); });
    m_links << connect(model, &AddressModel::editFailed, this, [this](const QString &message) {
        m_commitRefused = true;
        emit editRefused(message);
    });
    applyLayoutFromModel();
    followTableRow();
}

int TDBGrid::defaultColumnWidth(int column) const
{
    AddressTable *t = table();
    const int f = m_model ? m_model->fieldIndexOfColumn(column) : -1;
    const QFontMetrics fm = fontMetrics();
    const int title = m_titles->fontMetrics().horizontalAdvance(m_model->columns().at(column).title) + 16;
    if (!t || f < 0)
        return std::max(title, 64);
    const int ch = fm.averageCharWidth();
    int w = 0;
    switch (t->field(f).type) {
    case FieldType::Boolean: w = 20; break;
    case FieldType::Date: w = fm.horizontalAdvance(QStringLiteral("00.00.0000")) + 10; break;
    case FieldType::AutoInc:
    case FieldType::Integer: w = 7 * ch; break;
    case FieldType::String: w = std::clamp(t->field(f).size, 6, 28) * ch; break;
    default: w = 12 * ch; break;
    }
    // The address column shows a typical address whole.
    if (EqualsNoCase(t->field(f).name, QStringLiteral("Mail")))
        w = std::max(w, fm.horizontalAdvance(QStringLiteral("vorname.nachname@beispiel-firma.de")) + 16);
    return std::max(w, title);
}

void TDBGrid::applyLayoutFromModel()
{
    if (!m_model)
        return;
    m_applyingLayout = true;
    const QList<GridColumn> &cols = m_model->columns();
    for (int c = 0; c < cols.size(); ++c) {
        setColumnHidden(c, !cols.at(c).visible);
        m_titles->resizeSection(c, cols.at(c).width > 0 ? cols.at(c).width : defaultColumnWidth(c));
    }
    m_applyingLayout = false;
}

void TDBGrid::storeLayoutInModel()
{
    if (!m_model)
        return;
    const QList<GridColumn> &cols = m_model->columns();
    QList<GridColumn> shown;
    for (int v = 0; v < m_titles->count(); ++v) {
        const int l = m_titles->logicalIndex(v);
        if (l < 0 || l >= cols.size())
            continue;
        GridColumn g = cols.at(l);
        g.visible = !m_titles->isSectionHidden(l);
        if (g.visible)
            g.width = m_titles->sectionSize(l);
        shown.append(g);
    }
    if (shown == cols)
        return;
    // The new order becomes the model's own; the header starts from it again.
    m_applyingLayout = true;
    m_model->setColumns(shown);
    m_applyingLayout = false;
    applyLayoutFromModel();
}

void TDBGrid::setGlyphs(const QPixmap &trueGlyph, const QPixmap &falseGlyph)
{
    m_trueGlyph = trueGlyph;
    m_falseGlyph = falseGlyph;
    viewport()->update();
}

bool TDBGrid::isBooleanColumn(int column) const
{
    AddressTable *t = table();
    const int f = m_model ? m_model->fieldIndexOfColumn(column) : -1;
    return t && f >= 0 && t->field(f).type == FieldType::Boolean;
}

QString TDBGrid::currentFieldName() const
{
    return m_model ? m_model->fieldOfColumn(currentIndex().column()) : QString();
}

int TDBGrid::visibleRowCount() const
{
    const int h = m_indicator->defaultSectionSize();
    return h > 0 ? viewport()->height() / h : 0;
}

bool TDBGrid::postPendingEdit()
{
    if (QWidget *editor = m_editor) {
        m_commitRefused = false;
        emit commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        m_editor.clear();
        if (m_commitRefused)
            return false;
    }
    // A new row goes when it holds nothing, and is stored when it does.
    if (m_model && m_model->hasNewRow()) {
        const bool ok = m_model->leaveNewRow();
        followTableRow();
        return ok;
    }
    return true;
}

void TDBGrid::cancelPendingEdit()
{
    if (QWidget *editor = m_editor) {
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
        m_editor.clear();
    }
    if (m_model && m_model->hasNewRow()) {
        m_model->cancelNewRow();
        followTableRow();
    }
    if (AddressTable *t = table();
        t && t->state() != AddressTable::State::Browse && t->state() != AddressTable::State::Inactive)
        t->cancel();
}

void TDBGrid::followTableRow()
{
    AddressTable *t = table();
    if (!t || !m_model || m_following)
        return;
    const qint64 row = m_model->hasNewRow() ? m_model->newRow() : t->isOpen() ? t->row() : -1;
    m_following = true;
    if (row < 0 || row >= m_model->rowCount()) {
        setCurrentIndex({});
    } else {
        // After a reset the column stays the one the user was in.
        int column = currentIndex().isValid() ? currentIndex().column() : m_columnBeforeReset;
        if (column < 0 || isColumnHidden(column))
            for (int v = 0; v < m_titles->count() && (column < 0 || isColumnHidden(column)); ++v)
                column = m_titles->logicalIndex(v);
        if (column >= 0) {
            const QModelIndex i = m_model->index(int(row), column);
            setCurrentIndex(i);
            scrollTo(i);
        }
    }
    m_indicator->viewport()->update();
    m_following = false;
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    AddressTable *t = table();
    if (m_following || !t || !current.isValid())
        return;
    if (m_model && m_model->hasNewRow()) {
        if (current.row() == m_model->newRow())
            return;
        // Leaving the new row; when its values are refused, the grid goes back to it.
        if (!m_model->leaveNewRow()) {
            const int column = previous.column();
            QMetaObject::invokeMethod(
                this, [this, column] { showNewRow(column); }, Qt::QueuedConnection);
            return;
        }
        if (!currentIndex().isValid() || currentIndex() != current) {
            followTableRow();
            return;
        }
    }
    if (current.row() == t->row())
        return;
    // Moving posts a pending change; when that fails the grid stays where the table is.
    if (!t->moveTo(current.row())) {
        emit editRefused(t->lastError());
        QMetaObject::invokeMethod(
            this, [this] { followTableRow(); }, Qt::QueuedConnection);
    }
    m_indicator->viewport()->update();
}

void TDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (!editor || editor != m_droppedEditor) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    // Storing its value made the rows start again (a new record, a changed field
    // the filter reads), which took the editor from the view: Tab still moves on.
    m_droppedEditor.clear();
    editor->hide();
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        const QModelIndex next =
            moveCursor(hint == QAbstractItemDelegate::EditNextItem ? MoveNext : MovePrevious, Qt::NoModifier);
        if (next.isValid()) {
            setCurrentIndex(next);
            if (next.flags() & Qt::ItemIsEditable)
                edit(next);
        }
    }
}

void TDBGrid::keyPressEvent(QKeyEvent *e)
{
    if ((OnKeyDown && OnKeyDown(e)) || editKey(e)) {
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

bool TDBGrid::editKey(QKeyEvent *e)
{
    if (!m_model || !m_model->isEditable() || isEditing())
        return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
        deleteCurrentRecord();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    switch (e->key()) {
    case Qt::Key_Insert: appendRow(); return true;
    case Qt::Key_Down:
        if (m_model->hasNewRow() || currentIndex().row() < m_model->rowCount() - 1)
            return false;
        appendRow();
        return true;
    case Qt::Key_Escape:
        if (!m_model->hasNewRow())
            return false;
        m_model->cancelNewRow();
        followTableRow();
        return true;
    default: return false;
    }
}

void TDBGrid::appendRow()
{
    if (!m_model || !m_model->isEditable())
        return;
    const int column = currentIndex().column();
    if (!m_model->hasNewRow() &&
        (!postPendingEdit() || (CanChangeRecords && !CanChangeRecords()) || !m_model->beginNewRow()))
        return;
    showNewRow(column);
}

void TDBGrid::showNewRow(int column)
{
    if (!m_model || !m_model->hasNewRow())
        return;
    for (int v = 0; v < m_titles->count() && (column < 0 || isColumnHidden(column)); ++v)
        column = m_titles->logicalIndex(v);
    const QModelIndex i = m_model->index(m_model->newRow(), std::max(column, 0));
    m_following = true;
    setCurrentIndex(i);
    scrollTo(i);
    m_following = false;
    m_indicator->viewport()->update();
}

void TDBGrid::deleteCurrentRecord()
{
    AddressTable *t = table();
    if (!m_model || !m_model->isEditable() || !t || !t->isOpen())
        return;
    // A new row is no record yet: it just goes.
    if (m_model->hasNewRow()) {
        cancelPendingEdit();
        return;
    }
    if (t->currentId() < 0 || (CanChangeRecords && !CanChangeRecords()))
        return;
    if (!question(QStringLiteral("Datensatz löschen?")))
        return;
    if (!t->remove())
        emit editRefused(t->lastError());
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    const bool onCell = indexAt(e->position().toPoint()).isValid();
    QTableView::mouseDoubleClickEvent(e);
    if (onCell && e->button() == Qt::LeftButton)
        emit dblClick();
}

void TDBGrid::wheelEvent(QWheelEvent *e)
{
    const int delta = e->angleDelta().y();
    if (delta == 0) {
        e->ignore();
        return;
    }
    // A pending change is discarded before the grid moves.
    cancelPendingEdit();
    const int notches = m_wheel.add(delta);
    for (int i = 0; i < std::abs(notches); ++i) {
        if (notches > 0)
            DoMouseWheelUp(e->modifiers());
        else
            DoMouseWheelDown(e->modifiers());
    }
    e->accept();
}

bool TDBGrid::takeWheelFocus()
{
    // The wheel moves the grid only when the grid (or its cell editor) can have the focus.
    if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible())
        setFocus(Qt::MouseFocusReason);
    return hasFocus() || (m_editor && m_editor->hasFocus());
}

bool TDBGrid::DoMouseWheelDown(Qt::KeyboardModifiers modifiers)
{
    if (OnMouseWheelDown && OnMouseWheelDown(modifiers))
        return true;
    if (!takeWheelFocus())
        return false;
    const int distance = (modifiers & Qt::ControlModifier) ? visibleRowCount() - 1
                         : (modifiers & Qt::ShiftModifier) ? 1
                                                           : 2;
    return moveBy(distance);
}

bool TDBGrid::DoMouseWheelUp(Qt::KeyboardModifiers modifiers)
{
    if (OnMouseWheelUp && OnMouseWheelUp(modifiers))
        return true;
    if (!takeWheelFocus())
        return false;
    const bool page = (modifiers & Qt::ControlModifier) && !(modifiers & (Qt::ShiftModifier | Qt::AltModifier));
    const int distance = page ? visibleRowCount() - 1 : (modifiers & Qt::ShiftModifier) ? 1 : 2;
    return moveBy(-distance);
}

bool TDBGrid::moveBy(int distance)
{
    AddressTable *t = table();
    if (!t || !t->isOpen() || distance == 0)
        return false;
    const qint64 count = t->recordCount();
    if (count == 0)
        return false;
    const qint64 from = t->row();
    const qint64 to = std::clamp<qint64>(from + distance, 0, count - 1);
    return to != from && t->moveTo(to);
}

} // namespace vt
