// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/display_numbers.h"

#include <QLocale>

#include <limits>

namespace velantis {

namespace {

// Digits with at most one point between or around them, and an optional sign.
bool IsDecimal(const QString& s) {
    qsizetype i = (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) ? 1 : 0;
    bool digit = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

// Moves the decimal point three places to the left: milliamperes to amperes.
QString Thousandths(const QString& number) {
    QString digits = number;
    qsizetype point = digits.indexOf(QLatin1Char('.'));
    if (point < 0)
        point = digits.size();
    else
        digits.remove(point, 1);
    while (point < 4) { // at least one digit before the new point
        digits.prepend(QLatin1Char('0'));
        ++point;
    }
    const qsizetype newPoint = point - 3;
    QString out = digits.left(newPoint) + QLatin1Char('.') + digits.mid(newPoint);
    while (out.endsWith(QLatin1Char('0')))
        out.chop(1);
    if (out.endsWith(QLatin1Char('.')))
        out.chop(1);
    while (out.size() > 1 && out.startsWith(QLatin1Char('0')) && out[1] != QLatin1Char('.'))
        out.remove(0, 1);
    return out;
}

} // namespace

std::optional<QString> CurrentAmps(const QString& text) {
    const QString t = text.trimmed();
    if (t.endsWith(QLatin1String("mA"))) {
        const QString number = t.chopped(2);
        if (IsDecimal(number) && !number.startsWith(QLatin1Char('-')) &&
            !number.startsWith(QLatin1Char('+')))
            return Thousandths(number);
        return std::nullopt;
    }
    if (t.endsWith(QLatin1Char('A'))) {
        const QString number = t.chopped(1);
        if (IsDecimal(number))
            return number;
    }
    return std::nullopt;
}

std::optional<QString> RatioErrorPercent(const QString& text) {
    const QString t = text.trimmed();
    if (!t.endsWith(QLatin1Char('%')))
        return std::nullopt;
    QString number = t.chopped(1);
    if (!IsDecimal(number))
        return std::nullopt;
    if (number.startsWith(QLatin1Char('+')))
        number.remove(0, 1);
    return number;
}

RatioFigures SplitRatio(const QString& text) {
    const QString t = text.trimmed();
    const qsizetype slash = t.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {t, QString()};
    QString secondary = t.mid(slash + 1);
    if (secondary.endsWith(QLatin1Char('A')))
        secondary.chop(1);
    return {t.left(slash), secondary};
}

double ToDouble(const std::optional<QString>& decimal) {
    if (!decimal)
        return std::numeric_limits<double>::quiet_NaN();
    bool ok = false;
    const double v = QLocale::c().toDouble(*decimal, &ok);
    return ok ? v : std::numeric_limits<double>::quiet_NaN();
}

} // namespace velantis
