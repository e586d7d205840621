// SPDX-License-Identifier: GPL-3.0-or-later
// The live record: its rows for a table of frames, each on disk as soon as it is written. (A
// record stopped by a failing write: test_gui_live_record.)
#include "records/live_record.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

using namespace velantis;

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A live frame: currents with their range bytes, ratio error, channel, rating and flags.
MeasurementFrame Live(std::uint16_t hv, std::uint8_t hvRange, std::uint16_t r, std::uint16_t s,
                      std::uint16_t t, std::uint8_t range, std::uint8_t err, std::uint8_t channel,
                      std::uint16_t primary, std::uint8_t secondary, bool hvLow, bool lvLow) {
    return FrameBuilder()
        .hv(hv, hvRange)
        .r(r, range)
        .s(s, range)
        .t(t, range)
        .ratioError(err)
        .rated(primary, secondary)
        .channelKind(channel, 2)
        .flags(hvLow, lvLow)
        .build();
}

TEST(LiveRecord, RowsFromFramesReachTheFileOneByOne) {
    const struct {
        MeasurementFrame frame;
        const char* row; // after the time
    } table[] = {
        {Live(1000, 0x31, 5000, 4987, 501, 0x33, 0x8F, 0, 150, 50, false, false),
         "100.0,5.000,4.987,0.501,1.5,R,150,5,0,0"},
        {Live(1234, 0x41, 5, 120, 0, 0x40, 0x05, 2, 100, 10, true, false),
         "0.1234,0.005,0.12,0,-0.5,T,100,1,1,0"},
        {Live(10000, 0x31, 20000, 10000, 300, 0x33, 0x6E, 1, 5, 5, false, true),
         "OL,err,OL,0.3,--%,S,5,0.5,0,1"},
        {Live(20000, 0x31, 1, 2, 3, 0x30, 0x00, 0, 600, 50, true, true),
         "err,1,2,3,0.0,- -,600,5,1,1"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("live.csv"));
    LiveRecorder record;
    FileError failure;
    ASSERT_TRUE(record.open(path, &failure)) << failure.text().toStdString();
    QByteArray expected = QByteArray("\xEF\xBB\xBF") +
                          QStringLiteral("时间,高压电流(A),R通道电流(A),S通道电流(A),T通道电流(A),"
                                         "F.Er(%),通道,额定一次(A),额定二次(A),高压端电压低,"
                                         "低压端电压低\r\n")
                              .toUtf8();
    EXPECT_EQ(FileBytes(path), expected);
    const QDateTime at(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    for (const auto& t : table) {
        ASSERT_TRUE(record.append(at, DeriveReading(t.frame), &failure)) << t.row;
        expected += QByteArray("2026-03-04 05:06:07.089,") + t.row + "\r\n";
        EXPECT_EQ(FileBytes(path).toStdString(), expected.toStdString())
            << t.row; // on disk at once, nothing held back
    }
    EXPECT_EQ(record.rows(), 4);
}

#ifdef Q_OS_UNIX
// A FIFO whose reader keeps it open but takes nothing: once the pipe is full, the next row waits
// as long as a save would and then stops the record, never holding the program in the write.
TEST(LiveRecord, AFifoWhoseReaderStopsStopsTheRecord) {
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("live.fifo")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    LiveRecorder record;
    FileError failure;
    ASSERT_TRUE(record.open(QFile::decodeName(fifo), &failure)) << failure.text().toStdString();
    const Reading reading =
        DeriveReading(Live(1000, 0x31, 5000, 4987, 501, 0x33, 0x8F, 0, 150, 50, false, false));
    QElapsedTimer timer;
    timer.start();
    int rows = 0;
    while (record.append(QDateTime::currentDateTime(), reading, &failure) && rows < 100000)
        ++rows;
    EXPECT_GT(rows, 100); // the pipe took rows until it was full
    EXPECT_EQ(failure.reason, FileError::Reason::ReaderStopped) << failure.text().toStdString();
    EXPECT_EQ(failure.effect, FileError::Effect::PartlyWritten);
    EXPECT_GE(timer.elapsed(), StalledReaderMs);
    EXPECT_FALSE(record.isOpen());
    ::close(reader);
}
#endif

} // namespace
