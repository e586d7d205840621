// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace velantis {

// The plain numbers behind the display texts, for exports and charts. Each gives a decimal text
// exactly as shown (no binary rounding), or nothing where the text shows no number.

// A current in amperes: "12.34A" gives "12.34", "0.5mA" gives "0.0005"; nothing for "OL",
// "err" or "- - - -".
std::optional<QString> CurrentAmps(const QString& text);
// A ratio error in percent: "+1.5%" gives "1.5", "-0.5%" gives "-0.5"; nothing for "--%".
std::optional<QString> RatioErrorPercent(const QString& text);
// The two figures of a ratio: "100/5A" gives "100" and "5", "---/5A" gives "---" and "5".
struct RatioFigures {
    QString primary;
    QString secondary;
};
RatioFigures SplitRatio(const QString& text);

// The number a decimal text stands for (for charts); NaN for nothing.
double ToDouble(const std::optional<QString>& decimal);

} // namespace velantis
