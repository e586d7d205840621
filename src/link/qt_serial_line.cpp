// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/qt_serial_line.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace velantis {

QtSerialLine::QtSerialLine(QObject* parent) : SerialLine(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
}

bool QtSerialLine::open(const QString& device) {
    close();
    openError_ = OpenError::None;
    errorText_.clear();
    slowAdapter_ = {};
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            openError_ = OpenError::NotFound;
            break;
        case QSerialPort::PermissionError:
            // QSerialPort reports a port that another program holds (its lock file, or the
            // device opened exclusively) as a permission error too.
            openError_ = OpenError::PermissionDenied;
            if (const QString lock = LockFileOf(device);
                !lock.isEmpty() && !LockHolder(lock).isEmpty()) {
                openError_ = OpenError::Busy;
                errorText_ = QStringLiteral("锁文件 %1%2").arg(lock, LockHolder(lock));
            } else if (port_.errorString() == qt_error_string(EBUSY)) {
                openError_ = OpenError::Busy;
                errorText_ = QStringLiteral("设备已被独占打开");
            }
            break;
        case QSerialPort::OpenError:
            openError_ = OpenError::Busy;
            break;
        default:
            openError_ = OpenError::Other;
            break;
        }
        if (errorText_.isEmpty())
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
    // A download asks for one 20-byte answer at a time: an adapter that holds each answer for
    // its 16 ms latency timer makes it more than three times slower than the wire.
#ifdef Q_OS_UNIX
    const int lowLatencyError = RequestLowLatency(static_cast<int>(port_.handle()));
#else
    const int lowLatencyError = ENOTSUP; // Windows sets an adapter's timer in its driver settings
#endif
    slowAdapter_ = CheckAdapter(KernelName(device), lowLatencyError, sysfsRoot_);
    return true;
}

int QtSerialLine::RequestLowLatency(int fd) {
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return errno;
    if ((serial.flags & ASYNC_LOW_LATENCY) != 0)
        return 0;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &serial) != 0)
        return errno;
    return 0;
#else
    Q_UNUSED(fd);
    return ENOTSUP;
#endif
}

QString QtSerialLine::KernelName(const QString& device) {
    const QFileInfo info(device);
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.fileName() : QFileInfo(target).fileName();
}

SerialLine::SlowAdapter QtSerialLine::CheckAdapter(const QString& ttyName, int lowLatencyError,
                                                   const QString& sysfsRoot) {
    if (lowLatencyError == ENOTTY || ttyName.isEmpty() || ttyName.contains(QLatin1Char('/')) ||
        ttyName.startsWith(QLatin1Char('.')))
        return {};
    const QString path =
        sysfsRoot + QStringLiteral("/bus/usb-serial/devices/%1/latency_timer").arg(ttyName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {}; // no USB adapter, or one without a latency timer
    bool ok = false;
    const int msecs = QString::fromLatin1(file.read(16)).trimmed().toInt(&ok);
    // The driver took the low-latency request: its timer shows 1. One that took the request but
    // still holds answers back is told about just the same.
    if (!ok || msecs <= 1)
        return {};
    return {msecs, path};
}

QtSerialLine::~QtSerialLine() {
    close();
}

void QtSerialLine::close() {
    ++generation_;
    if (!port_.isOpen())
        return;
    drainOutput();
    port_.close();
}

void QtSerialLine::drainOutput() {
    // Nothing is handed to the program while it closes the port: no answer, no error.
    const QSignalBlocker blocker(&port_);
    const QDeadlineTimer deadline(DrainMsecs);
    while (port_.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port_.waitForBytesWritten(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break; // a dead adapter takes nothing: give up rather than hang
    }
}

QString QtSerialLine::LockFileOf(const QString& device) {
#ifdef Q_OS_UNIX
    // Where QSerialPort puts its lock files, in its order: "LCK.." and the device's name below
    // /dev with '/' as '_'.
    static const char* const folders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                          "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                          "/var/lock/lockdev", "/run/lock"};
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : folders) {
        const QString path = QLatin1String(folder) + QStringLiteral("/LCK..") + name;
        if (QFileInfo::exists(path))
            return path;
    }
#else
    Q_UNUSED(device);
#endif
    return {};
}

QString QtSerialLine::LockHolder(const QString& lockPath) {
    QLockFile lock(lockPath);
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app))
        return {};
#ifdef Q_OS_UNIX
    // A lock left by a process that is gone is stale; QSerialPort takes such a lock over.
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return {};
#endif
    QString text = QStringLiteral("，持有者 ");
    if (!app.isEmpty())
        text += app + QStringLiteral("，");
    return text + QStringLiteral("进程 %1").arg(pid);
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
