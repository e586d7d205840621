// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/reading.h"
#include "records/data_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace velantis {

// A record of live readings as a CSV file for spreadsheets, written as the readings arrive: UTF-8
// with a byte-order mark, CR LF, one row per reading with its local time to the millisecond, the
// four currents in A (mA converted), the ratio error in %, the channel letter, the rated primary
// and secondary and the two low-voltage flags (1 or 0). Numbers are the displayed decimals
// exactly; "OL", "err", "- - - -" and "--%" stay as text, as in the download's CSV.

// The byte-order mark and the heading row.
QByteArray LiveRecordHeading();
// One row for a reading taken at the given local time.
QByteArray LiveRecordRow(const QDateTime& at, const Reading& reading);

// The open record file. Each row goes to the file in one unbuffered write, so a crash of the
// program loses at most the row being written; what the system still holds in its cache when
// the power fails is lost with it (rows are not synced to the disk one by one). Nothing but the
// open file is kept: a week of readings costs no memory.
//
// A FIFO (or device) whose reader takes no byte for StalledReaderMs fails the row as
// ReaderStopped, as a save does, instead of holding the program in the write.
//
// A row that cannot be written (a full disk, a file size limit) is taken back off the file
// where the system lets it, so the file ends with the last whole row. A record file that was
// removed, or whose folder was removed or moved, fails the next row as NoSuchPath: on Linux the
// writes would otherwise go on into a file nobody can reach.
class LiveRecorder {
public:
    LiveRecorder() = default;
    LiveRecorder(const LiveRecorder&) = delete;
    LiveRecorder& operator=(const LiveRecorder&) = delete;
    ~LiveRecorder() { close(); }

    // Creates (or empties) the file at path and writes the heading. A FIFO, a device or a
    // standard stream is written where it is, without emptying (a FIFO with no reader is
    // refused). False with the reason.
    bool open(const QString& path, FileError* failure);
    // Writes one row; false with the reason, and the file closed, when it could not be written
    // whole or the file is gone.
    bool append(const QDateTime& at, const Reading& reading, FileError* failure);
    void close();

    bool isOpen() const { return file_.isOpen(); }
    QString path() const { return path_; }
    // Rows written since open (the heading not counted).
    qint64 rows() const { return rows_; }

private:
    bool writeRow(const QByteArray& bytes, FileError* failure);
    // Whether the path still leads to the file being written.
    bool stillThere() const;

    QFile file_;
    QString path_;
    qint64 rows_ = 0;
    qint64 size_ = 0;
    bool checkPath_ = false; // a regular file reached by its own name
    bool stream_ = false;    // a FIFO, a device or a socket, written without blocking
    QByteArray native_;      // its absolute path in the system's encoding
    quint64 device_ = 0;
    quint64 inode_ = 0;
};

} // namespace velantis
