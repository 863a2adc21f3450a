#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What goes on one address label, and how it is made to fit.

// A row of the table as a label sees it.
struct LabelRecord
{
    int row = 0; // the grid's row, from 1
    QString zip;
    QString add;
    QString cmp;
    QString tel;
    QString name{}; // the addressee, from a column kept by 取り込み (氏名); empty: none
};

enum class Honorific { Onchu, Sama, None }; // 御中, 様, none

struct LabelContent
{
    Honorific honorific = Honorific::Onchu;
    bool phone = false;
};

// "〒123-4567" for a code of seven digits however written (full-width,
// without the hyphen, with "〒"); another code as written after "〒"; empty
// when there is no code.
QString labelPostalCode(const QString &zip);

// The width of a text in millimetres at a size in points.
using TextWidth = std::function<double(const QString &text, double points)>;

// The address on one line, or on two broken as a person would
// (PersonsPlaces): at the last full-width space or opening parenthesis of a
// building's name whose preceding text fits `fits`; otherwise after the town
// (before its block number), 丁目 or 番地, or else after the ward or city,
// the last of them that fits; when none fits, at the first of them (the
// caller shrinks the text). Without any such place, or Anywhere: at the last
// place whose preceding text fits. Never inside a number (1-2-3 is one) or a
// parenthesised name.
enum class AddressBreak { PersonsPlaces, Anywhere };
QStringList breakAddress(const QString &address, const std::function<bool(const QString &)> &fits,
                         AddressBreak mode = AddressBreak::PersonsPlaces);

// The label's lines at a size: the code, the address (one or two lines), the
// 勤務先等 with its honorific, the person's name with 様, the phone; lines
// with nothing are left out. Above a person's name the 勤務先等 goes without
// an honorific: the name takes 様.
struct LabelLines
{
    QString code;
    QStringList address;
    QString addressee;
    QString person;
    QString phone;
    QStringList all() const;
};
LabelLines labelLines(const LabelRecord &record, const LabelContent &content,
                      const std::function<bool(const QString &)> &fits,
                      AddressBreak mode = AddressBreak::PersonsPlaces);

// The text fitted into a label's inner box (millimetres): the largest size
// from `points` down to 6 pt, by half points, at which every line fits in
// width and all lines in height, the address broken at a person's places;
// only when no size makes that fit, broken at any place. `fits` false: not even at 6 pt, and the
// lines are those at 6 pt.
struct FittedLabel
{
    QStringList lines;
    double points = 0;
    bool fits = true;
};
inline constexpr double SmallestLabelPoints = 6.0;
// The height of one line in millimetres at a size in points.
inline double labelLineHeight(double points)
{
    return points * 25.4 / 72.0 * 1.3;
}
FittedLabel fitLabel(const LabelRecord &record, const LabelContent &content, QSizeF box, double points,
                     const TextWidth &width);

// The inner box of a label: its rectangle less a margin that suits its size.
double labelPadding(QSizeF label);

// Which rows become labels.
enum class LabelRows { All, Block, Kind };
// True when the row has nothing in 郵便番号, 住所, 勤務先等, 電話番号 and the
// addressee's name.
bool isBlankRecord(const LabelRecord &record);
// The non-blank records, in order; Block: only rows from..to; Kind: only
// rows `inKind` accepts. The caller has taken an untouched pre-fill out.
QList<LabelRecord> chooseLabelRecords(const QList<LabelRecord> &records, LabelRows which, int blockFrom,
                                      int blockTo, const std::function<bool(int row)> &inKind);
// How many of `records` print no code line.
int countWithoutCode(const QList<LabelRecord> &records);
