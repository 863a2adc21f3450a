#include "AddressLookupDialog.h"

#include "core/lookup/AddressKey.h"

#include <QApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

// ---- CandidateModel -------------------------------------------------------

CandidateModel::CandidateModel(std::shared_ptr<const PostalDictionary> dict, QObject *parent)
    : QAbstractTableModel(parent), m_dict(std::move(dict))
{
}

void CandidateModel::setResult(PostalSearch::Result result)
{
    beginResetModel();
    m_result = std::move(result);
    endResetModel();
}

int CandidateModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_result.candidates.size());
}

int CandidateModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CandidateModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const PostalSearch::Candidate &c = m_result.candidates[size_t(index.row())];
    switch (index.column()) {
    case Zip: return AddressKey::formatCode(m_dict->code(c.entry));
    case Address: return PostalSearch::shownAddress(*m_dict, c).toString();
    case Note: return m_dict->note(c.entry).toString();
    case Office: return m_dict->officeName(c.entry).toString();
    case Kana: return m_dict->kana(c.entry).toString();
    default: return {};
    }
}

QVariant CandidateModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Zip: return QStringLiteral("郵便番号");
    case Address: return QStringLiteral("住所");
    case Note: return QStringLiteral("備考");
    case Office: return QStringLiteral("事業所名");
    case Kana: return QStringLiteral("読み");
    default: return {};
    }
}

// ---- AddressLookupDialog --------------------------------------------------

namespace {

QString describeSources(const PostalDictionary &dict, bool full)
{
    QStringList parts;
    for (const auto &s : dict.sources) {
        const QString name = full ? s.path : QFileInfo(s.path).fileName();
        const QString date = s.date.isValid() ? s.date.toString(QStringLiteral("yyyy/MM/dd")) : QStringLiteral("日付不明");
        parts.append(QStringLiteral("%1: %2（%3）").arg(s.label, name, date));
    }
    return parts.join(full ? QStringLiteral("\n") : QStringLiteral("　"));
}

} // namespace

AddressLookupDialog::AddressLookupDialog(std::shared_ptr<const PostalDictionary> dict, const QString &zip,
                                         const QString &add, const QString &cmp, QWidget *parent)
    : QDialog(parent), m_dict(std::move(dict)), m_result{zip, add, cmp}
{
    setObjectName(QStringLiteral("AddressLookupDialog"));
    setWindowTitle(QStringLiteral("住所検索"));

    m_zip = new QLineEdit(zip, this);
    m_zip->setObjectName(QStringLiteral("txZip"));
    m_add = new QLineEdit(add, this);
    m_add->setObjectName(QStringLiteral("txAdd"));
    m_cmp = new QLineEdit(cmp, this);
    m_cmp->setObjectName(QStringLiteral("txCmp"));
    m_zip->setInputMethodHints(Qt::ImhPreferNumbers);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("郵便番号(&Z)"), m_zip);
    form->addRow(QStringLiteral("住所(&A)"), m_add);
    form->addRow(QStringLiteral("勤務先等(&C)"), m_cmp);

    m_model = new CandidateModel(m_dict, this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("lvCandidates"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTabKeyNavigation(false);
    m_list->setWordWrap(false);
    m_list->setAlternatingRowColors(true);
    m_list->verticalHeader()->hide();
    // Fixed row heights keep a list of a thousand rows cheap to lay out.
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setColumnWidth(CandidateModel::Zip, m_list->fontMetrics().horizontalAdvance(QStringLiteral("000-00000")) + 12);
    m_list->setColumnWidth(CandidateModel::Address, 320);
    m_list->setColumnWidth(CandidateModel::Office, 120);
    m_list->setColumnWidth(CandidateModel::Note, 160);
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lbCount"));
    m_source = new QLabel(describeSources(*m_dict, false), this);
    m_source->setObjectName(QStringLiteral("lbSource"));
    m_source->setToolTip(describeSources(*m_dict, true));
    m_source->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_ok = new QPushButton(QStringLiteral("決定"), this);
    m_ok->setObjectName(QStringLiteral("btOk"));
    m_ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("btCancel"));
    cancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_count);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_source);
    layout->addLayout(buttons);

    for (QLineEdit *field : {m_zip, m_add, m_cmp}) {
        connect(field, &QLineEdit::textChanged, this, &AddressLookupDialog::search);
        field->installEventFilter(this);
    }
    m_list->installEventFilter(this);
    connect(m_ok, &QPushButton::clicked, this, &AddressLookupDialog::takeCurrent);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QAbstractItemView::doubleClicked, this, &AddressLookupDialog::takeCurrent);

    setTabOrder(m_zip, m_add);
    setTabOrder(m_add, m_cmp);
    setTabOrder(m_cmp, m_list);
    resize(860, 420);
    search();

    // Start where the search starts: the code for a code lookup, else the address.
    QLineEdit *first = !zip.isEmpty() && add.isEmpty() ? m_zip : (add.isEmpty() && !cmp.isEmpty() ? m_cmp : m_add);
    first->setFocus();
    first->end(false);
}

