#include "FindBar.h"

#include "core/table/CellFinder.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/vAdd.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

using namespace Qt::StringLiterals;

FindBar::FindBar(AddressTable &table, QWidget *parent)
    : QWidget(parent), m_table(table), m_text(new QLineEdit(this)), m_result(new QLabel(this))
{
    setObjectName(u"FindBar"_s);
    m_text->setObjectName(u"FindText"_s);
    m_text->setClearButtonEnabled(true);
    m_text->installEventFilter(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *label = new QLabel(u"検索(&F):"_s, this);
    label->setBuddy(m_text);
    auto *previous = new QToolButton(this);
    previous->setArrowType(Qt::UpArrow);
    previous->setToolTip(u"前を検索 (Shift+Enter)"_s);
    auto *next = new QToolButton(this);
    next->setArrowType(Qt::DownArrow);
    next->setToolTip(u"次を検索 (Enter)"_s);
    auto *close = new QToolButton(this);
    close->setText(u"×"_s);
    close->setToolTip(u"閉じる (Esc)"_s);
    layout->addWidget(label);
    layout->addWidget(m_text, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_result);
    layout->addWidget(close);
    connect(m_text, &QLineEdit::textEdited, this, [this] { find(false, true); });
    connect(previous, &QToolButton::clicked, this, [this] { find(true, false); });
    connect(next, &QToolButton::clicked, this, [this] { find(false, false); });
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        m_table.grid().setFocus();
    });
    hide();
}

void FindBar::open()
{
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

bool FindBar::find(bool backwards, bool includeCurrent)
{
    m_result->clear();
    const CellFinder finder(m_text->text());
    if (finder.isEmpty())
        return false;
    vAdd &grid = m_table.grid();
    grid.EndEdit();
    const CellFinder::Cell from{std::max(grid.CurRow(), 1) - 1, std::max(grid.CurCol(), 1) - 1};
    const std::optional<CellFinder::Cell> found = finder.next(grid.table()->rows(), from, backwards, includeCurrent);
    if (!found) {
        m_result->setText(u"見つかりません"_s);
        return false;
    }
    grid.GoToCell(found->column + 1, found->row + 1);
    return true;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(key->modifiers().testFlag(Qt::ShiftModifier), false);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            hide();
            m_table.grid().setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
