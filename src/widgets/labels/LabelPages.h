#pragma once

#include "core/labels/LabelSheet.h"
#include "core/labels/LabelText.h"

#include <QFont>
#include <QList>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class QPrinter;

// What a print of labels is made of.
struct LabelJob
{
    LabelSheet sheet;
    QList<LabelRecord> records;
    LabelContent content;
    QString family = QStringLiteral("Noto Sans CJK JP");
    double points = 11;
    int skip = 0;       // labels already used on the first sheet
    QPointF offset;     // the printer's feed, in millimetres
};

// The labels of a job laid out with the font's real widths, page by page.
class LabelPages final
{
public:
    explicit LabelPages(LabelJob job);

    const LabelJob &job() const { return m_job; }
    int pageCount() const;
    const QList<FittedLabel> &labels() const { return m_labels; }
    // The grid rows (from 1) whose label does not fit even at 6 pt.
    QList<int> unfitRows() const;

    // Paints one page (from 0) onto a painter whose device has its origin at
    // the paper's corner and `dotsPerMm` device units to a millimetre.
    // `outlines` draws the labels' edges (the on-screen preview).
    void paintPage(QPainter &painter, int page, double dotsPerMm, bool outlines = false) const;
    // Every page onto a paged device whose origin is the paper's corner.
    // False when the device cannot be painted on.
    bool paintAll(QPagedPaintDevice &device) const;
    // Pages from..to (from 1; 0: all) on a printer, printed full page.
    bool print(QPrinter &printer) const;

    // A PDF of every page; the path overload writes through QSaveFile.
    // An error text naming the path and the reason, empty on success.
    QString writePdf(QIODevice &out) const;
    QString writePdf(const QString &path) const;

private:
    QFont fontAt(double points, const QPainter &painter, double dotsPerMm) const;

    LabelJob m_job;
    QList<FittedLabel> m_labels;
};