void AddressLookupDialog::search()
{
    m_model->setResult(PostalSearch::run(*m_dict, m_zip->text(), m_add->text(), m_cmp->text()));
    const qsizetype shown = m_model->rowCount();
    const qsizetype total = m_model->result().total;
    m_count->setText(total > shown ? QStringLiteral("%1 件中 %2 件を表示").arg(total).arg(shown)
                                   : QStringLiteral("%1 件").arg(total));
    if (shown > 0) {
        m_list->setCurrentIndex(m_model->index(0, 0));
        m_list->scrollToTop();
    }
    m_ok->setEnabled(shown > 0);
    fitColumns();
}

// The address, note and office name columns as wide as their longest text
// among the candidates the list opens on, so what tells candidates apart
// shows beside the address and an office's name is never cut; a note is cut
// only when very long (its tooltip has it whole). The list scrolls sideways
// when they need more room than the window has.
void AddressLookupDialog::fitColumns()
{
    const QFontMetrics metrics = m_list->fontMetrics();
    const int padding = 2 * m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 12;
    int address = 0;
    int note = metrics.horizontalAdvance(m_model->headerData(CandidateModel::Note, Qt::Horizontal).toString());
    int office = metrics.horizontalAdvance(m_model->headerData(CandidateModel::Office, Qt::Horizontal).toString());
    const auto &candidates = m_model->result().candidates;
    const size_t rows = std::min<size_t>(candidates.size(), 200);
    for (size_t row = 0; row < rows; ++row) {
        const quint32 entry = candidates[row].entry;
        if (m_dict->kind(entry) == PostalDictionary::Kind::Office)
            office = std::max(office, metrics.horizontalAdvance(m_dict->officeName(entry).toString()));
        if (row < 50) {
            address = std::max(address, metrics.horizontalAdvance(PostalSearch::shownAddress(*m_dict, candidates[row]).toString()));
            note = std::max(note, metrics.horizontalAdvance(m_dict->note(entry).toString()));
        }
    }
    m_list->setColumnWidth(CandidateModel::Address, std::max(200, address + padding));
    m_list->setColumnWidth(CandidateModel::Note, std::min(note + padding, 320));
    m_list->setColumnWidth(CandidateModel::Office, office + padding);
}

void AddressLookupDialog::takeCurrent()
{
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount()) {
        QApplication::beep();
        return;
    }
    const auto &result = m_model->result();
    m_result = PostalSearch::choose(*m_dict, result, result.candidates[size_t(current.row())], m_cmp->text());
    accept();
}

bool AddressLookupDialog::eventFilter(QObject *watched, QEvent *event)
{
    // In the fields, the arrow and page keys move through the list, so the
    // list can be used without leaving the field being typed in.
    if (event->type() == QEvent::KeyPress && (watched == m_zip || watched == m_add || watched == m_cmp)) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            QKeyEvent forwarded(QEvent::KeyPress, key->key(), key->modifiers());
            QApplication::sendEvent(m_list, &forwarded);
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            takeCurrent();
            return true;
        default:
            break;
        }
    }
    if (event->type() == QEvent::KeyPress && watched == m_list) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            takeCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QPoint AddressLookupDialog::besideRow(const QRect &row, QSize frame, const QRect &available)
{
    const int roomBelow = available.bottom() - row.bottom();
    const int roomAbove = row.top() - available.top();
    int y = 0;
    if (frame.height() <= roomBelow)
        y = row.bottom() + 1;
    else if (frame.height() <= roomAbove)
        y = row.top() - frame.height();
    else // neither side has room: the side with more, kept on the screen
        y = roomBelow >= roomAbove ? row.bottom() + 1 : row.top() - frame.height();
    return keptOnScreen(QPoint(row.left(), y), frame, available);
}

QPoint AddressLookupDialog::keptOnScreen(QPoint wanted, QSize size, const QRect &available)
{
    int x = wanted.x();
    int y = wanted.y();
    if (x + size.width() > available.right() + 1)
        x = available.right() + 1 - size.width();
    if (y + size.height() > available.bottom() + 1)
        y = available.bottom() + 1 - size.height();
    x = std::max(x, available.left());
    y = std::max(y, available.top());
    return {x, y};
}
