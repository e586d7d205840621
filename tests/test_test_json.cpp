// SPDX-License-Identifier: GPL-3.0-or-later
// A test as JSON: the same test always gives the same bytes and reads back to them; every kind of
// damaged or foreign document is refused with its place and nothing of it is taken.
#include "records/test_json.h"

#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

MeasurementFrame Group(int n) {
    return FrameBuilder()
        .hv(static_cast<std::uint16_t>(100 + n), 0x31)
        .r(5000, 0x33)
        .groupNo(static_cast<std::uint16_t>(n))
        .ratioError(static_cast<std::uint8_t>(0x80 + n % 9))
        .rated(100, 50)
        .channelKind(static_cast<std::uint8_t>(n % 3), 1)
        .build();
}

// A test with every field given, its groups 0, 1, 2 and 4000.
QByteArray Sample() {
    TestRecord test;
    test.uuid = QStringLiteral("0b8e6f3c-5a52-4f7e-9c1d-2d3f4e5a6b7c");
    test.started = QDateTime(QDate(2026, 12, 9), QTime(9, 30, 1, 250));
    test.ended = test.started.addSecs(95);
    test.port = QStringLiteral("COM3 (/dev/ttyUSB0)");
    test.ending = DownloadEnd::Watchdog;
    test.announced = 4001;
    for (const TestInfoTextField& f : TestInfoTextFields)
        test.info.*f.member = QStringLiteral("%1 \"值\"\n").arg(QLatin1String(f.key));
    test.info.accuracy = AccuracyClass::C0_5;
    test.info.date = QDate(2026, 12, 9);
    test.info.setCalibration = QDate(2026, 12, 1);
    test.info.logo = QByteArray("\x89PNG\r\n\x1a\n-logo-", 14);
    test.info.guardBand = 5;
    QList<ArchivedGroup> groups;
    for (int n : {4000, 0, 2, 1})
        groups.append({n, Group(n)});
    return TestJson(test, groups);
}

TEST(TestJson, ATestReadsBackToTheSameBytesAndKeepsItsIdentity) {
    const QByteArray json = Sample();
    EXPECT_EQ(Sample(), json);
    TestRecord read;
    QList<ArchivedGroup> groups;
    TestJsonProblem problem;
    ASSERT_TRUE(ReadTestJson(json, &read, &groups, &problem))
        << problem.place.toStdString() << ": " << problem.reason.toStdString();
    EXPECT_EQ(TestJson(read, groups), json); // the uuid and every field among them
    ASSERT_EQ(groups.size(), 4);
    EXPECT_EQ(groups.constLast().group, 4000);
    EXPECT_EQ(groups.constLast().frame.bytes(), Group(4000).bytes());

    // A test never archived has no identity yet: the import gives it one.
    TestRecord none;
    ASSERT_TRUE(ReadTestJson(TestJson(TestRecord{}, {}), &none, &groups, nullptr));
    EXPECT_TRUE(none.uuid.isEmpty());
    EXPECT_EQ(none.announced, -1);
}

TEST(TestJson, TheOriginAndRevisionGoAlongOnlyWhenGivenAndAnOlderDocumentReadsAsRevisionOne) {
    const QString base = QString::fromUtf8(Sample());
    const struct {
        QString originPc, originUser;
        int revision;
        QDateTime edited;
        QStringList keys; // the identity keys the document holds
    } cases[] = {
        {{}, {}, 1, {}, {}},
        {QStringLiteral("4c4c4544"), QStringLiteral("张工"), 1, {}, {"origin-pc", "origin-user"}},
        {QStringLiteral("pc-7"),
         {},
         3,
         QDateTime(QDate(2027, 1, 5), QTime(8, 0, 0, 5)),
         {"origin-pc", "revision", "edited"}},
    };
    for (const auto& c : cases) {
        TestRecord test;
        QList<ArchivedGroup> groups;
        ASSERT_TRUE(ReadTestJson(base.toUtf8(), &test, &groups, nullptr));
        test.originPc = c.originPc;
        test.originUser = c.originUser;
        test.revision = c.revision;
        test.edited = c.edited;
        const QByteArray json = TestJson(test, groups);
        for (const char* key : {"origin-pc", "origin-user", "revision", "edited"})
            EXPECT_EQ(json.contains(QByteArray("\"") + key + "\":"),
                      c.keys.contains(QLatin1String(key)))
                << key;
        TestRecord read;
        read.revision = 99;
        ASSERT_TRUE(ReadTestJson(json, &read, &groups, nullptr)) << json.constData();
        EXPECT_EQ(read.originPc, c.originPc);
        EXPECT_EQ(read.originUser, c.originUser);
        EXPECT_EQ(read.revision, c.revision);
        EXPECT_EQ(read.edited, c.edited);
    }
    QString badRevision = base;
    badRevision.replace(QStringLiteral("\"version\": 1"),
                        QStringLiteral("\"version\": 1, \"revision\": 0"));
    TestJsonProblem problem;
    TestRecord test;
    QList<ArchivedGroup> groups;
    EXPECT_FALSE(ReadTestJson(badRevision.toUtf8(), &test, &groups, &problem));
    EXPECT_EQ(problem.place, QStringLiteral("revision"));
}

