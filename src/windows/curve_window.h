// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report/error_curve.h"
#include "windows/window_services.h"

#include <QWidget>

#include <functional>

class QTimer;

namespace velantis {

// The error curve of the stored groups on screen (the report's drawing at the widget's size);
// pointing at a marker tells its group, load, F.Er, limit and verdict.
class CurveChart : public QWidget {
    Q_OBJECT
public:
    explicit CurveChart(QWidget* parent = nullptr);
    // Shows other data; repainted only when it differs from what is shown.
    void setData(const CurveData& data);
    const CurveData& data() const { return data_; }
    // Where the chart is drawn in the widget.
    QRectF chartArea() const;
    // The tip for the pointer at pos: each group whose marker lies there (the topmost first, at
    // most five); empty where there is none.
    QString tipAt(const QPointF& pos) const;
    // The chart as PNG at the widget's size.
    QByteArray png() const;

    QSize sizeHint() const override { return {860, 560}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    ErrorCurve curve() const;
    CurveData data_;
};

// 误差曲线: beside the main window, it follows the test the main window shows (the groups as
// they arrive during a download, a test opened from 历史记录, a new class). 保存图片 writes the
// chart as PNG through the program's safe file writing.
class CurveWindow : public QWidget {
    Q_OBJECT
public:
    // source gives the report of the test shown now.
    CurveWindow(std::function<TestReport()> source, FileDialogs& dialogs,
                QWidget* parent = nullptr);
    CurveChart* chart() const { return chart_; }
    // Takes the shown test again now.
    void refresh();
    // Takes it again shortly: many changes in a row (a download's groups) cost one refresh.
    void refreshSoon();
    void SaveImage();

signals:
    void imageSaved(const QString& path);

private:
    std::function<TestReport()> source_;
    FileDialogs& dialogs_;
    CurveChart* chart_;
    QTimer* soon_;
};

} // namespace velantis
