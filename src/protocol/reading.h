// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frame.h"

#include <QString>

namespace velantis {

// Channel code of a frame with no usable channel: the high-voltage current reads "err", or the
// instrument sent a code above 2 that names no channel.
inline constexpr int NoChannel = 3;

// The display texts and values that one valid frame gives; the same rule serves the live
// display, the record store and the command-line decoder.
struct Reading {
    QString hvText;
    QString rText;
    QString sText;
    QString tText;
    int groupNo = 0;
    QString errText;
    int ratedPrimary = 0;
    std::uint8_t ratedSecondaryTenths = 0;
    int hvLowFlag = 0;
    int lvLowFlag = 0;
    int channel = 0; // 0 R, 1 S, 2 T, NoChannel otherwise
    QString ratioText;
    QString settingText; // "设定:100/5A"
    QString ratedSecondaryText() const;
};

Reading DeriveReading(const MeasurementFrame& frame);

// The numbers a live reading shows, for charts: currents in amperes and the ratio error of the
// reading's own channel in percent; NaN where the reading shows no number ("OL", "err",
// "- - - -", "--%").
struct ReadingNumbers {
    double hv = 0;
    double r = 0;
    double s = 0;
    double t = 0;
    double error = 0;
    int channel = 0;
};
ReadingNumbers NumbersOf(const Reading& reading);

} // namespace velantis
