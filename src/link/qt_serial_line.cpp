#include "link/qt_serial_line.h"

#include <QTimer>

namespace velantis {

QtSerialLine::QtSerialLine(QObject* parent) : SerialLine(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
}

bool QtSerialLine::open(const QString& device) {
    close();
    openError_ = OpenError::None;
    errorText_.clear();
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            openError_ = OpenError::NotFound;
            break;
        case QSerialPort::PermissionError:
            openError_ = OpenError::PermissionDenied;
            break;
        case QSerialPort::OpenError:
            openError_ = OpenError::Busy;
            break;
        default:
            openError_ = OpenError::Other;
            break;
        }
        errorText_ = port_.errorString();
        port_.clearError();
        return false;
    }
    // Settings that a device refuses leave it as it is; the instrument's line is 38400 8N1.
    port_.setBaudRate(QSerialPort::Baud38400);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    return true;
}

void QtSerialLine::close() {
    ++generation_;
    if (port_.isOpen())
        port_.close();
}

bool QtSerialLine::write(const QByteArray& bytes) {
    if (!port_.isOpen())
        return false;
    return port_.write(bytes) == bytes.size();
}

void QtSerialLine::discardInput() {
    if (!port_.isOpen())
        return;
    // Drops the driver's buffer and QSerialPort's own; the output queue is left alone, so the
    // request just written still goes out.
    port_.clear(QSerialPort::Input);
    port_.readAll();
}

void QtSerialLine::onError(QSerialPort::SerialPortError error) {
    // An unplugged USB adapter shows as a resource error or, on Linux, as a read (or write)
    // error with a notifier that keeps firing: close the port on any of them so nothing spins.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    if (!port_.isOpen())
        return;
    const QString reason = port_.errorString();
    port_.clearError();
    if (lostPending_)
        return;
    lostPending_ = true;
    // Closing inside QSerialPort's own notifier callback is not safe; do it right after, unless
    // the port was closed or reopened meanwhile.
    const quint64 generation = generation_;
    QTimer::singleShot(0, this, [this, reason, generation] {
        lostPending_ = false;
        if (generation != generation_ || !port_.isOpen())
            return;
        close();
        emit lost(reason);
    });
}

} // namespace velantis
