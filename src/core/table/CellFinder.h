#pragma once

#include <QString>
#include <QStringView>

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

private:
    bool matchesAt(QStringView cell, qsizetype at) const;

    QString m_needle; // folded
    QString m_starts; // the characters that fold to its first one
};
