// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/curve_window.h"

#include "records/data_file.h"
#include "report/fonts.h"
#include "report/shown_texts.h"
#include "windows/file_messages.h"
#include "windows/trend_window.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace velantis {

CurveChart::CurveChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CurveChart"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setMinimumSize(480, 320);
    QPalette white = palette();
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
}

void CurveChart::setData(const CurveData& data) {
    if (data == data_)
        return;
    data_ = data;
    update();
}

QRectF CurveChart::chartArea() const {
    return QRectF(rect()).adjusted(8, 8, -8, -8);
}

ErrorCurve CurveChart::curve() const {
    return ErrorCurve(data_, font(), logicalDpiY() / 72.0);
}

QString CurveChart::tipAt(const QPointF& pos) const {
    const QList<qsizetype> hits = curve().pointsAt(pos, chartArea());
    QStringList tips;
    for (qsizetype i = 0; i < std::min<qsizetype>(hits.size(), 5); ++i) {
        const CurvePoint& p = data_.points[hits[i]];
        tips << tr("组号: %1\n电流(%In): %2\nF.Er: %3\n限值: %4\n结论: %5")
                    .arg(p.group)
                    .arg(p.loadText, p.errorText,
                         p.limitText.isEmpty() ? QStringLiteral("—")
                                               : QStringLiteral("±%1 %").arg(p.limitText),
                         ShownText(OutcomeName(p.outcome)));
    }
    if (hits.size() > 5)
        tips << tr("另有 %1 组在此处").arg(hits.size() - 5);
    return tips.join(QStringLiteral("\n\n"));
}

QByteArray CurveChart::png() const {
    return CurvePng(data_, size(), font());
}

void CurveChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    curve().draw(p, chartArea());
}

bool CurveChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = tipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

CurveWindow::CurveWindow(std::function<TestReport()> source, FileDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(std::move(source)), dialogs_(dialogs) {
    chart_ = new CurveChart(this);
    connect(
        FrameChartWindow(this, QStringLiteral("CurveWindow"), tr("误差曲线 - Velantis"), chart_),
        &QPushButton::clicked, this, &CurveWindow::SaveImage);
    soon_ = new QTimer(this);
    soon_->setSingleShot(true);
    soon_->setInterval(250);
    connect(soon_, &QTimer::timeout, this, &CurveWindow::refresh);
    refresh();
}

void CurveWindow::refresh() {
    soon_->stop();
    chart_->setData(CurveOf(source_()));
}

void CurveWindow::refreshSoon() {
    if (!soon_->isActive())
        soon_->start();
}

void CurveWindow::SaveImage() {
    if (const QString path = SaveChartPicture(this, dialogs_, QStringLiteral("QRTCURVE"),
                                              [this] {
                                                  refresh(); // the test as it is now
                                                  return chart_->png();
                                              });
        !path.isEmpty())
        emit imageSaved(path);
}

} // namespace velantis
