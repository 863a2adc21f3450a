#include "KeptColumns.h"

#include <algorithm>

namespace {

// The table's captions, for a list without a header.
QString caption(int column)
{
    static const std::array<QString, KeptColumns::TableColumns> captions{
        QStringLiteral("郵便番号"), QStringLiteral("住所"), QStringLiteral("勤務先等"), QStringLiteral("電話番号"),
        QStringLiteral("Map URL")};
    return captions[std::size_t(column)];
}

QString numbers(const std::vector<int> &list)
{
    QStringList parts;
    for (const int n : list)
        parts.append(QString::number(n));
    return parts.join(u'+');
}

std::optional<std::vector<int>> parseNumbers(const QString &text)
{
    std::vector<int> list;
    if (text.isEmpty())
        return list;
    for (const QString &part : text.split(u'+')) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || n < 0 || n >= KeptColumns::MaxColumns)
            return std::nullopt;
        list.push_back(n);
    }
    return list;
}

} // namespace

std::vector<KeptColumns::Output> KeptColumns::layout(const std::array<bool, TableColumns> &filled) const
{
    int columns = int(names.size());
    std::array<int, TableColumns> place{};
    for (int t = 0; t < TableColumns; ++t) {
        const std::vector<int> &from = mapped[std::size_t(t)];
        place[std::size_t(t)] = from.empty() ? -1 : *std::min_element(from.begin(), from.end());
        for (const int c : from)
            columns = std::max(columns, c + 1);
    }
    for (const int c : kept)
        columns = std::max(columns, c + 1);
    auto name = [this](int c) { return c < names.size() ? names[c] : QString(); };
    std::vector<Output> out;
    for (int c = 0; c < columns; ++c) {
        for (int t = 0; t < TableColumns; ++t)
            if (place[std::size_t(t)] == c)
                out.push_back({t, -1, header ? name(c) : caption(t)});
        const auto k = std::find(kept.begin(), kept.end(), c);
        if (k != kept.end())
            out.push_back({-1, int(k - kept.begin()), header ? name(c) : QString()});
    }
    for (int t = 0; t < TableColumns; ++t)
        if (place[std::size_t(t)] < 0 && filled[std::size_t(t)])
            out.push_back({t, -1, caption(t)});
    return out;
}

QString KeptColumns::toText() const
{
    // Fields are separated by a character no header holds.
    QStringList parts{QStringLiteral("1"), header ? QStringLiteral("h") : QStringLiteral("-"), numbers(kept)};
    for (const std::vector<int> &from : mapped)
        parts.append(numbers(from));
    for (const QString &name : names)
        parts.append(QString(name).replace(u'\x1f', u' '));
    return parts.join(u'\x1f');
}

std::optional<KeptColumns> KeptColumns::fromText(const QString &text)
{
    const QStringList parts = text.split(u'\x1f');
    if (parts.size() < 3 + TableColumns || parts[0] != u"1" || (parts[1] != u"h" && parts[1] != u"-"))
        return std::nullopt;
    KeptColumns k;
    k.header = parts[1] == u"h";
    const std::optional<std::vector<int>> kept = parseNumbers(parts[2]);
    if (!kept)
        return std::nullopt;
    k.kept = *kept;
    for (int t = 0; t < TableColumns; ++t) {
        const std::optional<std::vector<int>> from = parseNumbers(parts[3 + t]);
        if (!from)
            return std::nullopt;
        k.mapped[std::size_t(t)] = *from;
    }
    k.names = parts.mid(3 + TableColumns);
    return k;
}
