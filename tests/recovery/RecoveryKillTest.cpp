// The real window driven at random and killed with SIGKILL at random moments:
// started again, it restores the table as it stood at some moment in the
// last two seconds before the kill, every time. KOTOVEN_KILL_ROUNDS sets the
// rounds (3 by default; 100 for a long run).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct State
{
    qint64 at = 0;
    QByteArray hash;
};

QList<State> states(const QString &path)
{
    QFile file(path);
    QList<State> result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[1].size() == 40) // a line cut by the kill is no state
            result.append({parts[0].toLongLong(), parts[1]});
    }
    return result;
}

} // namespace

TEST(RecoveryKill, RestoresATableOfTheLastTwoSeconds)
{
    const int rounds = qEnvironmentVariableIsSet("KOTOVEN_KILL_ROUNDS") ? qEnvironmentVariableIntValue("KOTOVEN_KILL_ROUNDS") : 3;
    QRandomGenerator random(QRandomGenerator::system()->generate());
    int restoredLatest = 0;
    int asked = 0;
    qsizetype changes = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QProcess drive;
        drive.start(QStringLiteral(KOTOVEN_JOURNAL_CHILD),
                    {QStringLiteral("drive"), dir.path(), QString::number(random.generate())});
        ASSERT_TRUE(drive.waitForReadyRead(120'000)) << "the window never started";
        QThread::msleep(random.bounded(200u, 4000u));
        const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
        ::kill(pid_t(drive.processId()), SIGKILL);
        drive.waitForFinished();

        QProcess restore;
        restore.start(QStringLiteral(KOTOVEN_JOURNAL_CHILD), {QStringLiteral("restore"), dir.path()});
        ASSERT_TRUE(restore.waitForFinished(120'000));
        const QList<QByteArray> answer = restore.readAllStandardOutput().trimmed().split(' ');
        ASSERT_EQ(answer.size(), 2) << restore.readAllStandardError().constData();
        const QByteArray restored = answer[0];

        // The states whose time reaches into the last two seconds.
        const QList<State> seen = states(dir.filePath(QStringLiteral("states.log")));
        ASSERT_FALSE(seen.isEmpty());
        bool found = false;
        for (qsizetype i = 0; i < seen.size() && !found; ++i) {
            const qint64 until = i + 1 < seen.size() ? seen[i + 1].at : killedAt;
            found = until >= killedAt - 2000 && seen[i].hash == restored;
        }
        EXPECT_TRUE(found) << "the restored table is none of the last two seconds' (" << seen.size() << " states)";
        restoredLatest += int(found && restored == seen.last().hash);
        asked += int(answer[1] == "1");
        // Changes older than two seconds were on disk: the question came.
        if (seen.size() > 1 && seen[1].at < killedAt - 2000) {
            EXPECT_EQ(answer[1], "1");
        }
        changes += seen.size();
        // The journal went once its changes were taken back.
        EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("journal"))).entryList(QDir::Files).isEmpty());
    }
    std::printf("%d rounds, %lld changes before the kills, restoring asked for in %d, the very last state "
                "restored in %d\n",
                rounds, qlonglong(changes), asked, restoredLatest);
}
