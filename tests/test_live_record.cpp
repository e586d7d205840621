// The live record: its rows for a table of frames, on disk after every row, and a record that a
// failing write stops with its whole rows kept.
#include "records/live_record.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#endif

using namespace velantis;

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(LiveRecord, RowsFromFramesReachTheFileOneByOne) {
    const struct {
        MeasurementFrame frame;
        const char* row; // after the time
    } table[] = {
        {FrameBuilder()
             .hv(1000, 0x31)
             .r(5000, 0x33)
             .s(4987, 0x33)
             .t(501, 0x32)
             .ratioError(0x8F)
             .rated(150, 50)
             .channelKind(0, 2)
             .build(),
         "100.0,5.000,4.987,5.01,1.5,R,150,5,0,0"},
        {FrameBuilder()
             .hv(1234, 0x41)
             .r(5, 0x40)
             .s(120, 0x40)
             .t(0, 0x40)
             .ratioError(0x05)
             .rated(100, 10)
             .channelKind(2, 2)
             .flags(true, false)
             .build(),
         "0.1234,0.005,0.12,0,-0.5,T,100,1,1,0"},
        {FrameBuilder()
             .hv(10000, 0x31)
             .r(20000, 0x33)
             .s(10000, 0x33)
             .t(300, 0x33)
             .ratioError(0x6E)
             .rated(5, 5)
             .channelKind(1, 2)
             .flags(false, true)
             .build(),
         "OL,err,OL,0.3,--%,S,5,0.5,0,1"},
        {FrameBuilder()
             .hv(20000, 0x31)
             .r(1, 0x30)
             .s(2, 0x30)
             .t(3, 0x30)
             .ratioError(0x00)
             .rated(600, 50)
             .channelKind(0, 2)
             .flags(true, true)
             .build(),
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
        EXPECT_EQ(FileBytes(path).toStdString(), expected.toStdString()) << t.row; // on disk at once, nothing held back
    }
    EXPECT_EQ(record.rows(), 4);
}

// Whatever stops the record, the file keeps the heading and whole rows only, and the reason is
// the one the message names.
TEST(LiveRecord, FailedWriteStopsTheRecordAndKeepsWholeRows) {
    const Reading reading = DeriveReading(FrameBuilder().hv(1000, 0x31).rated(100, 50).build());
    const QDateTime at = QDateTime::currentDateTime();
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(small));
#ifdef Q_OS_UNIX
    const bool mounted =
        ::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=16k") == 0;
#else
    const bool mounted = false;
#endif
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("folder"))));
    const struct {
        QString path;
        std::function<void()> spoil; // done after the first row
        FileError::Reason reason;
    } cases[] = {
        {dir.filePath(QStringLiteral("gone.csv")),
         [&] { QFile::remove(dir.filePath(QStringLiteral("gone.csv"))); },
         FileError::Reason::NoSuchPath},
        {dir.filePath(QStringLiteral("folder/in.csv")),
         [&] { QDir(dir.path()).rename(QStringLiteral("folder"), QStringLiteral("moved")); },
         FileError::Reason::NoSuchPath},
        {small + QStringLiteral("/full.csv"), [] {}, FileError::Reason::DiskFull},
    };
    for (const auto& c : cases) {
        if (c.path.startsWith(small) && !mounted)
            continue;
        LiveRecorder record;
        FileError failure;
        ASSERT_TRUE(record.open(c.path, &failure)) << c.path.toStdString();
        ASSERT_TRUE(record.append(at, reading, &failure));
        c.spoil();
        while (record.append(at, reading, &failure) && record.rows() < 100000) {
        }
        EXPECT_FALSE(record.isOpen()) << c.path.toStdString();
        EXPECT_EQ(failure.reason, c.reason) << c.path.toStdString();
        if (c.reason == FileError::Reason::DiskFull) {
            const QByteArray kept = FileBytes(c.path);
            EXPECT_GT(record.rows(), 100);
            EXPECT_EQ(kept,
                      LiveRecordHeading() + LiveRecordRow(at, reading).repeated(record.rows()));
        }
    }
#ifdef Q_OS_UNIX
    if (mounted)
        ::umount(QFile::encodeName(small).constData());
    else
        GTEST_SKIP() << "no tmpfs mount here: the full disk was not tried";
#endif
}

} // namespace
