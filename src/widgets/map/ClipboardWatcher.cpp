#include "ClipboardWatcher.h"

#include "core/table/CellBlock.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScopedValueRollback>

ClipboardWatcher::ClipboardWatcher(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

ClipboardWatcher::~ClipboardWatcher()
{
    WatchClipboard(0);
}

void ClipboardWatcher::WatchClipboard(int mode)
{
    if (mode == 1) {
        if (m_connection)
            return;
        // dataChanged is the clipboard's own signal; the X selection, which
        // changes with every marked text, has another.
        m_connection = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &ClipboardWatcher::ClipWndProc);
        return;
    }
    if (!m_connection)
        return;
    disconnect(m_connection);
    m_connection = {};
}

void ClipboardWatcher::ClipWndProc()
{
    // A change that arrives while one is examined (the handler writes into the
    // grid and may let events run) is not examined.
    if (InClipProc)
        return;
    const QScopedValueRollback<bool> guard(InClipProc, true);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    // Cells copied from the grid are the person's own table, not a map link.
    if (data && data->hasText() && !data->hasFormat(QString::fromLatin1(CellBlock::MimeType))) {
        const QString text = data->text();
        m_handler(text);
    }
}
