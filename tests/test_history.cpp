// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"
#include "records/history.h"
#include "records/text_codec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

using namespace velantis;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Group n carries n/10 A as its high-voltage current, so every row differs.
void Fill(RecordStore& store, int n) {
    const auto u16 = static_cast<std::uint16_t>(n);
    const auto channel = static_cast<std::uint8_t>(n % 3);
    const auto f =
        FrameBuilder().hv(u16, 0x31).r(5000, 0x33).rated(100, 50).channelKind(channel, 1);
    store.store(*SlotIndex::make(n), DeriveReading(f.build()));
}

QString Expected(const RecordStore& store, const std::vector<int>& groups) {
    QString text = HistoryHeading();
    for (int n : groups)
        text += FormatGroupRow(store, *SlotIndex::make(n)) + QStringLiteral("\r\n");
    return text;
}

class History : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (int n : {0, 1, 2, 5, 50, 51, 3500, 3600, 4000})
            Fill(store, n);
    }
    bool leftBehind() const { return QFile::exists(dir.filePath(QStringLiteral("lishi.txt"))); }

    QTemporaryDir dir;
    RecordStore store;
    HistoryList list{dir.path()};
};

} // namespace

TEST(HistoryHeading, BytesOfBothLines) {
    const QByteArray bytes = EncodeGbk(HistoryHeading());
    const QByteArray line1 = QByteArray(44, ' ') + "Velantis\r\n";
    ASSERT_TRUE(bytes.startsWith(line1));
    const QByteArray line2 = bytes.mid(line1.size());
    EXPECT_EQ(line2.size(), 95 + 2);
    EXPECT_EQ(DecodeGbk(line2),
              QStringLiteral("  组数    高压电流  R通道电流  S通道电流  T通道电流    "
                             "F.Er       变比     通道                \r\n"));
}

TEST_F(History, Ranges) {
    struct Case {
        int first, last, firstAfter, lastAfter;
        bool full; // both lists, or the print buffer only
        std::vector<int> groups;
    };
    const std::vector<Case> cases = {
        {0, 0, 1, 3500, true, {1, 2, 5, 50, 51, 3500}},
        {0, 50, 1, 50, true, {1, 2, 5, 50}},
        {5, 0, 5, 3500, true, {5, 50, 51, 3500}},
        {1, 3500, 1, 3500, false, {1, 2, 5, 50, 51, 3500}},
        {51, 4000, 51, 4000, false, {51, 3500, 3600, 4000}},
        {3550, 9000, 3550, 9000, false, {3600, 4000}},
        {4500, 5000, 4500, 5000, false, {}},
        {10, 3, 10, 3, false, {}},
        {-7, 2, -7, 2, false, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ".." << c.last);
        list.setListText(QStringLiteral("visible"));
        int first = c.first, last = c.last;
        list.RefreshHistory(store, first, last);
        EXPECT_EQ(first, c.firstAfter);
        EXPECT_EQ(last, c.lastAfter);
        EXPECT_EQ(list.printText(), Expected(store, c.groups));
        EXPECT_EQ(list.listText(), c.full ? list.printText() : QStringLiteral("visible"));
        // Through the file: written in GBK, read back to the same text, deleted.
        EXPECT_TRUE(list.lastRefreshUsedFile());
        EXPECT_FALSE(leftBehind());
    }
}

// A lishi.txt left by anything else is neither listed nor left behind.
TEST_F(History, ClearedStoreWithStrayFileListsTheHeadingOnly) {
    QFile stray(dir.filePath(QStringLiteral("lishi.txt")));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write(QByteArray(100000, 'x') + "stray\r\n");
    stray.close();
    store.clear();
    int first = 0, last = 0;
    list.RefreshHistory(store, first, last);
    EXPECT_EQ(list.listText(), HistoryHeading());
    EXPECT_EQ(list.printText(), HistoryHeading());
    EXPECT_FALSE(leftBehind());
}

TEST_F(History, UnwritableFolderStillFillsTheLists) {
    QFile file(dir.filePath(QStringLiteral("regular_file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a folder");
    file.close();

    HistoryList stuck(file.fileName() + QStringLiteral("/sub"));
    stuck.setListText(QStringLiteral("old"));
    int first = 0, last = 0;
    stuck.RefreshHistory(store, first, last);
    EXPECT_FALSE(stuck.lastRefreshUsedFile());
    EXPECT_EQ(stuck.listText(), Expected(store, {1, 2, 5, 50, 51, 3500}));
    EXPECT_EQ(stuck.printText(), stuck.listText());

    first = 3600;
    last = 4000;
    stuck.RefreshHistory(store, first, last);
    EXPECT_EQ(stuck.printText(), Expected(store, {3600, 4000}));
    EXPECT_EQ(stuck.listText(), Expected(store, {1, 2, 5, 50, 51, 3500}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("regular_file")});
}

// Two programs started from one folder refresh at the same moment: each must list its own rows.
TEST_F(History, ConcurrentRefreshesInOneFolderKeepTheirOwnRows) {
    RecordStore other;
    for (int n = 100; n < 140; ++n)
        Fill(other, n);
    std::vector<int> otherGroups(40);
    std::iota(otherGroups.begin(), otherGroups.end(), 100);
    const QString mine = Expected(store, {1, 2, 5, 50, 51, 3500});
    const QString theirs = Expected(other, otherGroups);

    std::atomic<int> wrong{0};
    auto run = [&](const RecordStore& s, const QString& expected) {
        HistoryList own(dir.path());
        for (int i = 0; i < 1500; ++i) {
            int first = 0, last = 0;
            own.RefreshHistory(s, first, last);
            if (own.listText() != expected)
                ++wrong;
        }
    };
    std::thread a(run, std::cref(store), std::cref(mine));
    std::thread b(run, std::cref(other), std::cref(theirs));
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_FALSE(leftBehind());
}
