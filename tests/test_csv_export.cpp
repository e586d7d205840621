// SPDX-License-Identifier: GPL-3.0-or-later
// Plain numbers from display texts, and the CSV export read back with a CSV parser.
#include "formats/display_numbers.h"
#include "records/csv_export.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

TEST(DisplayNumbers, CurrentsInAmperesAndErrorsInPercent) {
    const struct {
        const char* text;
        std::optional<const char*> amps;
    } currents[] = {
        {"12.34A", "12.34"}, {"0.5mA", "0.0005"}, {"120mA", "0.12"}, {"1234.5mA", "1.2345"},
        {"0mA", "0"},        {"5A", "5"},         {"    OL", {}},    {"err", {}},
        {"- - - -", {}},     {"30000", {}},       {"-1A", "-1"},     {"A", {}},
    };
    for (const auto& c : currents) {
        const auto got = CurrentAmps(QString::fromUtf8(c.text));
        ASSERT_EQ(got.has_value(), c.amps.has_value()) << c.text;
        if (got) {
            EXPECT_EQ(*got, QString::fromUtf8(*c.amps)) << c.text;
        }
    }
    const struct {
        const char* text;
        std::optional<const char*> percent;
    } errors[] = {{"+1.5%", "1.5"}, {"-0.5%", "-0.5"}, {"0.0%", "0.0"}, {"--%", {}}, {"0", {}}};
    for (const auto& e : errors) {
        const auto got = RatioErrorPercent(QString::fromUtf8(e.text));
        ASSERT_EQ(got.has_value(), e.percent.has_value()) << e.text;
        if (got) {
            EXPECT_EQ(*got, QString::fromUtf8(*e.percent)) << e.text;
        }
    }
    EXPECT_EQ(SplitRatio(QStringLiteral("100/5A")).primary, QStringLiteral("100"));
    EXPECT_EQ(SplitRatio(QStringLiteral("---/0.5A")).secondary, QStringLiteral("0.5"));
    EXPECT_EQ(SplitRatio(QStringLiteral("---/5A")).primary, QStringLiteral("---"));
}

// RFC 4180: quoted cells, doubled quotes, commas and line ends inside quotes.
QList<QStringList> ParseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                cell += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << cell;
            cell.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                   text[i + 1] == QLatin1Char('\n')) {
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    return rows;
}

Reading Stored(const char* hv, const char* r, const char* s, const char* t, const char* err,
               const char* ratio, int channel) {
    Reading reading;
    reading.hvText = QString::fromUtf8(hv);
    reading.rText = QString::fromUtf8(r);
    reading.sText = QString::fromUtf8(s);
    reading.tText = QString::fromUtf8(t);
    reading.errText = QString::fromUtf8(err);
    reading.ratioText = QString::fromUtf8(ratio);
    reading.channel = channel;
    return reading;
}

TEST(CsvExport, RoundTripThroughACsvParserMatchesTheStore) {
    RecordStore store;
    store.store(*SlotIndex::make(1),
                Stored("100.0A", "5.000A", "0.5mA", "0.0A", "-0.5%", "100/5A", 0));
    store.store(*SlotIndex::make(7),
                Stored("    OL", "err", "- - - -", "12mA", "--%", "---/5A", 1));
    store.store(*SlotIndex::make(4000), Stored("err", "1A", "2A", "3A", "+1.5%", "1,5/5A", 3));

    const QByteArray bytes = CsvBytes(store);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> rows = ParseCsv(QString::fromUtf8(bytes.mid(3)));
    const QList<QStringList> expected = {
        QString::fromUtf8("组号,高压电流(A),R通道电流(A),S通道电流(A),T通道电流(A),F.Er(%),"
                          "变比一次(A),变比二次(A),通道")
            .split(QLatin1Char(',')),
        {"1", "100.0", "5.000", "0.0005", "0.0", "-0.5", "100", "5", "R"},
        {"7", "OL", "err", "- - - -", "0.012", "--%", "---", "5", "S"},
        {"4000", "err", "1", "2", "3", "1.5", "1,5", "5", "- -"},
    };
    EXPECT_EQ(rows, expected);
}

// With a class, four columns more: the current in % of rated whenever it can be computed, the
// limit with a verdict, the verdict and why there is none; a group stored without its frame has
// no rated primary to judge by. A guard band puts the acceptance limit after the limit and
// decides by it. Without a class the file is what it was before these columns.
TEST(CsvExport, VerdictColumnsWithAClass) {
    RecordStore store;
    auto frame = [](std::uint16_t hvTenths, std::uint8_t error, std::uint16_t rated) {
        return FrameBuilder()
            .hv(hvTenths, 0x31)
            .r(5000, 0x33)
            .groupNo(1)
            .ratioError(error)
            .rated(rated, 50)
            .channelKind(0, 1)
            .build();
    };
    store.store(*SlotIndex::make(1), frame(1000, 0x85, 100)); // 100.0 A of 100 A, +0.5 %
    store.store(*SlotIndex::make(2), frame(1000, 0x86, 100)); // +0.6 %
    store.store(*SlotIndex::make(3), frame(40, 0x85, 100));   // 4.0 A: below 5 %
    store.store(*SlotIndex::make(4),
                Stored("100.0A", "5.000A", "0.0A", "0.0A", "-0.5%", "100/5A", 0));
    store.store(*SlotIndex::make(5), frame(1201, 0x85, 100)); // 120.1 A: above 120 %

    const QList<QStringList> rows =
        ParseCsv(QString::fromUtf8(CsvBytes(store, AccuracyClass::C0_5).mid(3)));
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0].mid(9), (QStringList{"电流百分数(%)", "限值(%)", "结论", "说明"}));
    const QStringList verdicts[] = {{"100.0", "0.50", "合格", ""},
                                    {"100.0", "0.50", "超差", ""},
                                    {"4.0", "", "不判定", "负荷低于 5 %"},
                                    {"", "", "不判定", "额定一次未知"},
                                    {"120.1", "", "不判定", "负荷高于 120 %"}};
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(rows[i + 1].size(), 13) << i;
        EXPECT_EQ(rows[i + 1].mid(9), verdicts[i]) << i;
    }
    const QList<QStringList> guarded =
        ParseCsv(QString::fromUtf8(CsvBytes(store, AccuracyClass::C0_5, 5).mid(3)));
    ASSERT_EQ(guarded.size(), 6);
    EXPECT_EQ(guarded[0].mid(9),
              (QStringList{"电流百分数(%)", "限值(%)", "接受限(%)", "结论", "说明"}));
    EXPECT_EQ(guarded[1].mid(9), (QStringList{"100.0", "0.50", "0.45", "超差", ""}));
    EXPECT_EQ(guarded[3].mid(9), (QStringList{"4.0", "", "", "不判定", "负荷低于 5 %"}));
    const QByteArray withoutClass = CsvBytes(store, AccuracyClass::None, 5);
    EXPECT_EQ(withoutClass.mid(withoutClass.indexOf("\r\n4,")).toStdString(),
              std::string("\r\n4,100.0,5.000,0.0,0.0,-0.5,100,5,R\r\n"
                          "5,120.1,5.000,0,0,0.5,120,5,R\r\n"));
}

} // namespace
