#pragma once

#include <QByteArray>
#include <QString>

namespace velantis {

// The bytes a saved data file holds: the list text in GBK followed by one more CR LF.
QByteArray DataFileBytes(const QString& listText);

// Writes the saved list (the list text in GBK and one more CR LF) to path.
//
// A regular file (or a symbolic link to one, which stays a link) is replaced atomically: the old
// file stays whole until the new one is completely written. Where the folder does not take a new
// file but the file itself is writable, the file is written in place. Anything else - a FIFO, a
// device, /dev/stdout - is written directly; a FIFO that nobody reads is refused ("no reader")
// instead of blocking. A text with characters that GBK cannot hold is refused before the file is
// touched. False with the reason (the system's words included) on any failure.
bool SaveDataFile(const QString& path, const QString& listText, QString* error);

// Writes bytes to path the way SaveDataFile does (atomically for a regular file, in place for a
// FIFO, device or stream), for the other files the program writes.
bool SaveFileBytes(const QString& path, const QByteArray& bytes, QString* error);

// Open refuses files larger than this rather than showing a part of them.
inline constexpr qint64 MaxDataFileBytes = 50 * 1024 * 1024;

// Reads a data file whole and decodes it as GBK, or as UTF-8 (mark dropped) when it starts with
// the UTF-8 byte-order mark. Any bytes decode without harm. False with the reason, and *text left
// as it was, for a folder, a missing or unreadable file or one larger than MaxDataFileBytes.
bool LoadDataFile(const QString& path, QString* text, QString* error);

} // namespace velantis
