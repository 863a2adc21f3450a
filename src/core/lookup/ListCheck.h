#pragma once

#include "core/lookup/PostalDictionary.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <vector>

// Checking a whole list against the postal dictionary: every row is sorted
// into one kind, with what applying it would write. The rules are plain
// functions that any thread may call on a finished (read-only) dictionary;
// ListCheck runs them over a snapshot of the list on the thread pool.

enum class CheckKind : quint8 {
    Match,      // the code and the address agree
    NoCode,     // address found, code empty: propose the code
    NoAddress,  // code found, address empty: propose the address
    Mismatch,   // both there and they disagree: propose either
    Ambiguous,  // the address fits several codes equally, or a code without
                // an address serves several towns: the candidates
    Outdated,   // code or town known only to older data: the current ones
    NotFound,   // neither is found (or only the city of a town the data
                // does not list: its catch-all code is a candidate)
    BadFormat,  // the code is not seven digits: the code rewritten, or the
                // code a spreadsheet's number stands for where it fits the row
};
inline constexpr int CheckKindCount = 8;

// "一致", "郵便番号なし", "住所なし", "不一致", "候補複数", "旧住所・旧番号",
// "見つからない", "形式".
QString caption(CheckKind kind);

// A row's postal code, address and workplace as the grid holds them.
struct CheckInput
{
    QString zip;
    QString add;
    QString cmp;
    friend bool operator==(const CheckInput &, const CheckInput &) = default;
};

struct CheckResult
{
    int row = -1; // index in the checked list (0 = the first row)
    CheckKind kind = CheckKind::Match;
    CheckInput seen;     // the row as it was checked
    QString proposedZip; // "123-4567"
    QString proposedAdd; // an address as the dictionary writes it, block numbers kept
    // Ambiguous, a Mismatch whose address fits several codes, and a NotFound
    // whose city alone is found: one "123-4567 address（note or office）" per
    // candidate.
    QStringList candidates;
};

// The dictionaries one check reads: the one in use and older data (the
// generation an update replaced, Debian's SKK dictionaries), which tell a
// retired code or a renamed town from a wrong one. All must be finished.
struct CheckData
{
    const PostalDictionary *current = nullptr;
    std::vector<const PostalDictionary *> older;
};

// The kind of one row. Thread-safe; a blank row (all three empty) is a Match
// (ListCheck leaves blank rows out of its counts).
CheckResult checkRow(const CheckData &data, int row, const CheckInput &in);

// Whether the row still says what was checked; applying to any other content
// would write over an edit made since, so it must not happen.
bool stillAsChecked(const CheckResult &result, const CheckInput &now);

// Which proposal of a mismatch to take: the code that the address has, or the
// address that the code has.
enum class MismatchFix { CodeFromAddress, AddressFromCode };

// What applying a result writes into the row `now`: NoCode the code, NoAddress
// the address, Mismatch the chosen one, Outdated the current code and
// address, BadFormat the rewritten code (with the code's town when the row
// has no address). None when the row changed since the
// check (stillAsChecked) or the kind has nothing to write (Match, Ambiguous,
// NotFound, a BadFormat that is no code).
std::optional<CheckInput> applied(const CheckResult &result, const CheckInput &now,
                                  MismatchFix fix = MismatchFix::CodeFromAddress);

// The proposal as one line of text for the results list.
QString proposalText(const CheckResult &result);

// The results as tab-separated text for the clipboard: a header line 行, 種類,
// 郵便番号, 住所, 提案, then one line per result with its row numbered from 1,
// CR LF line ends, cells quoted as spreadsheets do.
QString resultsText(const std::vector<CheckResult> &results);

// Older data for a check: the generation an update replaced (kept in the user
// data folder) and Debian's SKK dictionaries in `skkFolder`; either may be
// missing. Reads and indexes files (about a second): load once and keep.
std::vector<std::shared_ptr<const PostalDictionary>> loadOlderData(const QString &userDataFolder,
                                                                   const QString &skkFolder);

// Runs checkRow over a snapshot of the list on the global thread pool, in
// chunks, and reports back on the thread that started it.
class ListCheck : public QObject
{
    Q_OBJECT
public:
    ListCheck(std::shared_ptr<const PostalDictionary> current,
              std::vector<std::shared_ptr<const PostalDictionary>> older = {}, QObject *parent = nullptr);
    ~ListCheck() override; // cancels and waits for a check still running

    // Starts checking `rows` (row i of the list is rows[i]); a check still
    // running is cancelled first. Returns at once.
    void start(std::vector<CheckInput> rows);
    // Stops a running check; finished() follows with wasCanceled() true.
    void cancel();
    bool isRunning() const;
    bool wasCanceled() const { return m_canceled; }
    // Blocks until the check has finished (for tests and benchmarks).
    void waitForFinished();

    // After finished(): the rows that are not Match, in row order, and the
    // number of non-blank rows of each kind (indexed by CheckKind).
    const std::vector<CheckResult> &results() const { return m_results; }
    const std::array<int, CheckKindCount> &counts() const { return m_counts; }
    int rowCount() const { return int(m_rows.size()); }

Q_SIGNALS:
    void progress(int done, int total);
    void finished();

private:
    struct Chunk
    {
        int from = 0;
        int to = 0;
        std::vector<CheckResult> results;
        std::array<int, CheckKindCount> counts{};
    };
    void collect();
    void stop();

    std::shared_ptr<const PostalDictionary> m_current;
    std::vector<std::shared_ptr<const PostalDictionary>> m_older;
    CheckData m_data;
    std::vector<CheckInput> m_rows;
    std::vector<Chunk> m_chunks;
    // One watcher per check, a child of this object: a report left over from
    // a check cancelled for a new one goes with its watcher.
    QFutureWatcher<void> *m_watcher = nullptr;
    std::vector<CheckResult> m_results;
    std::array<int, CheckKindCount> m_counts{};
    bool m_canceled = false;
};
