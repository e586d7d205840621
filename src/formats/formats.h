// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

namespace velantis {

// Decimal text of units / 10^decimals: "." as the point, "0" before the point below 1, no
// trailing zeros, no point for whole values, no sign, exponent or grouping. Works on the integer
// and its divisor, so the text never depends on the process locale or on binary fractions.
QString NumberText(std::uint64_t units, int decimals);

// Display text of one current: raw value (high, low) and its range byte, e.g. "12.34A", "0.5mA",
// "    OL" for overload, "err" for a measurement error.
QString FormatCurrent(std::uint8_t valueHigh, std::uint8_t valueLow, std::uint8_t rangeByte);

// Display text of the ratio-error byte: "+1.5%", "-0.5%", "0.0%", or "--%" for no value.
QString FormatRatioError(std::uint8_t ratioError);

// A raw current in the common unit of 0.01 mA (10 uA).
std::int64_t ScaleRatioTerm(std::int64_t value, std::uint8_t code);

// The measured ratio, "100/5A"; "0/5A" for a zero term and "---/5A" for an out-of-range term.
QString FormatRatio(std::uint8_t hvHigh, std::uint8_t hvLow, std::uint8_t hvRangeByte,
                    std::uint8_t chHigh, std::uint8_t chLow, std::uint8_t chRangeByte,
                    std::uint8_t ratedByte);

// "---/" + rated secondary + "A": the ratio text of a frame with no usable reading.
QString NoRatioText(std::uint8_t ratedByte);

// The setting line, "设定:100/5A".
QString SettingText(std::uint16_t ratedPrimary, std::uint8_t ratedByte);

} // namespace velantis
