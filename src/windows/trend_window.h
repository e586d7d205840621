#pragma once

#include "protocol/reading.h"

#include <QList>
#include <QPolygonF>
#include <QWidget>

namespace velantis {

class Monitor;

// A strip chart of the last ten minutes of live readings: the three secondary currents on top,
// the ratio error of each reading's own channel below, on one time axis. A reading that shows no
// number ("OL", "err") and a pause longer than GapMs (the link was down) leave a gap.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 SpanMs = 10 * 60 * 1000;
    static constexpr qint64 GapMs = 1600; // three missed polls of 500 ms
    enum Series { R, S, T, Error, SeriesCount };

    explicit TrendChart(QWidget* parent = nullptr);

    // A reading taken at atMs (milliseconds since the epoch); drops what is older than the span.
    void addReading(qint64 atMs, const ReadingNumbers& numbers);
    // The right end of the time axis (the chart moves on while no reading comes).
    void setNow(qint64 nowMs);
    qsizetype sampleCount() const { return samples_.size(); }

    // The lines of one series in the given plot area, broken at gaps; the value range is the
    // series' panel range.
    QList<QPolygonF> linesOf(Series series, const QRectF& plot, double low, double high) const;
    // The panel's value range for the samples in sight, widened to whole tick steps.
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

// The window around the chart, fed by the controller's live readings.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrendWindow(Monitor& monitor, QWidget* parent = nullptr);
    TrendChart* chart() const { return chart_; }

private:
    TrendChart* chart_;
};

} // namespace velantis
