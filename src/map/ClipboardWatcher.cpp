#include "ClipboardWatcher.h"

ClipboardWatcher::ClipboardWatcher(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

void ClipboardWatcher::WatchClipboard(int mode)
{
    m_installed = mode == 1;
}
