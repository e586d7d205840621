// SPDX-License-Identifier: GPL-3.0-or-later
// Files and inputs at the main window: print-range entries, Open of a file too large, Save onto
// a full disk (a device and a small file system) and through a path in Chinese. Each failure
// gives a message naming the file, keeps the old file and loses nothing of the list.
#include "records/data_file.h"
#include "support/fake_serial_line.h"
#include "support/window_fixture.h"
#include "support/window_stand_ins.h"
#include "windows/list_printing.h"
#include "windows/main_window.h"
#include "windows/print_range_dialog.h"
#include "windows/window_services.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#endif

using namespace velantis;
using velantis::testing::AnsweringDialogs;
using velantis::testing::FakeSerialLine;
using velantis::testing::OpenMessageBox;
using velantis::testing::PdfChooser;

namespace {

// The text of the message shown, and the box closed; empty when none is shown.
QString TakeMessage() {
    QMessageBox* box = OpenMessageBox();
    if (!box)
        return {};
    const QString text = box->text() + QLatin1Char('\n') + box->informativeText();
    box->close();
    return text;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

#ifdef Q_OS_UNIX
bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
#endif

class FilesAndInputs : public velantis::testing::WindowFixture {
protected:
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    // Save to path: the message shown (empty when none), the list checked unchanged.
    QString save(const QString& path) {
        const QString list = window->monitor().history().listText();
        files->answer = path;
        button("Command3")->click();
        EXPECT_EQ(window->monitor().history().listText(), list) << "Save never changes the list";
        return TakeMessage();
    }
};

// −5 is taken and the print cut to the store; "1e3" is 1000.
TEST_F(FilesAndInputs, PrintRangeBelowTheStoreIsCutToIt) {
    download(12);
    button("Command6")->click();
    PrintRangeDialog* d = window->printRangeDialog();
    ASSERT_NE(d, nullptr);
    d->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("-5"));
    d->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("1e3"));
    d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_EQ(TakeMessage(), QString());
    EXPECT_EQ(window->monitor().form2kai, -5);
    EXPECT_EQ(window->monitor().form2jie, 1000);
    window->monitor().Timer5_Timer();
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext (a Windows PC) to read the printout back";
    QProcess pdf;
    pdf.start(QStringLiteral("pdftotext"),
              {QStringLiteral("-layout"), folder.filePath(QStringLiteral("print.pdf")),
               QStringLiteral("-")});
    ASSERT_TRUE(pdf.waitForFinished(20000));
    const QString printed = QString::fromUtf8(pdf.readAllStandardOutput());
    for (int g = 1; g <= 12; ++g)
        EXPECT_TRUE(printed.contains(QStringLiteral("第%1组").arg(g, 4, 10, QLatin1Char('0'))))
            << g;
    EXPECT_FALSE(printed.contains(QStringLiteral("第0000组")));
    EXPECT_FALSE(printed.contains(QStringLiteral("第0013组")));
}

