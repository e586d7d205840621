// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

namespace velantis {

class Monitor;

// The five timers that drive a Monitor in the programs: Timer1 70 ms, Timer2 100 ms (then 20 or
// 70 as the link goes), Timer3 500 ms, Timer4 stopped (50 ms during a download), Timer5 500 ms.
// An interval of 0 means stopped: a QTimer with interval 0 would fire on every pass of the
// event loop.
class MonitorTimers : public QObject {
    Q_OBJECT
public:
    explicit MonitorTimers(Monitor& monitor, QObject* parent = nullptr);

    void start();
    void stop();

    QTimer Timer1, Timer2, Timer3, Timer4, Timer5;

private:
    void applyIntervals();
    Monitor& monitor_;
};

} // namespace velantis
