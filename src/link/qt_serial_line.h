// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/serial_line.h"

#include <QSerialPort>

namespace velantis {

// The serial line over QSerialPort, asynchronous on the thread that owns it.
class QtSerialLine final : public SerialLine {
    Q_OBJECT
public:
    explicit QtSerialLine(QObject* parent = nullptr);
    ~QtSerialLine() override; // lets queued requests leave, as close() does

    // The longest close() waits for queued requests to leave.
    static constexpr int DrainMsecs = 100;

    // The lock file QSerialPort takes for a device, if one exists; its holder's name and
    // process ("，持有者 minicom，进程 1234"), empty for a stale or unreadable lock.
    static QString LockFileOf(const QString& device);
    static QString LockHolder(const QString& lockPath);

    // Asks the driver of an open serial device for low latency (TIOCGSERIAL, then TIOCSSERIAL
    // with ASYNC_LOW_LATENCY): an FTDI adapter then passes each answer on after 1 ms instead of
    // its latency timer. 0 when the driver took it, else the error number of the refusal (ENOTTY
    // for a pseudo-terminal or any device that is no serial driver; ENOTSUP off Linux).
    static int RequestLowLatency(int fd);
    // The device's kernel name ("ttyUSB0" for /dev/ttyUSB0 or a /dev/serial/by-id link to it).
    static QString KernelName(const QString& device);
    // Whether the adapter named ttyName is worth a word to the user after the low-latency
    // request ended with lowLatencyError: its latency timer, read below sysfsRoot ("/sys"), when
    // that is above 1 ms. A device that is no serial driver (ENOTTY) or has no such timer (no
    // USB adapter, or one without it) never is.
    static SlowAdapter CheckAdapter(const QString& ttyName, int lowLatencyError,
                                    const QString& sysfsRoot);

    // Where the adapters' latency timers are read ("/sys"); tests point it elsewhere.
    void setSysfsRoot(const QString& root) { sysfsRoot_ = root; }

    bool open(const QString& device) override;
    // Requests still queued get up to DrainMsecs to leave before the port closes.
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    OpenError lastOpenError() const override { return openError_; }
    QString lastErrorText() const override { return errorText_; }
    SlowAdapter slowAdapter() const override { return slowAdapter_; }
    bool write(const QByteArray& bytes) override;
    void discardInput() override;
    qint64 bytesAvailable() const override { return port_.bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override { return port_.read(maxBytes); }

private:
    void onError(QSerialPort::SerialPortError error);
    void drainOutput();

    QSerialPort port_;
    OpenError openError_ = OpenError::None;
    QString errorText_;
    SlowAdapter slowAdapter_;
    QString sysfsRoot_ = QStringLiteral("/sys");
    quint64 generation_ = 0;
    bool lostPending_ = false;
};

} // namespace velantis
