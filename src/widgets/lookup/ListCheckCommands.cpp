#include "ListCheckCommands.h"

#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"
#include "widgets/lookup/ListCheckPane.h"
#include "widgets/lookup/LookupCommands.h"
#include "widgets/lookup/PostalAddressComponent.h"

#include <QApplication>
#include <QClipboard>
#include <QFutureWatcher>
#include <QLocale>
#include <QMainWindow>
#include <QTableView>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int PaneHeight = 260;

QString number(int n)
{
    return QLocale::c().toString(n);
}

} // namespace

ListCheckCommands::ListCheckCommands(AddressTable &table, LookupCommands &lookup, Desktop &desktop,
                                     QMainWindow &window)
    : m_table(table), m_lookup(lookup), m_desktop(desktop), m_window(window)
{
    vAdd &grid = m_table.grid();
    AddressTableModel *model = grid.table();
    m_results = new CheckResultModel(*model, this);
    m_pane = new ListCheckPane(*m_results, &m_window);
    m_window.addDockWidget(Qt::BottomDockWidgetArea, m_pane);
    m_pane->hide();

    connect(m_pane, &ListCheckPane::cancelRequested, this, &ListCheckCommands::Cancel);
    connect(m_pane, &ListCheckPane::entryChosen, this, &ListCheckCommands::GoToEntry);
    connect(m_pane, &ListCheckPane::applyRequested, this, [this] { Apply(m_pane->selectedEntries()); });
    connect(m_pane, &ListCheckPane::applyKindRequested, this, [this] {
        if (const std::optional<CheckKind> kind = m_pane->kindToApply())
            ApplyKind(*kind);
    });
    connect(m_pane, &ListCheckPane::copyRequested, this, &ListCheckCommands::CopyResults);
    connect(m_pane, &QDockWidget::visibilityChanged, this, [this] { showTags(); });

    // The results keep to their rows as rows come and go; any other change
    // is seen by comparing each row with what was checked.
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { rowsMoved(first, last - first + 1); });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsMoved(first, -(last - first + 1)); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] {
        if (m_applying)
            return;
        m_results->contentChanged();
        m_table.grid().RefreshRowTags();
        m_pane->showNote({}); // what it said of the last apply or copy no longer holds
    });
    // Another list was opened: the results were of the one it replaced.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        const bool running = isRunning();
        if (running)
            stop();
        m_moves.clear();
        if (running || m_results->entryCount() > 0) {
            m_results->setResults({});
            m_pane->showCounts({}, false);
            m_pane->showNote(running ? QStringLiteral("別の表が読み込まれたので、一括チェックを中止しました。")
                                     : QStringLiteral("別の表が読み込まれたので、結果を消しました。"));
        }
        showTags();
    });
}

void ListCheckCommands::showTags()
{
    vAdd &grid = m_table.grid();
    // The colours belong to the pane: closed, it takes them along.
    if (m_results->entryCount() == 0 || m_pane->isHidden()) {
        grid.SetRowTagger({});
        return;
    }
    grid.SetRowTagger([this](int row) -> vAdd::RowTag {
        const int entry = m_results->entryOfRow(row - 1);
        if (entry < 0)
            return {};
        const CheckResult &result = m_results->result(entry);
        switch (m_results->state(entry)) {
        case CheckResultModel::EntryState::Open:
            return {kindColour(result.kind), caption(result.kind) + u'　' + proposalText(result)};
        case CheckResultModel::EntryState::Applied:
            return {QColor(0xb0, 0xd8, 0xb0), caption(result.kind) + QStringLiteral("　適用済み")};
        case CheckResultModel::EntryState::Changed:
            break;
        }
        return {};
    });
}

ListCheckCommands::~ListCheckCommands()
{
    m_table.grid().SetRowTagger({});
    stop();
    delete m_pane;
}

