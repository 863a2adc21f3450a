#pragma once

#include "core/grid/AddressTableModel.h"
#include "core/table/SheetKeys.h"

#include <QColor>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>

#include <functional>


// The address grid: a spreadsheet-like view over AddressTableModel offering the
// operations and notifications the main window is written against. Rows and
// columns are numbered from 1 here, as everywhere outside the model.
class vAdd final : public QTableView
{
    Q_OBJECT
public:
    explicit vAdd(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(vAdd)

    AddressTableModel *table() const { return m_model; }

    // The grid's number of a model column: the one place where the model's
    // columns from 0 meet the grid's from 1.
    static constexpr int gridColumn(AddressTableModel::Column column) { return int(column) + 1; }

    int RowCount() const;
    void SetRowCount(int count);
    int ColCount() const { return AddressTableModel::ColumnCount; }
    int CurCol() const;
    int CurRow() const;
    QString GetCell(int col, int row) const;
    void SetCell(int col, int row, const QString &text);
    void GoToCell(int col, int row);
    // col1 = -1: every column; row1 = -1: every row.
    void ClearCells(int col1, int row1, int col2, int row2);
    // Row insertions and removals keep the active cell and the selected cells
    // at their row and column numbers (clamped to the rows left) and raise
    // neither a cell move nor a block selection.
    void InsertRowsAt(int row, int count);
    void DeleteRowsAt(int row, int count);
    // Marks rows from..to in the row header (to 0: none), e.g. the block the
    // row commands will act on.
    void SetMarkedRows(int from, int to);
    // A light colour behind a row's number, with a tip, e.g. what a check
    // found in that row; an invalid colour: none.
    struct RowTag
    {
        QColor colour;
        QString tip;
    };
    // Asked for the rows on show (from 1); empty: no tags. RefreshRowTags
    // repaints them after what the tagger answers changed.
    void SetRowTagger(std::function<RowTag(int row)> tagger);
    void RefreshRowTags();
    // Which cell holds a suggestion rather than data (drawn lighter); asked
    // while painting.
    void SetSuggestion(std::function<bool(int col, int row)> isSuggestion);
    bool IsSuggestion(int col, int row) const;
    // The cell's rectangle from the grid's top-left corner, in pixels.
    QRect CellRect(int col, int row) const;
    void SetCaret(int start, int length);
    double ColumnWidth(int col) const;
    void SetColumnWidth(int col, double units);

    // The line edit of the cell being edited, if any.
    QLineEdit *cellEditor() const { return m_editor; }
    // Text still being typed into a cell goes into the table; the editor
    // stays open (CommitEdit) or closes (EndEdit).
    void CommitEdit();
    void EndEdit();
    // Opens the editor on a cell with the caret at `caret` (from 0).
    void EditCell(int col, int row, int caret);
    // Changes rows through `change` with the active cell and the selection
    // kept where they are and no cell move raised.
    void KeepingPlace(const std::function<void()> &change);
    // Makes (col, row) the active cell without raising a cell move, as undo
    // puts the person back where they were.
    void PlaceCurrent(int col, int row);
    // The highlighted cells as a rectangle of grid columns (x) and rows (y),
    // from 1: the bounds of the selection, or the active cell when nothing is
    // highlighted; empty with no active cell.
    QRect SelectedArea() const;
    // Highlights a rectangle of cells (as SelectedArea gives them) without
    // changing the remembered block of rows.
    void SelectArea(const QRect &area);

Q_SIGNALS:
    void BlockSelected(int col1, int row1, int col2, int row2);
    void CellChanged(int col, int row);
    void ColWidthChanged(int col1, int col2);
    void CellDblClick(int col, int row);
    void LeavingCell(int col, int row, int newCol, int newRow, bool *cancel);
    void GridRightClick(int clickType, int col, int row, int x, int y);
    // A cell editor was made for the cell (col, row); hosts adjust its input method.
    void EditorCreated(QLineEdit *editor, int col, int row);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    friend class CellDelegate;
    class KeepPlace;
    void editorCreated(QLineEdit *editor, const QModelIndex &index);
    void onSelectionChanged();
    void onSectionResized(int logicalIndex, int oldSize, int newSize);
    // Enter: one row down, or to where the Tab run on this row started.
    void moveByEnter();

    struct Caret
    {
        int row = -1;
        int col = -1;
        int start = 0;
        int length = 0;
    };

    AddressTableModel *m_model;
    QPointer<QLineEdit> m_editor;
    Caret m_caret;            // caret for the next editor of that cell
    double m_units[AddressTableModel::ColumnCount];
    bool m_settingWidth = false;
    bool m_restoringCurrent = false;
    bool m_quietSelection = false; // selection changes are the program's own
    bool m_enterInEditor = false; // the open editor is being closed by Enter
    bool m_tabbing = false;       // the active cell moves by Tab or Shift+Tab
    SheetKeys::TabRun m_tabRun;   // the row being typed across with Tab
    // The cell being edited and its text when the edit began: Escape puts
    // that back.
    struct EditOrigin
    {
        QPersistentModelIndex index;
        QString text;
    };
    EditOrigin m_editOrigin;
    QModelIndex m_enteredIndex;
    std::function<RowTag(int row)> m_rowTagger;
    std::function<bool(int col, int row)> m_isSuggestion;
};
