// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/reading.h"

#include "formats/display_numbers.h"
#include "formats/formats.h"

namespace velantis {

QString Reading::ratedSecondaryText() const {
    return NumberText(ratedSecondaryTenths, 1);
}

Reading DeriveReading(const MeasurementFrame& f) {
    Reading r;
    r.hvText = FormatCurrent(f.byte(0), f.byte(1), f.byte(2));
    r.rText = FormatCurrent(f.byte(3), f.byte(4), f.byte(5));
    r.sText = FormatCurrent(f.byte(6), f.byte(7), f.byte(8));
    r.tText = FormatCurrent(f.byte(9), f.byte(10), f.byte(11));
    r.groupNo = f.groupNo();
    r.errText = FormatRatioError(f.ratioError());
    r.ratedPrimary = f.ratedPrimary();
    r.ratedSecondaryTenths = f.ratedSecondary();
    r.hvLowFlag = f.hvLowFlag();
    r.lvLowFlag = f.lvLowFlag();
    r.channel = f.channel();
    if (r.hvText == QLatin1String("err") || r.channel > 2)
        r.channel = NoChannel;
    if (r.channel == NoChannel) {
        // No channel to divide by; for an "err" current this is also what the ratio rule gives.
        r.ratioText = NoRatioText(f.ratedSecondary());
    } else {
        const ChannelBytes ch = *f.channelBytes(r.channel);
        r.ratioText = FormatRatio(f.byte(0), f.byte(1), f.byte(2), ch.high, ch.low, ch.range,
                                  f.ratedSecondary());
    }
    r.settingText = SettingText(f.ratedPrimary(), f.ratedSecondary());
    return r;
}

ReadingNumbers NumbersOf(const Reading& r) {
    return {ToDouble(CurrentAmps(r.hvText)),        ToDouble(CurrentAmps(r.rText)),
            ToDouble(CurrentAmps(r.sText)),         ToDouble(CurrentAmps(r.tText)),
            ToDouble(RatioErrorPercent(r.errText)), r.channel};
}

} // namespace velantis
