#include "ListCheckPane.h"

#include "core/grid/AddressTableModel.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

QColor kindColour(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Match: return {};
    case CheckKind::NoCode: return QColor(0x1f, 0x6f, 0xd0);
    case CheckKind::NoAddress: return QColor(0x00, 0x99, 0x99);
    case CheckKind::Mismatch: return QColor(0xd0, 0x20, 0x20);
    case CheckKind::Ambiguous: return QColor(0xe0, 0x8a, 0x00);
    case CheckKind::Outdated: return QColor(0x8a, 0x3f, 0xc0);
    case CheckKind::NotFound: return QColor(0x70, 0x70, 0x70);
    case CheckKind::BadFormat: return QColor(0x8b, 0x5a, 0x2b);
    }
    return {};
}

// ---- the results ----------------------------------------------------------

CheckResultModel::CheckResultModel(const AddressTableModel &table, QObject *parent)
    : QAbstractTableModel(parent), m_table(table)
{
}

void CheckResultModel::setResults(std::vector<CheckResult> results)
{
    beginResetModel();
    m_entries.clear();
    m_entries.reserve(results.size());
    for (CheckResult &result : results)
        m_entries.push_back({std::move(result), std::nullopt});
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry &a, const Entry &b) { return a.result.row < b.result.row; });
    relist();
    endResetModel();
}

void CheckResultModel::setFilter(std::optional<CheckKind> kind)
{
    if (kind == m_filter)
        return;
    beginResetModel();
    m_filter = kind;
    relist();
    endResetModel();
}

void CheckResultModel::relist()
{
    m_listed.clear();
    for (int i = 0; i < entryCount(); ++i)
        if (!m_filter || m_entries[size_t(i)].result.kind == *m_filter)
            m_listed.push_back(i);
}

int CheckResultModel::entryAt(int line) const
{
    return line >= 0 && line < int(m_listed.size()) ? m_listed[size_t(line)] : -1;
}

int CheckResultModel::lineOf(int entry) const
{
    const auto found = std::lower_bound(m_listed.begin(), m_listed.end(), entry);
    return found != m_listed.end() && *found == entry ? int(found - m_listed.begin()) : -1;
}

int CheckResultModel::entryOfRow(int row) const
{
    const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), row,
                                        [](const Entry &e, int r) { return e.result.row < r; });
    return found != m_entries.end() && found->result.row == row ? int(found - m_entries.begin()) : -1;
}

CheckInput CheckResultModel::rowNow(int row) const
{
    if (row < 0 || row >= m_table.rowCount())
        return {};
    const AddressTableModel::Row &cells = m_table.row(row);
    return {cells.cell(AddressTableModel::Zip).toString(), cells.cell(AddressTableModel::Add).toString(),
            cells.cell(AddressTableModel::Cmp).toString()};
}

CheckResultModel::EntryState CheckResultModel::state(int entry) const
{
    const Entry &e = m_entries[size_t(entry)];
    if (e.result.row >= m_table.rowCount())
        return EntryState::Changed;
    const CheckInput now = rowNow(e.result.row);
    if (stillAsChecked(e.result, now))
        return EntryState::Open;
    if (e.appliedFix) {
        const std::optional<CheckInput> written = applied(e.result, e.result.seen, *e.appliedFix);
        if (written && *written == now)
            return EntryState::Applied;
    }
    return EntryState::Changed;
}

void CheckResultModel::markApplied(int entry, MismatchFix fix)
{
    m_entries[size_t(entry)].appliedFix = fix;
}

int CheckResultModel::movedRow(int row, int first, int count)
{
    if (row < first)
        return row;
    if (count >= 0)
        return row + count;
    return row < first - count ? -1 : row + count;
}

void CheckResultModel::rowsMoved(int first, int count)
{
    if (m_entries.empty() || count == 0)
        return;
    beginResetModel();
    std::vector<Entry> kept;
    kept.reserve(m_entries.size());
    for (Entry &e : m_entries) {
        const int row = movedRow(e.result.row, first, count);
        if (row < 0)
            continue;
        e.result.row = row;
        kept.push_back(std::move(e));
    }
    m_entries = std::move(kept);
    relist();
    endResetModel();
}

void CheckResultModel::contentChanged()
{
    if (!m_listed.empty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_listed.size()) - 1, ColumnCount - 1));
}

std::vector<CheckResult> CheckResultModel::listedResults() const
{
    std::vector<CheckResult> results;
    results.reserve(m_listed.size());
    for (int entry : m_listed)
        results.push_back(m_entries[size_t(entry)].result);
    return results;
}

int CheckResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_listed.size());
}

int CheckResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CheckResultModel::data(const QModelIndex &index, int role) const
{
    const int entry = entryAt(index.row());
    if (entry < 0)
        return {};
    const CheckResult &r = result(entry);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Row: return r.row + 1;
        case Kind: return caption(r.kind);
        case Zip: return r.seen.zip;
        case Address: return r.seen.add;
        case Proposal: return proposalText(r);
        case State:
            switch (state(entry)) {
            case EntryState::Open: return QString();
            case EntryState::Applied: return QStringLiteral("適用済み");
            case EntryState::Changed: return QStringLiteral("変更あり");
            }
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == Kind) {
            QPixmap square(8, 8);
            square.fill(kindColour(r.kind));
            return square;
        }
        return {};
    case Qt::ToolTipRole:
        // Long addresses and proposals show whole here.
        switch (index.column()) {
        case Kind: return explanation(r.kind);
        case Address: return r.seen.add.isEmpty() ? QVariant() : QVariant(r.seen.add);
        case Proposal:
            if (!r.candidates.isEmpty())
                return r.candidates.join(u'\n');
            if (const QString text = proposalText(r); !text.isEmpty())
                return text;
            return {};
        case State:
            if (state(entry) == EntryState::Changed)
                return QStringLiteral("検査の後で行が変わったので、適用しません");
            return {};
        default: return {};
        }
    case Qt::ForegroundRole:
        return state(entry) == EntryState::Changed ? QVariant(QColor(Qt::gray)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Row ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
        return {};
    }
}

QVariant CheckResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char16_t *const Captions[] = {u"行", u"種類", u"郵便番号", u"住所", u"提案", u"状態"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(Captions[section]) : QString();
}

// ---- the pane -------------------------------------------------------------

namespace {

// The list takes Enter as choosing the current result.
class ResultList final : public QTableView
{
public:
    using QTableView::QTableView;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
            Q_EMIT activated(currentIndex());
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

} // namespace

ListCheckPane::ListCheckPane(CheckResultModel &model, QWidget *parent)
    : QDockWidget(QStringLiteral("一括チェック"), parent), m_model(model)
{
    setObjectName(QStringLiteral("ListCheckPane"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    // Beside the grid the pane would narrow it, and the grid's last column is
    // fitted to the window's width: above or below only, or floating.
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(3);

    m_counts = new QLabel(body);
    m_counts->setObjectName(QStringLiteral("checkCounts"));
    m_counts->setWordWrap(true);
    m_counts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_counts);

    auto *progressRow = new QHBoxLayout;
    m_progress = new QProgressBar(body);
    m_progress->setObjectName(QStringLiteral("checkProgress"));
    m_cancel = new QPushButton(QStringLiteral("中止"), body);
    m_cancel->setObjectName(QStringLiteral("checkCancel"));
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);
    layout->addLayout(progressRow);
    m_progress->hide();
    m_cancel->hide();

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("表示:"), body));
    m_filter = new QComboBox(body);
    m_filter->setObjectName(QStringLiteral("checkFilter"));
    m_filter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    controls->addWidget(m_filter);
    controls->addSpacing(8);
    controls->addWidget(new QLabel(QStringLiteral("不一致には:"), body));
    m_fix = new QComboBox(body);
    m_fix->setObjectName(QStringLiteral("checkMismatchFix"));
    m_fix->addItem(QStringLiteral("住所に合う郵便番号"), int(MismatchFix::CodeFromAddress));
    m_fix->addItem(QStringLiteral("郵便番号の住所"), int(MismatchFix::AddressFromCode));
    controls->addWidget(m_fix);
    controls->addStretch(1);
    m_apply = new QPushButton(QStringLiteral("適用(&P)"), body);
    m_apply->setObjectName(QStringLiteral("checkApply"));
    m_apply->setToolTip(QStringLiteral("選んだ行に提案を書き込みます（候補複数の行では検索窓を開きます）"));
    m_applyKind = new QPushButton(QStringLiteral("この種類をすべて適用(&K)"), body);
    m_applyKind->setObjectName(QStringLiteral("checkApplyKind"));
    m_copy = new QPushButton(QStringLiteral("コピー(&C)"), body);
    m_copy->setObjectName(QStringLiteral("checkCopy"));
    m_copy->setToolTip(QStringLiteral("表示中の結果をタブ区切りでクリップボードにコピーします"));
    controls->addWidget(m_apply);
    controls->addWidget(m_applyKind);
    controls->addWidget(m_copy);
    layout->addLayout(controls);

    m_list = new ResultList(body);
    m_list->setObjectName(QStringLiteral("checkList"));
    m_list->setModel(&m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->horizontalHeader()->setStretchLastSection(true);
    for (auto [column, width] : {std::pair{CheckResultModel::Row, 56}, {CheckResultModel::Kind, 110},
                                 {CheckResultModel::Zip, 80}, {CheckResultModel::Address, 260},
                                 {CheckResultModel::Proposal, 300}})
        m_list->setColumnWidth(column, width);
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copyAction = new QAction(QStringLiteral("結果をコピー(&C)"), m_list);
    m_list->addAction(copyAction);
    layout->addWidget(m_list, 1);

    m_note = new QLabel(body);
    m_note->setObjectName(QStringLiteral("checkNote"));
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    setWidget(body);

    connect(m_cancel, &QPushButton::clicked, this, &ListCheckPane::cancelRequested);
    connect(m_apply, &QPushButton::clicked, this, &ListCheckPane::applyRequested);
    connect(m_applyKind, &QPushButton::clicked, this, &ListCheckPane::applyKindRequested);
    connect(m_copy, &QPushButton::clicked, this, &ListCheckPane::copyRequested);
    connect(copyAction, &QAction::triggered, this, &ListCheckPane::copyRequested);
    const auto choose = [this](const QModelIndex &index) {
        if (const int entry = m_model.entryAt(index.row()); entry >= 0)
            Q_EMIT entryChosen(entry);
    };
    connect(m_list, &QAbstractItemView::clicked, this, choose);
    connect(m_list, &QAbstractItemView::activated, this, choose);
    connect(m_filter, &QComboBox::currentIndexChanged, this, [this] {
        const QVariant kind = m_filter->currentData();
        m_model.setFilter(kind.isValid() ? std::optional(CheckKind(kind.toInt())) : std::nullopt);
        updateButtons();
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ListCheckPane::updateButtons);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ListCheckPane::updateButtons);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, &ListCheckPane::updateButtons);
    showCounts({}, false);
}

