#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;

// One window per user. The first start listens on a local socket of the
// user's own; a later start hands its file (if any) to the running program
// through it and ends, so that no second window watches the clipboard.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    // The socket in the user's runtime folder, which only the user can reach.
    static QString defaultName();

    // Hands `file` to a running program; true when it took it (this start
    // then ends). Blocks for at most `timeoutMs`.
    bool handOver(const std::optional<QString> &file, int timeoutMs = 5000) const;

    // Listens for later starts, replacing a socket left by a program that
    // ended without removing it. False when the socket cannot be made (the
    // program then runs on alone).
    bool listen();

    // A later start handed over `file` (empty: none).
    std::function<void(const QString &file)> received;

private:
    void takeConnection();

    QString m_name;
    QLocalServer *m_server = nullptr;
};
