#include "HandOff.h"

#include <QElapsedTimer>
#include <QProcess>

#include <memory>

using namespace Qt::StringLiterals;

HandOff::HandOff(QStringList command, QObject *parent) : QObject(parent), m_command(std::move(command)) {}

HandOff::~HandOff()
{
    // Deleting a running QProcess kills it, and with it the program it opened.
    for (QProcess *process : findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
        if (process->state() != QProcess::NotRunning) {
            process->disconnect();
            process->setParent(nullptr); // left to run on after us
        }
    }
}

bool HandOff::open(const QUrl &url, const Done &done)
{
    const QString address = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    auto *process = new QProcess(this);
    process->setProgram(m_command.value(0));
    process->setArguments(m_command.mid(1) << address);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    auto clock = std::make_shared<QElapsedTimer>();
    auto reported = std::make_shared<bool>(false);
    auto report = [process, done, address, clock, reported](End end, int exitCode) {
        if (*reported)
            return;
        *reported = true;
        const QString failure = failureText(address, end, exitCode, process->readAllStandardError(), clock->elapsed());
        process->deleteLater();
        if (done)
            done(failure);
    };
    connect(process, &QProcess::finished, this, [report](int exitCode, QProcess::ExitStatus status) {
        report(status == QProcess::CrashExit ? End::Crashed : End::Exited, exitCode);
    });
    connect(process, &QProcess::errorOccurred, this, [report](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            report(End::NotStarted, -1);
    });
    clock->start();
    process->start();
    return !*reported;
}

QString HandOff::failureText(const QString &address, End end, int exitCode, const QByteArray &errorOutput,
                             qint64 ranForMs)
{
    QString reason;
    switch (end) {
    case End::NotStarted:
        reason = u"開くためのプログラム (xdg-open) を起動できません"_s;
        break;
    case End::Crashed:
        reason = u"開くためのプログラムが異常終了しました"_s;
        break;
    case End::Exited:
        if (exitCode == 0 || ranForMs >= SettledMs)
            return {};
        // xdg-open's documented exit codes.
        switch (exitCode) {
        case 1: reason = u"指定に誤りがあります"_s; break;
        case 2: reason = u"ファイルが見つかりません"_s; break;
        case 3: reason = u"開くためのプログラムが見つかりません"_s; break;
        case 4: reason = u"開くことができませんでした"_s; break;
        default: reason = u"開くためのプログラムが終了コード %1 で終了しました"_s.arg(exitCode); break;
        }
        break;
    }
    // The helper's own last word, when it said one.
    const QList<QByteArray> lines = errorOutput.trimmed().split('\n');
    const QString said = QString::fromLocal8Bit(lines.constLast()).trimmed();
    if (!said.isEmpty())
        reason += u" ("_s + said.left(200) + u')';
    return address + u" を開けませんでした\r"_s + reason;
}
