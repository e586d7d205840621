// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/error_curve.h"

#include "report/fonts.h"
#include "report/shown_texts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace velantis {

namespace {

// The channels' colours; the shapes alone tell them apart in black-and-white print.
const QColor ChannelColor[3] = {QColor(190, 30, 30), QColor(170, 105, 0), QColor(25, 80, 190)};
const QColor EnvelopeFill(222, 222, 222);

// A tick step of 1, 2 or 5 times a power of ten that gives about four ticks over the span.
double NiceStep(double span) {
    const double raw = span / 4;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power * (1 + 1e-9))
            return m * power;
    return 10 * power;
}

// The F.Er a text shows ("-0.5%", " 1.25%"), when it is a number.
std::optional<double> ErrorValue(const QString& text) {
    QString t = text.trimmed();
    if (!t.endsWith(u'%'))
        return std::nullopt;
    t.chop(1);
    bool ok = false;
    const double v = t.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString TickLabel(double v, double step) {
    if (std::abs(v) < step / 1000)
        v = 0;
    return QString::number(v, 'g', 4);
}

} // namespace

CurveData CurveOf(const TestReport& report) {
    CurveData data{report.info.accuracy, report.info.guardBand, {}};
    for (const ReportRow& row : report.rows) {
        if (!row.verdict.load)
            continue;
        bool ok = false;
        const double load = row.verdict.load->toDouble(&ok);
        const std::optional<double> error = ErrorValue(row.slot.recRatioError);
        if (!ok || !error)
            continue;
        data.points << CurvePoint{row.group,
                                  load,
                                  *error,
                                  row.slot.recChannel,
                                  row.verdict.outcome,
                                  *row.verdict.load,
                                  row.slot.recRatioError.trimmed(),
                                  row.verdict.limit.value_or(QString())};
    }
    return data;
}

QList<QPointF> ErrorCurve::Envelope(AccuracyClass c, int shrink) {
    QList<QPointF> corners;
    for (const LimitPoint& l : LimitRow(c))
        corners << QPointF(l.percent, std::max(0, l.limitHundredths - shrink) / 100.0);
    return corners;
}

ErrorCurve::ErrorCurve(const CurveData& data, const QFont& font, double pt)
    : data_(data), font_(font), pt_(pt) {
    // Symmetric about 0: the envelope at its first (widest) point or the largest |F.Er| in
    // sight, whichever is larger, and a margin.
    double largest = 0;
    const QList<LimitPoint> row = LimitRow(data_.accuracy);
    if (!row.isEmpty())
        largest = row.first().limitHundredths / 100.0;
    for (const CurvePoint& p : data_.points) {
        if (Shown(p))
            largest = std::max(largest, std::abs(p.error));
        else
            ++outside_;
    }
    if (largest < 0.1)
        largest = 0.1;
    step_ = NiceStep(largest * 1.1);
    span_ = std::ceil(largest * 1.1 / step_ - 1e-9) * step_;
}

QPointF ErrorCurve::PlaceOf(double load, double error, const QRectF& plot, double span) {
    return {plot.left() + load / MaxLoad * plot.width(),
            plot.center().y() - error / span * plot.height() / 2};
}

QRectF ErrorCurve::plotRect(const QRectF& area) const {
    const QFontMetricsF m(font_);
    const double left = m.horizontalAdvance(QStringLiteral("-00.00")) + 4 * pt_;
    const double top = m.lineSpacing() * 2.6;
    const double bottom = m.lineSpacing() * 3.4;
    const double right = 8 * pt_;
    return area.adjusted(left, top, -right, -bottom);
}

QList<qsizetype> ErrorCurve::pointsAt(const QPointF& pos, const QRectF& area) const {
    const QRectF plot = plotRect(area);
    const double reach = markerRadius() * 1.3;
    QList<qsizetype> hits;
    for (qsizetype i = data_.points.size() - 1; i >= 0; --i) {
        const CurvePoint& p = data_.points[i];
        if (!Shown(p))
            continue;
        const QPointF d = placeOf(p, plot) - pos;
        if (std::abs(d.x()) <= reach && std::abs(d.y()) <= reach)
            hits << i;
    }
    return hits;
}

QString ErrorCurve::note() const {
    if (outside_ == 0)
        return {};
    return QCoreApplication::translate("velantis::ErrorCurve", "%1 组不在图示范围内").arg(outside_);
}

