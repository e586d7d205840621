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
    // process (" held by minicom, process 1234"), empty for a stale or unreadable lock.
    static QString LockFileOf(const QString& device);
    static QString LockHolder(const QString& lockPath);

    bool open(const QString& device) override;
    // Requests still queued get up to DrainMsecs to leave before the port closes.
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    OpenError lastOpenError() const override { return openError_; }
    QString lastErrorText() const override { return errorText_; }
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
    quint64 generation_ = 0;
    bool lostPending_ = false;
};

} // namespace velantis
