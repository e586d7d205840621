// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/test_report.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

class QPainter;

namespace velantis {

// One group as the error curve shows it: where it sits (load in % of its rated primary, F.Er in
// %), its channel and verdict, and the texts a pointer over its marker shows.
struct CurvePoint {
    int group = 0;
    double load = 0;  // the verdict's load text, as a number
    double error = 0; // the group's F.Er text, as a number
    int channel = -1; // 0 R, 1 S, 2 T; anything else: no channel
    GroupVerdict::Outcome outcome = GroupVerdict::Outcome::None;
    QString loadText;  // "100.0"
    QString errorText; // "-0.5%"
    QString limitText; // "0.5", empty without a verdict
    bool operator==(const CurvePoint&) const = default;
};

// What the error curve draws: the class (its limit row is the envelope, the same row the verdict
// uses), the guard band (hundredths of a per cent; the acceptance envelope lies that much inside)
// and every group that has both a load point and an F.Er.
struct CurveData {
    AccuracyClass accuracy = AccuracyClass::None;
    int guardBand = 0;
    QList<CurvePoint> points;
    bool operator==(const CurveData&) const = default;
};

// The curve's points of a report: the groups with a load and an F.Er that is a number.
CurveData CurveOf(const TestReport& report);

// F.Er in % against the load in % of rated primary (0 to 130 %, ticks at 1 (S classes), 5, 20,
// 50, 100 and 120 %), symmetric about 0; with a class its limit envelope shaded, with a guard
// band the acceptance envelope dashed inside it. One marker per group: R ○, S △, T □; hollow
// for 合格, filled for 超差, a × across it for 不判定 (without a class the shapes alone); a
// group without a channel is a bare ×. A legend above the plot; groups beyond the load axis are
// counted in a note under it, never drawn on its edge. One drawing for the window, the report
// and the PNG.
class ErrorCurve {
public:
    static constexpr double MaxLoad = 130;

    // The drawing in the given font; pt is one typographic point in the device's pixels (the
    // lines and markers are sized by it).
    ErrorCurve(const CurveData& data, const QFont& font, double pt);

    // Where the plot goes in an area of the given place and size.
    QRectF plotRect(const QRectF& area) const;
    // The largest |F.Er| the vertical axis shows (it spans minus this to plus this).
    double errorSpan() const { return span_; }
    double errorStep() const { return step_; }
    // Where a load and an F.Er are in the plot.
    static QPointF PlaceOf(double load, double error, const QRectF& plot, double span);
    QPointF placeOf(const CurvePoint& p, const QRectF& plot) const {
        return PlaceOf(p.load, p.error, plot, span_);
    }
    // Whether the point lies within the axes (a load from 0 to MaxLoad).
    static bool Shown(const CurvePoint& p) { return p.load >= 0 && p.load <= MaxLoad; }
    // How many groups lie beyond the axes.
    int outside() const { return outside_; }
    // The marker's radius in pixels.
    double markerRadius() const { return 3.2 * pt_; }
    // The indexes of the points whose marker covers pos, topmost (drawn last) first.
    QList<qsizetype> pointsAt(const QPointF& pos, const QRectF& area) const;

    // Draws the whole chart into the area; the painter's state is kept.
    void draw(QPainter& p, const QRectF& area) const;

    // The ± limit envelope's corners in chart units (load %, limit %): the upper polyline; the
    // lower is its mirror. With shrink (hundredths of %), that much inside.
    static QList<QPointF> Envelope(AccuracyClass c, int shrink = 0);

private:
    // In black when neutral (the legend's verdict keys), else in the channel's colour.
    void drawMarker(QPainter& p, const QPointF& at, const CurvePoint& point,
                    bool neutral = false) const;
    QString note() const;

    CurveData data_;
    QFont font_;
    double pt_;
    double span_ = 1;
    double step_ = 0.5;
    int outside_ = 0;
};

// The chart as PNG bytes, size pixels at the given font (a screen's 96 dpi reckoning).
QByteArray CurvePng(const CurveData& data, const QSize& size, const QFont& font);
// The chart of a report as the command line writes it: CurveFileSize pixels, the report's face
// at 9 pt. Empty when there is no font for Chinese text (see ReportFontProblem).
inline constexpr QSize CurveFileSize{1200, 750};
QByteArray CurveFilePng(const TestReport& report);

} // namespace velantis
