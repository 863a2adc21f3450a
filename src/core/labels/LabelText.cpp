#include "LabelText.h"

#include <algorithm>
#include <cmath>

namespace {
bool isNumeral(QChar c)
{
    return c.isDigit() || QStringView(u"〇一二三四五六七八九十百千").contains(c);
}

bool isDash(QChar c)
{
    return QStringView(u"-－ー−‐‑–—").contains(c);
}

} // namespace

QString labelPostalCode(const QString &zip)
{
    QString text = zip.normalized(QString::NormalizationForm_KC).trimmed();
    if (text.startsWith(u'〒'))
        text = text.mid(1).trimmed();
    if (text.isEmpty())
        return {};
    QString digits;
    bool plain = true; // digits, dashes and spaces only
    for (QChar c : text) {
        if (c.isDigit())
            digits += QChar(u'0' + c.digitValue());
        else if (!isDash(c) && c != u' ')
            plain = false;
    }
    if (plain && digits.size() == 7)
        return QStringLiteral("〒") + digits.left(3) + u'-' + digits.mid(3);
    return QStringLiteral("〒") + text;
}

namespace {
// A character of a number: a numeral, or a dash between numerals (1-2-3).
bool inNumber(const QString &text, int i)
{
    if (i < 0 || i >= text.size())
        return false;
    if (isNumeral(text[i]))
        return true;
    return isDash(text[i]) && i > 0 && i + 1 < text.size() && isNumeral(text[i - 1]) && isNumeral(text[i + 1]);
}

// The places (before character p) where a line may end: not inside a number,
// not inside parentheses, not at either end.
std::vector<bool> allowedBreaks(const QString &text)
{
    std::vector<bool> allowed(size_t(text.size()) + 1, false);
    int depth = 0;
    for (int p = 1; p < text.size(); ++p) {
        const QChar before = text[p - 1];
        if (before == u'(' || before == u'（')
            ++depth;
        else if ((before == u')' || before == u'）') && depth > 0)
            --depth;
        const bool number = (inNumber(text, p - 1) && inNumber(text, p))
                            || (before == u'番' && text[p].isDigit()) || (text[p] == u'番' && inNumber(text, p - 1))
                            || (text[p] == u'丁' && inNumber(text, p - 1))
                            || (text[p] == u'号' && inNumber(text, p - 1));
        allowed[size_t(p)] = depth == 0 && !number;
    }
    return allowed;
}

QStringList split(const QString &text, int p)
{
    const QString first = text.left(p).trimmed();
    const QString second = text.mid(p).trimmed();
    if (second.isEmpty())
        return {first};
    return {first, second};
}
} // namespace

QStringList breakAddress(const QString &address, const std::function<bool(const QString &)> &fits, AddressBreak mode)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return {};
    if (fits(text))
        return {text};
    const std::vector<bool> allowed = allowedBreaks(text);
    const auto lastFitting = [&](const QList<int> &places) -> int {
        for (qsizetype i = places.size() - 1; i >= 0; --i) {
            const int p = places[i];
            if (p > 0 && p < text.size() && allowed[size_t(p)] && fits(text.left(p).trimmed()))
                return p;
        }
        return -1;
    };
    const auto lastFittingAnywhere = [&]() -> QStringList {
        for (int p = int(text.size()) - 1; p > 0; --p)
            if (allowed[size_t(p)] && fits(text.left(p).trimmed()))
                return split(text, p);
        // Not even the first word fits: the first allowed place, for the
        // caller to shrink.
        for (int p = 1; p < text.size(); ++p)
            if (allowed[size_t(p)])
                return split(text, p);
        return {text};
    };
    if (mode == AddressBreak::Anywhere)
        return lastFittingAnywhere();
    // The full-width spaces (trimmed away) and the start of a parenthesised
    // name: what follows them is the building, the natural second line.
    QList<int> spaces;
    for (int p = 1; p < text.size(); ++p)
        if (text[p] == u'　' || text[p] == u'（' || text[p] == u'(')
            spaces.append(p);
    if (const int p = lastFitting(spaces); p > 0)
        return split(text, p);
    // After the town (where its block number starts), 丁目 or 番地.
    QList<int> places;
    for (int p = 1; p < text.size(); ++p) {
        if (isNumeral(text[p]) && !inNumber(text, p - 1)) {
            // A numeral starts a block number when digits follow it or 丁目 ends it.
            int end = p;
            while (end < text.size() && inNumber(text, end))
                ++end;
            const bool digits = text[p].isDigit();
            if (digits || QStringView(text).mid(end).startsWith(u"丁目"))
                places.append(p);
        }
        if (p >= 2 && (QStringView(text).mid(p - 2, 2) == u"丁目" || QStringView(text).mid(p - 2, 2) == u"番地"))
            places.append(p);
        // After the ward, the district or the city (四日市市 and 市場 aside),
        // for a town whose name does not fit after them.
        const QChar before = text[p - 1];
        if (before == u'区' || before == u'郡'
            || (before == u'市' && !QStringView(u"市区場").contains(text[p]) && p >= 3))
            places.append(p);
    }
    std::sort(places.begin(), places.end());
    if (const int p = lastFitting(places); p > 0)
        return split(text, p);
    places.append(spaces);
    std::sort(places.begin(), places.end());
    for (int p : std::as_const(places))
        if (allowed[size_t(p)])
            return split(text, p); // the shortest first line a person would write, for the caller to shrink
    return lastFittingAnywhere(); // no place a person would choose
}

