// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"

namespace velantis {

QString KindName(std::uint8_t kindCode) {
    switch (kindCode) {
    case 1:
        return QStringLiteral("StoredGroup");
    case 2:
        return QStringLiteral("LiveReading");
    case 3:
        return QStringLiteral("GroupCount");
    case 4:
        return QStringLiteral("PortNumber");
    case 5:
        return QStringLiteral("EndOfGroups");
    default:
        return {};
    }
}

std::optional<MeasurementFrame> MeasurementFrame::fromBlock(const QByteArray& block) {
    if (block.size() < Size)
        return std::nullopt;
    Bytes b{};
    for (int i = 0; i < Size; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(block[i]);
    return MeasurementFrame(b);
}

QByteArray MeasurementFrame::toByteArray() const {
    return QByteArray(reinterpret_cast<const char*>(b_.data()), Size);
}

std::uint8_t MeasurementFrame::computedChecksum() const {
    unsigned sum = 0;
    for (int i = 0; i < Size - 1; ++i)
        sum += b_[static_cast<std::size_t>(i)];
    return static_cast<std::uint8_t>(sum % 256);
}

std::optional<ChannelBytes> MeasurementFrame::channelBytes(int c) const {
    if (c < 0 || c > 3)
        return std::nullopt;
    const auto at = static_cast<std::size_t>(3 * c + 3);
    return ChannelBytes{b_[at], b_[at + 1], b_[at + 2]};
}

bool IsValidFrame(const QByteArray& block) {
    if (block.size() != MeasurementFrame::Size)
        return false;
    const auto frame = MeasurementFrame::fromBlock(block);
    return frame->computedChecksum() == frame->checksum();
}

void FrameBuilder::put16(int at, std::uint16_t v) {
    b_[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v >> 8);
    b_[static_cast<std::size_t>(at) + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

FrameBuilder& FrameBuilder::hv(std::uint16_t raw, std::uint8_t range) {
    put16(0, raw);
    b_[2] = range;
    return *this;
}
FrameBuilder& FrameBuilder::r(std::uint16_t raw, std::uint8_t range) {
    put16(3, raw);
    b_[5] = range;
    return *this;
}
FrameBuilder& FrameBuilder::s(std::uint16_t raw, std::uint8_t range) {
    put16(6, raw);
    b_[8] = range;
    return *this;
}
FrameBuilder& FrameBuilder::t(std::uint16_t raw, std::uint8_t range) {
    put16(9, raw);
    b_[11] = range;
    return *this;
}
FrameBuilder& FrameBuilder::groupNo(std::uint16_t n) {
    put16(12, n);
    return *this;
}
FrameBuilder& FrameBuilder::ratioError(std::uint8_t e) {
    b_[14] = e;
    return *this;
}
FrameBuilder& FrameBuilder::rated(std::uint16_t primary, std::uint8_t secondaryTenths) {
    b_[15] = static_cast<std::uint8_t>((b_[15] & 0xC0) | ((primary >> 8) & 0x3F));
    b_[16] = static_cast<std::uint8_t>(primary & 0xFF);
    b_[17] = secondaryTenths;
    return *this;
}
FrameBuilder& FrameBuilder::flags(bool hvLow, bool lvLow) {
    b_[15] = static_cast<std::uint8_t>((b_[15] & 0x3F) | (hvLow ? 0x40 : 0) | (lvLow ? 0x80 : 0));
    return *this;
}
FrameBuilder& FrameBuilder::channelKind(std::uint8_t channel, std::uint8_t kind) {
    b_[18] = static_cast<std::uint8_t>(((channel & 0x0F) << 4) | (kind & 0x0F));
    return *this;
}
FrameBuilder& FrameBuilder::raw(int index, std::uint8_t value) {
    if (index >= 0 && index < MeasurementFrame::Size - 1)
        b_[static_cast<std::size_t>(index)] = value;
    return *this;
}

MeasurementFrame FrameBuilder::build() const {
    MeasurementFrame f(b_);
    auto bytes = b_;
    bytes[19] = f.computedChecksum();
    return MeasurementFrame(bytes);
}

MeasurementFrame GroupCountFrame(std::uint16_t count) {
    return FrameBuilder().hv(count, 0).channelKind(0, 3).build();
}
MeasurementFrame PortNumberFrame(std::uint8_t port) {
    return FrameBuilder().raw(1, port).channelKind(0, 4).build();
}
MeasurementFrame EndOfGroupsFrame() {
    return FrameBuilder().channelKind(0, 5).build();
}

} // namespace velantis
