// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/splash_images.h"

#include "windows/drawing.h"
#include "windows/web_site.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace velantis {

namespace {

const QColor Navy(18, 36, 84);
const QColor NavyLight(34, 76, 148);
const QColor Gold(214, 170, 60);
const QColor Band(236, 240, 247);
const QColor BandDark(206, 216, 232);
const QColor PromptInk(24, 30, 48);
const QColor LinkBlue(30, 80, 170);

QFont LatinFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({"DejaVu Sans", "Arial", "Helvetica"});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont ChineseFont(int pixelSize) {
    QFont font;
    font.setFamilies({"WenQuanYi Zen Hei", "Microsoft YaHei", "SimHei", "SimSun"});
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Everything outside the prompt patch: the same pixels in both pictures.
void DrawBackdrop(QPainter& p) {
    const int w = kSplashImageSize.width(), h = kSplashImageSize.height();
    const int bandTop = 332;

    QLinearGradient sky(0, 0, 0, bandTop);
    sky.setColorAt(0, Navy);
    sky.setColorAt(1, NavyLight);
    p.fillRect(0, 0, w, bandTop, sky);

    // High-voltage line: three conductors sagging between two towers, with the coil of a
    // current transformer on the right.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 150, 210, 140), 2));
    for (int i = 0; i < 3; ++i) {
        QPainterPath wire;
        wire.moveTo(580, 70 + i * 18);
        wire.quadTo(660, 110 + i * 18, 740, 70 + i * 18);
        p.drawPath(wire);
    }
    p.setPen(QPen(QColor(150, 175, 225, 170), 3));
    for (int x : {580, 740}) {
        p.drawLine(x, 50, x - 22, 300);
        p.drawLine(x, 50, x + 22, 300);
        for (int y = 80; y < 300; y += 44)
            p.drawLine(x - 4 - (y - 50) * 22 / 250, y, x + 4 + (y - 50) * 22 / 250, y);
        p.drawLine(x - 30, 70, x + 30, 70);
    }
    p.setPen(QPen(Gold, 3));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i)
        p.drawEllipse(QPointF(660, 200), 46 - i * 6, 28 - i * 3);

    p.setPen(Qt::white);
    p.setFont(LatinFont(76, true));
    p.drawText(QPoint(56, 150), "Velantis");
    p.setPen(QColor(190, 210, 245));
    p.setFont(ChineseFont(26));
    p.drawText(QPoint(60, 200), QString::fromUtf8("三通道无线高压变比测试仪"));
    p.setFont(LatinFont(17, false));
    p.drawText(QPoint(60, 236), "Three-channel wireless high-voltage ratio tester");
    p.drawText(QPoint(60, 262), "Live readings, stored-group download, lists and printouts");

    QLinearGradient band(0, bandTop, 0, h);
    band.setColorAt(0, Band);
    band.setColorAt(1, BandDark);
    p.fillRect(0, bandTop, w, h - bandTop, band);
    p.fillRect(0, bandTop - 3, w, 3, Gold);

    // A door and an arrow stepping into it, to the left of the prompt.
    p.setPen(QPen(PromptInk, 2));
    p.setBrush(QColor(250, 226, 150));
    p.drawRect(QRectF(40, 386, 22, 28));
    p.setBrush(PromptInk);
    p.drawEllipse(QPointF(57, 401), 1.5, 1.5);
    p.setPen(QPen(QColor(40, 150, 80), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(30, 400, 44, 400);
    p.drawLine(44, 400, 39, 395);
    p.drawLine(44, 400, 39, 405);

    // The maker and the site, in the lower-right corner the splash makes clickable.
    const QRect maker(440, 372, 282, 34), site(440, 410, 282, 28);
    p.setPen(Navy);
    p.setFont(LatinFont(25, true));
    p.drawText(maker, Qt::AlignRight | Qt::AlignVCenter, kMakerName);
    QFont linkFont = LatinFont(17, false);
    linkFont.setUnderline(true);
    p.setFont(linkFont);
    p.setPen(LinkBlue);
    p.drawText(site, Qt::AlignRight | Qt::AlignVCenter, kHomeAddress);
}

void DrawPrompt(QPainter& p, PromptShade shade) {
    const QString word = QString::fromUtf8("進入");
    QFont font = ChineseFont(26);
    font.setBold(true);
    const QRect ink = QFontMetrics(font).tightBoundingRect(word);
    const QPointF origin(kPromptPatch.center().x() + 0.5 - ink.width() / 2.0 - ink.left(),
                         kPromptPatch.center().y() + 0.5 - ink.height() / 2.0 - ink.top());
    QPainterPath path;
    path.addText(origin, font, word);
    p.save();
    p.setClipRect(kPromptPatch);
    p.setRenderHint(QPainter::Antialiasing);
    if (shade == PromptShade::Light) {
        p.strokePath(path, QPen(PromptInk, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(path, Qt::white);
    } else {
        p.fillPath(path, PromptInk);
    }
    p.restore();
}

} // namespace

QImage SplashImage(PromptShade shade) {
    // The backdrop is drawn once and shared: text rendering is not bound to give the very same
    // pixels twice (glyph caches), and the two pictures must not differ outside the patch.
    static const QImage backdrop = [] {
        QImage image(kSplashImageSize, QImage::Format_RGB32);
        image.fill(Navy);
        QPainter p(&image);
        DrawBackdrop(p);
        return image;
    }();
    QImage image = backdrop.copy();
    QPainter p(&image);
    DrawPrompt(p, shade);
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

QPixmap SplashPointerPixmap(int size) {
    QPainter p;
    QPixmap pixmap = drawing::Canvas(size, p);
    // An open door on the right ...
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(250, 210, 90));
    p.drawRect(QRectF(17, 6, 12, 22));
    p.setBrush(QColor(150, 90, 30));
    p.drawPolygon(QPolygonF{{17, 6}, {23, 9}, {23, 31}, {17, 28}});
    // ... and a bold arrow pointing into it; the tip is the hot spot.
    QPolygonF arrow{{2, 13}, {12, 13}, {12, 8}, {21, 17}, {12, 26}, {12, 21}, {2, 21}};
    p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(40, 170, 80));
    p.drawPolygon(arrow);
    p.end();
    return pixmap;
}

QPoint SplashPointerHotSpot(int size) {
    return QPoint(21 * size / 32, 17 * size / 32);
}

} // namespace velantis
