#include "StatusFields.h"

#include "core/table/ReadVerdict.h"
#include "core/table/StatusLine.h"
#include "widgets/grid/AddressTable.h"
#include "widgets/grid/TableHistory.h"
#include "widgets/grid/vAdd.h"

#include <QLabel>
#include <QStatusBar>

namespace {

QLabel *field(QStatusBar &status, const char *name)
{
    auto *label = new QLabel(&status);
    label->setObjectName(QString::fromLatin1(name));
    label->setContentsMargins(4, 0, 4, 0);
    // Japanese text is drawn in a taller fallback font: held to the bar's own
    // line height, the fields leave the bar, and so the panes, as high as before.
    label->setMaximumHeight(status.fontMetrics().height());
    status.addPermanentWidget(label);
    return label;
}

} // namespace

StatusFields::StatusFields(AddressTable &table, QStatusBar &status)
    : m_table(table), m_file(field(status, "statusFile")), m_unsaved(field(status, "statusUnsaved")),
      m_rows(field(status, "statusRows")), m_encoding(field(status, "statusEncoding"))
{
    // One count per turn of the event loop, however many cells changed.
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &StatusFields::refresh);
    const AddressTableModel *model = m_table.grid().table();
    connect(model, &QAbstractItemModel::dataChanged, this, &StatusFields::refreshSoon);
    connect(model, &QAbstractItemModel::rowsInserted, this, &StatusFields::refreshSoon);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &StatusFields::refreshSoon);
    connect(model, &QAbstractItemModel::modelReset, this, &StatusFields::refreshSoon);
    const QUndoStack &history = m_table.history().stack();
    connect(&history, &QUndoStack::indexChanged, this, &StatusFields::refreshSoon);
    connect(&history, &QUndoStack::cleanChanged, this, &StatusFields::refreshSoon);
    refresh();
}

void StatusFields::refreshSoon()
{
    m_soon.start();
}

void StatusFields::refresh()
{
    m_soon.stop();
    const TableState &state = m_table.state();
    const AddressTableModel &model = *m_table.grid().table();
    qsizetype rows = ReadVerdict::records(model.rows());
    // An untouched pre-fill alone makes no row of the list.
    if (const int prefill = state.PrefillRow - 1; prefill >= 0 && prefill < model.rowCount()) {
        AddressTableModel::Row row = model.row(prefill);
        if (row.cell(AddressTableModel::Add) == state.PrefillText) {
            row.setCell(AddressTableModel::Add, {});
            rows -= ReadVerdict::records({model.row(prefill)}) - ReadVerdict::records({row});
        }
    }
    const StatusLine::Texts texts = StatusLine::describe({state.CurrentFile, state.Dirty, rows, state.ReadAsUtf8});
    m_file->setText(texts.name);
    m_file->setToolTip(texts.nameTip);
    m_unsaved->setText(texts.unsaved);
    m_rows->setText(texts.rows);
    m_encoding->setText(texts.encoding);
    m_encoding->setToolTip(texts.encodingTip);
}