// Open of a 100 MB file is refused naming the limit, and the list stays.
TEST_F(FilesAndInputs, OpenOfAHundredMegabyteFileIsRefused) {
    download(3);
    const QString big = folder.filePath(QStringLiteral("big.txt"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(100 * 1024 * 1024));
    }
    const QString list = window->monitor().history().listText();
    files->answer = big;
    button("Command1")->click();
    const QString message = TakeMessage();
    EXPECT_TRUE(message.contains(QStringLiteral("50 MB"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("big.txt"))) << message.toStdString();
    EXPECT_EQ(window->monitor().history().listText(), list);
}

#ifdef Q_OS_UNIX
// Save, 导出 PDF and printing to a file go through one file writing. Onto a full disk (a device,
// and a small file system holding an old file) and into a missing folder, each says so once,
// naming the file, the reason and what became of the file - and never more than is true.
TEST_F(FilesAndInputs, WritersOntoAFullDiskSaySoAndKeepTheOldFile) {
    download(600);
    // Written whole where it can be: 60 pages made in memory end in the PDF trailer.
    QString message;
    const QString whole = folder.filePath(QStringLiteral("whole.pdf"));
    ASSERT_TRUE(ExportListPdf(whole, window->monitor().history().listText(), &message))
        << message.toStdString();
    EXPECT_TRUE(ReadAll(whole).trimmed().endsWith("%%EOF"));
    const QString mountPoint = folder.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const QByteArray where = QFile::encodeName(mountPoint);
    const bool mounted = ::mount("tmpfs", where.constData(), "tmpfs", 0, "size=16k") == 0;
    const QByteArray old(6000, 'o');
    const struct {
        QString path;
        const char* reason;
        const char* effect;
    } targets[] = {
        {QStringLiteral("/dev/full"), "磁盘已满", "没有写入任何内容"},
        {folder.filePath(QStringLiteral("no/such/report.pdf")), "文件或文件夹不存在",
         "没有写入任何内容"},
        {mountPoint + QStringLiteral("/report.pdf"), "磁盘已满", "原有文件保持不变"},
    };
    const std::function<void(const QString&)> writers[] = {
        [&](const QString& path) {
            files->answer = path;
            button("Command3")->click();
        },
        [&](const QString& path) {
            files->answer = path;
            window->ExportPdf();
        },
        [&](const QString& path) { // the printer dialog's "print to file"
            printer->pdf = path;
            button("Command6")->click();
            PrintRangeDialog* d = window->printRangeDialog();
            ASSERT_NE(d, nullptr);
            d->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("1"));
            d->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("600"));
            d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
            window->monitor().Timer5_Timer();
        },
    };
    for (int w = 0; w < 3; ++w) {
        for (const auto& t : targets) {
            if (t.path.startsWith(mountPoint) && !mounted)
                continue;
            if (t.path.startsWith(mountPoint)) {
                ASSERT_TRUE(WriteAll(t.path, old));
            }
            const QString list = window->monitor().history().listText();
            writers[w](t.path);
            const QString message = TakeMessage();
            const QString name = QFileInfo(t.path).fileName();
            EXPECT_TRUE(message.contains(name)) << w << message.toStdString();
            EXPECT_TRUE(message.contains(QString::fromUtf8(t.reason)))
                << w << message.toStdString();
            EXPECT_TRUE(message.contains(QString::fromUtf8(t.effect)))
                << w << message.toStdString();
            const QString kept = QStringLiteral("原有文件保持不变");
            EXPECT_EQ(message.contains(kept), QString::fromUtf8(t.effect) == kept)
                << w << message.toStdString();
            EXPECT_EQ(TakeMessage(), QString()) << "one message";
            EXPECT_EQ(window->monitor().history().listText(), list);
            if (t.path.startsWith(mountPoint)) {
                EXPECT_EQ(ReadAll(t.path), old) << w;
                EXPECT_EQ(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden),
                          QStringList{QStringLiteral("report.pdf")})
                    << "no temporary file is left";
            }
        }
    }
    if (mounted)
        ::umount(where.constData());
    else
        GTEST_SKIP() << "no tmpfs mount here: the small file system was not tried";
}
#endif

// A path in Chinese saves and opens again byte for byte.
TEST_F(FilesAndInputs, ChinesePathSavesAndOpens) {
    download(5);
    const QString dir = folder.filePath(QStringLiteral("测量数据 二〇二四"));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = dir + QStringLiteral("/变比测试.txt");
    const QString list = window->monitor().history().listText();
    EXPECT_EQ(save(path), QString());
    EXPECT_EQ(ReadAll(path), DataFileBytes(list));
    button("Command4")->click();
    files->answer = path;
    button("Command1")->click();
    EXPECT_EQ(TakeMessage(), QString());
    EXPECT_EQ(window->monitor().history().listText(), list + QStringLiteral("\r\n"));
}

} // namespace