void ListCheckCommands::CheckList()
{
    const auto *component = dynamic_cast<const PostalAddressComponent *>(m_lookup.component());
    if (!component) {
        m_desktop.message(QStringLiteral("郵便番号データがないので、一括チェックはできません"));
        return;
    }
    std::shared_ptr<const PostalDictionary> dict = component->sharedDictionary();
    m_table.grid().EndEdit();
    m_table.dropPrefill(); // an untouched pre-fill is no address to check
    stop();

    // The list as it is now is checked; the table stays free to change.
    const AddressTableModel &model = *m_table.grid().table();
    std::vector<CheckInput> rows;
    rows.reserve(size_t(model.rowCount()));
    for (int row = 0; row < model.rowCount(); ++row)
        rows.push_back(m_results->rowNow(row));

    m_moves.clear();
    m_results->setResults({});
    showTags();
    m_pane->showNote({});
    m_pane->showProgress(0, int(rows.size()));
    if (m_pane->isHidden()) {
        m_pane->show();
        m_window.resizeDocks({m_pane}, {PaneHeight}, Qt::Vertical);
    }
    m_pane->raise();

    if (m_olderFor.lock() == dict) {
        startCheck(std::move(dict), std::move(rows));
        return;
    }
    // Older data is read once per dictionary (an update of the postal data
    // makes a new previous generation), on a worker thread like the check.
    using Older = std::vector<std::shared_ptr<const PostalDictionary>>;
    auto *reading = new QFutureWatcher<Older>(this);
    const int generation = ++m_generation;
    connect(reading, &QFutureWatcherBase::finished, this,
            [this, reading, generation, dict = std::move(dict), rows = std::move(rows)]() mutable {
                reading->deleteLater();
                // Kept also for a check cancelled or started again meanwhile.
                m_older = reading->result();
                m_olderFor = dict;
                if (generation != m_generation)
                    return;
                m_readingOlder = false;
                startCheck(std::move(dict), std::move(rows));
            });
    m_readingOlder = true;
    reading->setFuture(QtConcurrent::run(&loadOlderData, Program().UserDataFolder, skkFolder));
}

void ListCheckCommands::startCheck(std::shared_ptr<const PostalDictionary> dict, std::vector<CheckInput> rows)
{
    m_check = std::make_unique<ListCheck>(std::move(dict), m_older);
    connect(m_check.get(), &ListCheck::progress, m_pane, &ListCheckPane::showProgress);
    connect(m_check.get(), &ListCheck::finished, this, &ListCheckCommands::finished);
    m_check->start(std::move(rows));
}

void ListCheckCommands::stop()
{
    ++m_generation;
    m_readingOlder = false;
    if (m_check) {
        m_check->disconnect(this);
        m_check->cancel();
    }
}

void ListCheckCommands::Cancel()
{
    if (m_readingOlder) {
        stop();
        m_moves.clear();
        m_pane->showCounts({}, true);
        Q_EMIT checkEnded();
    } else if (m_check) {
        m_check->cancel();
    }
}

bool ListCheckCommands::hasResults() const
{
    return m_check && !isRunning() && !m_check->wasCanceled();
}

bool ListCheckCommands::isRunning() const
{
    return m_readingOlder || (m_check && m_check->isRunning());
}

void ListCheckCommands::finished()
{
    std::vector<CheckResult> results = m_check->results();
    // Rows inserted or removed meanwhile move the results the same way.
    if (!m_moves.empty()) {
        std::vector<CheckResult> kept;
        kept.reserve(results.size());
        for (CheckResult &result : results) {
            for (const auto &[first, count] : m_moves)
                if (result.row >= 0)
                    result.row = CheckResultModel::movedRow(result.row, first, count);
            if (result.row >= 0)
                kept.push_back(std::move(result));
        }
        results = std::move(kept);
        m_moves.clear();
    }
    m_results->setResults(std::move(results));
    m_pane->showCounts(m_check->counts(), m_check->wasCanceled());
    showTags();
    // The focus stays where the person is working; the list is ready for
    // the arrow keys once they turn to it.
    if (m_results->entryCount() > 0)
        m_pane->list()->setCurrentIndex(m_results->index(0, 0));
    Q_EMIT checkEnded();
}

void ListCheckCommands::rowsMoved(int first, int count)
{
    if (isRunning())
        m_moves.emplace_back(first, count);
    m_results->rowsMoved(first, count);
    showTags();
}

