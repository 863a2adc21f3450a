#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// How a list taken in from another program was laid out, beside the table
// whose rows keep its unmapped columns unseen: which of its columns fed the
// table's five (several joined into one, in the order chosen), which ones the
// rows keep as their kept cells, and the list's header. 書き出し lays the table
// out this way again.
struct KeptColumns
{
    static constexpr int TableColumns = 5;
    static constexpr int MaxColumns = 16384; // a spreadsheet's columns

    bool header = false;   // the list's first row named its columns
    QStringList names;     // that row (empty without one)
    // Per table column, the list's columns joined into it.
    std::array<std::vector<int>, TableColumns> mapped;
    // The list's columns the rows keep, in the order of their kept cells.
    std::vector<int> kept;

    bool any() const { return !kept.empty(); }
    bool operator==(const KeptColumns &) const = default;

    // One column of the list as it is written back: a table column, or a
    // kept cell, under its header.
    struct Output
    {
        int table = -1; // the table column written here, or
        int kept = -1;  // the kept cell written here
        QString header;
        bool operator==(const Output &) const = default;
    };
    // The list's own layout: every kept column at its place, a table column
    // at the place of the first (leftmost) of the list's columns joined into
    // it, the others of those left out; table columns the list had none for
    // come last, when `filled` says they hold anything.
    std::vector<Output> layout(const std::array<bool, TableColumns> &filled) const;

    // "1;h;names…" and back, for the recovery journal; anything else gives
    // nothing.
    QString toText() const;
    static std::optional<KeptColumns> fromText(const QString &text);
};
