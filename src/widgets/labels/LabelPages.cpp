#include "LabelPages.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>
#include <optional>
#include <vector>

namespace {
// Latin runs unshaped: shaping gives digits after "TEL " glyphs that the
// font's character map does not reach, which a PDF then cannot turn back
// into text (search and copy in a viewer would lose them). Without shaping
// and kerning a line is as wide as its characters' advances added up.
QFont labelFont(const QString &family)
{
    QFont font(family);
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setKerning(false);
    return font;
}

// Advances are measured once per character at 100 pt on a 1200 dpi device
// and scaled: an outline font's advances grow in proportion to the size.
constexpr double MeasuredPoints = 100;
constexpr double MeasuredDpi = 1200;

class Measure
{
public:
    explicit Measure(const QString &family)
        : m_device(1, 1, QImage::Format_Mono), m_advance(0x10000, -1.0)
    {
        m_device.setDotsPerMeterX(int(MeasuredDpi / 0.0254));
        m_device.setDotsPerMeterY(int(MeasuredDpi / 0.0254));
        QFont font = labelFont(family);
        font.setPointSizeF(MeasuredPoints);
        m_metrics.emplace(font, &m_device);
    }
    // Millimetres at `points`.
    double operator()(const QString &text, double points)
    {
        double width = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size()) {
                width += m_metrics->horizontalAdvance(text.mid(i, 2));
                ++i;
                continue;
            }
            double &advance = m_advance[c.unicode()];
            if (advance < 0)
                advance = m_metrics->horizontalAdvance(c);
            width += advance;
        }
        return width * 25.4 / MeasuredDpi * points / MeasuredPoints;
    }

private:
    QImage m_device;
    std::optional<QFontMetricsF> m_metrics;
    std::vector<double> m_advance; // by UTF-16 unit, -1: not measured yet
};

QSizeF innerSize(const LabelSheet &sheet)
{
    const double pad = labelPadding({sheet.width, sheet.height});
    return {sheet.width - 2 * pad, sheet.height - 2 * pad};
}
} // namespace

LabelPages::LabelPages(LabelJob job)
    : m_job(std::move(job))
{
    Measure measure(m_job.family);
    const TextWidth width = [&measure](const QString &text, double points) { return measure(text, points); };
    const QSizeF box = innerSize(m_job.sheet);
    m_labels.reserve(m_job.records.size());
    for (const LabelRecord &record : std::as_const(m_job.records))
        m_labels.append(fitLabel(record, m_job.content, box, m_job.points, width));
}

int LabelPages::pageCount() const
{
    return labelPageCount(int(m_labels.size()), m_job.skip, m_job.sheet.perPage());
}

QList<int> LabelPages::unfitRows() const
{
    QList<int> rows;
    for (int i = 0; i < m_labels.size(); ++i)
        if (!m_labels[i].fits)
            rows.append(m_job.records[i].row);
    return rows;
}

QFont LabelPages::fontAt(double points, const QPainter &painter, double dotsPerMm) const
{
    // The painter's device turns points into its own units at its logical
    // resolution; the page may be drawn at another scale (the preview).
    QFont font = labelFont(m_job.family);
    const double deviceDpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    font.setPointSizeF(points * dotsPerMm * 25.4 / deviceDpi);
    return font;
}

void LabelPages::paintPage(QPainter &painter, int page, double dotsPerMm, bool outlines) const
{
    const LabelSheet &sheet = m_job.sheet;
    const int perPage = sheet.perPage();
    if (perPage < 1 || page < 0)
        return;
    const auto toDevice = [dotsPerMm](const QRectF &mm) {
        return QRectF(mm.x() * dotsPerMm, mm.y() * dotsPerMm, mm.width() * dotsPerMm, mm.height() * dotsPerMm);
    };
    if (outlines) {
        painter.save();
        painter.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 0));
        for (int cell = 0; cell < perPage; ++cell)
            painter.drawRect(toDevice(sheet.labelRect(cell, m_job.offset)));
        painter.restore();
    }
    // The first label of the page: page 0 starts after the skipped ones.
    const int firstSlot = page * perPage;
    const int first = std::max(0, firstSlot - m_job.skip);
    const double pad = labelPadding({sheet.width, sheet.height});
    double fontPoints = -1;
    for (int i = first; i < m_labels.size(); ++i) {
        const LabelSlot slot = labelSlot(i, m_job.skip, perPage);
        if (slot.page != page)
            break;
        const FittedLabel &label = m_labels[i];
        const QRectF rect = sheet.labelRect(slot.cell, m_job.offset);
        if (label.points != fontPoints) {
            painter.setFont(fontAt(label.points, painter, dotsPerMm));
            fontPoints = label.points;
        }
        const double lineHeight = labelLineHeight(label.points);
        const double textHeight = label.lines.size() * lineHeight;
        const QRectF inner = rect.adjusted(pad, pad, -pad, -pad);
        // The block of lines sits in the middle of the label's height.
        double y = inner.top() + std::max(0.0, (inner.height() - textHeight) / 2);
        if (!label.fits)
            painter.setClipRect(toDevice(rect));
        // The baseline lies at about four fifths of a line: an em box of
        // 1/1.3 of the line height, its ascender at 0.88 em.
        const double baseline = lineHeight * (0.15 / 1.3 + 0.88 / 1.3);
        for (const QString &line : label.lines) {
            painter.drawText(QPointF(inner.left() * dotsPerMm, (y + baseline) * dotsPerMm), line);
            y += lineHeight;
        }
        if (!label.fits)
            painter.setClipping(false);
    }
}

bool LabelPages::paintAll(QPagedPaintDevice &device) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double dotsPerMm = device.logicalDpiX() / 25.4;
    const int pages = std::max(1, pageCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage())
            return false;
        paintPage(painter, page, dotsPerMm);
    }
    return painter.end();
}

bool LabelPages::print(QPrinter &printer) const
{
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double dotsPerMm = printer.resolution() / 25.4;
    const int pages = pageCount();
    int from = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    int to = printer.toPage() > 0 ? std::min(printer.toPage(), pages) - 1 : pages - 1;
    for (int page = from; page <= to; ++page) {
        if (page > from && !printer.newPage())
            return false;
        paintPage(painter, page, dotsPerMm);
    }
    return painter.end();
}

QString LabelPages::writePdf(QIODevice &out) const
{
    QPdfWriter pdf(&out);
    pdf.setCreator(QStringLiteral("Kotoven"));
    pdf.setResolution(600);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                  QPageLayout::Millimeter));
    if (!paintAll(pdf))
        return QStringLiteral("PDF を書けませんでした");
    return {};
}

QString LabelPages::writePdf(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("%1 に保存できません: %2").arg(path, file.errorString());
    if (QString error = writePdf(file); !error.isEmpty()) {
        file.cancelWriting();
        return QStringLiteral("%1 に保存できません: %2").arg(path, error);
    }
    if (!file.commit())
        return QStringLiteral("%1 に保存できません: %2").arg(path, file.errorString());
    return {};
}