int ListCheckCommands::Apply(const std::vector<int> &entries)
{
    if (entries.empty())
        return 0;
    vAdd &grid = m_table.grid();
    grid.EndEdit();
    // The candidates are the person's to choose from, in the search window
    // (an address whose town is not found lists its city's catch-all code).
    const CheckResult &one = m_results->result(entries.front());
    if (entries.size() == 1
        && (one.kind == CheckKind::Ambiguous || (one.kind == CheckKind::NotFound && !one.candidates.isEmpty()))) {
        GoToEntry(entries.front());
        m_lookup.mnAdd_Click(1);
        return 0;
    }

    const MismatchFix fix = m_pane->mismatchFix();
    struct Write
    {
        int entry;
        int row;
        CheckInput to;
    };
    std::vector<Write> writes;
    int changed = 0;
    int nothing = 0;
    for (int entry : entries) {
        const CheckResult &result = m_results->result(entry);
        const CheckInput now = m_results->rowNow(result.row);
        if (result.row >= grid.RowCount() || !stillAsChecked(result, now)) {
            if (m_results->state(entry) != CheckResultModel::EntryState::Applied)
                ++changed;
            continue;
        }
        if (std::optional<CheckInput> to = applied(result, now, fix))
            writes.push_back({entry, result.row, std::move(*to)});
        else
            ++nothing;
    }

    if (!writes.empty()) {
        std::sort(writes.begin(), writes.end(), [](const Write &a, const Write &b) { return a.row < b.row; });
        const int first = writes.front().row + 1;
        const int last = writes.back().row + 1;
        TableState &state = m_table.state();
        using enum AddressTableModel::Column;
        m_applying = true;
        m_table.record(QStringLiteral("一括チェックの適用"), first, last - first + 1, [&] {
            for (const Write &w : writes) {
                const int row = w.row + 1;
                const std::pair<AddressTableModel::Column, const QString *> cells[] = {
                    {Zip, &w.to.zip}, {Add, &w.to.add}, {Cmp, &w.to.cmp}};
                for (const auto &[column, text] : cells) {
                    const int col = vAdd::gridColumn(column);
                    if (grid.GetCell(col, row) == *text)
                        continue;
                    // An address the program writes is no suggestion any more.
                    if (column == Add && row == state.PrefillRow)
                        state.PrefillRow = 0;
                    grid.SetCell(col, row, *text);
                }
            }
        });
        m_applying = false;
        for (const Write &w : writes)
            m_results->markApplied(w.entry, fix);
        m_results->contentChanged();
        grid.RefreshRowTags();
    }

    QString note = QStringLiteral("%1 行に適用しました").arg(number(int(writes.size())));
    if (changed > 0)
        note += QStringLiteral("。検査の後で変わった %1 行はそのままにしました").arg(number(changed));
    if (nothing > 0)
        note += QStringLiteral("。書き込む提案のない %1 行がありました").arg(number(nothing));
    m_pane->showNote(note + u'。');
    return int(writes.size());
}

int ListCheckCommands::ApplyKind(CheckKind kind)
{
    if (kind == CheckKind::Ambiguous || kind == CheckKind::NotFound || kind == CheckKind::Match)
        return 0;
    std::vector<int> entries;
    for (int entry = 0; entry < m_results->entryCount(); ++entry)
        if (m_results->result(entry).kind == kind)
            entries.push_back(entry);
    return Apply(entries);
}

void ListCheckCommands::GoToEntry(int entry)
{
    if (entry < 0 || entry >= m_results->entryCount())
        return;
    const int row = m_results->result(entry).row + 1;
    vAdd &grid = m_table.grid();
    if (row > grid.RowCount())
        return;
    grid.EndEdit();
    grid.GoToCell(vAdd::gridColumn(AddressTableModel::Zip), row);
}

void ListCheckCommands::CopyResults()
{
    const std::vector<CheckResult> listed = m_results->listedResults();
    QGuiApplication::clipboard()->setText(resultsText(listed));
    m_pane->showNote(QStringLiteral("%1 件の結果をクリップボードにコピーしました。").arg(number(int(listed.size()))));
}
