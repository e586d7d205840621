// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/simulated_line.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>

namespace velantis {

namespace {

using Clock = AnswerEngine::Clock;

} // namespace

QString SimulatedLine::DeviceName() {
    return QStringLiteral("simulated");
}

SimulatedLine::SimulatedLine(const SimulatorOptions& options, QObject* parent)
    : SerialLine(parent), engine_(options) {
    engine_.restart(Clock::now());
    arrival_.setSingleShot(true);
    arrival_.setTimerType(Qt::PreciseTimer);
    connect(&arrival_, &QTimer::timeout, this, &SimulatedLine::deliver);
    if (options.unplugAfter == 0)
        pullPlug();
}

bool SimulatedLine::open(const QString& device) {
    const bool comesBack = engine_.options().replugAfterMs >= 0 && Clock::now() >= backAt_;
    if (device != DeviceName() || (unplugged_ && !comesBack)) {
        openError_ = OpenError::NotFound;
        errorText_ = QCoreApplication::translate("SimulatedLine", "No such file or directory");
        return false;
    }
    if (open_) {
        openError_ = OpenError::Busy;
        errorText_ = QCoreApplication::translate("SimulatedLine", "Device or resource busy");
        return false;
    }
    if (unplugged_) {
        unplugged_ = false;
        ++replugs_;
        engine_.newLine();
    }
    open_ = true;
    openError_ = OpenError::None;
    errorText_.clear();
    return true;
}

void SimulatedLine::close() {
    open_ = false;
    inFlight_.clear();
    received_.clear();
    arrival_.stop();
}

bool SimulatedLine::write(const QByteArray& bytes) {
    if (!open_)
        return false;
    engine_.receive(bytes.constData(), bytes.size(), Clock::now(), inFlight_);
    schedule();
    return true;
}

QByteArray SimulatedLine::read(qint64 maxBytes) {
    const QByteArray bytes = received_.left(maxBytes);
    received_.remove(0, bytes.size());
    return bytes;
}

void SimulatedLine::schedule() {
    if (inFlight_.empty()) {
        arrival_.stop();
        return;
    }
    const auto wait = inFlight_.front().due - Clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    arrival_.start(static_cast<int>(std::max<decltype(ms)>(ms, 0)));
}

void SimulatedLine::deliver() {
    const auto now = Clock::now();
    bool arrived = false;
    bool unplug = false;
    while (!unplug && !inFlight_.empty() && inFlight_.front().due <= now) {
        const AnswerEngine::Answer answer = std::move(inFlight_.front());
        inFlight_.pop_front();
        received_ += answer.bytes;
        arrived = arrived || !answer.bytes.isEmpty();
        unplug = answer.unplug;
    }
    // The program reads what arrived before the plug goes.
    if (arrived)
        emit readyRead();
    if (unplug)
        pullPlug();
    schedule();
}

void SimulatedLine::pullPlug() {
    const bool wasOpen = open_;
    close();
    unplugged_ = true;
    backAt_ = Clock::now() + std::chrono::milliseconds(engine_.options().replugAfterMs);
    if (wasOpen)
        emit lost(
            QCoreApplication::translate("SimulatedLine", "the simulated instrument was unplugged"));
}

} // namespace velantis