QStringList LabelLines::all() const
{
    QStringList lines;
    if (!code.isEmpty())
        lines.append(code);
    lines.append(address);
    if (!addressee.isEmpty())
        lines.append(addressee);
    if (!person.isEmpty())
        lines.append(person);
    if (!phone.isEmpty())
        lines.append(phone);
    return lines;
}

LabelLines labelLines(const LabelRecord &record, const LabelContent &content,
                      const std::function<bool(const QString &)> &fits, AddressBreak mode)
{
    LabelLines lines;
    lines.code = labelPostalCode(record.zip);
    lines.address = breakAddress(record.add, fits, mode);
    const QString cmp = record.cmp.trimmed();
    const QString name = record.name.trimmed();
    if (!name.isEmpty())
        lines.person = name + QStringLiteral("　様");
    if (!cmp.isEmpty() && !name.isEmpty()) {
        lines.addressee = cmp;
    } else if (!cmp.isEmpty()) {
        switch (content.honorific) {
        case Honorific::Onchu: lines.addressee = cmp + QStringLiteral("　御中"); break;
        case Honorific::Sama: lines.addressee = cmp + QStringLiteral("　様"); break;
        case Honorific::None: lines.addressee = cmp; break;
        }
    }
    if (content.phone && !record.tel.trimmed().isEmpty())
        lines.phone = QStringLiteral("TEL ") + record.tel.trimmed();
    return lines;
}

FittedLabel fitLabel(const LabelRecord &record, const LabelContent &content, QSizeF box, double points,
                     const TextWidth &width)
{
    FittedLabel fitted;
    // A smaller text broken where a person would break it before a larger
    // one broken anywhere.
    for (const AddressBreak mode : {AddressBreak::PersonsPlaces, AddressBreak::Anywhere}) {
        for (double size = std::max(points, SmallestLabelPoints);; size -= 0.5) {
            if (size < SmallestLabelPoints)
                size = SmallestLabelPoints;
            const auto fits = [&](const QString &line) { return width(line, size) <= box.width(); };
            fitted.lines = labelLines(record, content, fits, mode).all();
            fitted.points = size;
            fitted.fits = std::all_of(fitted.lines.cbegin(), fitted.lines.cend(), fits)
                          && fitted.lines.size() * labelLineHeight(size) <= box.height() + 1e-9;
            if (fitted.fits)
                return fitted;
            if (size <= SmallestLabelPoints)
                break;
        }
    }
    return fitted;
}

double labelPadding(QSizeF label)
{
    return std::clamp(std::min(label.width(), label.height()) * 0.08, 1.5, 4.0);
}

bool isBlankRecord(const LabelRecord &record)
{
    return record.zip.trimmed().isEmpty() && record.add.trimmed().isEmpty() && record.cmp.trimmed().isEmpty()
           && record.tel.trimmed().isEmpty() && record.name.trimmed().isEmpty();
}

QList<LabelRecord> chooseLabelRecords(const QList<LabelRecord> &records, LabelRows which, int blockFrom,
                                      int blockTo, const std::function<bool(int row)> &inKind)
{
    QList<LabelRecord> chosen;
    for (const LabelRecord &record : records) {
        if (isBlankRecord(record))
            continue;
        if (which == LabelRows::Block && (record.row < blockFrom || record.row > blockTo))
            continue;
        if (which == LabelRows::Kind && !(inKind && inKind(record.row)))
            continue;
        chosen.append(record);
    }
    return chosen;
}

int countWithoutCode(const QList<LabelRecord> &records)
{
    return int(std::count_if(records.cbegin(), records.cend(),
                             [](const LabelRecord &r) { return labelPostalCode(r.zip).isEmpty(); }));
}
