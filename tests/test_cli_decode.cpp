// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

struct CliResult {
    int exitCode = -1; // -1: did not finish normally
    QByteArray out, err;
};

CliResult RunDecode(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VELANTIS_CLI), QStringList{QStringLiteral("decode")} + args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QString StoredGroupHex(std::uint16_t n) {
    auto f = FrameBuilder().hv(1000, 0x31).r(5000, 0x33).rated(100, 50).groupNo(n);
    return QString::fromLatin1(f.channelKind(0, 1).build().toByteArray().toHex());
}

} // namespace

TEST(CliDecode, FramesAsJson) {
    struct Case {
        const char* name;
        QStringList args;
        int exitCode;
        const char* fields; // a JSON object: these keys with these values
        QStringList absent = {};
    };
    const std::vector<Case> cases = {
        {"live, two arguments",
         {"03E8311388330000330000330000", "8F0064320277"},
         0,
         R"({"valid": true, "kind": 2, "kindName": "LiveReading", "channel": 0, "groupNo": 0,
             "hvText": "100.0A", "rText": "5.000A", "sText": "0.000A", "errText": "+1.5%",
             "ratioText": "100/5A", "ratedPrimary": 100, "ratedSecondary": "5",
             "setting": "设定:100/5A",
             "row": "第0000组    100.0A    5.000A      0.000A     0.000A   +1.5%     100/5A     R"})",
         {"groupCount", "portNumber"}},
        {"stored, lower case with spaces",
         {"05 dc 31 13 88 33 13 7b 33 13 92 33 00 07 03 00 96 32 11 5c"},
         0,
         R"({"valid": true, "kind": 1, "kindName": "StoredGroup", "groupNo": 7, "channel": 1,
             "sText": "4.987A", "tText": "5.01A", "errText": "-0.3%", "ratioText": "150/5A",
             "row": "第0007组    150.0A    5.000A      4.987A      5.01A   -0.3%     150/5A     S"})"},
        {"checksum mismatch",
         {"03E8311388330000330000330000", "8F0064320278"},
         1,
         R"({"valid": false, "hvText": "100.0A"})"},
        {"group 4000",
         {StoredGroupHex(4000)},
         0,
         R"({"groupNo": 4000,
             "row": "第4000组    100.0A    5.000A          0A         0A    0.0%     100/5A     R"})"},
        {"group 4001 has no row", {StoredGroupHex(4001)}, 0, R"({"groupNo": 4001, "row": null})"},
        {"kind 0", {QString(40, QLatin1Char('0'))}, 0, R"({"kind": 0, "kindName": null})"},
        {"group count",
         {QString::fromLatin1(GroupCountFrame(1234).toByteArray().toHex())},
         0,
         R"({"kindName": "GroupCount", "groupCount": 1234})",
         {"portNumber"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject expected = QJsonDocument::fromJson(c.fields).object();
        ASSERT_FALSE(expected.isEmpty()) << "bad expectation";
        const CliResult run = RunDecode(c.args);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err.constData();
        QJsonParseError error;
        const QJsonObject got = QJsonDocument::fromJson(run.out, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.constData();
        for (auto it = expected.begin(); it != expected.end(); ++it)
            EXPECT_EQ(got.value(it.key()), it.value())
                << it.key().toStdString() << " in " << run.out.constData();
        for (const QString& key : c.absent)
            EXPECT_FALSE(got.contains(key)) << key.toStdString();
    }
}

TEST(CliDecode, MalformedInputIsRefused) {
    const QString good = QStringLiteral("03E8311388330000330000330000 8F0064320277");
    const std::vector<std::pair<const char*, QStringList>> cases = {
        {"39 digits", {good.chopped(1)}},
        {"41 digits", {good + QLatin1Char('7')}},
        {"non-hex letter", {QString(good).replace(0, 1, QLatin1Char('g'))}},
        {"fullwidth digit", {QString(good).replace(0, 1, QChar(0xFF10))}},
        {"two non-ASCII digits", {QString(good).replace(0, 2, QString(2, QChar(0x0663)))}},
        {"empty argument", {QString()}},
    };
    for (const auto& [name, args] : cases) {
        SCOPED_TRACE(name);
        const CliResult run = RunDecode(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
        EXPECT_TRUE(run.err.endsWith('\n'));
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.constData();
    }
}
