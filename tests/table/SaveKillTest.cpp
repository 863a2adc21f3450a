// A save killed with SIGKILL at any moment leaves the old file or the new one
// on disk, never a mix, a truncated file or an empty one.
#include "core/table/CsvWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

AddressTableModel::Rows generatedRows(int count, int seed);

namespace {

constexpr int Rows = 200'000; // about 20 MB of CSV: the write takes a while

QByteArray csvBytes(int seed)
{
    return CsvWriter::encode(generatedRows(Rows, seed))->bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SaveKill, FileIsTheOldOrTheNewNeverAMix)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("addresses.csv"));
    const QByteArray before = csvBytes(1);
    const QByteArray after = csvBytes(2);
    ASSERT_NE(before, after);

    QRandomGenerator random(7);
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < 12; ++round) {
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(file.write(before), before.size());
        }
        QProcess child;
        child.start(QStringLiteral(KOTOVEN_SAVE_CHILD),
                    {path, QString::number(Rows), QStringLiteral("2")});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(child.waitForReadyRead(60'000)) << "the child never started writing";
        // Somewhere inside the write, or a little after it.
        QThread::usleep(random.bounded(0u, 60'000u));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();

        const QByteArray now = contents(path);
        ASSERT_TRUE(now == before || now == after)
            << "round " << round << ": " << now.size() << " bytes on disk, neither old nor new";
        (now == before ? sawOld : sawNew)++;
    }
    // The rounds are meant to hit both sides of the replace; say so if not.
    RecordProperty("old_files", sawOld);
    RecordProperty("new_files", sawNew);
}

} // namespace
