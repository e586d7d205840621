// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/data_file.h"

#include "records/text_codec.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velantis {

namespace {

// Fills the caller's reports; false, so a failure returns in one line.
bool Fail(QString* error, FileError* failure, const FileError& e) {
    if (error)
        *error = e.text();
    if (failure)
        *failure = e;
    return false;
}

FileError Reason(FileError::Reason reason, FileError::Effect effect = {}) {
    FileError e;
    e.reason = reason;
    e.effect = effect;
    return e;
}

FileError WithEffect(FileError e, FileError::Effect effect) {
    e.effect = effect;
    return e;
}

QString CodePointName(const QString& character) {
    const char32_t u = character.size() == 2 ? QChar::surrogateToUcs4(character[0], character[1])
                       : character.isEmpty() ? 0
                                             : character[0].unicode();
    return QStringLiteral("U+%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0')).toUpper();
}

// The file a path ends at after its symbolic links, so that a save into a link writes the
// linked file and leaves the link alone. A link that points nowhere yet gives the path it names.
QString FollowLinks(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        if (info.exists())
            return info.canonicalFilePath();
        current = QDir(info.absolutePath()).absoluteFilePath(info.symLinkTarget());
    }
    return current; // a loop of links: the open below reports it
}

// Writes all of bytes through an unbuffered device: a short write (a full disk, a file size
// limit) shows here, where Qt's buffered flush would drop the count of a partial write.
std::optional<FileError> WriteAll(QFileDevice& file, const QByteArray& bytes) {
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return std::nullopt;
    if (written < 0 || file.error() != QFileDevice::NoError)
        return FileError::FromSystemText(file.errorString());
    FileError e = Reason(FileError::Reason::ShortWrite);
    e.written = written;
    e.total = bytes.size();
    return e;
}

// The file itself, truncated and written: for a folder that takes no new file (read-only, say)
// while the file is writable. A failure after the open leaves a part of the list.
bool SaveOverFile(const QString& target, const QByteArray& bytes, QString* error,
                  FileError* failure) {
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return Fail(error, failure,
                    WithEffect(FileError::FromSystemText(file.errorString()),
                               FileError::Effect::OldFileKept));
    if (const auto e = WriteAll(file, bytes))
        return Fail(error, failure, WithEffect(*e, FileError::Effect::PartlyWritten));
    return true;
}

bool SaveAtomically(const QString& path, const QByteArray& bytes, QString* error,
                    FileError* failure) {
    const QString target = FollowLinks(path);
    const QFileInfo info(target);
    const FileError::Effect untouched =
        info.exists() ? FileError::Effect::OldFileKept : FileError::Effect::NothingWritten;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const FileError e = FileError::FromSystemText(file.errorString());
        // No new file in this folder, but the file itself may be written: better than nothing.
        if (e.reason == FileError::Reason::NoPermission && info.isFile() && info.isWritable())
            return SaveOverFile(target, bytes, error, failure);
        return Fail(error, failure, WithEffect(e, untouched));
    }
    if (const auto e = WriteAll(file, bytes)) {
        file.cancelWriting();
        return Fail(error, failure, WithEffect(*e, untouched));
    }
    if (!file.commit())
        return Fail(error, failure,
                    WithEffect(FileError::FromSystemText(file.errorString()), untouched));
    return true;
}

#ifdef Q_OS_UNIX
// FIFOs, devices and the standard streams (/dev/stdout, /proc/self/fd/1) are written where
// they are: renaming a new file over them would replace the node and the reader would get
// nothing.
bool IsWrittenInPlace(const QString& absolutePath, const struct stat& st) {
    return !S_ISREG(st.st_mode) || IsStreamPath(absolutePath);
}

