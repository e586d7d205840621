// SPDX-License-Identifier: GPL-3.0-or-later
// 测试信息: every field by its key and back, the logo taken from a picture file, the warning for a
// calibration that ran out before the test, the guard band held to the class, and what is
// remembered between runs.
#include "records/test_json.h"
#include "windows/test_info_dialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace velantis;

namespace {

TestInfo EveryField() {
    TestInfo info;
    for (const TestInfoTextField& f : TestInfoTextFields)
        info.*f.member = QStringLiteral("%1 值").arg(QLatin1String(f.key));
    info.accuracy = AccuracyClass::C0_5;
    info.date = QDate(2026, 12, 9);
    info.setCalibration = QDate(2027, 3, 1);
    info.logo = QByteArray("\x89PNG\r\n\x1a\n", 8);
    info.guardBand = 5;
    return info;
}

TEST(TestInfoDialog, EveryFieldIsShownByItsKeyAndGivenBack) {
    const TestInfo given = EveryField();
    TestInfoDialog dialog(given, QString());
    for (const TestInfoTextField& f : TestInfoTextFields) {
        const QString key = QLatin1String(f.key);
        if (key == QLatin1String("rated-ratio") || key == QLatin1String("remarks"))
            continue; // named before the keys were
        const auto* edit = dialog.findChild<QLineEdit*>(key);
        ASSERT_NE(edit, nullptr) << f.key;
        EXPECT_EQ(edit->text(), given.*f.member) << f.key;
    }
    const TestInfo back = dialog.info();
    for (const TestInfoTextField& f : TestInfoTextFields)
        EXPECT_EQ(back.*f.member, given.*f.member) << f.key;
    EXPECT_EQ(back.setCalibration, given.setCalibration);
    EXPECT_EQ(back.logo, given.logo);
    EXPECT_EQ(back.guardBand, 5);
    EXPECT_FALSE(TestInfoDialog(TestInfo{}, QString()).info().setCalibration.isValid());
}

TEST(TestInfoDialog, ACalibrationEndingBeforeTheTestDateIsWarnedUnderTheField) {
    const struct {
        QDate until, tested;
        bool warned;
    } cases[] = {
        {QDate(2026, 12, 8), QDate(2026, 12, 9), true},
        {QDate(2026, 12, 9), QDate(2026, 12, 9), false},
        {QDate(), QDate(2026, 12, 9), false},
    };
    for (const auto& c : cases) {
        TestInfo info;
        info.date = c.tested;
        info.setCalibration = c.until;
        TestInfoDialog dialog(info, QString());
        EXPECT_EQ(!dialog.calibrationWarning().isEmpty(), c.warned)
            << qPrintable(c.until.toString());
    }
}

TEST(TestInfoDialog, TheGuardBandIsTakenOnlyAboveZeroAndBelowTheClassesSmallestLimit) {
    const struct {
        AccuracyClass c;
        const char* w;
        int taken; // -1: the dialog stays open
    } cases[] = {{AccuracyClass::C0_5, "0.05", 5},
                 {AccuracyClass::C0_2S, "0.2", -1},
                 {AccuracyClass::C0_5, "abc", -1},
                 {AccuracyClass::None, "0.05", -1}};
    for (const auto& c : cases) {
        TestInfo info;
        info.accuracy = c.c;
        TestInfoDialog dialog(info, QString());
        dialog.findChild<QComboBox*>(QStringLiteral("decision-rule"))->setCurrentIndex(1);
        dialog.findChild<QLineEdit*>(QStringLiteral("guard-band"))->setText(QLatin1String(c.w));
        dialog.accept();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.taken >= 0) << c.w;
        EXPECT_EQ(dialog.guardBandProblem().isEmpty(), c.taken >= 0) << c.w;
        EXPECT_EQ(dialog.info().guardBand, std::max(c.taken, 0)) << c.w;
    }
}

TEST(TestInfoDialog, ALogoIsTakenAsPngBytesOfAtMostTheLimitAndAnythingElseIsRefused) {
    QTemporaryDir dir;
    QImage small(40, 20, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const QString png = dir.filePath(QStringLiteral("small.png"));
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(small.save(png) && small.save(jpeg));
    // Noise does not compress: a PNG far above the limit.
    QImage noise(1200, 900, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, static_cast<QRgb>((x * 2654435761u) ^ (y * 40503u)));
    const QString large = dir.filePath(QStringLiteral("large.png"));
    ASSERT_TRUE(noise.save(large));
    const QString text = dir.filePath(QStringLiteral("logo.png"));
    QFile(text).open(QIODevice::WriteOnly);

    TestInfoDialog dialog(TestInfo{}, QString());
    ASSERT_TRUE(dialog.setLogoFile(png));
    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(dialog.info().logo, f.readAll());
    for (const QString& path : {jpeg, large}) {
        ASSERT_TRUE(dialog.setLogoFile(path)) << qPrintable(path);
        const QByteArray logo = dialog.info().logo;
        EXPECT_LE(logo.size(), MaxLogoBytes);
        EXPECT_FALSE(QImage::fromData(logo, "PNG").isNull()) << qPrintable(path);
    }
    const QByteArray kept = dialog.info().logo;
    for (const QString& path : {text, dir.path(), dir.filePath(QStringLiteral("none.png"))}) {
        EXPECT_FALSE(dialog.setLogoFile(path)) << qPrintable(path);
        EXPECT_EQ(dialog.info().logo, kept);
    }
}

TEST(TestInfoDialog, TheOrganisationTheTestSetAndTheStandardAreRememberedTheNameplateIsNot) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    EXPECT_EQ(LoadTestInfo(settings).standard, QLatin1String(DefaultStandard));
    const TestInfo given = EveryField();
    SaveTestInfo(settings, given);
    const TestInfo loaded = LoadTestInfo(settings);
    for (QString TestInfo::*kept :
         {&TestInfo::organisation, &TestInfo::standard, &TestInfo::setSerial,
          &TestInfo::reportPrefix, &TestInfo::station})
        EXPECT_EQ(loaded.*kept, given.*kept);
    EXPECT_EQ(loaded.logo, given.logo);
    EXPECT_EQ(loaded.setCalibration, given.setCalibration);
    for (QString TestInfo::*perTest :
         {&TestInfo::maker, &TestInfo::type, &TestInfo::phase, &TestInfo::core,
          &TestInfo::ratedBurden, &TestInfo::testBurden, &TestInfo::temperature,
          &TestInfo::humidity})
        EXPECT_TRUE((loaded.*perTest).isEmpty());
    EXPECT_EQ(loaded.guardBand, 0);
}

} // namespace
