#include "vAdd.h"

#include "core/grid/Contrast.h"
#include "core/grid/GridUnits.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>
#include <utility>

// Makes plain line editors and tells the grid about each one, so the caret
// rule and the input-method hints apply to it.
class CellDelegate final : public QStyledItemDelegate
{
public:
    explicit CellDelegate(vAdd *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        m_grid->editorCreated(editor, index);
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            model->setData(index, line->text(), Qt::EditRole);
    }

protected:
    // A suggestion (an untouched pre-fill) is drawn lighter than data.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!m_grid->IsSuggestion(index.column() + 1, index.row() + 1))
            return;
        QPalette &palette = option->palette;
        palette.setColor(QPalette::Text, palette.color(QPalette::PlaceholderText));
        const QColor on = palette.color(QPalette::HighlightedText);
        const QColor under = palette.color(QPalette::Highlight);
        palette.setColor(QPalette::HighlightedText,
                         QColor::fromRgbF((on.redF() + under.redF()) / 2, (on.greenF() + under.greenF()) / 2,
                                          (on.blueF() + under.blueF()) / 2));
    }

private:
    vAdd *m_grid;
};

namespace {

Contrast::Rgb rgb(const QColor &colour)
{
    return {colour.red(), colour.green(), colour.blue()};
}

// Row numbers with a bar in the highlight colour beside the marked rows.
// The row numbers' own model: the table's row count and row numbers, the
// rows that hold selected cells shaded, the marked rows in bold in the
// highlight colour. It gives no notice of rows coming and going: the header
// below follows the count itself.
class RowNumbers final : public QAbstractTableModel
{
public:
    RowNumbers(AddressTableModel *table, const QTableView *view, const std::function<vAdd::RowTag(int)> &tagger,
               QObject *parent)
        : QAbstractTableModel(parent), m_table(table), m_view(view), m_tagger(tagger)
    {
        connect(table, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_table->rowCount(); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex &, int) const override { return {}; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        const auto marked = [&] {
            return m_table->headerData(section, orientation, AddressTableModel::MarkedRole).toBool();
        };
        const auto selected = [&] {
            return m_view->selectionModel() && m_view->selectionModel()->rowIntersectsSelection(section);
        };
        // The light colour behind the number: the selection's shade, else
        // the row's tag, half transparent.
        const auto backdrop = [&]() -> QColor {
            if (selected()) {
                QColor shade = m_view->palette().highlight().color();
                shade.setAlpha(60);
                return shade;
            }
            // A tagged row's number stands on its tag's colour, lightly, so
            // the numbers keep their width and the columns their fit.
            if (m_tagger) {
                if (QColor colour = m_tagger(section + 1).colour; colour.isValid()) {
                    colour.setAlpha(110);
                    return colour;
                }
            }
            return {};
        };
        switch (role) {
        case Qt::FontRole:
            if (marked()) {
                QFont bold = m_view->verticalHeader()->font();
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole: {
            const bool inBlock = marked() && !selected();
            const QColor back = backdrop();
            if (!back.isValid())
                return inBlock ? QVariant(m_view->palette().highlight()) : QVariant();
            // Readable on whatever colour is behind it, the block's mark too.
            const QPalette &header = m_view->verticalHeader()->palette();
            const QColor text = inBlock ? m_view->palette().highlight().color() : header.color(QPalette::ButtonText);
            const Contrast::Rgb shown = Contrast::legible(
                rgb(text), Contrast::blend(rgb(back), back.alpha(), rgb(header.color(QPalette::Button))));
            return QBrush(QColor(shown.r, shown.g, shown.b));
        }
        case Qt::ToolTipRole:
            return m_tagger ? QVariant(m_tagger(section + 1).tip) : QVariant();
        case Qt::BackgroundRole:
            if (const QColor back = backdrop(); back.isValid())
                return QBrush(back);
            return {};
        default:
            return m_table->headerData(section, orientation, role);
        }
    }

private:
    AddressTableModel *m_table;
    const QTableView *m_view;
    const std::function<vAdd::RowTag(int)> &m_tagger;
};

// Told of inserted or removed rows, Qt 6.4's header walks every section (for
// hidden ones, of which this grid has none), which at a million rows takes
// several frames. This header is never told: it only adds or drops sections
// at the end to match the table's count.
class RowHeader final : public QHeaderView
{
public:
    explicit RowHeader(QTableView *table) : QHeaderView(Qt::Vertical, table) {}

    void followRowCount()
    {
        const int rows = model() ? model()->rowCount() : 0;
        const int sections = count();
        if (rows == sections)
            return;
        if (rows == 0)
            initializeSections(); // drops them all
        else
            initializeSections(std::clamp(sections, 0, rows - 1), rows - 1);
    }
};

} // namespace

vAdd::vAdd(QWidget *parent) : QTableView(parent), m_model(new AddressTableModel(this))
{
    auto *rowHeader = new RowHeader(this);
    rowHeader->setSectionsClickable(true);
    setVerticalHeader(rowHeader);
    setObjectName(QStringLiteral("vAdd"));
    setModel(m_model);
    rowHeader->setModel(new RowNumbers(m_model, this, m_rowTagger, rowHeader));
    for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, changed, rowHeader, [rowHeader] { rowHeader->followRowCount(); });
    connect(m_model, &QAbstractItemModel::modelReset, rowHeader, [rowHeader] { rowHeader->followRowCount(); });
    // Selecting cells repaints the row numbers, which show the selected rows.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, rowHeader->viewport(),
            qOverload<>(&QWidget::update));
    setItemDelegate(new CellDelegate(this));
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
    setWordWrap(false);
    setTabKeyNavigation(true);

