#pragma once

#include "core/lookup/ListCheck.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDockWidget>

#include <array>
#include <optional>
#include <vector>

class AddressTableModel;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

// The colour that marks a kind in the results and in the grid's row numbers.
QColor kindColour(CheckKind kind);

// The results of the last check of the whole list: one entry per row that is
// not 一致, in row order. Rows have no identity but their number, so the
// entries move with rows inserted or removed before them and go with their
// rows; any other change to a row is seen by comparing the row with what was
// checked, and such an entry is shown as changed and never applied.
class CheckResultModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Row, Kind, Zip, Address, Proposal, State, ColumnCount };
    enum class EntryState { Open, Applied, Changed };

    explicit CheckResultModel(const AddressTableModel &table, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(CheckResultModel)

    // Replaces the entries; their rows count from 0 in the table as it is now.
    void setResults(std::vector<CheckResult> results);
    // Only entries of `kind` are listed; none: every entry.
    void setFilter(std::optional<CheckKind> kind);
    std::optional<CheckKind> filter() const { return m_filter; }

    int entryCount() const { return int(m_entries.size()); }
    const CheckResult &result(int entry) const { return m_entries[size_t(entry)].result; }
    // The entry listed on line `line` of the list, and back; -1: none.
    int entryAt(int line) const;
    int lineOf(int entry) const;
    // The entry of table row `row` (from 0); -1: none.
    int entryOfRow(int row) const;

    // The row's postal code, address and workplace as the table holds them
    // now (empty past the last row).
    CheckInput rowNow(int row) const;
    EntryState state(int entry) const;
    // Remembers which proposal was written, so that the entry shows as
    // applied for as long as the row holds it.
    void markApplied(int entry, MismatchFix fix);

    // Where a row from 0 goes when `count` rows are inserted at `first`
    // (count > 0) or removed from it (count < 0); -1 when it is removed.
    static int movedRow(int row, int first, int count);
    void rowsMoved(int first, int count);
    // Rows changed in place: the states are shown afresh.
    void contentChanged();

    // The entries listed, for the clipboard.
    std::vector<CheckResult> listedResults() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Entry
    {
        CheckResult result;
        std::optional<MismatchFix> appliedFix;
    };
    void relist();

    const AddressTableModel &m_table;
    std::vector<Entry> m_entries;
    std::vector<int> m_listed; // entries shown, in order
    std::optional<CheckKind> m_filter;
};

// The pane of the list check: the counts per kind, the progress of a running
// check with its cancel button, the results with a filter by kind, and the
// buttons that apply proposals and copy the results.
class ListCheckPane final : public QDockWidget
{
    Q_OBJECT
public:
    ListCheckPane(CheckResultModel &model, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ListCheckPane)

    // A check runs: the progress bar and the cancel button show.
    void showProgress(int done, int total);
    // The check ended: the counts of its non-blank rows per kind.
    void showCounts(const std::array<int, CheckKindCount> &counts, bool canceled);
    // A line under the list saying what the last command did.
    void showNote(const QString &text);

    // The entries highlighted in the list.
    std::vector<int> selectedEntries() const;
    // The kind "この種類をすべて適用" acts on: the filter's, or else the
    // current entry's.
    std::optional<CheckKind> kindToApply() const;
    MismatchFix mismatchFix() const;
    void setMismatchFix(MismatchFix fix);
    void setFilter(std::optional<CheckKind> kind);

    QTableView *list() const { return m_list; }
    QLabel *countsLabel() const { return m_counts; }
    QLabel *noteLabel() const { return m_note; }

Q_SIGNALS:
    void cancelRequested();
    void entryChosen(int entry);
    void applyRequested();
    void applyKindRequested();
    void copyRequested();

private:
    void updateButtons();

    CheckResultModel &m_model;
    QLabel *m_counts;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    QComboBox *m_filter;
    QComboBox *m_fix;
    QPushButton *m_apply;
    QPushButton *m_applyKind;
    QPushButton *m_copy;
    QTableView *m_list;
    QLabel *m_note;
    std::array<int, CheckKindCount> m_lastCounts{};
};
