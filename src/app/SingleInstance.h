#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QTimer;

// One window per user. One lock in a folder of the user's own serialises
// "hand the file over to the running program, or become it": the holder
// listens on a local socket beside the lock before it builds its window; a
// later start hands its file (if any) over through the socket and ends, so
// that no second window watches the clipboard. Hand-overs wait in a queue
// until the window can take them (no question open, no hand-over being
// opened), and are taken one at a time in the order they came.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    // `folder` holds the lock and the socket; it must be the user's own.
    explicit SingleInstance(QString folder = defaultFolder(), QObject *parent = nullptr);
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    // The user's runtime folder when it is usable (a folder, not a link,
    // owned by the user, closed to others); otherwise a folder of our own
    // with mode 0700 under the user's cache folder. Empty when neither can
    // be had (the program then runs on alone).
    static QString defaultFolder();
    // Whether `folder` is a real folder of this user that no other user can
    // enter or write to.
    static bool ownFolder(const QString &folder);

    // The socket's name: its path in the folder, or, where that path would be
    // longer than a socket address holds, a name in the abstract namespace
    // (both ends check the other's user).
    QString socketName() const;

    enum class Start {
        Running,    // this start holds the lock and listens: it builds the window
        HandedOver, // a running program took the file: this start ends
        Alone,      // no usable folder or socket: the program runs on its own
    };
    // Hands `file` over to the running program, or becomes it. Waits without
    // a time limit while another live process holds the lock; takes over
    // when that process ends without answering.
    Start start(const std::optional<QString> &file);

    enum class HandOver { Taken, NoAnswer, Refused };
    // One attempt at handing over through `socketName()`: Refused when the
    // socket is served by another user. Waits for the answer as long as the
    // server stays connected.
    HandOver handOver(const std::optional<QString> &file) const;

    // Queues a file to be taken with the hand-overs (the start's own file).
    void enqueue(const QString &file);

    // Takes one hand-over (empty: none, the window only comes forward).
    std::function<void(const QString &file)> received;
    // Delivers queued hand-overs once `received` is set.
    void deliver();

private:
    bool listen();
    void takeConnection();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QTimer *m_retry = nullptr;
    QStringList m_queue;
    bool m_delivering = false;
};
