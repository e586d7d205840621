// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/reading.h"
#include "windows/window_services.h"

#include <QList>
#include <QObject>
#include <QPolygonF>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <memory>

class QPushButton;

namespace velantis {

// The live readings of the last ten minutes as the trend chart draws them: kept by the main
// window from the program's start, whether or not a chart shows them (1200 readings at most).
class TrendSamples : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 SpanMs = 10 * 60 * 1000;
    enum Series { R, S, T, Error, SeriesCount };
    struct Sample {
        qint64 at;
        double value[SeriesCount];
        int channel;
    };

    // A reading taken at atMs (milliseconds since the epoch); drops what is older than the span
    // before the newest reading.
    void add(qint64 atMs, const ReadingNumbers& numbers);
    const QList<Sample>& samples() const { return samples_; }
    qint64 newest() const { return newest_; }

signals:
    void added();

private:
    QList<Sample> samples_;
    qint64 newest_ = 0;
};

// A strip chart of the last ten minutes of live readings: the three secondary currents on top,
// the ratio error of each reading's own channel below, on one time axis. The axes fit what the
// chart holds: the time axis spans the readings held (at least MinSpanMs, at most SpanMs), the
// value axes the values in sight. A reading that shows no number ("OL", "err") and a pause longer
// than GapMs (the link was down) leave a gap.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 SpanMs = TrendSamples::SpanMs;
    static constexpr qint64 MinSpanMs = 10 * 1000;
    static constexpr qint64 GapMs = 1600; // three missed polls of 500 ms
    using Series = TrendSamples::Series;
    static constexpr Series R = TrendSamples::R;
    static constexpr Series S = TrendSamples::S;
    static constexpr Series T = TrendSamples::T;
    static constexpr Series Error = TrendSamples::Error;
    static constexpr int SeriesCount = TrendSamples::SeriesCount;

    // A chart of its own readings (added by addReading).
    explicit TrendChart(QWidget* parent = nullptr);
    // A chart of readings kept elsewhere, which outlive it.
    explicit TrendChart(TrendSamples& samples, QWidget* parent = nullptr);

    // A reading taken at atMs (milliseconds since the epoch), into the readings the chart shows.
    void addReading(qint64 atMs, const ReadingNumbers& numbers);
    // The right end of the time axis (the chart moves on while no reading comes).
    void setNow(qint64 nowMs);
    qsizetype sampleCount() const { return samples_->samples().size(); }
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
    using Sample = TrendSamples::Sample;
    void paintPanel(class QPainter& p, const QRectF& plot, bool currents) const;
    double xOf(qint64 at, const QRectF& plot) const;
    qint64 now() const { return std::max(now_, samples_->newest()); }

    std::unique_ptr<TrendSamples> own_;
    TrendSamples* samples_;
    qint64 now_ = 0;
};

// The window around the chart of the readings kept. 保存图片 writes the chart as a PNG file
// through the program's safe file writing.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(TrendSamples& samples, FileDialogs& dialogs, QWidget* parent = nullptr);
    TrendChart* chart() const { return chart_; }
    void SaveImage();

signals:
    void imageSaved(const QString& path);

private:
    TrendChart* chart_;
    FileDialogs& dialogs_;
};

// The frame the chart windows share: a window of its own (deleted on close, in the list's font)
// with a 保存图片 button above the chart. The button, for the caller to connect.
QPushButton* FrameChartWindow(QWidget* window, const QString& name, const QString& title,
                              QWidget* chart);
// 保存图片 of a chart window: asks for a file (base, the date and time, .png, in the save
// folder) and writes the picture png() gives as Save writes; a failure is told in a message.
// The path written, or empty when cancelled or failed.
QString SaveChartPicture(QWidget* window, FileDialogs& dialogs, const QString& base,
                         const std::function<QByteArray()>& png);

// Where a window goes beside the main window's frame (frame sizes: the one it would like, the
// least it can do with): to the right at its size, else to the left, else narrower (not below the
// least) on the side with more room; where even that does not fit, at the least width against the
// screen's edge on that side, so that it covers as little of the main window as it can. Always
// inside the screen's available area as far as it fits.
QRect PlaceBeside(const QRect& mainFrame, const QSize& size, const QSize& least,
                  const QRect& screen);

} // namespace velantis
