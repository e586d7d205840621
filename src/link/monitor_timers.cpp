// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/monitor_timers.h"

#include "link/monitor.h"

namespace velantis {

namespace {

void SetInterval(QTimer& timer, int interval) {
    if (interval <= 0) {
        timer.stop();
    } else if (!timer.isActive() || timer.interval() != interval) {
        timer.start(interval);
    }
}

} // namespace

MonitorTimers::MonitorTimers(Monitor& monitor, QObject* parent)
    : QObject(parent), monitor_(monitor) {
    for (QTimer* t : {&Timer1, &Timer2, &Timer3, &Timer4, &Timer5})
        t->setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, &monitor_, &Monitor::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, &monitor_, &Monitor::Timer2_Timer);
    connect(&Timer3, &QTimer::timeout, &monitor_, &Monitor::Timer3_Timer);
    connect(&Timer4, &QTimer::timeout, &monitor_, &Monitor::Timer4_Timer);
    connect(&Timer5, &QTimer::timeout, &monitor_, &Monitor::Timer5_Timer);
    connect(&monitor_, &Monitor::timersChanged, this, &MonitorTimers::applyIntervals);
}

void MonitorTimers::start() {
    Timer1.start(70);
    Timer3.start(500);
    Timer5.start(500);
    applyIntervals();
}

void MonitorTimers::stop() {
    for (QTimer* t : {&Timer1, &Timer2, &Timer3, &Timer4, &Timer5})
        t->stop();
}

void MonitorTimers::applyIntervals() {
    SetInterval(Timer2, monitor_.timer2Interval());
    SetInterval(Timer4, monitor_.timer4Interval());
}

} // namespace velantis