void ErrorCurve::drawMarker(QPainter& p, const QPointF& at, const CurvePoint& point,
                            bool neutral) const {
    const double r = markerRadius();
    const bool channel = point.channel >= 0 && point.channel <= 2;
    const QColor color = channel && !neutral ? ChannelColor[point.channel] : QColor(Qt::black);
    p.setPen(QPen(color, 0.9 * pt_));
    const bool judged = data_.accuracy != AccuracyClass::None;
    const bool filled = judged && point.outcome == GroupVerdict::Outcome::Fail;
    p.setBrush(filled ? QBrush(color) : QBrush(Qt::NoBrush));
    // Inside a shape the × stays clear of its outline.
    const double x = r * (channel ? 0.5 : 0.8);
    if (!channel || (judged && point.outcome == GroupVerdict::Outcome::None)) {
        p.drawLine(at + QPointF(-x, -x), at + QPointF(x, x));
        p.drawLine(at + QPointF(-x, x), at + QPointF(x, -x));
    }
    if (!channel)
        return;
    switch (point.channel) {
    case 0:
        p.drawEllipse(at, r, r);
        break;
    case 1: {
        const QPointF corners[3] = {at + QPointF(0, -r * 1.2), at + QPointF(r * 1.1, r * 0.8),
                                    at + QPointF(-r * 1.1, r * 0.8)};
        p.drawPolygon(corners, 3);
        break;
    }
    default:
        p.drawRect(QRectF(at - QPointF(r * 0.9, r * 0.9), QSizeF(r * 1.8, r * 1.8)));
        break;
    }
}

