#include "records/data_file.h"

#include "records/text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velantis {

namespace {

void SetError(QString* error, const QString& text) {
    if (error)
        *error = text;
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

bool SaveAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(FollowLinks(path));
    // A folder that takes no new file (read-only, say) while the file itself is writable: the
    // file is written in place, which is still better than not saving at all.
    file.setDirectWriteFallback(true);
    // Unbuffered, so a short write (a full disk, a file size limit) shows here: Qt's buffered
    // flush drops the count of a partial write and would commit a cut-off file as a success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        SetError(error, file.errorString());
        return false;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        SetError(error, written < 0 || file.error() != QFileDevice::NoError
                            ? file.errorString()
                            : QStringLiteral("only %1 of %2 bytes could be written (the disk is "
                                             "full or a file size limit was reached)")
                                  .arg(written)
                                  .arg(bytes.size()));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        SetError(error, file.errorString());
        return false;
    }
    return true;
}

#ifdef Q_OS_UNIX
// FIFOs, devices and the standard streams (/dev/stdout, /proc/self/fd/1) are written where
// they are: renaming a new file over them would replace the node and the reader would get
// nothing.
bool IsStreamPath(const QString& absolutePath) {
    return absolutePath.startsWith(QLatin1String("/proc/")) ||
           absolutePath.startsWith(QLatin1String("/dev/fd/")) ||
           absolutePath == QLatin1String("/dev/stdout") ||
           absolutePath == QLatin1String("/dev/stderr");
}

bool IsWrittenInPlace(const QString& absolutePath, const struct stat& st) {
    return !S_ISREG(st.st_mode) || IsStreamPath(absolutePath);
}

bool SaveInPlace(const QString& path, const struct stat& st, const QByteArray& bytes,
                 QString* error) {
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
            SetError(error, QStringLiteral("no reader: nothing is reading from this FIFO"));
        else
            SetError(error, qt_error_string(errno));
        return false;
    }
    // Opened without blocking (a FIFO with no reader fails at once); the writes may block.
    if (const int fl = ::fcntl(fd, F_GETFL); fl != -1)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetError(error, qt_error_string(n < 0 ? errno : EIO));
            ::close(fd);
            return false;
        }
        done += n;
    }
    if (::close(fd) != 0 && errno != EINTR) {
        SetError(error, qt_error_string(errno));
        return false;
    }
    return true;
}
#endif

} // namespace

QByteArray DataFileBytes(const QString& listText) {
    return EncodeGbk(listText + QStringLiteral("\r\n"));
}

bool SaveDataFile(const QString& path, const QString& listText, QString* error) {
    QString bad;
    const auto bytes = EncodeGbkExact(listText + QStringLiteral("\r\n"), &bad);
    if (!bytes) {
        SetError(error, QStringLiteral("the list has characters that the GBK file format cannot "
                                       "hold (the first is \"%1\", %2); nothing was written")
                            .arg(bad, CodePointName(bad)));
        return false;
    }
    return SaveFileBytes(path, *bytes, error);
}

bool SaveFileBytes(const QString& path, const QByteArray& bytes, QString* error) {
    if (path.isEmpty()) {
        SetError(error, QStringLiteral("no file name given"));
        return false;
    }
    if (QFileInfo(path).isDir()) {
        SetError(error, QStringLiteral("this is a folder, not a file"));
        return false;
    }
#ifdef Q_OS_UNIX
    struct stat st {};
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (::stat(QFile::encodeName(absolute).constData(), &st) == 0 && IsWrittenInPlace(absolute, st))
        return SaveInPlace(absolute, st, bytes, error);
#endif
    return SaveAtomically(path, bytes, error);
}

bool LoadDataFile(const QString& path, QString* text, QString* error) {
    const QFileInfo info(path);
    if (info.isDir()) {
        SetError(error, QStringLiteral("this is a folder, not a file"));
        return false;
    }
    const QString tooLarge = QStringLiteral("the file is larger than %1 MB, the most that Open "
                                            "shows")
                                 .arg(MaxDataFileBytes / (1024 * 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    if (file.size() > MaxDataFileBytes) {
        SetError(error, tooLarge);
        return false;
    }
    // One byte more than the limit shows a file that grew (or a device that never ends).
    const QByteArray bytes = file.read(MaxDataFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        SetError(error, file.errorString());
        return false;
    }
    if (bytes.size() > MaxDataFileBytes) {
        SetError(error, tooLarge);
        return false;
    }
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
