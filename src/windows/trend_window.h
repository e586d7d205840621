// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/reading.h"
#include "windows/window_services.h"

#include <QList>
#include <QPolygonF>
#include <QWidget>

namespace velantis {

class Monitor;

// A strip chart of the last ten minutes of live readings: the three secondary currents on top,
// the ratio error of each reading's own channel below, on one time axis. The axes fit what the
// chart holds: the time axis spans the readings held (at least MinSpanMs, at most SpanMs), the
// value axes the values in sight. A reading that shows no number ("OL", "err") and a pause longer
// than GapMs (the link was down) leave a gap.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 SpanMs = 10 * 60 * 1000;
    static constexpr qint64 MinSpanMs = 10 * 1000;
    static constexpr qint64 GapMs = 1600; // three missed polls of 500 ms
    enum Series { R, S, T, Error, SeriesCount };

    explicit TrendChart(QWidget* parent = nullptr);

    // A reading taken at atMs (milliseconds since the epoch); drops what is older than the span.
    void addReading(qint64 atMs, const ReadingNumbers& numbers);
    // The right end of the time axis (the chart moves on while no reading comes).
    void setNow(qint64 nowMs);
    qsizetype sampleCount() const { return samples_.size(); }
    // The time the axis spans now: from the oldest reading held to now.
    qint64 timeSpan() const;

    // The lines of one series in the given plot area, broken at gaps; the value range is the
    // series' panel range.
    QList<QPolygonF> linesOf(Series series, const QRectF& plot, double low, double high) const;
    // The panel's value range for the samples in sight, widened to whole tick steps; a flat
    // series gets a least span around it (2 % of its size for currents, at least 1 mA; 0.5 % for
    // the ratio error), so that the noise of one digit does not fill the panel.
    void valueRange(bool currents, double* low, double* high, double* step) const;

    QSize sizeHint() const override { return {900, 560}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Sample {
        qint64 at;
        double value[SeriesCount];
        int channel;
    };
    void paintPanel(class QPainter& p, const QRectF& plot, bool currents) const;
    double xOf(qint64 at, const QRectF& plot) const;

    QList<Sample> samples_;
    qint64 now_ = 0;
};

// The window around the chart, fed by the controller's live readings. 保存图片 writes the chart
// as a PNG file through the program's safe file writing.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(Monitor& monitor, FileDialogs& dialogs, QWidget* parent = nullptr);
    TrendChart* chart() const { return chart_; }
    void SaveImage();

private:
    TrendChart* chart_;
    FileDialogs& dialogs_;
};

// Where a window of the given frame size goes beside the main window's frame: to its right, else
// to its left, else on the side with more room as far out as the screen allows; always inside the
// screen's available area as far as it fits.
QPoint PlaceBeside(const QRect& mainFrame, const QSize& size, const QRect& screen);

} // namespace velantis