void ListCheckPane::showProgress(int done, int total)
{
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(done);
    m_progress->setFormat(QStringLiteral("%1 / %2 行").arg(QLocale::c().toString(done), QLocale::c().toString(total)));
    m_progress->show();
    m_cancel->show();
    m_cancel->setEnabled(true);
}

void ListCheckPane::showCounts(const std::array<int, CheckKindCount> &counts, bool canceled)
{
    m_progress->hide();
    m_cancel->hide();
    m_lastCounts = counts;
    QStringList parts;
    QStringList tips;
    int total = 0;
    for (int k = 0; k < CheckKindCount; ++k) {
        total += counts[size_t(k)];
        if (counts[size_t(k)] > 0)
            tips << caption(CheckKind(k)) + QStringLiteral(": ") + explanation(CheckKind(k));
        if (counts[size_t(k)] > 0)
            parts << QStringLiteral("<span style=\"color:%1\">■</span>%2 <b>%3</b>")
                         .arg(k == int(CheckKind::Match) ? QStringLiteral("transparent") : kindColour(CheckKind(k)).name(),
                              caption(CheckKind(k)), QLocale::c().toString(counts[size_t(k)]));
    }
    QString text;
    if (canceled)
        text = QStringLiteral("中止しました。");
    if (total > 0)
        text += QStringLiteral("%1 行を調べました: ").arg(QLocale::c().toString(total)) + parts.join(QStringLiteral("　"));
    m_counts->setText(text);
    m_counts->setToolTip(tips.join(u'\n'));

    const QVariant was = m_filter->currentData();
    const QSignalBlocker quiet(m_filter);
    m_filter->clear();
    m_filter->addItem(QStringLiteral("すべて"));
    for (int k = 0; k < CheckKindCount; ++k) {
        if (k == int(CheckKind::Match) || counts[size_t(k)] == 0)
            continue;
        m_filter->addItem(QStringLiteral("%1 (%2)").arg(caption(CheckKind(k)), QLocale::c().toString(counts[size_t(k)])), k);
        m_filter->setItemData(m_filter->count() - 1, explanation(CheckKind(k)), Qt::ToolTipRole);
    }
    const int again = was.isValid() ? m_filter->findData(was) : 0;
    m_filter->setCurrentIndex(std::max(again, 0));
    const QVariant kind = m_filter->currentData();
    m_model.setFilter(kind.isValid() ? std::optional(CheckKind(kind.toInt())) : std::nullopt);
    updateButtons();
}

void ListCheckPane::showNote(const QString &text)
{
    m_note->setText(text);
}

std::vector<int> ListCheckPane::selectedEntries() const
{
    std::vector<int> entries;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        if (const int entry = m_model.entryAt(index.row()); entry >= 0)
            entries.push_back(entry);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<CheckKind> ListCheckPane::kindToApply() const
{
    if (m_model.filter())
        return m_model.filter();
    const int entry = m_model.entryAt(m_list->currentIndex().row());
    return entry >= 0 ? std::optional(m_model.result(entry).kind) : std::nullopt;
}

MismatchFix ListCheckPane::mismatchFix() const
{
    return MismatchFix(m_fix->currentData().toInt());
}

void ListCheckPane::setMismatchFix(MismatchFix fix)
{
    m_fix->setCurrentIndex(m_fix->findData(int(fix)));
}

void ListCheckPane::setFilter(std::optional<CheckKind> kind)
{
    const int at = kind ? m_filter->findData(int(*kind)) : 0;
    if (at >= 0)
        m_filter->setCurrentIndex(at);
}

void ListCheckPane::updateButtons()
{
    const std::optional<CheckKind> kind = kindToApply();
    // Rows of these kinds have nothing to write for all of them at once.
    const bool writable = kind && *kind != CheckKind::Ambiguous && *kind != CheckKind::NotFound;
    m_applyKind->setEnabled(writable);
    m_applyKind->setToolTip(writable ? QStringLiteral("%1の行すべてに提案を書き込みます").arg(caption(*kind)) + u'\n'
                                         + explanation(*kind)
                                   : QString());
    m_apply->setEnabled(m_list->selectionModel()->hasSelection());
    m_copy->setEnabled(m_model.rowCount() > 0);
}
