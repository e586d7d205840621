// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace velantis {

// The serial line as the program uses it, and nothing more: open a device with the fixed line
// settings (38400 baud, no parity, 8 data bits, 1 stop bit, binary, no handshake), write a
// request, discard what was received, read the answer.
class SerialLine : public QObject {
    Q_OBJECT
public:
    enum class OpenError { None, NotFound, PermissionDenied, Busy, Other };

    // A USB serial adapter that holds each short answer back for its latency timer before
    // passing it on (16 ms by default on FTDI chips), because it would not be switched to low
    // latency. msecs is 0 when answers pass on at once or the device is no such adapter.
    struct SlowAdapter {
        int msecs = 0;
        QString timerFile; // where the timer is set, e.g. /sys/bus/usb-serial/devices/ttyUSB0/...
    };

    using QObject::QObject;
    ~SerialLine() override = default;

    virtual bool open(const QString& device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Why the last open() failed, and the system's words for it.
    virtual OpenError lastOpenError() const = 0;
    virtual QString lastErrorText() const = 0;
    // After a successful open(): whether the device is an adapter that holds answers back. A
    // line with no adapter behind it (a pseudo-terminal, a test's line) keeps this default.
    virtual SlowAdapter slowAdapter() const { return {}; }

    // Queues the bytes for sending; they leave when the event loop next runs.
    virtual bool write(const QByteArray& bytes) = 0;
    // Drops every received byte not yet read: the driver's and any the line holds itself.
    virtual void discardInput() = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;

signals:
    // New bytes are waiting.
    void readyRead();
    // The device went away (unplugged); the line has closed itself.
    void lost(const QString& reason);
};

} // namespace velantis
