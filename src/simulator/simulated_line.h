// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/serial_line.h"
#include "simulator/answer_engine.h"

#include <QTimer>

#include <deque>

namespace velantis {

// The simulated instrument inside the program, behind the serial-line interface: no
// pseudo-terminal and no thread, so it runs wherever Qt runs. It answers the program's requests
// as AnswerEngine does, with the same fault options, and each answer arrives when its last byte
// would have come down the 38400-baud line (a timer on the line's thread; the wait is rounded up
// to whole milliseconds). The demos of velantis and velantis-cli run on it.
//
// It is the one device named DeviceName(); opening any other name fails as a port with nothing
// behind it. Like a real port it loses the answers that arrive while it is closed. With
// unplugAfter the device goes away once that answer is out (the line closes and reports lost);
// with replugAfterMs it can be opened again that much later.
class SimulatedLine final : public SerialLine {
    Q_OBJECT
public:
    // The port number the demos give the simulated instrument.
    static constexpr int DemoPort = 3;
    static QString DeviceName();

    explicit SimulatedLine(const SimulatorOptions& options = {}, QObject* parent = nullptr);

    const AnswerEngine& instrument() const { return engine_; }
    bool isUnplugged() const { return unplugged_; }
    // How often the device came back after an unplug.
    int replugCount() const { return replugs_; }

    bool open(const QString& device) override;
    void close() override;
    bool isOpen() const override { return open_; }
    OpenError lastOpenError() const override { return openError_; }
    QString lastErrorText() const override { return errorText_; }
    bool write(const QByteArray& bytes) override;
    void discardInput() override { received_.clear(); }
    qint64 bytesAvailable() const override { return received_.size(); }
    QByteArray read(qint64 maxBytes) override;

private:
    void schedule();
    void deliver();
    void pullPlug();

    AnswerEngine engine_;
    std::deque<AnswerEngine::Answer> inFlight_;
    QByteArray received_;
    QTimer arrival_;
    bool open_ = false;
    OpenError openError_ = OpenError::None;
    QString errorText_;
    bool unplugged_ = false;
    AnswerEngine::Clock::time_point backAt_{};
    int replugs_ = 0;
};

} // namespace velantis
