// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/live_record.h"

#include "formats/display_numbers.h"
#include "records/record_store.h"

#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velantis {

namespace {

bool Fail(FileError* failure, FileError::Reason reason,
          FileError::Effect effect = FileError::Effect::NothingWritten) {
    if (failure) {
        *failure = {};
        failure->reason = reason;
        failure->effect = effect;
    }
    return false;
}

bool Fail(FileError* failure, FileError e, FileError::Effect effect) {
    e.effect = effect;
    if (failure)
        *failure = e;
    return false;
}

QString NumberOrText(const std::optional<QString>& number, const QString& text) {
    return number ? *number : text.trimmed();
}

} // namespace

QByteArray LiveRecordHeading() {
    return QByteArray("\xEF\xBB\xBF") +
           QStringLiteral("时间,高压电流(A),R通道电流(A),S通道电流(A),T通道电流(A),F.Er(%),通道,"
                          "额定一次(A),额定二次(A),高压端电压低,低压端电压低\r\n")
               .toUtf8();
}

QByteArray LiveRecordRow(const QDateTime& at, const Reading& r) {
    // No cell can hold a comma, a quote or a line end: the texts come from the frame rules.
    const QStringList cells{
        at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
        NumberOrText(CurrentAmps(r.hvText), r.hvText),
        NumberOrText(CurrentAmps(r.rText), r.rText),
        NumberOrText(CurrentAmps(r.sText), r.sText),
        NumberOrText(CurrentAmps(r.tText), r.tText),
        NumberOrText(RatioErrorPercent(r.errText), r.errText),
        ChannelLetter(static_cast<std::int16_t>(r.channel)),
        QString::number(r.ratedPrimary),
        r.ratedSecondaryText(),
        QString::number(r.hvLowFlag == 1 ? 1 : 0),
        QString::number(r.lvLowFlag == 1 ? 1 : 0),
    };
    return (cells.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

bool LiveRecorder::open(const QString& path, FileError* failure) {
    close();
    if (path.isEmpty())
        return Fail(failure, FileError::Reason::NoName);
    const QFileInfo info(path);
    if (info.isDir())
        return Fail(failure, FileError::Reason::IsFolder);
    const FileError::Effect untouched =
        info.exists() ? FileError::Effect::OldFileKept : FileError::Effect::NothingWritten;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(info.absoluteFilePath());
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    const bool inPlace = exists && (!S_ISREG(st.st_mode) || IsStreamPath(info.absoluteFilePath()));
    // Opened without blocking, so that a FIFO with no reader is refused instead of waiting.
    int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
    flags |= inPlace ? (S_ISREG(st.st_mode) ? O_APPEND : 0) : (O_CREAT | O_TRUNC);
    int fd = -1;
    do {
        fd = ::open(native.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENXIO && S_ISFIFO(st.st_mode))
            return Fail(failure, FileError::Reason::NoReader);
        return Fail(failure, FileError::FromErrno(errno), untouched);
    }
    struct stat opened {};
    ::fstat(fd, &opened);
    // Rows to a file are written blocking: each is one short write. A FIFO, a device or a socket
    // stays non-blocking, so that a reader that stops reading stops the record (after the time a
    // save gives it) instead of holding the program in a write.
    stream_ = !S_ISREG(opened.st_mode);
    if (!stream_)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    checkPath_ = !inPlace && S_ISREG(opened.st_mode);
    native_ = native;
    device_ = static_cast<quint64>(opened.st_dev);
    inode_ = static_cast<quint64>(opened.st_ino);
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Fail(failure, FileError::FromSystemText(file_.errorString()), untouched);
    }
#else
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return Fail(failure, FileError::FromSystemText(file_.errorString()), untouched);
    checkPath_ = true;
#endif
    path_ = path;
    rows_ = 0;
    size_ = 0;
    if (!writeRow(LiveRecordHeading(), failure)) {
        close();
        return false;
    }
    return true;
}

bool LiveRecorder::append(const QDateTime& at, const Reading& reading, FileError* failure) {
    if (!file_.isOpen())
        return Fail(failure, FileError::Reason::NoName);
    if (checkPath_ && !stillThere()) {
        close();
        return Fail(failure, FileError::Reason::NoSuchPath, FileError::Effect::PartlyWritten);
    }
    if (!writeRow(LiveRecordRow(at, reading), failure)) {
        close();
        return false;
    }
    ++rows_;
    return true;
}

void LiveRecorder::close() {
    if (file_.isOpen())
        file_.close();
}

bool LiveRecorder::writeRow(const QByteArray& bytes, FileError* failure) {
#ifdef Q_OS_UNIX
    if (stream_) {
        if (const auto e = WriteToStream(file_.handle(), bytes))
            return Fail(failure, *e, size_ > 0 ? FileError::Effect::PartlyWritten : e->effect);
        size_ += bytes.size();
        return true;
    }
#endif
    const qint64 written = file_.write(bytes);
    if (written == bytes.size()) {
        size_ += written;
        return true;
    }
    FileError e;
    if (written < 0) {
        e = FileError::FromSystemText(file_.errorString());
    } else {
        // A part went out: the next byte tells the system's reason (the disk is full, say).
        const qint64 more = file_.write(bytes.constData() + written, bytes.size() - written);
        if (more < 0) {
            e = FileError::FromSystemText(file_.errorString());
        } else {
            e.reason = FileError::Reason::ShortWrite;
            e.written = written + more;
            e.total = bytes.size();
        }
        // The part of a row taken back: the file ends with its last whole row.
        if (checkPath_)
            file_.resize(size_);
    }
    return Fail(failure, e,
                size_ > 0 ? FileError::Effect::PartlyWritten : FileError::Effect::NothingWritten);
}

bool LiveRecorder::stillThere() const {
#ifdef Q_OS_UNIX
    struct stat opened {};
    if (::fstat(file_.handle(), &opened) == 0 && opened.st_nlink == 0)
        return false; // removed, or its folder removed with it
    struct stat now {};
    if (::stat(native_.constData(), &now) != 0)
        return errno != ENOENT && errno != ENOTDIR; // a folder made unreadable keeps its files
    return static_cast<quint64>(now.st_dev) == device_ &&
           static_cast<quint64>(now.st_ino) == inode_;
#else
    return QFileInfo::exists(path_);
#endif
}

} // namespace velantis
