// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Groups of a test as the instrument might have stored them, each different from the next.

#include "archive/archive.h"
#include "protocol/frame.h"

namespace velantis::testing {

// Group n of a test: every value and channel varies with n.
inline MeasurementFrame SentGroup(int n) {
    return FrameBuilder()
        .hv(static_cast<std::uint16_t>(100 + n % 900), 0x31)
        .r(5000, 0x33)
        .s(static_cast<std::uint16_t>(4900 + n % 97), 0x33)
        .t(501, 0x32)
        .groupNo(static_cast<std::uint16_t>(n))
        .ratioError(static_cast<std::uint8_t>(0x80 + n % 9))
        .rated(100, 50)
        .channelKind(static_cast<std::uint8_t>(n % 3), 1)
        .build();
}

inline QList<ArchivedGroup> SentGroups(int count) {
    QList<ArchivedGroup> groups;
    for (int n = 1; n <= count; ++n)
        groups.append({n, SentGroup(n)});
    return groups;
}

} // namespace velantis::testing
