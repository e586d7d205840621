// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/verdict.h"

#include "formats/formats.h"
#include "records/test_report.h"

#include "formats/display_numbers.h"

#include <QStringList>

#include <algorithm>

namespace velantis {

namespace {

// Wide enough for every product below: currents of a few digits over a rated primary of up to
// 16383 A, times the limit row's integers.
__extension__ typedef __int128 Wide;

Wide Gcd(Wide a, Wide b) {
    if (a < 0)
        a = -a;
    while (b != 0) {
        const Wide t = a % b;
        a = b;
        b = t < 0 ? -t : t;
    }
    return a;
}

// An exact fraction num / den, den > 0.
struct Fraction {
    Wide num = 0;
    Wide den = 1;

    static Fraction Of(Wide n, Wide d) {
        if (d < 0) {
            n = -n;
            d = -d;
        }
        const Wide g = Gcd(n, d);
        return g > 1 ? Fraction{n / g, d / g} : Fraction{n, d};
    }
    Fraction operator+(const Fraction& o) const {
        return Of(num * o.den + o.num * den, den * o.den);
    }
    Fraction operator-(const Fraction& o) const {
        return Of(num * o.den - o.num * den, den * o.den);
    }
    Fraction operator*(const Fraction& o) const { return Of(num * o.num, den * o.den); }
    Fraction operator/(const Fraction& o) const { return Of(num * o.den, den * o.num); }
    bool operator<(const Fraction& o) const { return num * o.den < o.num * den; }
    bool operator<=(const Fraction& o) const { return num * o.den <= o.num * den; }
    Fraction abs() const { return {num < 0 ? -num : num, den}; }
};

Fraction Whole(Wide n) {
    return {n, 1};
}

// A decimal text ("-0.5", "0.0005", "12") as its exact fraction; nothing for anything else.
std::optional<Fraction> ParseDecimal(const std::optional<QString>& text) {
    if (!text || text->isEmpty())
        return std::nullopt;
    Wide num = 0;
    Wide den = 1;
    bool negative = false;
    bool point = false;
    bool digits = false;
    for (qsizetype i = 0; i < text->size(); ++i) {
        const QChar c = text->at(i);
        if (i == 0 && (c == u'-' || c == u'+')) {
            negative = c == u'-';
        } else if (c == u'.' && !point) {
            point = true;
        } else if (c >= u'0' && c <= u'9' && num < (Wide(1) << 100)) {
            num = num * 10 + (c.unicode() - u'0');
            digits = true;
            if (point)
                den *= 10;
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    return Fraction::Of(negative ? -num : num, den);
}

// How a fraction is brought to a number of decimal places.
enum class Rounding {
    TowardZero, // cut
    HalfUp,     // half away from zero
    Down,       // toward minus infinity
    Up,         // toward plus infinity
};

// A fraction as a decimal text with the given places.
QString DecimalText(const Fraction& f, int places, Rounding rounding) {
    Wide scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    const bool negative = f.num < 0;
    const Wide n = (negative ? -f.num : f.num) * scale;
    // The magnitude, cut or rounded up.
    const Wide cut = n / f.den;
    const bool exact = n % f.den == 0;
    Wide scaled = cut;
    switch (rounding) {
    case Rounding::TowardZero:
        break;
    case Rounding::HalfUp:
        scaled = (2 * n + f.den) / (2 * f.den);
        break;
    case Rounding::Down:
        scaled = negative && !exact ? cut + 1 : cut;
        break;
    case Rounding::Up:
        scaled = !negative && !exact ? cut + 1 : cut;
        break;
    }
    const bool zero = scaled == 0;
    QString digits;
    do {
        digits.prepend(QChar(static_cast<char16_t>(u'0' + static_cast<int>(scaled % 10))));
        scaled /= 10;
    } while (scaled > 0);
    while (digits.size() <= places)
        digits.prepend(u'0');
    if (places > 0)
        digits.insert(digits.size() - places, u'.');
    return negative && !zero ? u'-' + digits : digits;
}

GroupVerdict NoVerdict(GroupVerdict v, const QString& reason) {
    v.outcome = GroupVerdict::Outcome::None;
    v.reason = reason;
    return v;
}

const QString& ChannelCurrent(const GroupRecord& slot) {
    switch (slot.recChannel) {
    case 1:
        return slot.recSCurrent;
    case 2:
        return slot.recTCurrent;
    default:
        return slot.recRCurrent;
    }
}

} // namespace

const QList<AccuracyClass>& AllClasses() {
    static const QList<AccuracyClass> all{
        AccuracyClass::None,  AccuracyClass::C0_1, AccuracyClass::C0_2,
        AccuracyClass::C0_5,  AccuracyClass::C1,   AccuracyClass::C0_2S,
        AccuracyClass::C0_5S, AccuracyClass::C3,   AccuracyClass::C5};
    return all;
}

QString ClassName(AccuracyClass c) {
    switch (c) {
    case AccuracyClass::None:
        return QStringLiteral("不判定");
    case AccuracyClass::C0_1:
        return QStringLiteral("0.1");
    case AccuracyClass::C0_2:
        return QStringLiteral("0.2");
    case AccuracyClass::C0_5:
        return QStringLiteral("0.5");
    case AccuracyClass::C1:
        return QStringLiteral("1");
    case AccuracyClass::C0_2S:
        return QStringLiteral("0.2S");
    case AccuracyClass::C0_5S:
        return QStringLiteral("0.5S");
    case AccuracyClass::C3:
        return QStringLiteral("3");
    case AccuracyClass::C5:
        return QStringLiteral("5");
    }
    return {};
}

std::optional<AccuracyClass> ParseClass(const QString& name) {
    const QString wanted = name.trimmed().toUpper();
    for (AccuracyClass c : AllClasses())
        if (ClassName(c).toUpper() == wanted)
            return c;
    return std::nullopt;
}

QList<LimitPoint> LimitRow(AccuracyClass c) {
    switch (c) {
    case AccuracyClass::None:
        return {};
    case AccuracyClass::C0_1:
        return {{5, 40}, {20, 20}, {100, 10}, {120, 10}};
    case AccuracyClass::C0_2:
        return {{5, 75}, {20, 35}, {100, 20}, {120, 20}};
    case AccuracyClass::C0_5:
        return {{5, 150}, {20, 75}, {100, 50}, {120, 50}};
    case AccuracyClass::C1:
        return {{5, 300}, {20, 150}, {100, 100}, {120, 100}};
    case AccuracyClass::C0_2S:
        return {{1, 75}, {5, 35}, {20, 20}, {100, 20}, {120, 20}};
    case AccuracyClass::C0_5S:
        return {{1, 150}, {5, 75}, {20, 50}, {100, 50}, {120, 50}};
    case AccuracyClass::C3:
        return {{50, 300}, {120, 300}};
    case AccuracyClass::C5:
        return {{50, 500}, {120, 500}};
    }
    return {};
}

QString HundredthsText(int hundredths) {
    QString text = DecimalText(Fraction::Of(hundredths, 100), 2, Rounding::TowardZero);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString LimitRowText(AccuracyClass c) {
    QStringList parts;
    for (const LimitPoint& p : LimitRow(c))
        parts << QStringLiteral("%1 %: ±%2").arg(p.percent).arg(HundredthsText(p.limitHundredths));
    return parts.join(QStringLiteral("  "));
}

int SmallestLimit(AccuracyClass c) {
    const QList<LimitPoint> row = LimitRow(c);
    int smallest = row.isEmpty() ? 0 : row.constFirst().limitHundredths;
    for (const LimitPoint& p : row)
        smallest = std::min(smallest, p.limitHundredths);
    return smallest;
}

bool GuardBandFits(AccuracyClass c, int hundredths) {
    return hundredths == 0 || (hundredths > 0 && hundredths < SmallestLimit(c));
}

int LimitAtRated(AccuracyClass c) {
    for (const LimitPoint& p : LimitRow(c))
        if (p.percent == 100)
            return p.limitHundredths;
    return 0;
}

QString OutcomeName(GroupVerdict::Outcome o) {
    switch (o) {
    case GroupVerdict::Outcome::Pass:
        return QStringLiteral("合格");
    case GroupVerdict::Outcome::Fail:
        return QStringLiteral("超差");
    case GroupVerdict::Outcome::None:
        break;
    }
    return QStringLiteral("不判定");
}

GroupVerdict Judge(const GroupRecord& slot, int ratedPrimary, AccuracyClass c, int guardBand) {
    GroupVerdict v;
    v.voltageLow = slot.recHvLow != 0 || slot.recLvLow != 0;
    const auto hv = ParseDecimal(CurrentAmps(slot.recHvCurrent));
    std::optional<Fraction> load;
    if (hv && ratedPrimary > 0) {
        load = *hv * Whole(100) / Whole(ratedPrimary);
        v.load = DecimalText(*load, 1, Rounding::HalfUp);
    }
    if (c == AccuracyClass::None)
        return NoVerdict(v, QStringLiteral("未选准确级"));
    const QList<LimitPoint> row = LimitRow(c);
    const Fraction first = Whole(row.constFirst().percent);
    const Fraction last = Whole(row.constLast().percent);
    // A load outside the class's range is rounded away from it, so that 4.9995 % never reads as
    // the 5.0 % a verdict would be given at.
    if (load && *load < first)
        v.load = DecimalText(*load, 1, Rounding::Down);
    else if (load && last < *load)
        v.load = DecimalText(*load, 1, Rounding::Up);
    if (slot.recChannel < 0 || slot.recChannel > 2)
        return NoVerdict(v, QStringLiteral("无通道"));
    if (ratedPrimary <= 0)
        return NoVerdict(v, QStringLiteral("额定一次为 0"));
    if (!hv)
        return NoVerdict(v, QStringLiteral("高压电流无数值"));
    if (!CurrentAmps(ChannelCurrent(slot)))
        return NoVerdict(v, QStringLiteral("通道电流无数值"));
    const auto error = ParseDecimal(RatioErrorPercent(slot.recRatioError));
    if (!error)
        return NoVerdict(v, QStringLiteral("F.Er 无数值"));
    if (!GuardBandFits(c, guardBand))
        return NoVerdict(v, QStringLiteral("保护带超出范围"));

    if (*load < first)
        return NoVerdict(v, QStringLiteral("负荷低于 %1 %").arg(row.constFirst().percent));
    if (last < *load)
        return NoVerdict(v, QStringLiteral("负荷高于 %1 %").arg(row.constLast().percent));
    // The segment the load lies in, and the limit along it.
    qsizetype i = 0;
    while (i + 2 < row.size() && Whole(row[i + 1].percent) <= *load)
        ++i;
    const Fraction p0 = Whole(row[i].percent);
    const Fraction p1 = Whole(row[i + 1].percent);
    const Fraction l0 = Fraction::Of(row[i].limitHundredths, 100);
    const Fraction l1 = Fraction::Of(row[i + 1].limitHundredths, 100);
    const Fraction limit = l0 + (l1 - l0) * (*load - p0) / (p1 - p0);
    v.limit = DecimalText(limit, 2, Rounding::TowardZero);
    // The acceptance limit: the limit less the guard band, in the same exact arithmetic.
    const Fraction acceptance = limit - Fraction::Of(guardBand, 100);
    if (guardBand > 0)
        v.acceptance = DecimalText(acceptance, 2, Rounding::TowardZero);
    v.outcome =
        error->abs() <= acceptance ? GroupVerdict::Outcome::Pass : GroupVerdict::Outcome::Fail;
    return v;
}

GroupVerdict JudgeSlot(const RecordStore& store, SlotIndex n, AccuracyClass c, int guardBand) {
    const auto& frame = store.frame(n);
    if (!frame) {
        GroupVerdict v = Judge(store.at(n), 0, c, guardBand);
        if (c != AccuracyClass::None)
            v.reason = QStringLiteral("额定一次未知");
        return v;
    }
    return Judge(store.at(n), frame->ratedPrimary(), c, guardBand);
}

QString SettingOf(const MeasurementFrame& frame) {
    return SettingText(frame.ratedPrimary(), frame.ratedSecondary()).mid(3); // after "设定:"
}

TestReport MakeTestReport(const RecordStore& store, const TestInfo& info,
                          const DownloadInfo& download) {
    TestReport report;
    report.info = info;
    report.download = download;
    QString firstSetting;
    std::optional<Fraction> largest;
    for (int n = 1; n <= SlotIndex::Highest; ++n) {
        const SlotIndex slot = *SlotIndex::make(n);
        if (store.isEmpty(slot))
            continue;
        ReportRow row{n, store.at(slot), JudgeSlot(store, slot, info.accuracy, info.guardBand), {}};
        switch (row.verdict.outcome) {
        case GroupVerdict::Outcome::Pass:
            ++report.pass;
            break;
        case GroupVerdict::Outcome::Fail:
            ++report.fail;
            break;
        case GroupVerdict::Outcome::None:
            ++report.none;
            break;
        }
        if (const auto& frame = store.frame(slot)) {
            const QString setting = SettingOf(*frame);
            row.rated = setting;
            if (firstSetting.isNull())
                firstSetting = setting;
            else if (setting != firstSetting)
                report.mixedSettings = true;
        }
        if (const auto e = ParseDecimal(RatioErrorPercent(row.slot.recRatioError));
            e && (!largest || *largest < e->abs())) {
            largest = e->abs();
            report.largestErrorGroup = n;
            report.largestError = row.slot.recRatioError.trimmed();
        }
        report.rows << row;
    }
    report.ratedRatio = info.ratedRatio.trimmed().isEmpty() ? firstSetting : info.ratedRatio;
    return report;
}

} // namespace velantis
