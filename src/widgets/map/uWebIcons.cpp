#include "uWebIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace {

constexpr int Size = 16;

const char *themeName(int index)
{
    switch (index) {
    case 2: return "go-previous";
    case 3: return "go-next";
    case 4: return "go-home";
    case 5: return "edit-find";
    case 6: return "document-print";
    case 7: return "document-page-setup";
    case 8: return "document-save-as";
    case 9: return "document-open";
    default: return "";
    }
}

void drawArrow(QPainter &p, bool left)
{
    QPolygonF head;
    if (left)
        head << QPointF(2, 8) << QPointF(8, 2.5) << QPointF(8, 13.5);
    else
        head << QPointF(14, 8) << QPointF(8, 2.5) << QPointF(8, 13.5);
    p.drawPolygon(head);
    p.drawRect(left ? QRectF(8, 6, 6, 4) : QRectF(2, 6, 6, 4));
}

// Simple line pictures in the palette's text colour, readable at 16 pixels.
QPixmap drawn(int index)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x30, 0x40, 0x60);
    const QColor fill(0xDD, 0xE6, 0xF4);
    p.setPen(QPen(ink, 1.2));
    p.setBrush(fill);
    switch (index) {
    case 2: drawArrow(p, true); break;
    case 3: drawArrow(p, false); break;
    case 4: {
        QPolygonF roof;
        roof << QPointF(1.5, 8) << QPointF(8, 1.5) << QPointF(14.5, 8);
        p.drawPolyline(roof);
        p.drawRect(QRectF(3.5, 7.5, 9, 7));
        p.drawRect(QRectF(7, 10.5, 2.5, 4));
        break;
    }
    case 5:
        p.drawEllipse(QRectF(2, 2, 8, 8));
        p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
        break;
    case 6:
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        break;
    case 7:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 1.5, 9, 13));
        p.setPen(QPen(ink, 1, Qt::DotLine));
        p.drawRect(QRectF(5.5, 3.5, 5, 9));
        break;
    case 8:
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case 9: {
        QPainterPath folder;
        folder.moveTo(1.5, 3.5);
        folder.lineTo(6, 3.5);
        folder.lineTo(7.5, 5);
        folder.lineTo(14.5, 5);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
        p.drawLine(QPointF(1.5, 7), QPointF(14.5, 7));
        break;
    }
    default: break;
    }
    return pixmap;
}

} // namespace

QIcon uWebIcon(int index)
{
    return QIcon::fromTheme(QString::fromLatin1(themeName(index)), QIcon(drawn(index)));
}
