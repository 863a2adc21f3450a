#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <future>
#include <vector>

// The address table: rows of five text cells. Each row keeps its five cells in
// one string with five split points, so a table of a million rows costs little
// more than the text it holds, and inserting or deleting rows moves one small
// record per row. After the five cells a row taken in from a list of another
// layout keeps that list's other columns, unseen (its kept cells): they go
// wherever the row goes.
class AddressTableModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Zip, Add, Cmp, Tel, Url, ColumnCount };
    // Row header data: true for a marked row.
    static constexpr int MarkedRole = Qt::UserRole + 1;

    struct Row
    {
        QString text;                  // the five cells one after another, then the kept cells
        std::array<quint32, 5> ends{}; // end of cells 0..4 inside text

        QStringView cell(int column) const;
        // Changes one of the five cells; the kept cells stay.
        void setCell(int column, QStringView value);
        // Nothing at all, kept cells included.
        bool isEmpty() const { return text.isEmpty(); }
        // The five cells are empty (kept cells may hold something).
        bool isBlank() const { return ends[ColumnCount - 1] == 0; }
        // The five cells as one text.
        QStringView shown() const { return QStringView(text).first(ends[ColumnCount - 1]); }
        // Kept cells: a row taken in with other columns has one for each of
        // them (empty ones too); other rows have none.
        bool hasKept() const { return text.size() > qsizetype(ends[ColumnCount - 1]); }
        QStringList keptCells() const;
        // The kept cells as they stand after the five cells: each one its
        // length in two characters, then its text.
        static QString keptText(const QStringList &cells);
        static Row fromCells(QStringView zip, QStringView add, QStringView cmp, QStringView tel,
                             QStringView url, QStringView kept = {});
    };

    // Rows are relocatable, so inserting, deleting and growing move memory in
    // bulk instead of one row at a time.
    using Rows = QList<Row>;
    // An empty list with room for `rows` rows, and for more at both ends, in
    // address space only (pages come as rows are written): a table read into
    // it is taken by replaceRows without being moved.
    static Rows withRoom(qsizetype rows);

    explicit AddressTableModel(QObject *parent = nullptr);
    ~AddressTableModel() override;
    Q_DISABLE_COPY_MOVE(AddressTableModel)

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The program's own access; rows and columns from 0 here.
    QStringView cell(int row, int column) const { return m_rows[row].cell(column); }
    const Row &row(int row) const { return m_rows[row]; }
    void setCell(int row, int column, const QString &text);
    void setRowCountTo(int count);          // keeps the first rows, appends blank ones
    void clearCells(int firstRow, int firstColumn, int lastRow, int lastColumn);
    void clearAll();
    void insertBlankRows(int row, int count);   // later rows move down; the count grows
    void removeRowsAt(int row, int count);      // later rows move up; the count shrinks
    void replaceRows(Rows rows); // one model reset
    // Rows first..first+count-1 give way to `rows`, and are handed back
    // (moved, not copied): undoing is splicing them back in. The rows both
    // have in common change in place; the rest are inserted or removed after
    // them.
    Rows spliceRows(int first, int count, Rows rows);
    // Rows first..last are marked in the row header (bold); last < 0: none.
    void setMarkedRows(int first, int last);
    const Rows &rows() const { return m_rows; }

    static QString caption(int column);

Q_SIGNALS:
    // The person is about to change a cell to `text` (not the program).
    void cellAboutToBeEdited(int row, int column, const QString &text);
    // A cell was changed by the person editing it (not by the program).
    void cellEdited(int row, int column);

private:
    void releaseLater(QList<QString> texts);
    void reserveHeadroom();

    Rows m_rows;
    int m_markedFirst = 0;
    int m_markedLast = -1;
    std::future<void> m_release; // texts of cleared rows being freed
};

Q_DECLARE_TYPEINFO(AddressTableModel::Row, Q_RELOCATABLE_TYPE);
