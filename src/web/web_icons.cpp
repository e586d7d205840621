// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/web_icons.h"

#include "windows/drawing.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velantis {

namespace {

using drawing::Blue;
using drawing::Green;
using drawing::Ink;
using drawing::Red;
const QColor Roof(190, 80, 50);
const QColor Wall(245, 230, 190);

void HorizontalArrow(QPainter& p, bool right) {
    QPolygonF arrow{{4, 16}, {15, 5}, {15, 11}, {28, 11}, {28, 21}, {15, 21}, {15, 27}};
    if (right)
        for (QPointF& pt : arrow)
            pt.setX(32 - pt.x());
    p.setPen(QPen(Ink, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Green);
    p.drawPolygon(arrow);
}

} // namespace

QPixmap WebPixmap(WebIcon which, int size) {
    QPainter p;
    QPixmap pixmap = drawing::Canvas(size, p);
    switch (which) {
    case WebIcon::Back:
        HorizontalArrow(p, false);
        break;
    case WebIcon::Forward:
        HorizontalArrow(p, true);
        break;
    case WebIcon::Home:
        p.setPen(QPen(Ink, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Wall);
        p.drawRect(QRectF(7, 15, 18, 13));
        p.setBrush(Roof);
        p.drawPolygon(QPolygonF{{3, 16}, {16, 4}, {29, 16}});
        p.setBrush(Blue);
        p.drawRect(QRectF(14, 20, 5, 8));
        break;
    case WebIcon::Stop: {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45 * i) * 3.14159265358979 / 180;
            octagon << QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a));
        }
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(Red);
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
        break;
    }
    case WebIcon::Window: {
        // A globe: the web.
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(QColor(120, 180, 235));
        p.drawEllipse(QPointF(16, 16), 13, 13);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Ink, 1.2));
        p.drawEllipse(QPointF(16, 16), 6, 13);
        p.drawLine(QPointF(3, 16), QPointF(29, 16));
        p.drawLine(QPointF(16, 3), QPointF(16, 29));
        QPainterPath lat;
        lat.moveTo(5, 9.5);
        lat.quadTo(16, 12.5, 27, 9.5);
        lat.moveTo(5, 22.5);
        lat.quadTo(16, 19.5, 27, 22.5);
        p.drawPath(lat);
        break;
    }
    }
    p.end();
    return pixmap;
}

QIcon WebWindowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(WebPixmap(WebIcon::Window, size));
    return icon;
}

} // namespace velantis