    QFont font = this->font();
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic")});
    font.setPointSize(9); // the designed column widths hold a postal code at this size
    setFont(font);

    // A fixed row height keeps scrolling through a million rows cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(GridUnits::RowHeightPixels);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setMinimumWidth(int(std::lround(1.37 * GridUnits::PixelsPerUnit)));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(true);

    m_model->setRowCountTo(GridUnits::InitialRows);
    for (int c = 1; c <= ColCount(); ++c)
        SetColumnWidth(c, GridUnits::DesignedWidths[c - 1]);

    connect(m_model, &AddressTableModel::cellEdited, this,
            [this](int row, int column) { Q_EMIT CellChanged(column + 1, row + 1); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &vAdd::onSelectionChanged);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &vAdd::onSectionResized);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { Q_EMIT CellDblClick(index.column() + 1, index.row() + 1); });

    // A model reset (a file load) loses the current index; put it back on the
    // same cell, clamped, without raising a cell move.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_enteredIndex = QModelIndex();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->rowCount() == 0)
            return;
        m_restoringCurrent = true;
        selectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::ClearAndSelect);
        m_restoringCurrent = false;
    });
}

// Rows inserted or removed move the view's current index and selection with
// the rows, and the view reports both as if the person had moved; the grid
// keeps both where they were instead, in silence.
class vAdd::KeepPlace final
{
public:
    explicit KeepPlace(vAdd &grid) : m_grid(grid), m_row(grid.CurRow()), m_col(grid.CurCol())
    {
        for (const QItemSelectionRange &range : grid.selectionModel()->selection())
            m_ranges.append(QRect(QPoint(range.left(), range.top()), QPoint(range.right(), range.bottom())));
        m_wasRestoring = std::exchange(grid.m_restoringCurrent, true);
        m_wasQuiet = std::exchange(grid.m_quietSelection, true);
    }
    ~KeepPlace()
    {
        const int rows = m_grid.RowCount();
        AddressTableModel &model = *m_grid.m_model;
        if (rows > 0) {
            QItemSelection selection;
            for (const QRect &r : std::as_const(m_ranges))
                if (r.top() < rows)
                    selection.select(model.index(r.top(), r.left()), model.index(std::min(r.bottom(), rows - 1), r.right()));
            m_grid.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
            // With no active cell before (an empty table), the first row's
            // first cell becomes active, so typing has somewhere to go.
            const int row = m_row > 0 ? std::min(m_row, rows) : 1;
            const int col = m_col > 0 ? m_col : 1;
            m_grid.selectionModel()->setCurrentIndex(model.index(row - 1, col - 1), QItemSelectionModel::Current);
        }
        m_grid.m_restoringCurrent = m_wasRestoring;
        m_grid.m_quietSelection = m_wasQuiet;
    }
    Q_DISABLE_COPY_MOVE(KeepPlace)

private:
    vAdd &m_grid;
    int m_row;
    int m_col;
    QList<QRect> m_ranges; // the selected cells, columns and rows from 0
    bool m_wasRestoring;
    bool m_wasQuiet;
};

