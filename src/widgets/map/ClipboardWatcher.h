#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

// Watches the clipboard (never the X selection) while installed and hands each
// new clipboard text to a handler.
class ClipboardWatcher final : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &)>;
    explicit ClipboardWatcher(Handler handler, QObject *parent = nullptr);
    ~ClipboardWatcher() override;
    Q_DISABLE_COPY_MOVE(ClipboardWatcher)

    // 1 installs the watcher, any other value removes it. Installing when
    // installed and removing when not installed do nothing.
    void WatchClipboard(int mode);
    bool installed() const { return bool(m_connection); }

private:
    void ClipWndProc();

    Handler m_handler;
    QMetaObject::Connection m_connection; // set while installed
    bool InClipProc = false;              // set while a change is examined
};
