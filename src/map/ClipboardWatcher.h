#pragma once

#include <QObject>

#include <functional>

// Watches the clipboard (not the selection) and hands its text to a callback.
class ClipboardWatcher final : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &)>;
    explicit ClipboardWatcher(Handler handler, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ClipboardWatcher)

    // 1 installs the watcher, any other value removes it.
    void WatchClipboard(int mode);
    bool installed() const { return m_installed; }

private:
    Handler m_handler;
    bool m_installed = false;
};
