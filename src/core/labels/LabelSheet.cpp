#include "LabelSheet.h"

#include <QSettings>

#include <cmath>

QRectF LabelSheet::labelRect(int cell, QPointF offset) const
{
    const int column = columns > 0 ? cell % columns : 0;
    const int row = columns > 0 ? cell / columns : 0;
    return {left + column * pitchX + offset.x(), top + row * pitchY + offset.y(), width, height};
}

QString LabelSheet::problem(QSizeF paper) const
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("名前がありません");
    if (!(width > 0 && height > 0))
        return QStringLiteral("ラベルの幅と高さは 0 より大きくしてください");
    if (columns < 1 || rows < 1 || columns > 20 || rows > 40)
        return QStringLiteral("列数と行数は 1 から 20 と 1 から 40 です");
    if (left < 0 || top < 0)
        return QStringLiteral("余白は 0 以上にしてください");
    if ((columns > 1 && pitchX < width) || (rows > 1 && pitchY < height))
        return QStringLiteral("ピッチはラベルの大きさ以上にしてください");
    // A hundredth of a millimetre for numbers rounded when they were typed.
    const QRectF last = labelRect(perPage() - 1);
    if (last.right() > paper.width() + 0.01 || last.bottom() > paper.height() + 0.01)
        return QStringLiteral("ラベルが用紙からはみ出します");
    return {};
}

const QList<LabelSheet> &builtInSheets()
{
    static const QList<LabelSheet> sheets = [] {
        struct Row
        {
            const char16_t *name;
            double width, height;
            int columns, rows;
            double left, top;
        };
        const Row table[] = {
            {u"10面", 86.4, 50.8, 2, 5, 18.6, 21.5},
            {u"12面", 86.4, 42.3, 2, 6, 18.6, 21.6},
            {u"18面", 86.4, 31.0, 2, 9, 18.6, 9.0},
            {u"21面", 70.0, 42.3, 3, 7, 0.0, 0.45},
            {u"24面", 70.0, 33.9, 3, 8, 0.0, 12.9},
            {u"44面", 48.3, 25.4, 4, 11, 8.4, 8.8},
        };
        QList<LabelSheet> list;
        for (const Row &row : table)
            list.append({QString::fromUtf16(row.name), row.width, row.height, row.columns, row.rows, row.left,
                         row.top, row.width, row.height});
        return list;
    }();
    return sheets;
}

namespace {
const QString Group = QStringLiteral("LabelSheets");

void writeAll(QSettings &store, const QList<LabelSheet> &sheets)
{
    store.remove(Group);
    store.beginWriteArray(Group, int(sheets.size()));
    for (int i = 0; i < sheets.size(); ++i) {
        const LabelSheet &s = sheets[i];
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("name"), s.name);
        store.setValue(QStringLiteral("width"), s.width);
        store.setValue(QStringLiteral("height"), s.height);
        store.setValue(QStringLiteral("columns"), s.columns);
        store.setValue(QStringLiteral("rows"), s.rows);
        store.setValue(QStringLiteral("left"), s.left);
        store.setValue(QStringLiteral("top"), s.top);
        store.setValue(QStringLiteral("pitchX"), s.pitchX);
        store.setValue(QStringLiteral("pitchY"), s.pitchY);
    }
    store.endArray();
}
} // namespace

QList<LabelSheet> readUserSheets(QSettings &store)
{
    QList<LabelSheet> sheets;
    const int count = store.beginReadArray(Group);
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        LabelSheet s;
        s.name = store.value(QStringLiteral("name")).toString();
        s.width = store.value(QStringLiteral("width")).toDouble();
        s.height = store.value(QStringLiteral("height")).toDouble();
        s.columns = store.value(QStringLiteral("columns")).toInt();
        s.rows = store.value(QStringLiteral("rows")).toInt();
        s.left = store.value(QStringLiteral("left")).toDouble();
        s.top = store.value(QStringLiteral("top")).toDouble();
        s.pitchX = store.value(QStringLiteral("pitchX"), s.width).toDouble();
        s.pitchY = store.value(QStringLiteral("pitchY"), s.height).toDouble();
        if (s.problem(A4Millimetres).isEmpty())
            sheets.append(s);
    }
    store.endArray();
    return sheets;
}

void saveUserSheet(QSettings &store, const LabelSheet &sheet)
{
    QList<LabelSheet> sheets = readUserSheets(store);
    sheets.removeIf([&sheet](const LabelSheet &s) { return s.name == sheet.name; });
    sheets.append(sheet);
    writeAll(store, sheets);
}

void removeUserSheet(QSettings &store, const QString &name)
{
    QList<LabelSheet> sheets = readUserSheets(store);
    sheets.removeIf([&name](const LabelSheet &s) { return s.name == name; });
    writeAll(store, sheets);
}

LabelSlot labelSlot(int n, int skip, int perPage)
{
    if (perPage < 1)
        return {};
    const int slot = n + skip;
    return {slot / perPage, slot % perPage};
}

int labelPageCount(int count, int skip, int perPage)
{
    if (count < 1 || perPage < 1)
        return 0;
    return labelSlot(count - 1, skip, perPage).page + 1;
}

QList<int> cellsInUnprintableMargin(const LabelSheet &sheet, QSizeF paper, QMarginsF margins, QPointF offset)
{
    const QRectF printable(margins.left(), margins.top(), paper.width() - margins.left() - margins.right(),
                           paper.height() - margins.top() - margins.bottom());
    QList<int> cells;
    for (int cell = 0; cell < sheet.perPage(); ++cell) {
        const QRectF r = sheet.labelRect(cell, offset);
        // A label touching the margin's line is still printable.
        const double e = 0.005;
        if (r.left() < printable.left() - e || r.top() < printable.top() - e || r.right() > printable.right() + e
            || r.bottom() > printable.bottom() + e)
            cells.append(cell);
    }
    return cells;
}
