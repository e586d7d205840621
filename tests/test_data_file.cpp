// SPDX-License-Identifier: GPL-3.0-or-later
// Save and Open of data files: what lands where, and what a failure leaves behind.
#include "records/data_file.h"
#include "records/text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace velantis;

namespace {

const QString List = QStringLiteral("  组数    高压电流\r\n第0001组    100.0A\r\n");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The system's own words for why path cannot be opened ("No such file or directory"; Windows
// words it otherwise).
QString SystemWords(const QString& path, QIODevice::OpenMode mode) {
    QFile f(path);
    return f.open(mode) ? QStringLiteral("(opened)") : f.errorString();
}

#ifdef Q_OS_UNIX
// Links, FIFOs, devices, streams and folder modes: what POSIX systems put behind a file name.

// Everything a file descriptor delivers until its writers are gone.
QByteArray Drain(int fd) {
    QByteArray out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, n);
    return out;
}

TEST(SaveDataFile, RegularFilesAndLinks) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("saved.txt"));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    ASSERT_TRUE(WriteAll(file, "old contents that are longer than the list"));
    ASSERT_TRUE(QFile::link(file, link));

    QString error;
    ASSERT_TRUE(SaveDataFile(link, List, &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink()) << "a save into a link keeps the link";
    EXPECT_EQ(ReadAll(file), DataFileBytes(List));

    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("new.txt")), dangling));
    ASSERT_TRUE(SaveDataFile(dangling, List, &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("new.txt"))), DataFileBytes(List));
}

TEST(SaveDataFile, FifosDevicesAndStreamsAreWrittenWhereTheyAre) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    // With nobody reading, the FIFO is refused at once rather than blocking.
    QString error;
    EXPECT_FALSE(SaveDataFile(fifo, List, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no reader"))) << error.toStdString();

    QByteArray received;
    std::thread reader([&] {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY);
        received = Drain(fd);
        ::close(fd);
    });
    bool saved = false;
    for (int i = 0; i < 500 && !saved; ++i) { // until the reader has opened its end
        saved = SaveDataFile(fifo, List, &error);
        if (!saved)
            ::usleep(2000);
    }
    reader.join();
    EXPECT_TRUE(saved) << error.toStdString();
    EXPECT_EQ(received, DataFileBytes(List));

    // A reader that opens the FIFO and then takes nothing: a list larger than the pipe holds is
    // given up, said as such and never as saved.
    QString big;
    for (int i = 0; i < 4000; ++i)
        big += List;
    const int sleeper = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(sleeper, 0);
    FileError failure;
    EXPECT_FALSE(SaveDataFile(fifo, big, &error, &failure));
    ::close(sleeper);
    EXPECT_EQ(failure.reason, FileError::Reason::ReaderStopped) << error.toStdString();
    EXPECT_EQ(failure.effect, FileError::Effect::PartlyWritten);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is still a FIFO";

    // A device node: the slave side of a pseudo-terminal.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    ASSERT_TRUE(SaveDataFile(slave, QStringLiteral("x"), &error)) << error.toStdString();
    char echo[16] = {};
    EXPECT_GT(::read(master, echo, sizeof echo), 0);
    ::close(master);

    // A standard stream reached through /proc, as /dev/stdout is.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const QString stream = QStringLiteral("/proc/self/fd/%1").arg(fds[1]);
    EXPECT_TRUE(SaveDataFile(stream, List, &error)) << error.toStdString();
    ::close(fds[1]);
    EXPECT_EQ(Drain(fds[0]), DataFileBytes(List));
    ::close(fds[0]);
}

// A writable file in a folder that takes no new file is written in place. Root may always
// create files, so as root the save runs in a child process as the user nobody.
TEST(SaveDataFile, WritableFileInReadOnlyFolder) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString file = folder + QStringLiteral("/saved.txt");
    ASSERT_TRUE(WriteAll(file, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);

    if (::geteuid() != 0) {
        QString error;
        EXPECT_TRUE(SaveDataFile(file, List, &error)) << error.toStdString();
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(77);
            ::_exit(SaveDataFile(file, List, nullptr) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
            GTEST_SKIP() << "cannot run as another user here";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ReadAll(file), DataFileBytes(List));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}
#endif

TEST(SaveDataFile, FailuresLeaveTheOldFileAndSayWhy) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("saved.txt"));
    ASSERT_TRUE(WriteAll(file, "old"));
    const struct {
        const char* name;
        QString path;
        QString text;
        QString errorHas;
    } cases[] = {
        {"emoji", file, List + QStringLiteral("a😀b"), QStringLiteral("\"😀\", U+1F600")},
        {"Latin with macron", file, QStringLiteral("组Āx"), QStringLiteral("\"Ā\", U+0100")},
        {"missing folder", dir.filePath(QStringLiteral("no/such/x.txt")), List,
         SystemWords(dir.filePath(QStringLiteral("no/such/x.txt")), QIODevice::WriteOnly)},
        {"a folder", dir.path(), List, QStringLiteral("folder")},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(SaveDataFile(c.path, c.text, &error)) << c.name;
        EXPECT_TRUE(error.contains(c.errorHas)) << c.name << ": " << error.toStdString();
        EXPECT_EQ(ReadAll(file), "old") << c.name;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("saved.txt")})
        << "no temporary file is left behind";
}

TEST(LoadDataFile, EncodingsAndRefusals) {
    QTemporaryDir dir;
    const QString gbk = dir.filePath(QStringLiteral("gbk.txt"));
    const QString utf8 = dir.filePath(QStringLiteral("utf8.txt"));
    const QString big = dir.filePath(QStringLiteral("big.txt"));
    const QString binary = dir.filePath(QStringLiteral("binary"));
    ASSERT_TRUE(WriteAll(gbk, EncodeGbk(List)));
    ASSERT_TRUE(WriteAll(utf8, "\xEF\xBB\xBF" + QStringLiteral("组😀").toUtf8()));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(MaxDataFileBytes + 1));
    }
    QByteArray noise(100000, Qt::Uninitialized);
    for (char& c : noise)
        c = static_cast<char>(QRandomGenerator::global()->generate());
    ASSERT_TRUE(WriteAll(binary, noise));
#ifdef Q_OS_UNIX
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(gbk, link));
#endif

    const struct {
        QString path;
        bool ok;
        QString text; // expected text, or a word of the error
    } cases[] = {
        {gbk, true, List},
        {utf8, true, QStringLiteral("组😀")},
        {big, false, QStringLiteral("larger than 50 MB")},
        {dir.path(), false, QStringLiteral("folder")},
        {dir.filePath(QStringLiteral("missing")), false,
         SystemWords(dir.filePath(QStringLiteral("missing")), QIODevice::ReadOnly)},
#ifdef Q_OS_UNIX
        // Only regular files: a FIFO with no writer would wait for ever, a device never end.
        {fifo, false, QStringLiteral("not a regular file")},
        {QStringLiteral("/dev/zero"), false, QStringLiteral("not a regular file")},
        {link, true, List},
#endif
    };
    for (const auto& c : cases) {
        QString text = QStringLiteral("untouched");
        QString error;
        EXPECT_EQ(LoadDataFile(c.path, &text, &error), c.ok) << c.path.toStdString();
        if (c.ok) {
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_EQ(text, QStringLiteral("untouched"));
            EXPECT_TRUE(error.contains(c.text)) << error.toStdString();
        }
    }
    QString text;
    EXPECT_TRUE(LoadDataFile(binary, &text, nullptr));
    EXPECT_FALSE(text.isEmpty());
}

} // namespace