// Holds SIGPIPE back while a stream is written: a reader that goes away gives EPIPE instead of
// ending the program. A signal raised meanwhile is taken before the mask is lifted.
class PipeSignalHeld {
public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~PipeSignalHeld() {
        if (!alreadyPending_) {
            const timespec zero{};
            while (sigtimedwait(&pipe_, nullptr, &zero) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

private:
    sigset_t pipe_{};
    sigset_t old_{};
    bool alreadyPending_ = false;
};

std::optional<FileError> WriteStream(int fd, const QByteArray& bytes) {
    PipeSignalHeld held;
    qsizetype done = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            sinceProgress.restart();
            continue;
        }
        const int why = n < 0 ? errno : EIO;
        if (why == EINTR)
            continue;
        const auto effect =
            done > 0 ? FileError::Effect::PartlyWritten : FileError::Effect::NothingWritten;
        if (why != EAGAIN && why != EWOULDBLOCK)
            return WithEffect(FileError::FromErrno(why), effect);
        const qint64 left = StalledReaderMs - sinceProgress.elapsed();
        pollfd p{fd, POLLOUT, 0};
        if (left <= 0 || (::poll(&p, 1, static_cast<int>(left)) == 0 &&
                          sinceProgress.elapsed() >= StalledReaderMs))
            return Reason(FileError::Reason::ReaderStopped, effect);
    }
    return std::nullopt;
}

bool SaveInPlace(const QString& path, const struct stat& st, const QByteArray& bytes,
                 QString* error, FileError* failure) {
    const QByteArray native = QFile::encodeName(path);
    int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
    // A standard stream redirected to a file: added at its end, as the shell's ">>" expects
    // (after ">" the file is empty anyway).
    if (S_ISREG(st.st_mode))
        flags |= O_APPEND;
    int fd = -1;
    do {
        fd = ::open(native.constData(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENXIO && S_ISFIFO(st.st_mode))
            return Fail(error, failure, Reason(FileError::Reason::NoReader));
        return Fail(error, failure, FileError::FromErrno(errno));
    }
    const auto e = WriteStream(fd, bytes);
    const int closed = ::close(fd);
    if (e)
        return Fail(error, failure, *e);
    if (closed != 0 && errno != EINTR)
        return Fail(error, failure,
                    WithEffect(FileError::FromErrno(errno), FileError::Effect::PartlyWritten));
    return true;
}
#endif

} // namespace

#ifdef Q_OS_UNIX
std::optional<FileError> WriteToStream(int fd, const QByteArray& bytes) {
    return WriteStream(fd, bytes);
}

bool IsStreamPath(const QString& absolutePath) {
    return absolutePath.startsWith(QLatin1String("/proc/")) ||
           absolutePath.startsWith(QLatin1String("/dev/fd/")) ||
           absolutePath == QLatin1String("/dev/stdout") ||
           absolutePath == QLatin1String("/dev/stderr");
}
#endif

QString FileError::text() const {
    switch (reason) {
    case Reason::None:
        return {};
    case Reason::NoName:
        return QCoreApplication::translate("FileError", "no file name given");
    case Reason::IsFolder:
        return QCoreApplication::translate("FileError", "this is a folder, not a file");
    case Reason::NoReader:
        return QCoreApplication::translate("FileError",
                                           "no reader: nothing is reading from this FIFO");
    case Reason::ReaderStopped:
        return QCoreApplication::translate("FileError",
                                           "the reader stopped reading: it took nothing for %1 s")
            .arg(StalledReaderMs / 1000);
    case Reason::NotAFile:
        return QCoreApplication::translate(
            "FileError", "this is not a regular file (a FIFO, a device or a socket)");
    case Reason::OverOpenLimit:
        return QCoreApplication::translate(
                   "FileError", "the file is larger than %1 MB, the most that Open shows")
            .arg(MaxDataFileBytes / (1024 * 1024));
    case Reason::NotGbk:
        return QCoreApplication::translate(
                   "FileError", "the list has characters that the GBK file format cannot hold (the "
                                "first is \"%1\", %2); nothing was written")
            .arg(character, CodePointName(character));
    case Reason::ShortWrite:
        return QCoreApplication::translate(
                   "FileError", "only %1 of %2 bytes could be written (the disk is full or a file "
                                "size limit was reached)")
            .arg(written)
            .arg(total);
    default:
        return system;
    }
}

FileError FileError::FromErrno(int error) {
    FileError e;
    e.system = qt_error_string(error);
    switch (error) {
    case ENOENT:
        e.reason = Reason::NoSuchPath;
        break;
    case EACCES:
    case EPERM:
        e.reason = Reason::NoPermission;
        break;
    case EROFS:
        e.reason = Reason::ReadOnlyFileSystem;
        break;
    case ENOSPC:
        e.reason = Reason::DiskFull;
        break;
    case EFBIG:
        e.reason = Reason::FileTooLarge;
        break;
    case EISDIR:
        e.reason = Reason::IsFolder;
        break;
    default:
        e.reason = Reason::Other;
        break;
    }
    return e;
}

FileError FileError::FromSystemText(const QString& text) {
    static const int known[] = {ENOENT, EACCES, EPERM, EROFS, ENOSPC, EFBIG, EISDIR};
    for (const int error : known) {
        if (text.contains(qt_error_string(error), Qt::CaseInsensitive)) {
            FileError e = FromErrno(error);
            e.system = text;
            return e;
        }
    }
    FileError e;
    e.reason = Reason::Other;
    e.system = text;
    return e;
}

QByteArray DataFileBytes(const QString& listText) {
    return EncodeGbk(listText + QStringLiteral("\r\n"));
}

bool SaveDataFile(const QString& path, const QString& listText, QString* error,
                  FileError* failure) {
    FileError e = Reason(FileError::Reason::NotGbk);
    const auto bytes = EncodeGbkExact(listText + QStringLiteral("\r\n"), &e.character);
    if (!bytes) {
        if (QFileInfo::exists(path))
            e.effect = FileError::Effect::OldFileKept;
        return Fail(error, failure, e);
    }
    return SaveFileBytes(path, *bytes, error, failure);
}

bool SaveFileBytes(const QString& path, const QByteArray& bytes, QString* error,
                   FileError* failure) {
    if (path.isEmpty())
        return Fail(error, failure, Reason(FileError::Reason::NoName));
    if (QFileInfo(path).isDir())
        return Fail(error, failure, Reason(FileError::Reason::IsFolder));
#ifdef Q_OS_UNIX
    struct stat st {};
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (::stat(QFile::encodeName(absolute).constData(), &st) == 0 && IsWrittenInPlace(absolute, st))
        return SaveInPlace(absolute, st, bytes, error, failure);
#endif
    return SaveAtomically(path, bytes, error, failure);
}

bool LoadDataFile(const QString& path, QString* text, QString* error, FileError* failure) {
    if (QFileInfo(path).isDir())
        return Fail(error, failure, Reason(FileError::Reason::IsFolder));
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without blocking (a FIFO with no writer would wait for one), then looked at: only a
    // regular file is read. Checking the open descriptor leaves no gap for a swap of the path.
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Fail(error, failure, FileError::FromErrno(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(error, failure, Reason(FileError::Reason::NotAFile));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Fail(error, failure, FileError::FromSystemText(file.errorString()));
    }
#else
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile())
        return Fail(error, failure, Reason(FileError::Reason::NotAFile));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, failure, FileError::FromSystemText(file.errorString()));
#endif
    if (file.size() > MaxDataFileBytes)
        return Fail(error, failure, Reason(FileError::Reason::OverOpenLimit));
    // One byte more than the limit shows a file that grew meanwhile.
    const QByteArray bytes = file.read(MaxDataFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Fail(error, failure, FileError::FromSystemText(file.errorString()));
    if (bytes.size() > MaxDataFileBytes)
        return Fail(error, failure, Reason(FileError::Reason::OverOpenLimit));
    static const QByteArray Utf8Mark("\xEF\xBB\xBF");
    if (text) {
        if (bytes.startsWith(Utf8Mark))
            *text = QString::fromUtf8(bytes.constData() + Utf8Mark.size(),
                                      bytes.size() - Utf8Mark.size());
        else
            *text = DecodeGbk(bytes);
    }
    return true;
}

} // namespace velantis