int vAdd::RowCount() const
{
    return m_model->rowCount();
}

void vAdd::SetRowCount(int count)
{
    const KeepPlace keep(*this);
    m_model->setRowCountTo(count);
}

int vAdd::CurCol() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() + 1 : 0;
}

int vAdd::CurRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

QString vAdd::GetCell(int col, int row) const
{
    if (row < 1 || row > RowCount() || col < 1 || col > ColCount())
        return {};
    return m_model->cell(row - 1, col - 1).toString();
}

void vAdd::SetCell(int col, int row, const QString &text)
{
    m_model->setCell(row - 1, col - 1, text);
}

void vAdd::GoToCell(int col, int row)
{
    if (row < 1 || row > RowCount() || col < 1 || col > ColCount())
        return;
    const QModelIndex target = m_model->index(row - 1, col - 1);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

void vAdd::ClearCells(int col1, int row1, int col2, int row2)
{
    const int lastRow = RowCount();
    const int lastCol = ColCount();
    const int c1 = col1 == -1 ? 1 : col1;
    const int c2 = col1 == -1 ? lastCol : col2;
    const int r1 = row1 == -1 ? 1 : row1;
    const int r2 = row1 == -1 ? lastRow : (row2 == -1 ? row1 : row2);
    m_caret = {}; // a placed caret belongs to text that is gone
    m_model->clearCells(r1 - 1, c1 - 1, r2 - 1, c2 - 1);
}

void vAdd::InsertRowsAt(int row, int count)
{
    const int total = RowCount();
    if (count <= 0 || row < 1 || row > total)
        return;
    count = std::min(count, total - row + 1);
    const KeepPlace keep(*this);
    m_caret = {}; // its row may have moved
    m_model->insertBlankRows(row - 1, count);
    m_model->removeRowsAt(total, count); // the row count stays as it was
}

void vAdd::DeleteRowsAt(int row, int count)
{
    const int total = RowCount();
    if (count <= 0 || row < 1 || row > total)
        return;
    count = std::min(count, total - row + 1);
    const KeepPlace keep(*this);
    m_caret = {}; // its row may have moved or gone
    m_model->removeRowsAt(row - 1, count);
    m_model->setRowCountTo(total); // blank rows come in at the bottom
}

void vAdd::KeepingPlace(const std::function<void()> &change)
{
    const KeepPlace keep(*this);
    m_caret = {};
    change();
}

void vAdd::PlaceCurrent(int col, int row)
{
    if (row < 1 || row > RowCount() || col < 1 || col > ColCount())
        return;
    const QModelIndex target = m_model->index(row - 1, col - 1);
    const bool wasRestoring = std::exchange(m_restoringCurrent, true);
    const bool wasQuiet = std::exchange(m_quietSelection, true);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    m_restoringCurrent = wasRestoring;
    m_quietSelection = wasQuiet;
    scrollTo(target);
}

QRect vAdd::SelectedArea() const
{
    QRect area;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        area |= QRect(QPoint(range.left() + 1, range.top() + 1), QPoint(range.right() + 1, range.bottom() + 1));
    if (area.isEmpty() && CurRow() >= 1)
        area = QRect(CurCol(), CurRow(), 1, 1);
    return area;
}

void vAdd::SelectArea(const QRect &area)
{
    if (area.isEmpty() || RowCount() == 0)
        return;
    const QModelIndex from = m_model->index(std::clamp(area.top(), 1, RowCount()) - 1, std::clamp(area.left(), 1, ColCount()) - 1);
    const QModelIndex to = m_model->index(std::clamp(area.bottom(), 1, RowCount()) - 1, std::clamp(area.right(), 1, ColCount()) - 1);
    const bool wasQuiet = std::exchange(m_quietSelection, true);
    selectionModel()->select(QItemSelection(from, to), QItemSelectionModel::ClearAndSelect);
    m_quietSelection = wasQuiet;
}

QRect vAdd::CellRect(int col, int row) const
{
    const QRect rect = visualRect(m_model->index(row - 1, col - 1));
    return rect.translated(viewport()->geometry().topLeft());
}

void vAdd::SetCaret(int start, int length)
{
    const QModelIndex target = m_enteredIndex.isValid() ? m_enteredIndex : currentIndex();
    m_caret = {target.row(), target.column(), start, length};
    if (m_editor && state() == EditingState && currentIndex() == target)
        m_editor->setSelection(start, length);
}

void vAdd::CommitEdit()
{
    if (m_editor && state() == EditingState)
        commitData(m_editor);
}

void vAdd::EndEdit()
{
    if (!m_editor || state() != EditingState || !m_editor->isVisible())
        return;
    commitData(m_editor);
    closeEditor(m_editor, QAbstractItemDelegate::NoHint);
}

void vAdd::EditCell(int col, int row, int caret)
{
    if (row < 1 || row > RowCount() || col < 1 || col > ColCount())
        return;
    GoToCell(col, row);
    if (CurRow() == row && CurCol() == col)
        QTableView::edit(currentIndex());
    SetCaret(caret, 0);
    if (m_editor && m_editor->isVisible())
        m_editor->setCursorPosition(caret);
}

double vAdd::ColumnWidth(int col) const
{
    if (col < 1 || col > ColCount())
        return 0;
    return m_units[col - 1];
}

void vAdd::SetColumnWidth(int col, double units)
{
    if (col < 1 || col > ColCount())
        return;
    m_units[col - 1] = units;
    m_settingWidth = true;
    setColumnWidth(col - 1, int(std::lround(units * GridUnits::PixelsPerUnit)));
    m_settingWidth = false;
}

void vAdd::onSectionResized(int logicalIndex, int, int newSize)
{
    if (m_settingWidth || logicalIndex < 0 || logicalIndex >= ColCount())
        return;
    m_units[logicalIndex] = newSize / GridUnits::PixelsPerUnit;
    Q_EMIT ColWidthChanged(logicalIndex + 1, logicalIndex + 1);
}

void vAdd::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(viewport()->mapFrom(this, event->pos()));
    const int clickType = event->reason() == QContextMenuEvent::Mouse ? 1 : 0;
    Q_EMIT GridRightClick(clickType, index.column() + 1, index.row() + 1, event->globalPos().x(),
                          event->globalPos().y());
    event->accept();
}

