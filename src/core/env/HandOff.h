#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>

// Hands an address to the desktop's own program through xdg-open, run as a
// process of ours so that its end can be seen: a helper that ends with an
// error code soon after it started is a hand-off that failed, and the caller
// hears why. (QDesktopServices only says whether the helper started.)
class HandOff final : public QObject
{
    Q_OBJECT
public:
    // `command`: the program and its first arguments; the address follows.
    explicit HandOff(QStringList command = {QStringLiteral("xdg-open")}, QObject *parent = nullptr);
    // Helpers still running (a browser xdg-open waits for) outlive the program.
    ~HandOff() override;
    Q_DISABLE_COPY_MOVE(HandOff)

    // Called once the helper has ended: empty on success, else the message
    // naming the address and the reason.
    using Done = std::function<void(const QString &failure)>;
    // False when the helper could not be started at all (`done` has then
    // already been told).
    bool open(const QUrl &url, const Done &done);

    // A helper that ran at least this long opened something; its exit code
    // then says nothing about the hand-off (the browser it ran has closed).
    static constexpr int SettledMs = 20000;

    enum class End { Exited, NotStarted, Crashed };
    // The message for a helper's end; empty when it did its work.
    static QString failureText(const QString &address, End end, int exitCode, const QByteArray &errorOutput,
                               qint64 ranForMs);

private:
    QStringList m_command;
};
