#include "core/labels/LabelSheet.h"
#include "core/labels/LabelText.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// One unit per character: a line fits when it has at most `n` characters.
std::function<bool(const QString &)> atMost(int n)
{
    return [n](const QString &line) { return line.size() <= n; };
}

QString join(const QStringList &lines)
{
    return lines.join(u'|');
}

TEST(LabelLayout, AddressBreaks)
{
    struct Row
    {
        const char *name;
        const char16_t *address;
        int width;
        const char16_t *expected; // lines joined by '|'
    };
    const Row rows[] = {
        {"fits whole", u"東京都港区芝公園四丁目2-8", 20, u"東京都港区芝公園四丁目2-8"},
        {"at the full-width space", u"東京都千代田区丸の内2丁目7-2　JPタワー12階", 16,
         u"東京都千代田区丸の内2丁目7-2|JPタワー12階"},
        {"after 丁目 when the space's part is too long", u"東京都千代田区丸の内2丁目7-2　JPタワー12階", 14,
         u"東京都千代田区丸の内2丁目|7-2　JPタワー12階"},
        {"after the town", u"東京都千代田区丸の内2丁目7-2　JPタワー12階", 12,
         u"東京都千代田区丸の内|2丁目7-2　JPタワー12階"},
        {"after the town before a kanji 丁目", u"東京都港区芝公園四丁目2-8", 10, u"東京都港区芝公園|四丁目2-8"},
        {"never inside 2-2-1", u"神奈川県横浜市西区みなとみらい2-2-1", 19, u"神奈川県横浜市西区みなとみらい|2-2-1"},
        {"after 番地", u"北海道札幌市中央区北1条西2丁目1番地札幌ビル", 20, u"北海道札幌市中央区北1条西2丁目1番地|札幌ビル"},
        {"after 丁目 with 番地 too long", u"北海道札幌市中央区北1条西2丁目1番地", 16, u"北海道札幌市中央区北1条西2丁目|1番地"},
        {"not inside the parenthesised building", u"京都府京都市下京区東塩小路町721-1（京都タワービル）", 24,
         u"京都府京都市下京区東塩小路町721-1|（京都タワービル）"},
        {"after the town when the number and the name are too long",
         u"京都府京都市下京区東塩小路町721-1（京都タワービル）", 18, u"京都府京都市下京区東塩小路町|721-1（京都タワービル）"},
        {"parenthesis after the space", u"大阪府大阪市北区梅田3-1-3　（大阪ステーションシティ）", 20,
         u"大阪府大阪市北区梅田3-1-3|（大阪ステーションシティ）"},
        {"full-width digits kept together", u"福岡県福岡市博多区博多駅中央街１－１", 15, u"福岡県福岡市博多区博多駅中央街|１－１"},
        {"after the ward when the town's name is long", u"福岡県福岡市博多区博多駅中央街1-1", 12,
         u"福岡県福岡市博多区|博多駅中央街1-1"},
        {"after the city", u"愛知県豊田市トヨタ町一番地", 11, u"愛知県豊田市|トヨタ町一番地"},
        {"四日市市 kept whole", u"三重県四日市市諏訪町1-5", 7, u"三重県四日市市|諏訪町1-5"},
        {"no place but any that fits", u"あいうえおかきくけこ", 4, u"あいうえ|おかきくけこ"},
        {"1番2号 is one number", u"愛知県名古屋市中村区名駅1番1号", 14, u"愛知県名古屋市中村区名駅|1番1号"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(join(breakAddress(QString::fromUtf16(row.address), atMost(row.width))),
                  QString::fromUtf16(row.expected))
            << row.name;
}

TEST(LabelLayout, PostalCodes)
{
    const std::pair<const char16_t *, const char16_t *> rows[] = {
        {u"1000005", u"〒100-0005"},   {u"100-0005", u"〒100-0005"},     {u"〒100-0005", u"〒100-0005"},
        {u"１００－０００５", u"〒100-0005"}, {u" 100 0005 ", u"〒100-0005"}, {u"", u""},
        {u"   ", u""},                  {u"123-45", u"〒123-45"},         {u"100-0005x", u"〒100-0005x"},
    };
    for (const auto &[zip, expected] : rows)
        EXPECT_EQ(labelPostalCode(QString::fromUtf16(zip)), QString::fromUtf16(expected)) << QString::fromUtf16(zip).toStdString();
}

TEST(LabelLayout, LinesAndFitting)
{
    // A character is as wide as its size in points, in tenths of a millimetre
    // times 3.5 (about a full-width character).
    const TextWidth width = [](const QString &text, double points) { return text.size() * points * 0.35; };
    LabelRecord record{1, QStringLiteral("1000005"), QStringLiteral("東京都千代田区千代田1-1"),
                       QStringLiteral("宮内庁"), QStringLiteral("03-3213-1111")};
    LabelContent content;
    content.honorific = Honorific::Sama;
    content.phone = true;
    FittedLabel f = fitLabel(record, content, {80, 40}, 11, width);
    EXPECT_TRUE(f.fits);
    EXPECT_EQ(f.points, 11);
    EXPECT_EQ(join(f.lines), QStringLiteral("〒100-0005|東京都千代田区千代田1-1|宮内庁　様|TEL 03-3213-1111"));

    // Narrower: the address goes on two lines and the text shrinks until four
    // lines fit the label's height.
    f = fitLabel(record, content, {40, 26}, 11, width);
    EXPECT_TRUE(f.fits);
    EXPECT_LT(f.points, 11);
    EXPECT_GE(f.points, SmallestLabelPoints);
    for (const QString &line : f.lines)
        EXPECT_LE(width(line, f.points), 40) << line.toStdString();
    EXPECT_LE(f.lines.size() * labelLineHeight(f.points), 26);
    // The largest size that fits: half a point more does not.
    const double up = f.points + 0.5;
    const auto fitsUp = [&](const QString &line) { return width(line, up) <= 40; };
    const QStringList upLines = labelLines(record, content, fitsUp).all();
    EXPECT_FALSE(std::all_of(upLines.cbegin(), upLines.cend(), fitsUp)
                 && upLines.size() * labelLineHeight(up) <= 26);

    // No code, no 勤務先等, no phone asked: the address alone.
    content.phone = false;
    f = fitLabel({2, {}, QStringLiteral("東京都港区芝公園4-2-8"), QStringLiteral("  "), QStringLiteral("x")}, content,
                 {80, 40}, 11, width);
    EXPECT_EQ(join(f.lines), QStringLiteral("東京都港区芝公園4-2-8"));

    // Honorific 御中 and none.
    content.honorific = Honorific::Onchu;
    EXPECT_EQ(labelLines(record, content, atMost(99)).addressee, QStringLiteral("宮内庁　御中"));
    content.honorific = Honorific::None;
    EXPECT_EQ(labelLines(record, content, atMost(99)).addressee, QStringLiteral("宮内庁"));

    // A name from a column kept by 取り込み: its own line with 様, and the
    // 勤務先等 above it without an honorific; a row with a name alone is a
    // row to print.
    struct Named
    {
        const char16_t *cmp;
        const char16_t *name;
        Honorific honorific;
        const char16_t *lines;
    };
    for (const Named &n : std::initializer_list<Named>{
             {u"宮内庁", u"山田太郎", Honorific::Onchu, u"〒100-0005|東京都千代田区千代田1-1|宮内庁|山田太郎　様"},
             {u"", u" 山田太郎 ", Honorific::Onchu, u"〒100-0005|東京都千代田区千代田1-1|山田太郎　様"},
             {u"宮内庁", u"　", Honorific::Onchu, u"〒100-0005|東京都千代田区千代田1-1|宮内庁　御中"},
             {u"宮内庁", u"", Honorific::Sama, u"〒100-0005|東京都千代田区千代田1-1|宮内庁　様"},
         }) {
        LabelRecord named = record;
        named.cmp = QString::fromUtf16(n.cmp);
        named.name = QString::fromUtf16(n.name);
        content.honorific = n.honorific;
        EXPECT_EQ(join(labelLines(named, content, atMost(99)).all()), QString::fromUtf16(n.lines));
    }
    EXPECT_FALSE(isBlankRecord({4, {}, {}, {}, {}, QStringLiteral("山田太郎")}));
    EXPECT_TRUE(isBlankRecord({4, {}, {}, {}, {}, QStringLiteral(" ")}));
    content.honorific = Honorific::None;

    // A narrow label: the text shrinks rather than break the town's name,
    // and breaks anywhere only when no size keeps the town whole.
    const LabelRecord kyoto{3, {}, QStringLiteral("京都府京都市下京区東塩小路町721-1（京都タワービル）"), {}, {}};
    f = fitLabel(kyoto, content, {40, 20}, 11, width);
    EXPECT_TRUE(f.fits);
    EXPECT_EQ(join(f.lines), QStringLiteral("京都府京都市下京区東塩小路町|721-1（京都タワービル）"));
    EXPECT_LT(f.points, 11);
    f = fitLabel(kyoto, content, {40, 20}, 11,
                 [](const QString &text, double) {
                     const bool split = text.startsWith(QStringLiteral("京都府京都市下京区東塩小路町"))
                                        || text.startsWith(QStringLiteral("東塩"));
                     return split ? 99.0 : text.size() * 2.0;
                 });
    EXPECT_TRUE(f.fits);
    EXPECT_EQ(f.lines.size(), 2);
    EXPECT_EQ(f.lines.first().size(), 13); // broken inside the town, the only way left

    // Too long even at 6 pt: stays at 6 pt and says it does not fit.
    record.cmp = QString(60, QChar(u'株'));
    f = fitLabel(record, content, {40, 26}, 11, width);
    EXPECT_FALSE(f.fits);
    EXPECT_EQ(f.points, SmallestLabelPoints);
}

TEST(LabelLayout, BuiltInSheetsOnA4)
{
    const QList<LabelSheet> &sheets = builtInSheets();
    ASSERT_EQ(sheets.size(), 6);
    const int counts[] = {10, 12, 18, 21, 24, 44};
    for (int s = 0; s < sheets.size(); ++s) {
        const LabelSheet &sheet = sheets[s];
        SCOPED_TRACE(sheet.name.toStdString());
        EXPECT_EQ(sheet.perPage(), counts[s]);
        EXPECT_EQ(sheet.name, QString::number(counts[s]) + QStringLiteral("面"));
        EXPECT_EQ(sheet.problem(A4Millimetres), QString());
        QRectF block;
        for (int cell = 0; cell < sheet.perPage(); ++cell) {
            const QRectF r = sheet.labelRect(cell);
            EXPECT_GE(r.left(), -1e-9);
            EXPECT_GE(r.top(), -1e-9);
            EXPECT_LE(r.right(), 210 + 1e-9);
            EXPECT_LE(r.bottom(), 297 + 1e-9);
            for (int other = 0; other < cell; ++other)
                EXPECT_FALSE(sheet.labelRect(other).intersected(r).isValid()
                             && sheet.labelRect(other).intersected(r).width() > 1e-9
                             && sheet.labelRect(other).intersected(r).height() > 1e-9)
                    << cell << " overlaps " << other;
            block = block.isNull() ? r : block.united(r);
        }
        // Edge to edge and centred on the page.
        EXPECT_NEAR(block.width(), sheet.columns * sheet.width, 1e-9);
        EXPECT_NEAR(block.height(), sheet.rows * sheet.height, 1e-9);
        EXPECT_NEAR(block.left(), 210 - block.right(), 0.01);
        EXPECT_NEAR(block.top(), 297 - block.bottom(), 0.01);
        // Cells run along a row first.
        EXPECT_EQ(sheet.labelRect(1).top(), sheet.labelRect(0).top());
        EXPECT_EQ(sheet.labelRect(sheet.columns).left(), sheet.labelRect(0).left());
    }
}

TEST(LabelLayout, UnprintableMargin)
{
    const QList<LabelSheet> &sheets = builtInSheets();
    const QMarginsF margins(5, 5, 5, 5);
    // 10面: 18.6 and 21.5 mm from the edges, nothing in a 5 mm margin.
    EXPECT_TRUE(cellsInUnprintableMargin(sheets[0], A4Millimetres, margins, {}).isEmpty());
    // Moved 14 mm to the left: the left column reaches into the margin.
    EXPECT_EQ(cellsInUnprintableMargin(sheets[0], A4Millimetres, margins, {-14, 0}), (QList<int>{0, 2, 4, 6, 8}));
    // 21面 goes to the edges: both outer columns and the middle's first and last.
    EXPECT_EQ(cellsInUnprintableMargin(sheets[3], A4Millimetres, margins, {}).size(), 16);
    // 44面: 8.4 and 8.8 mm, inside a 5 mm margin.
    EXPECT_TRUE(cellsInUnprintableMargin(sheets[5], A4Millimetres, margins, {}).isEmpty());
}

TEST(LabelLayout, StartPosition)
{
    struct Row
    {
        int n, skip, perPage;
        LabelSlot slot;
    };
    const Row rows[] = {
        {0, 0, 12, {0, 0}}, {0, 5, 12, {0, 5}},  {6, 5, 12, {0, 11}}, {7, 5, 12, {1, 0}},
        {11, 0, 12, {0, 11}}, {12, 0, 12, {1, 0}}, {30, 11, 44, {0, 41}}, {100, 43, 44, {3, 11}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(labelSlot(row.n, row.skip, row.perPage), row.slot) << row.n << "+" << row.skip;
    EXPECT_EQ(labelPageCount(0, 5, 12), 0);
    EXPECT_EQ(labelPageCount(1, 11, 12), 1);
    EXPECT_EQ(labelPageCount(2, 11, 12), 2);
    EXPECT_EQ(labelPageCount(12, 0, 12), 1);
    EXPECT_EQ(labelPageCount(13, 0, 12), 2);
    EXPECT_EQ(labelPageCount(24, 1, 12), 3);
}

TEST(LabelLayout, UserSheetsInSettings)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("kotoven.conf")), QSettings::IniFormat);
    EXPECT_TRUE(readUserSheets(store).isEmpty());
    LabelSheet gaps{QStringLiteral("自作 2×8"), 90, 30, 2, 8, 12, 20, 96, 33};
    EXPECT_EQ(gaps.problem(A4Millimetres), QString());
    saveUserSheet(store, gaps);
    saveUserSheet(store, {QStringLiteral("小"), 40, 20, 4, 10, 10, 10, 45, 25});
    gaps.pitchY = 34;
    saveUserSheet(store, gaps);
    store.sync();
    QSettings again(dir.filePath(QStringLiteral("kotoven.conf")), QSettings::IniFormat);
    QList<LabelSheet> sheets = readUserSheets(again);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[0].name, QStringLiteral("小"));
    EXPECT_EQ(sheets[1], gaps);
    EXPECT_EQ(sheets[1].labelRect(3), QRectF(12 + 96, 20 + 34, 90, 30));
    removeUserSheet(again, QStringLiteral("小"));
    EXPECT_EQ(readUserSheets(again).size(), 1);

    // Numbers that make no sheet are refused and never read back.
    const LabelSheet bad[] = {
        {QString(), 40, 20, 1, 1, 0, 0, 40, 20},
        {QStringLiteral("a"), 0, 20, 1, 1, 0, 0, 40, 20},
        {QStringLiteral("b"), 40, 20, 2, 1, 0, 0, 30, 20},
        {QStringLiteral("c"), 100, 20, 3, 1, 0, 0, 100, 20},
    };
    for (const LabelSheet &sheet : bad)
        EXPECT_NE(sheet.problem(A4Millimetres), QString()) << sheet.name.toStdString();
    again.setValue(QStringLiteral("LabelSheets/1/width"), -3);
    EXPECT_TRUE(readUserSheets(again).isEmpty());
}

TEST(LabelLayout, ChosenRows)
{
    const QList<LabelRecord> records = {
        {1, QStringLiteral("1000005"), QStringLiteral("東京都"), {}, {}},
        {2, {}, {}, {}, {}},
        {3, {}, {}, QStringLiteral("会社"), {}},
        {4, QStringLiteral(" "), QStringLiteral("大阪府"), {}, {}},
        {5, {}, {}, {}, QStringLiteral("03")},
    };
    const auto rows = [](const QList<LabelRecord> &chosen) {
        QList<int> list;
        for (const LabelRecord &r : chosen)
            list.append(r.row);
        return list;
    };
    EXPECT_EQ(rows(chooseLabelRecords(records, LabelRows::All, 0, 0, {})), (QList<int>{1, 3, 4, 5}));
    EXPECT_EQ(rows(chooseLabelRecords(records, LabelRows::Block, 2, 4, {})), (QList<int>{3, 4}));
    EXPECT_EQ(rows(chooseLabelRecords(records, LabelRows::Kind, 0, 0, [](int row) { return row != 3; })),
              (QList<int>{1, 4, 5}));
    EXPECT_EQ(countWithoutCode(chooseLabelRecords(records, LabelRows::All, 0, 0, {})), 3);
}

} // namespace
