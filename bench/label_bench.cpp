// Lays out and writes 10,000 address labels (12面 and 44面) to a PDF the way
// 宛名ラベル印刷's "PDF に保存" does, and prints the time and the labels per
// second of each.
//
//   label_bench [labels] [folder]
#include "widgets/labels/LabelPages.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString pick(QRandomGenerator &random, const QStringList &list)
{
    return list[int(random.bounded(quint32(list.size())))];
}

QList<LabelRecord> records(int count)
{
    const QStringList places{u"東京都千代田区丸の内"_qs, u"大阪府大阪市北区梅田"_qs, u"北海道札幌市中央区北一条西"_qs,
                             u"神奈川県横浜市西区みなとみらい"_qs, u"愛知県名古屋市中村区名駅"_qs,
                             u"福岡県福岡市博多区博多駅前"_qs, u"京都府京都市下京区烏丸通四条下る"_qs};
    const QStringList buildings{QString(), QString(), u"　サンプルビル5階"_qs, u"（第二テストビル）"_qs};
    const QStringList companies{QString(), u"株式会社サンプル商事"_qs, u"有限会社 山田工務店"_qs,
                                u"東都物産株式会社 営業部"_qs, u"医療法人 さくら会"_qs};
    QRandomGenerator random(28);
    QList<LabelRecord> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString zip = QStringLiteral("%1%2").arg(random.bounded(100, 999)).arg(random.bounded(0, 9999), 4, 10, QChar(u'0'));
        const QString add = pick(random, places) + QString::number(random.bounded(1, 9)) + QStringLiteral("丁目")
                            + QStringLiteral("%1-%2").arg(random.bounded(1, 30)).arg(random.bounded(1, 20))
                            + pick(random, buildings);
        list.append({i + 1, zip, add, pick(random, companies), QStringLiteral("03-1234-%1").arg(i % 10000)});
    }
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QTemporaryDir temporary;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    const QList<LabelRecord> list = records(count);
    for (const QString &sheetName : {u"12面"_qs, u"44面"_qs}) {
        LabelJob job;
        for (const LabelSheet &sheet : builtInSheets())
            if (sheet.name == sheetName)
                job.sheet = sheet;
        job.records = list;
        job.content.phone = true;
        QElapsedTimer timer;
        timer.start();
        const LabelPages pages(job);
        const qint64 layout = timer.elapsed();
        const QString path = folder + QStringLiteral("/labels-%1.pdf").arg(job.sheet.perPage());
        const QString error = pages.writePdf(path);
        const qint64 total = timer.elapsed();
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("labels_%d_layout: %lld ms\n", job.sheet.perPage(), layout);
        std::printf("labels_%d_pdf_total: %lld ms for %d labels, %d pages, %lld KB\n", job.sheet.perPage(), total,
                    count, pages.pageCount(), QFileInfo(path).size() / 1024);
        std::printf("labels_%d_per_second: %.0f labels/s\n", job.sheet.perPage(),
                    total > 0 ? count * 1000.0 / double(total) : 0.0);
        std::printf("labels_%d_not_fitting: %lld\n", job.sheet.perPage(), qlonglong(pages.unfitRows().size()));
    }
    return 0;
}
