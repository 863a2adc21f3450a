#pragma once

// The 1,000,000-row code page 932 address file that csv_bench and
// window_load_bench both open, and the clock and iconv run they time it with.
#include "core/env/Cp932.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>

#include <functional>

namespace CsvBenchFile {

inline const QStringList Prefectures{u"東京都"_qs, u"大阪府"_qs, u"北海道"_qs, u"神奈川県"_qs, u"愛知県"_qs,
                              u"福岡県"_qs, u"京都府"_qs, u"兵庫県"_qs, u"埼玉県"_qs, u"千葉県"_qs};
inline const QStringList Cities{u"千代田区"_qs, u"中央区"_qs, u"港区"_qs, u"札幌市中央区"_qs, u"横浜市西区"_qs,
                         u"名古屋市中村区"_qs, u"福岡市博多区"_qs, u"京都市下京区"_qs, u"神戸市中央区"_qs,
                         u"さいたま市大宮区"_qs, u"千葉市美浜区"_qs, u"大阪市北区"_qs};
inline const QStringList Towns{u"丸の内"_qs, u"大手町"_qs, u"日本橋本町"_qs, u"梅田"_qs, u"北四条西"_qs, u"みなとみらい"_qs,
                        u"名駅"_qs, u"博多駅前"_qs, u"烏丸通四条下る"_qs, u"三宮町"_qs, u"桜木町"_qs, u"中瀬"_qs};
inline const QStringList Buildings{QString(), QString(), u" ｻﾝﾌﾟﾙﾋﾞﾙ"_qs, u" 第二ﾃｽﾄﾋﾞﾙ"_qs, u"ﾏﾝｼｮﾝ 桜"_qs};
inline const QStringList Companies{QString(), QString(), u"株式会社ｻﾝﾌﾟﾙ商事"_qs, u"有限会社 山田工務店"_qs,
                            u"東都物産株式会社 営業部"_qs, u"医療法人 さくら会"_qs};

inline QString pick(QRandomGenerator &random, const QStringList &list)
{
    return list[int(random.bounded(int(list.size())))];
}

inline QString addressRow(QRandomGenerator &random)
{
    const auto n = [&random](int below) { return QString::number(random.bounded(below)); };
    QString zip = QStringLiteral("%1-%2").arg(random.bounded(1000), 3, 10, QChar(u'0')).arg(random.bounded(10000), 4, 10,
                                                                                           QChar(u'0'));
    QString add = pick(random, Prefectures) + pick(random, Cities) + pick(random, Towns) + n(9) + u"丁目"_qs + n(30)
                  + u'－' + n(20) + pick(random, Buildings);
    QString tel = u'0' + n(99) + u'-' + n(9999) + u'-' + n(9999);
    QString url = random.bounded(3) == 0
                      ? u"https://map.yahoo.co.jp/maps?lat=35.%1&lon=139.%2&z=18&datum=tokyo"_qs.arg(n(999999), n(999999))
                      : QString();
    return u'"' + zip + u"\",\"" + add + u"\",\"" + pick(random, Companies) + u"\",\"" + tel + u"\",\"" + url
           + u"\"\r\n";
}

// Written in pieces so the generator's own memory stays small.
inline qint64 generate(const QString &path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QRandomGenerator random(42);
    QString piece = u"郵便番号,住所,勤務先等,電話番号,MAP URL\r\n"_qs;
    for (int r = 0; r < rows; ++r) {
        piece += addressRow(random);
        if (piece.size() > (1 << 20) || r == rows - 1) {
            file.write(Cp932::encode(piece).bytes);
            piece.clear();
        }
    }
    return file.size();
}

inline double seconds(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

// iconv's own program converting `in` to `out`, as the physical floor.
inline double iconv(const QString &from, const QString &to, const QString &in, const QString &out)
{
    return seconds([&] {
        QProcess process;
        process.setStandardInputFile(in);
        process.setStandardOutputFile(out);
        process.start(QStringLiteral("iconv"), {QStringLiteral("-f"), from, QStringLiteral("-t"), to});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            qFatal("iconv failed");
    });
}

} // namespace CsvBenchFile
