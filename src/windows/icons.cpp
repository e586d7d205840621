// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/icons.h"

#include "windows/drawing.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace velantis {

namespace {

using drawing::Blue;
using drawing::Canvas;
using drawing::Green;
using drawing::Ink;
using drawing::Red;
const QColor Paper(250, 250, 245);
const QColor Folder(235, 185, 60);

void Sheet(QPainter& p, const QRectF& r) {
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRect(r);
    p.setPen(QPen(QColor(150, 160, 175), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::max(1.0, std::hypot(d.x(), d.y()));
    const QPointF u = d / len, n(-u.y(), u.x());
    QPainterPath head;
    head.moveTo(to + u * 2);
    head.lineTo(to - u * 5 + n * 4.5);
    head.lineTo(to - u * 5 - n * 4.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
}

} // namespace

QPixmap ToolPixmap(ToolIcon which, int size) {
    QPainter p;
    QPixmap pixmap = Canvas(size, p);
    switch (which) {
    case ToolIcon::Open: {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(Folder.darker(115));
        p.drawRect(QRectF(3, 9, 24, 18));
        p.drawRect(QRectF(3, 6, 9, 3));
        Sheet(p, QRectF(8, 4, 14, 14));
        QPolygonF front{{3, 27}, {7, 14}, {30, 14}, {27, 27}};
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(Folder);
        p.drawPolygon(front);
        break;
    }
    case ToolIcon::Read: {
        // The instrument with its display, and an arrow down to the PC.
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(200, 205, 215));
        p.drawRoundedRect(QRectF(4, 3, 18, 15), 2, 2);
        p.setBrush(QColor(120, 200, 140));
        p.drawRect(QRectF(7, 6, 12, 6));
        p.setBrush(Ink);
        p.drawEllipse(QPointF(9, 15), 1.2, 1.2);
        p.drawEllipse(QPointF(13, 15), 1.2, 1.2);
        p.drawEllipse(QPointF(17, 15), 1.2, 1.2);
        Arrow(p, {25, 8}, {25, 26}, Blue);
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(Paper);
        p.drawRect(QRectF(5, 21, 14, 8));
        break;
    }
    case ToolIcon::Save: {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(Blue);
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(Paper);
        p.drawRect(QRectF(8, 4, 16, 10));
        p.setBrush(QColor(210, 215, 225));
        p.drawRect(QRectF(9, 19, 14, 9));
        p.setBrush(Ink);
        p.drawRect(QRectF(18, 6, 3, 6));
        break;
    }
    case ToolIcon::Print: {
        Sheet(p, QRectF(9, 3, 14, 10));
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(190, 195, 205));
        p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);
        p.setBrush(Green);
        p.drawEllipse(QPointF(25, 15), 1.3, 1.3);
        Sheet(p, QRectF(8, 19, 16, 10));
        break;
    }
    case ToolIcon::Clear: {
        Sheet(p, QRectF(5, 3, 17, 22));
        p.setPen(QPen(Red, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 15), QPointF(28, 28));
        p.drawLine(QPointF(28, 15), QPointF(15, 28));
        break;
    }
    case ToolIcon::Exit: {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(160, 110, 70));
        p.drawRect(QRectF(4, 3, 14, 26));
        p.setBrush(QColor(90, 60, 40));
        p.drawPolygon(QPolygonF{{4, 3}, {13, 6}, {13, 29}, {4, 29}});
        p.setBrush(Folder);
        p.drawEllipse(QPointF(11, 17), 1.2, 1.2);
        Arrow(p, {16, 16}, {29, 16}, Red);
        break;
    }
    }
    p.end();
    return pixmap;
}

QPixmap AppPixmap(int size) {
    QPainter p;
    QPixmap pixmap = Canvas(size, p);
    // A round meter face with a needle, and the coil of a current transformer behind it.
    p.setPen(QPen(Ink, 1.5));
    p.setBrush(QColor(60, 70, 90));
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    p.setPen(QPen(QColor(230, 150, 60), 2.5));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i)
        p.drawArc(QRectF(4 + i * 6, 20, 6, 8), 0, 180 * 16);
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawPie(QRectF(5, 5, 22, 22), 0, 180 * 16);
    p.setPen(QPen(Red, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 16), QPointF(23, 9));
    p.setPen(QPen(Ink, 1));
    for (int a = 20; a <= 160; a += 35) {
        const qreal r = a * 3.14159265 / 180;
        p.drawLine(QPointF(16 + 9 * std::cos(r), 16 - 9 * std::sin(r)),
                   QPointF(16 + 11 * std::cos(r), 16 - 11 * std::sin(r)));
    }
    p.end();
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(AppPixmap(size));
    return icon;
}

} // namespace velantis
