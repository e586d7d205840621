// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velantis {

// Why a file could not be written or read, and what became of the file. The windows and the
// command line each put it in their own words; the system's own text is kept for the rare
// reasons that have no name here.
struct FileError {
    enum class Reason {
        None,
        NoName,             // no file name given
        NoSuchPath,         // no such file or folder
        NoPermission,       // no permission
        ReadOnlyFileSystem, // read-only file system
        DiskFull,           // no space left on the device
        FileTooLarge,       // the system's file size limit
        ShortWrite,         // only part could be written, without a reason from the system
        IsFolder,           // a folder, not a file
        NoReader,           // a FIFO that nothing reads
        ReaderStopped,      // a FIFO whose reader took nothing for StalledReaderMs
        NotAFile,           // Open: a FIFO, a device or a socket
        OverOpenLimit,      // Open: larger than MaxDataFileBytes
        NotGbk,             // the list has a character GBK cannot hold
        Other,              // see system
    };
    // What the failed write left at the path.
    enum class Effect {
        NothingWritten, // there was no file, and none was made (or a stream got no byte)
        OldFileKept,    // the file there before is as it was
        PartlyWritten,  // the file (or the stream's reader) got only a part
    };

    Reason reason = Reason::None;
    Effect effect = Effect::NothingWritten;
    QString system;    // the system's own words, where it gave any
    QString character; // NotGbk: the first character that GBK cannot hold
    qint64 written = 0;
    qint64 total = 0; // ShortWrite: how much of how much

    // The reason in English, as the command line prints it.
    QString text() const;
    // The reason for an errno value; Other (with the system's words) for the rest.
    static FileError FromErrno(int error);
    // The reason for a text Qt took from the system (strerror's words), where it is one of ours.
    static FileError FromSystemText(const QString& text);
};

// A standard stream reached through a path (/dev/stdout, /dev/fd/N, /proc/self/fd/N): it may
// stand for a file the shell opened, which is written at its end, never replaced.
#ifdef Q_OS_UNIX
bool IsStreamPath(const QString& absolutePath);
#endif

// A FIFO whose reader takes no byte for this long is given up.
inline constexpr int StalledReaderMs = 5000;

#ifdef Q_OS_UNIX
// Writes all bytes to a non-blocking descriptor (a FIFO, a device, a socket) without ever
// blocking for good: a reader that takes no byte for StalledReaderMs is given up
// (ReaderStopped), and SIGPIPE is held back (a reader gone away is a failure, not the end of the
// program). Nothing when everything went out.
std::optional<FileError> WriteToStream(int fd, const QByteArray& bytes);
#endif

// The bytes a saved data file holds: the list text in GBK followed by one more CR LF.
QByteArray DataFileBytes(const QString& listText);

// Writes the saved list (the list text in GBK and one more CR LF) to path.
//
// A regular file (or a symbolic link to one, which stays a link) is replaced atomically: the old
// file stays whole until the new one is completely written. Where the folder does not take a new
// file but the file itself is writable, the file is written in place. Anything else - a FIFO, a
// device, /dev/stdout - is written directly; a FIFO that nobody reads is refused ("no reader")
// instead of blocking, and one whose reader stops reading is given up after StalledReaderMs. A
// text with characters that GBK cannot hold is refused before the file is touched. False with
// the reason in English (*error) and in detail (*failure) on any failure.
bool SaveDataFile(const QString& path, const QString& listText, QString* error,
                  FileError* failure = nullptr);

// Writes bytes to path the way SaveDataFile does (atomically for a regular file, in place for a
// FIFO, device or stream), for the other files the program writes.
bool SaveFileBytes(const QString& path, const QByteArray& bytes, QString* error,
                   FileError* failure = nullptr);

// Open refuses files larger than this rather than showing a part of them.
inline constexpr qint64 MaxDataFileBytes = 50 * 1024 * 1024;

// Reads a data file whole and decodes it as GBK, or as UTF-8 (mark dropped) when it starts with
// the UTF-8 byte-order mark. Any bytes decode without harm. Only regular files (after links) are
// read: a FIFO would block and a device might never end. False with the reason, and *text left
// as it was, for a folder, a FIFO or device, a missing or unreadable file or one larger than
// MaxDataFileBytes.
bool LoadDataFile(const QString& path, QString* text, QString* error, FileError* failure = nullptr);

} // namespace velantis