bool vAdd::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (state() == EditingState || !index.isValid() || !(editTriggers() & trigger))
        return QTableView::edit(index, trigger, event);
    // A cell whose caret was placed (a pre-filled address) is edited from that
    // caret: typing goes on after it instead of replacing the cell's text.
    const bool caretPending = index.row() == m_caret.row && index.column() == m_caret.col;
    // Text typed through an input method arrives as a composition, which the
    // view does not pass on by itself; the editor gets it like a key press.
    const bool typed = trigger == AnyKeyPressed && event
                       && (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod);
    if (!caretPending && !(typed && event->type() == QEvent::InputMethod))
        return QTableView::edit(index, trigger, event);
    if (!QTableView::edit(index, typed ? AllEditTriggers : trigger, typed ? nullptr : event))
        return false;
    if (m_editor && state() == EditingState && currentIndex() == index) {
        if (caretPending) {
            m_editor->setCursorPosition(m_caret.start);
            if (m_caret.length > 0)
                m_editor->setSelection(m_caret.start, m_caret.length);
            m_caret = {};
        }
        if (typed)
            QCoreApplication::sendEvent(m_editor, event);
    }
    return true;
}

void vAdd::editorCreated(QLineEdit *editor, const QModelIndex &index)
{
    m_editor = editor;
    m_enterInEditor = false;
    m_editOrigin = {index, m_model->cell(index.row(), index.column()).toString()};
    editor->installEventFilter(this);
    Q_EMIT EditorCreated(editor, index.column() + 1, index.row() + 1);
}