void ErrorCurve::draw(QPainter& p, const QRectF& area) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font_);
    const QFontMetricsF m(font_);
    const QRectF plot = plotRect(area);
    const QColor grid(200, 200, 200);
    const auto at = [&](double load, double error) { return PlaceOf(load, error, plot, span_); };

    // The limit envelope, shaded between +limit and -limit, and the acceptance envelope inside.
    const QList<QPointF> limits = Envelope(data_.accuracy);
    if (!limits.isEmpty()) {
        QPolygonF upper, lower;
        for (const QPointF& c : limits) {
            upper << at(c.x(), c.y());
            lower.prepend(at(c.x(), -c.y()));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(EnvelopeFill);
        p.drawPolygon(upper + lower);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::black, 0.9 * pt_));
        p.drawPolyline(upper);
        p.drawPolyline(lower);
        if (data_.guardBand > 0) {
            QPolygonF inUpper, inLower;
            for (const QPointF& c : Envelope(data_.accuracy, data_.guardBand)) {
                inUpper << at(c.x(), c.y());
                inLower << at(c.x(), -c.y());
            }
            QPen dashed(Qt::black, 0.7 * pt_, Qt::DashLine);
            p.setPen(dashed);
            p.drawPolyline(inUpper);
            p.drawPolyline(inLower);
        }
    }

    // The axes: grid lines at the load ticks and the error steps, the zero line stronger.
    QList<int> ticks{5, 20, 50, 100, 120};
    if (!LimitRow(data_.accuracy).isEmpty() && LimitRow(data_.accuracy).first().percent == 1)
        ticks.prepend(1);
    p.setPen(QPen(grid, 0.4 * pt_));
    for (int t : ticks)
        p.drawLine(at(t, -span_), at(t, span_));
    for (double v = -span_ + step_; v < span_ - step_ / 2; v += step_)
        p.drawLine(at(0, v), at(MaxLoad, v));
    p.setPen(QPen(Qt::black, 0.6 * pt_));
    p.drawLine(at(0, 0), at(MaxLoad, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    for (int t : ticks) {
        const QPointF foot = at(t, -span_);
        p.drawLine(foot, foot + QPointF(0, 2 * pt_));
        const QString label = QString::number(t);
        p.drawText(
            QPointF(foot.x() - m.horizontalAdvance(label) / 2, foot.y() + 2 * pt_ + m.ascent()),
            label);
    }
    for (double v = -span_; v < span_ + step_ / 2; v += step_) {
        const QPointF y = at(0, v);
        const QString label = TickLabel(v, step_);
        p.drawText(QPointF(y.x() - 2 * pt_ - m.horizontalAdvance(label), y.y() + m.ascent() / 2.5),
                   label);
    }
    const QString xTitle =
        QCoreApplication::translate("velantis::ErrorCurve", "电流 (% 额定一次电流)");
    p.drawText(QPointF(plot.center().x() - m.horizontalAdvance(xTitle) / 2,
                       plot.bottom() + 2 * pt_ + m.lineSpacing() + m.ascent()),
               xTitle);
    p.drawText(QPointF(area.left(), plot.top() - m.descent() - 3 * pt_),
               QCoreApplication::translate("velantis::ErrorCurve", "F.Er (%)"));
    if (const QString n = note(); !n.isEmpty())
        p.drawText(QPointF(area.left(), plot.bottom() + 2 * pt_ + 2 * m.lineSpacing() + m.ascent()),
                   n);

    // The markers, inside the plot only.
    p.setClipRect(plot.adjusted(-markerRadius() * 1.5, -markerRadius() * 1.5, markerRadius() * 1.5,
                                markerRadius() * 1.5));
    // On a raster (a window, a picture) each kind of marker is drawn once and copied to its
    // places: 4000 antialiased shapes drawn one by one take longer than a repaint may. On paper
    // (a PDF, a printer) every marker is drawn as a shape.
    const bool raster = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster &&
                        p.deviceTransform().type() <= QTransform::TxTranslate;
    const double dpr = p.device()->devicePixelRatioF();
    const int side = static_cast<int>(std::ceil(markerRadius() * 2.6 + 2 * pt_)) + 2;
    QHash<int, QImage> sprites;
    for (const CurvePoint& point : data_.points) {
        if (!Shown(point))
            continue;
        const QPointF place = placeOf(point, plot);
        if (!raster) {
            drawMarker(p, place, point);
            continue;
        }
        const int kind = (point.channel + 1) * 3 + static_cast<int>(point.outcome);
        auto sprite = sprites.find(kind);
        if (sprite == sprites.end()) {
            QImage image(QSize(side, side) * dpr, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(dpr);
            image.fill(Qt::transparent);
            QPainter q(&image);
            q.setRenderHint(QPainter::Antialiasing);
            drawMarker(q, QPointF(side / 2.0, side / 2.0), point);
            q.end();
            sprite = sprites.insert(kind, image);
        }
        p.drawImage(QPointF(std::round(place.x() - side / 2.0), std::round(place.y() - side / 2.0)),
                    *sprite);
    }
    p.setClipping(false);

    // The caption and the legend on the line above.
    const double base = area.top() + m.ascent();
    p.setPen(Qt::black);
    QFont bold = font_;
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QPointF(area.left(), base),
               QCoreApplication::translate("velantis::ErrorCurve", "误差曲线"));
    p.setFont(font_);
    struct Key {
        QString name;
        CurvePoint sample;
        int line; // 0: a marker, 1: the limit, 2: the acceptance limit
        bool neutral = false;
    };
    QList<Key> keys;
    const char* const channels[3] = {"R", "S", "T"};
    for (int c = 0; c < 3; ++c)
        keys << Key{QString::fromLatin1(channels[c]), CurvePoint{0, 0, 0, c, {}, {}, {}, {}}, 0};
    if (data_.accuracy != AccuracyClass::None) {
        using O = GroupVerdict::Outcome;
        keys << Key{ShownText(OutcomeName(O::Pass)), {0, 0, 0, 0, O::Pass, {}, {}, {}}, 0, true}
             << Key{ShownText(OutcomeName(O::Fail)), {0, 0, 0, 0, O::Fail, {}, {}, {}}, 0, true}
             << Key{ShownText(OutcomeName(O::None)), {0, 0, 0, 0, O::None, {}, {}, {}}, 0, true}
             << Key{QCoreApplication::translate("velantis::ErrorCurve", "限值"), {}, 1};
        if (data_.guardBand > 0)
            keys << Key{QCoreApplication::translate("velantis::ErrorCurve", "接受限"), {}, 2};
    }
    const double sample = 7 * pt_;
    double width = 0;
    for (const Key& k : keys)
        width += sample + 2 * pt_ + m.horizontalAdvance(k.name) + 6 * pt_;
    double x = std::max(
        area.left() +
            m.horizontalAdvance(QCoreApplication::translate("velantis::ErrorCurve", "误差曲线")) +
            8 * pt_,
        area.right() - width);
    const double middle = area.top() + m.ascent() - m.xHeight() / 2;
    for (const Key& k : keys) {
        const QPointF centre(x + sample / 2, middle);
        if (k.line == 0) {
            drawMarker(p, centre, k.sample, k.neutral);
        } else {
            const QRectF box(x, middle - 2.5 * pt_, sample, 5 * pt_);
            if (k.line == 1) {
                p.fillRect(box, EnvelopeFill);
                p.setPen(QPen(Qt::black, 0.9 * pt_));
                p.drawLine(box.topLeft(), box.topRight());
            } else {
                p.setPen(QPen(Qt::black, 0.7 * pt_, Qt::DashLine));
                p.drawLine(QPointF(box.left(), middle), QPointF(box.right(), middle));
            }
        }
        p.setPen(Qt::black);
        p.drawText(QPointF(x + sample + 2 * pt_, base), k.name);
        x += sample + 2 * pt_ + m.horizontalAdvance(k.name) + 6 * pt_;
    }
    p.restore();
}

QByteArray CurvePng(const CurveData& data, const QSize& size, const QFont& font) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        const ErrorCurve curve(data, QFont(font, &image), image.logicalDpiY() / 72.0);
        curve.draw(p, QRectF(QPointF(0, 0), QSizeF(size)).adjusted(8, 8, -8, -8));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return png;
}

QByteArray CurveFilePng(const TestReport& report) {
    if (ChineseFontFamily().isEmpty())
        return {};
    return CurvePng(CurveOf(report), CurveFileSize, SongFont(9));
}

} // namespace velantis