TEST(TestJson, MalformedForeignOrDamagedDocumentsAreRefusedWithTheirPlace) {
    const QString good = QString::fromUtf8(Sample());
    const QString frame1 = QString::fromLatin1(Group(1).toByteArray().toHex().toUpper());
    QByteArray badSum = Group(1).toByteArray();
    badSum[19] = static_cast<char>(badSum[19] + 1);
    const struct {
        QString from, to; // a replacement in the good document; an empty from: the whole
        QString place;
    } cases[] = {
        {{}, "{\"format\": \"velantis-test\", ", "line 1"},
        {{}, "[1, 2]", "the document"},
        {"velantis-test", "other", "format"},
        {"\"version\": 1", "\"version\": 2", "version"},
        {"0b8e6f3c-", "xb8e6f3c-", "uuid"},
        {frame1, QString::fromLatin1(badSum.toHex().toUpper()), "groups[1].frame"},
        {"\"group\": 4000", "\"group\": 4001", "groups[3].group"},
        {"\"group\": 2", "\"group\": 1", "groups[2].group"},
        {"\"group\": 2", "\"group\": 2.5", "groups[2].group"},
        {"\"class\": \"0.5\"", "\"class\": \"0.7\"", "info.class"},
        {"\"guard-band\": \"0.05\"", "\"guard-band\": \"0.50\"", "info.guard-band"},
        {"\"logo\": \"iVBO", "\"logo\": \"AAAA", "info.logo"},
        {"\"ending\": \"watchdog\"", "\"ending\": \"unknown\"", "download.ending"},
        {"\"station\": \"station", "\"station\": 5, \"x\": \"", "info.station"},
    };
    for (const auto& c : cases) {
        const QString text = c.from.isEmpty() ? c.to : QString(good).replace(c.from, c.to);
        ASSERT_NE(text, good) << c.to.toStdString();
        TestRecord test;
        test.number = 77;
        QList<ArchivedGroup> groups = {{5, Group(5)}};
        TestJsonProblem problem;
        EXPECT_FALSE(ReadTestJson(text.toUtf8(), &test, &groups, &problem)) << c.to.toStdString();
        EXPECT_TRUE(problem.place.startsWith(c.place))
            << c.to.toStdString() << " -> " << problem.place.toStdString();
        EXPECT_FALSE(problem.reason.isEmpty());
        // Nothing of a refused document is taken.
        EXPECT_TRUE(test.number == 77 && test.uuid.isEmpty() && groups.size() == 1);
    }
}

TEST(TestJson, GuardBandIsAPerCentWithTwoDecimalsBelowTheClassesSmallestLimit) {
    const struct {
        const char* text;
        AccuracyClass c;
        std::optional<int> hundredths;
        bool fits;
    } cases[] = {
        {"0", AccuracyClass::None, 0, true},       {"0.05", AccuracyClass::C0_5, 5, true},
        {"0.1", AccuracyClass::C0_5, 10, true},    {"0.49", AccuracyClass::C0_5, 49, true},
        {"0.5", AccuracyClass::C0_5, 50, false},   {"0.09", AccuracyClass::C0_1, 9, true},
        {"0.10", AccuracyClass::C0_1, 10, false},  {"0.19", AccuracyClass::C0_2S, 19, true},
        {"0.05", AccuracyClass::None, 5, false},   {"0.005", AccuracyClass::C0_5, {}, false},
        {"-0.05", AccuracyClass::C0_5, {}, false}, {"1e-2", AccuracyClass::C0_5, {}, false},
        {".5", AccuracyClass::C0_5, {}, false},    {"2.99", AccuracyClass::C5, 299, true},
    };
    for (const auto& c : cases) {
        const auto w = ParseGuardBand(QLatin1String(c.text));
        EXPECT_EQ(w, c.hundredths) << c.text;
        if (w) {
            EXPECT_EQ(GuardBandProblem(*w, c.c).isEmpty(), c.fits) << c.text;
            EXPECT_EQ(ParseGuardBand(GuardBandText(*w)), w) << c.text;
        }
    }
}

TEST(TestJson, OnlyATextStartingWithABraceIsTakenForJson) {
    EXPECT_TRUE(LooksLikeJson(" \r\n\t{\"format\""));
    for (const char* other : {"", "   ", "第0001组", "\xEF\xBB\xBF{", "[{}]", "x{"})
        EXPECT_FALSE(LooksLikeJson(QByteArray(other))) << other;
}

} // namespace
