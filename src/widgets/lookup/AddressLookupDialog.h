#pragma once

#include "core/lookup/PostalDictionary.h"
#include "core/lookup/PostalSearch.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The candidates of one search, as the search window lists them.
class CandidateModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The note and the reading tell apart candidates whose address reads the
    // same (北十条西 under two codes, by 丁目).
    enum Column { Zip, Address, Note, Office, Kana, ColumnCount };

    explicit CandidateModel(std::shared_ptr<const PostalDictionary> dict, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(CandidateModel)

    void setResult(PostalSearch::Result result);
    const PostalSearch::Result &result() const { return m_result; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const PostalDictionary> m_dict;
    PostalSearch::Result m_result;
};

// The address dictionary's search window: the row's postal code, address and
// workplace, a list of candidates that narrows as any of them is edited, and
// the data it uses. Enter or a double click takes the selected candidate; Esc
// leaves the values as they came.
class AddressLookupDialog final : public QDialog
{
    Q_OBJECT
public:
    AddressLookupDialog(std::shared_ptr<const PostalDictionary> dict, const QString &zip, const QString &add,
                        const QString &cmp, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(AddressLookupDialog)

    // The values to hand back: the chosen candidate's after Enter, the ones
    // given otherwise.
    QString zip() const { return m_result.zip; }
    QString add() const { return m_result.add; }
    QString cmp() const { return m_result.cmp; }

    QLineEdit *zipField() const { return m_zip; }
    QLineEdit *addressField() const { return m_add; }
    QLineEdit *workplaceField() const { return m_cmp; }
    QTableView *candidateList() const { return m_list; }
    CandidateModel *candidates() const { return m_model; }
    QLabel *sourceLabel() const { return m_source; }

    // Top-left for a window of `size` wanted at `wanted`, moved just enough to
    // lie inside `available` (the window's screen).
    static QPoint keptOnScreen(QPoint wanted, QSize size, const QRect &available);
    // Top-left of the frame of a window of frame size `frame` that opens for
    // the grid row `row` (screen pixels): just below the row, or just above it
    // when there is no room below, so that it never covers the row; moved
    // sideways and, where neither side has room, up or down to stay inside
    // `available`.
    static QPoint besideRow(const QRect &row, QSize frame, const QRect &available);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void fitColumns();
    void takeCurrent();

    std::shared_ptr<const PostalDictionary> m_dict;
    QLineEdit *m_zip;
    QLineEdit *m_add;
    QLineEdit *m_cmp;
    QTableView *m_list;
    CandidateModel *m_model;
    QLabel *m_count;
    QLabel *m_source;
    QPushButton *m_ok;
    PostalSearch::Choice m_result;
};
