#pragma once

#include "core/lookup/ListCheck.h"

#include <QObject>

#include <memory>
#include <utility>
#include <vector>

class AddressTable;
class CheckResultModel;
class Desktop;
class ListCheckPane;
class LookupCommands;
class QMainWindow;

// 一括チェック: every row of the list checked against the postal dictionary
// on worker threads while the window stays usable, the rows that are not
// 一致 listed in a pane beside the grid and marked in its row numbers, and
// their proposals written into the table, each apply one undoable step.
class ListCheckCommands final : public QObject
{
    Q_OBJECT
public:
    // The pane docks in `window`; the dictionary and the search window come
    // from `lookup`.
    ListCheckCommands(AddressTable &table, LookupCommands &lookup, Desktop &desktop, QMainWindow &window);
    ~ListCheckCommands() override;
    Q_DISABLE_COPY_MOVE(ListCheckCommands)

    // Starts a check of the whole list (a running one starts over) and shows
    // the pane.
    void CheckList();
    void Cancel();
    bool isRunning() const;
    // A check ran to its end (not cancelled) and its results are listed.
    bool hasResults() const;

    // Writes the proposals of these entries into their rows as one step and
    // says so in the pane; a row changed since the check is left alone. A
    // single entry of 候補複数 opens the search window on its row instead.
    // Returns the number of rows written.
    int Apply(const std::vector<int> &entries);
    // The same for every entry of `kind`.
    int ApplyKind(CheckKind kind);
    // Makes the entry's row the active one in the grid.
    void GoToEntry(int entry);
    // The listed results as tab-separated text on the clipboard.
    void CopyResults();

    ListCheckPane &pane() const { return *m_pane; }
    CheckResultModel &results() const { return *m_results; }

    // Where the older data is looked for (Debian's SKK dictionaries).
    QString skkFolder = QStringLiteral("/usr/share/skk");

Q_SIGNALS:
    // A check ended (finished or cancelled) and its results are listed.
    void checkEnded();

private:
    // The kinds beside the row numbers, while there are results.
    void showTags();
    void startCheck(std::shared_ptr<const PostalDictionary> dict, std::vector<CheckInput> rows);
    // Stops a check or the reading before it without a word.
    void stop();
    void finished();
    void rowsMoved(int first, int count);

    AddressTable &m_table;
    LookupCommands &m_lookup;
    Desktop &m_desktop;
    QMainWindow &m_window;
    CheckResultModel *m_results;
    ListCheckPane *m_pane;
    std::unique_ptr<ListCheck> m_check;
    std::vector<std::shared_ptr<const PostalDictionary>> m_older;
    std::weak_ptr<const PostalDictionary> m_olderFor; // the dictionary m_older was read for
    bool m_readingOlder = false;
    int m_generation = 0; // a reading of older data whose check is still wanted
    bool m_applying = false;
    // Rows inserted (count > 0) or removed (count < 0) while a check runs,
    // in order: its results are moved the same way when they come.
    std::vector<std::pair<int, int>> m_moves;
};
