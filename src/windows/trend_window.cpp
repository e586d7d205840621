// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/trend_window.h"

#include "records/data_file.h"
#include "report/fonts.h"
#include "windows/file_messages.h"
#include "windows/window_services.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace velantis {

namespace {

const QColor SeriesColor[TrendChart::SeriesCount] = {
    QColor(200, 40, 40), // R
    QColor(220, 150, 0), // S
    QColor(30, 90, 200), // T
    QColor(40, 40, 40),  // F.Er
};
const char* const SeriesName[TrendChart::SeriesCount] = {"R", "S", "T", "F.Er"};

// A tick step of 1, 2 or 5 times a power of ten that gives about five ticks.
double NiceStep(double span) {
    if (!(span > 0))
        return 1;
    const double raw = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

// A time-axis step that gives at most six ticks over the span.
qint64 TimeStep(qint64 span) {
    static const qint64 steps[] = {1000,  2000,  5000,   10000,  15000,
                                   30000, 60000, 120000, 300000, 600000};
    for (const qint64 step : steps)
        if (span / step <= 6)
            return step;
    return steps[std::size(steps) - 1];
}

} // namespace

void TrendSamples::add(qint64 atMs, const ReadingNumbers& n) {
    samples_.append({atMs, {n.r, n.s, n.t, n.error}, n.channel});
    newest_ = std::max(newest_, atMs);
    qsizetype old = 0;
    while (old < samples_.size() && samples_[old].at < newest_ - SpanMs)
        ++old;
    samples_.remove(0, old);
    emit added();
}

TrendChart::TrendChart(QWidget* parent) : TrendChart(*new TrendSamples, parent) {
    own_.reset(samples_);
}

TrendChart::TrendChart(TrendSamples& samples, QWidget* parent)
    : QWidget(parent), samples_(&samples) {
    setObjectName(QStringLiteral("TrendChart"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setMinimumSize(480, 320);
    connect(samples_, &TrendSamples::added, this, qOverload<>(&TrendChart::update));
}

void TrendChart::addReading(qint64 atMs, const ReadingNumbers& n) {
    samples_->add(atMs, n);
}

void TrendChart::setNow(qint64 nowMs) {
    now_ = std::max(now_, nowMs);
    update();
}

qint64 TrendChart::timeSpan() const {
    const auto& samples = samples_->samples();
    const qint64 held = samples.isEmpty() ? 0 : now() - samples.first().at;
    return std::clamp(held, MinSpanMs, SpanMs);
}

double TrendChart::xOf(qint64 at, const QRectF& plot) const {
    return plot.right() - static_cast<double>(now() - at) / timeSpan() * plot.width();
}

QList<QPolygonF> TrendChart::linesOf(Series series, const QRectF& plot, double low,
                                     double high) const {
    QList<QPolygonF> lines;
    QPolygonF current;
    qint64 last = 0;
    const double span = high > low ? high - low : 1;
    for (const Sample& s : samples_->samples()) {
        const double v = s.value[series];
        const bool gap = std::isnan(v) || (!current.isEmpty() && s.at - last > GapMs);
        if (gap && !current.isEmpty()) {
            lines << current;
            current.clear();
        }
        if (!std::isnan(v))
            current << QPointF(xOf(s.at, plot), plot.bottom() - (v - low) / span * plot.height());
        last = s.at;
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

void TrendChart::valueRange(bool currents, double* low, double* high, double* step) const {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const Sample& s : samples_->samples()) {
        for (int k = currents ? R : Error; k <= (currents ? T : Error); ++k) {
            const double v = s.value[k];
            if (std::isnan(v))
                continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (lo > hi) // nothing to show
        lo = hi = 0;
    const double least =
        currents ? std::max(0.001, 0.02 * std::max(std::abs(lo), std::abs(hi))) : 0.5;
    if (hi - lo < least) {
        const double middle = (lo + hi) / 2;
        // Currents that are all at or above zero keep zero as their floor.
        const bool fromZero = currents && lo >= 0 && middle < least / 2;
        lo = fromZero ? 0 : middle - least / 2;
        hi = lo + least;
    }
    *step = NiceStep(hi - lo);
    *low = std::floor(lo / *step) * *step;
    *high = std::ceil(hi / *step) * *step;
    if (*high <= *low)
        *high = *low + *step;
}

void TrendChart::paintPanel(QPainter& p, const QRectF& plot, bool currents) const {
    double low = 0, high = 1, step = 1;
    valueRange(currents, &low, &high, &step);
    const QFontMetrics fm = p.fontMetrics();

    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.drawRect(plot);
    for (double v = low; v <= high + step / 2; v += step) {
        const double y = plot.bottom() - (v - low) / (high - low) * plot.height();
        p.setPen(QPen(palette().color(QPalette::Midlight), 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(palette().color(QPalette::Text));
        const QString label = QString::number(std::abs(v) < step / 1000 ? 0.0 : v, 'g', 4);
        p.drawText(QRectF(0, y - fm.height() / 2.0, plot.left() - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, label);
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QPointF(plot.left(), plot.top() - 6),
               currents ? tr("二次电流 (A)") : tr("F.Er (%，当前通道)"));

    // One-pixel lines without antialiasing and square marks: the raster engine draws them
    // directly, where a wider or antialiased pen is stroked into a polygon first (55 ms instead
    // of 0.5 ms for 1200 points a series).
    p.save();
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    const int first = currents ? R : Error;
    const int last = currents ? T : Error;
    for (int k = first; k <= last; ++k) {
        p.setPen(QPen(SeriesColor[k], 1));
        for (const QPolygonF& line : linesOf(static_cast<Series>(k), plot, low, high)) {
            if (line.size() == 1)
                p.drawRect(QRectF(line.first() - QPointF(1, 1), QSizeF(2, 2)));
            else
                p.drawPolyline(line);
        }
    }
    if (!currents) { // the channel each error belongs to
        for (const Sample& s : samples_->samples()) {
            if (std::isnan(s.value[Error]) || s.channel < R || s.channel > T)
                continue;
            const QPointF at(xOf(s.at, plot),
                             plot.bottom() - (s.value[Error] - low) / (high - low) * plot.height());
            p.fillRect(QRectF(at - QPointF(2, 2), QSizeF(4, 4)), SeriesColor[s.channel]);
        }
    }
    p.restore();
}

void TrendChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    const QFontMetrics fm = p.fontMetrics();
    const double left = fm.horizontalAdvance(QStringLiteral("-0.0000")) + 12;
    const double right = width() - 16.0;
    const double top = fm.height() + 28.0;
    const double axis = fm.height() + 10.0;
    const double gap = fm.height() + 16.0;
    const double total = height() - top - axis - gap;
    const QRectF upper(left, top, right - left, total * 0.6);
    const QRectF lower(left, upper.bottom() + gap, right - left, total * 0.4);
    paintPanel(p, upper, true);
    paintPanel(p, lower, false);

    // Legend.
    double x = right;
    for (int k = SeriesCount - 1; k >= 0; --k) {
        const QString name = QString::fromLatin1(SeriesName[k]);
        x -= fm.horizontalAdvance(name) + 30;
        p.setPen(QPen(SeriesColor[k], 3));
        p.drawLine(QPointF(x, fm.height() / 2.0 + 4), QPointF(x + 18, fm.height() / 2.0 + 4));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QPointF(x + 22, fm.ascent() + 4), name);
    }

    // Time axis: ticks on whole steps of the local time, labelled with the time of day.
    p.setPen(palette().color(QPalette::Text));
    const qint64 tick = TimeStep(timeSpan());
    const qint64 offset =
        static_cast<qint64>(QDateTime::fromMSecsSinceEpoch(now()).offsetFromUtc()) * 1000;
    const QString format = tick < 60000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    for (qint64 t = (now() + offset) / tick * tick - offset; t >= now() - timeSpan(); t -= tick) {
        const double tx = xOf(t, lower);
        p.drawLine(QPointF(tx, lower.bottom()), QPointF(tx, lower.bottom() + 4));
        const QString label = QDateTime::fromMSecsSinceEpoch(t).toString(format);
        const double w = fm.horizontalAdvance(label);
        p.drawText(QPointF(tx - w / 2, lower.bottom() + 4 + fm.ascent()), label);
    }
    if (samples_->samples().isEmpty())
        p.drawText(upper, Qt::AlignCenter, tr("等待实时读数…"));
}

QPushButton* FrameChartWindow(QWidget* window, const QString& name, const QString& title,
                              QWidget* chart) {
    window->setObjectName(name);
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFont(ListFont());
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* buttons = new QHBoxLayout;
    auto* save =
        new QPushButton(QCoreApplication::translate("velantis::TrendWindow", "保存图片"), window);
    save->setObjectName(QStringLiteral("SaveImage"));
    save->setAutoDefault(false);
    buttons->addWidget(save);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(chart);
    return save;
}

QString SaveChartPicture(QWidget* window, FileDialogs& dialogs, const QString& base,
                         const std::function<QByteArray()>& png) {
    const QString name = base +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d_HHmmss")) +
                         QStringLiteral(".png");
    const QString path =
        AskSaveName(dialogs, window, name, {QStringLiteral("PNG Files (*.png) (*.png)")});
    if (path.isEmpty())
        return {}; // cancelled
    FileError failure;
    const QByteArray bytes = png();
    if (!bytes.isEmpty() && SaveFileBytes(path, bytes, nullptr, &failure))
        return path;
    auto* box = new QMessageBox(QMessageBox::NoIcon,
                                QCoreApplication::translate("velantis::TrendWindow", "保存图片"),
                                SaveFailureText(path, failure), QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return {};
}

TrendWindow::TrendWindow(TrendSamples& samples, FileDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
    chart_ = new TrendChart(samples, this);
    connect(FrameChartWindow(this, QStringLiteral("TrendWindow"), tr("趋势图 - Velantis"), chart_),
            &QPushButton::clicked, this, &TrendWindow::SaveImage);
    // The time axis moves on while no reading comes (the link is down).
    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, chart_,
            [this] { chart_->setNow(QDateTime::currentMSecsSinceEpoch()); });
    clock->start(1000);
    chart_->setNow(QDateTime::currentMSecsSinceEpoch());
}

void TrendWindow::SaveImage() {
    if (const QString path = SaveChartPicture(this, dialogs_, QStringLiteral("QRTTREND"),
                                              [this] {
                                                  QByteArray png;
                                                  QBuffer buffer(&png);
                                                  buffer.open(QIODevice::WriteOnly);
                                                  chart_->grab().save(&buffer, "PNG");
                                                  return png;
                                              });
        !path.isEmpty())
        emit imageSaved(path);
}

QRect PlaceBeside(const QRect& mainFrame, const QSize& size, const QSize& least,
                  const QRect& screen) {
    const int roomRight = screen.right() - mainFrame.right();
    const int roomLeft = mainFrame.left() - screen.left();
    int width = size.width();
    bool right = true;
    if (roomRight >= width) {
        right = true;
    } else if (roomLeft >= width) {
        right = false;
    } else {
        // Fits on neither side at its size: narrower on the side with more room, down to the
        // least width; below that against the screen's edge there.
        right = roomRight >= roomLeft;
        width = std::max(std::min(width, right ? roomRight : roomLeft), least.width());
    }
    const int height = std::max(least.height(), std::min(size.height(), screen.height()));
    QPoint at(right ? mainFrame.right() + 1 : mainFrame.left() - width, mainFrame.top());
    at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - width)));
    at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - height)));
    return {at, QSize(width, height)};
}

} // namespace velantis
