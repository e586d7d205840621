// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/formats.h"

namespace velantis {

namespace {

int DecimalsOf(std::uint8_t rangeByte) {
    const int d = rangeByte & 0x0F;
    return (d >= 1 && d <= 3) ? d : 0;
}

std::uint64_t PowerOfTen(int n) {
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

} // namespace

QString NumberText(std::uint64_t units, int decimals) {
    const std::uint64_t divisor = PowerOfTen(decimals);
    QString text = QString::number(units / divisor);
    std::uint64_t fraction = units % divisor;
    if (fraction == 0)
        return text;
    QString digits = QString::number(fraction).rightJustified(decimals, QLatin1Char('0'));
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    return text + QLatin1Char('.') + digits;
}

QString FormatCurrent(std::uint8_t valueHigh, std::uint8_t valueLow, std::uint8_t rangeByte) {
    const unsigned raw = valueHigh * 256u + valueLow;
    if (raw == 10000)
        return QStringLiteral("    OL");
    if (raw == 20000)
        return QStringLiteral("err");
    const int d = DecimalsOf(rangeByte);
    QString text = NumberText(raw, d);
    if (d > 0 && raw % PowerOfTen(d) == 0)
        text += QLatin1Char('.') + QString(d, QLatin1Char('0'));
    text += (rangeByte & 0xF0) == 0x40 ? QStringLiteral("mA") : QStringLiteral("A");
    return text;
}

QString FormatRatioError(std::uint8_t ratioError) {
    if (ratioError == 0x6E)
        return QStringLiteral("--%");
    const unsigned m = ratioError & 0x7Fu;
    if (m == 0)
        return QStringLiteral("0.0%");
    const QLatin1Char sign((ratioError & 0x80) ? '+' : '-');
    return sign + NumberText(m, 1) + QLatin1Char('%');
}

std::int64_t ScaleRatioTerm(std::int64_t value, std::uint8_t code) {
    switch (code) {
    case 0x41:
        return value * 10;
    case 0x40:
    case 0x33:
        return value * 100;
    case 0x32:
        return value * 1000;
    case 0x31:
        return value * 10000;
    case 0x30:
        return value * 100000;
    default:
        return value;
    }
}

QString NoRatioText(std::uint8_t ratedByte) {
    return QStringLiteral("---/") + NumberText(ratedByte, 1) + QLatin1Char('A');
}

QString FormatRatio(std::uint8_t hvHigh, std::uint8_t hvLow, std::uint8_t hvRangeByte,
                    std::uint8_t chHigh, std::uint8_t chLow, std::uint8_t chRangeByte,
                    std::uint8_t ratedByte) {
    const std::int64_t p = hvHigh * 256 + hvLow;
    const std::int64_t s = chHigh * 256 + chLow;
    const QString rated = NumberText(ratedByte, 1) + QLatin1Char('A');
    if (p >= 10000 || s >= 10000)
        return NoRatioText(ratedByte);
    if (p == 0 || s == 0)
        return QStringLiteral("0/") + rated;
    // 64-bit throughout: P' reaches 9999 x 100000 and m a further factor of 255.
    const std::int64_t pScaled = ScaleRatioTerm(p, hvRangeByte);
    const std::int64_t sScaled = ScaleRatioTerm(s, chRangeByte);
    const std::int64_t m = pScaled * ratedByte;
    const std::int64_t q = m / sScaled;
    // q / 10 to the nearest integer, an exact half to the even neighbour.
    std::int64_t u = q / 10;
    const std::int64_t rest = q % 10;
    if (rest > 5 || (rest == 5 && (u % 2) != 0))
        ++u;
    return QString::number(u) + QLatin1Char('/') + rated;
}

QString SettingText(std::uint16_t ratedPrimary, std::uint8_t ratedByte) {
    return QStringLiteral("设定:") + QString::number(ratedPrimary) + QLatin1Char('/') +
           NumberText(ratedByte, 1) + QLatin1Char('A');
}

} // namespace velantis
