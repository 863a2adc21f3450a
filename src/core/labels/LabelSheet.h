#pragma once

#include <QList>
#include <QMarginsF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QSettings;

// A sheet of address labels, in millimetres from the paper's edge.
struct LabelSheet
{
    QString name;
    double width = 0;  // one label
    double height = 0;
    int columns = 0;
    int rows = 0;
    double left = 0;   // the first label's top-left corner
    double top = 0;
    double pitchX = 0; // from one label's left edge to the next one's
    double pitchY = 0;

    int perPage() const { return columns * rows; }
    // Label `cell` (0 = top left, then along the row) moved by `offset`.
    QRectF labelRect(int cell, QPointF offset = {}) const;
    // Empty when the numbers make a sheet; else what is wrong with them.
    QString problem(QSizeF paper) const;
    friend bool operator==(const LabelSheet &, const LabelSheet &) = default;
};

// The A4 paper every sheet is printed on.
inline constexpr QSizeF A4Millimetres{210.0, 297.0};

// The common A4 sheets, labels edge to edge and the block centred:
// 10面, 12面, 18面, 21面, 24面, 44面.
const QList<LabelSheet> &builtInSheets();

// The sheets the user named, kept in `store` under "LabelSheets"; sheets whose
// numbers make no sheet are left out.
QList<LabelSheet> readUserSheets(QSettings &store);
// Adds `sheet` to the user's sheets, replacing one of the same name.
void saveUserSheet(QSettings &store, const LabelSheet &sheet);
void removeUserSheet(QSettings &store, const QString &name);

// Millimetres to the units of a device of `dpi` dots per inch.
inline double mmToDevice(double mm, double dpi)
{
    return mm * dpi / 25.4;
}

// Where the n-th printed label (from 0) goes when the first `skip` labels of
// the first sheet are already used.
struct LabelSlot
{
    int page = 0;
    int cell = 0;
    friend bool operator==(const LabelSlot &, const LabelSlot &) = default;
};
LabelSlot labelSlot(int n, int skip, int perPage);
// The pages `count` labels take after `skip` used ones (0 for none).
int labelPageCount(int count, int skip, int perPage);

// The cells (from 0) whose label, moved by `offset`, reaches into the
// printer's unprintable `margins` of `paper`.
QList<int> cellsInUnprintableMargin(const LabelSheet &sheet, QSizeF paper, QMarginsF margins, QPointF offset);
