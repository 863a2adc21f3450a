#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The comparison forms of addresses, office names and postal codes. Typed text
// and dictionary text go through the same folding, so a person may type with
// or without spaces, in either width, with any dash, ヶ or が, 大字/字, and
// kanji or Arabic numbers before 丁目, and still meet the dictionary's
// spelling.
namespace AddressKey {

// Appends the comparison form of `text` to `out`. When `origin` is given, it
// receives for every appended character the index in `text` it came from.
void appendAddress(QStringView text, QString &out, std::vector<qsizetype> *origin = nullptr);
QString address(QStringView text);

// Block numbers in one form: "1丁目2番3号", "1-2-3", "1の2の3" all become
// "1-2-3", "12番地" becomes "12"; numbers of 条, 線 and the like stay.
QString blockForm(QStringView key);

// Where a typed address begins after a postal code in front ("〒100-0005
// 東京都…", "100-0005　東京都…"); 0 when there is none. `code` gets the digits.
qsizetype afterPostalCode(QStringView text, QString *code = nullptr);

// An office name without its legal form (株式会社, （株）, ㈱, 有限会社…),
// spaces and width differences.
void appendOfficeName(QStringView text, QString &out);
QString officeName(QStringView text);

// The digits of a typed postal code ("〒100-0005", "１００００05", "100 0005").
// Empty when the text holds anything but digits, dashes, spaces and 〒, or
// more than seven digits.
QString postalDigits(QStringView text);

// A postal code that went through a spreadsheet stored as a number: its
// leading zeros lost ("600042" is 060-0042, "10010" is 001-0010), a decimal
// part of zeros added ("600042.0"), thousands separated ("600,042"), in
// either width. The seven digits it stands for, zeros put back in front;
// empty when the text is no such number (anything but those digits, fewer
// than five or more than seven of them, a decimal part that is not zero).
// The whole-list check proposes the result where it fits the row, and a
// workbook import may read codes through it.
QString spreadsheetCode(QStringView text);

// "1000005" -> "100-0005".
QString formatCode(quint32 code);

// The value of a run of kanji numerals (一…九, 〇, 十, 百, 千); -1 when the
// run holds anything else.
int kanjiNumber(QStringView run);

// The 47 prefecture names; the index of the one `text` starts with, or -1.
int prefectureAt(QStringView text);
QStringView prefecture(int index);
constexpr int PrefectureCount = 47;

} // namespace AddressKey