void vAdd::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (!m_restoringCurrent && current.isValid() && current != previous) {
        // Tab and Shift+Tab carry a run along the row; any other move ends it.
        m_tabRun = m_tabbing ? SheetKeys::afterTab(m_tabRun, {previous.column() + 1, previous.row() + 1},
                                                   {current.column() + 1, current.row() + 1})
                             : SheetKeys::TabRun{};
        bool cancel = false;
        m_enteredIndex = current;
        m_caret = {};
        Q_EMIT LeavingCell(previous.column() + 1, previous.row() + 1, current.column() + 1, current.row() + 1,
                           &cancel);
        m_enteredIndex = QModelIndex();
    }
    QTableView::currentChanged(current, previous);
}

void vAdd::SetMarkedRows(int from, int to)
{
    m_model->setMarkedRows(from - 1, to - 1);
}

void vAdd::SetRowTagger(std::function<RowTag(int row)> tagger)
{
    m_rowTagger = std::move(tagger);
    RefreshRowTags();
}

void vAdd::SetSuggestion(std::function<bool(int col, int row)> isSuggestion)
{
    m_isSuggestion = std::move(isSuggestion);
    viewport()->update();
}

bool vAdd::IsSuggestion(int col, int row) const
{
    return m_isSuggestion && m_isSuggestion(col, row);
}

void vAdd::RefreshRowTags()
{
    verticalHeader()->viewport()->update();
}

void vAdd::onSelectionChanged()
{
    if (m_quietSelection)
        return;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty())
        return;
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    for (const QItemSelectionRange &range : selection) {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
        left = std::min(left, range.left());
        right = std::max(right, range.right());
    }
    if (top == bottom && left == right)
        return; // a single cell is no block
    Q_EMIT BlockSelected(left + 1, top + 1, right + 1, bottom + 1);
}

// Enter takes the typed text and moves down one row, as in a spreadsheet.
bool vAdd::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: the editor also sends events while it is being
    // destroyed, when it is no longer a line edit to compare with.
    if (event->type() == QEvent::KeyPress && watched == m_editor) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        m_enterInEditor = key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    return QTableView::eventFilter(watched, event);
}

void vAdd::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool byEnter = m_enterInEditor && editor == m_editor;
    m_enterInEditor = false;
    // Tab and Shift+Tab take the text and move to the next or previous cell,
    // as in a spreadsheet, without opening an editor there.
    const bool byTab = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    const EditOrigin origin = editor == m_editor ? std::exchange(m_editOrigin, {}) : EditOrigin{};
    QTableView::closeEditor(editor, byTab ? QAbstractItemDelegate::NoHint : hint);
    // Escape puts back the text the cell held when the edit began, also when
    // some of the typing had gone into the table meanwhile (a save).
    if (hint == QAbstractItemDelegate::RevertModelCache && origin.index.isValid()
        && m_model->cell(origin.index.row(), origin.index.column()).toString() != origin.text)
        m_model->setData(origin.index, origin.text, Qt::EditRole);
    if (byTab) {
        const QModelIndex next = moveCursor(hint == QAbstractItemDelegate::EditNextItem ? MoveNext : MovePrevious,
                                            Qt::NoModifier);
        if (next.isValid()) {
            const bool was = std::exchange(m_tabbing, true);
            GoToCell(next.column() + 1, next.row() + 1);
            m_tabbing = was;
        }
    }
    if (byEnter)
        moveByEnter();
}

void vAdd::moveByEnter()
{
    const SheetKeys::Cell at{CurCol(), CurRow()};
    const SheetKeys::Cell to = SheetKeys::enterTarget(m_tabRun, at, RowCount());
    if (to != at)
        GoToCell(to.col, to.row);
}

void vAdd::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier && state() != EditingState) {
        moveByEnter();
        event->accept();
        return;
    }
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    const bool was = std::exchange(m_tabbing, tab && state() != EditingState);
    QTableView::keyPressEvent(event);
    m_tabbing = was;
}
