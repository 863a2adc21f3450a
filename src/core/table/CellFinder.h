#pragma once

#include "core/grid/AddressTableModel.h"

#include <QString>
#include <QStringView>

#include <optional>

// Finds text in cells as people expect: full- and half-width letters, digits
// and katakana alike, letters in either case. Fast when most cells do not
// match: only the places where the first character could start are compared
// in full.
class CellFinder
{
public:
    explicit CellFinder(QStringView text);

    bool isEmpty() const { return m_needle.isEmpty(); }
    bool matches(QStringView cell) const;

    struct Cell
    {
        int row = 0; // from 0
        int column = 0;
        friend bool operator==(const Cell &, const Cell &) = default;
    };
    // How many threads a search uses: a second one only for a large table
    // while a core is free, or always or never (benchmarks and tests).
    enum class Threads { WhenItPays, One, Two };

    // The next cell that matches, row by row and left to right from `from`
    // (itself only when `includeFrom`), backwards when asked, going round
    // the table's end; nothing when no cell matches.
    std::optional<Cell> next(const AddressTableModel::Rows &rows, Cell from, bool backwards, bool includeFrom,
                             Threads threads = Threads::WhenItPays) const;

private:
    class Starts;
    bool matches(const Starts &starts, QStringView cell) const;
    bool matchesAt(QStringView cell, qsizetype at) const;

    QString m_needle; // folded
    // The UTF-16 units a match can start with: the characters that fold to
    // its first one, or the first halves of those outside the BMP.
    QString m_starts;
};
