// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace velantis {

// What byte 18's low nibble says a frame carries.
enum class FrameKind : std::uint8_t {
    StoredGroup = 1,
    LiveReading = 2,
    GroupCount = 3,
    PortNumber = 4,
    EndOfGroups = 5,
};

// Name of a defined kind ("LiveReading", ...), or an empty string for the codes 0 and 6..15,
// whose frames only prove that the link works.
QString KindName(std::uint8_t kindCode);

// The three bytes of one channel's reading: value high, value low, range byte.
struct ChannelBytes {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    std::uint8_t range = 0;
};

// The instrument's one frame: exactly 20 bytes, big-endian fields, additive checksum in byte 19.
// The value type holds the bytes; every accessor reads inside them, so no field can reach
// beyond the frame.
class MeasurementFrame {
public:
    static constexpr int Size = 20;
    using Bytes = std::array<std::uint8_t, Size>;

    MeasurementFrame() = default;
    explicit MeasurementFrame(const Bytes& bytes) : b_(bytes) {}

    // A frame over the first 20 bytes of a block; nothing when the block is shorter.
    static std::optional<MeasurementFrame> fromBlock(const QByteArray& block);

    const Bytes& bytes() const { return b_; }
    std::uint8_t byte(int i) const { return b_[static_cast<std::size_t>(i)]; }
    QByteArray toByteArray() const;

    // Sum of bytes 0..18 modulo 256.
    std::uint8_t computedChecksum() const;

    std::uint16_t hvValue() const { return u16(0); }
    std::uint8_t hvRange() const { return b_[2]; }
    std::uint16_t rValue() const { return u16(3); }
    std::uint8_t rRange() const { return b_[5]; }
    std::uint16_t sValue() const { return u16(6); }
    std::uint8_t sRange() const { return b_[8]; }
    std::uint16_t tValue() const { return u16(9); }
    std::uint8_t tRange() const { return b_[11]; }
    std::uint16_t groupNo() const { return u16(12); }
    std::uint8_t ratioError() const { return b_[14]; }
    std::uint16_t ratedPrimary() const {
        return static_cast<std::uint16_t>((b_[15] & 0x3F) * 256 + b_[16]);
    }
    int hvLowFlag() const { return (b_[15] & 0x40) ? 1 : 0; }
    int lvLowFlag() const { return (b_[15] & 0x80) ? 1 : 0; }
    std::uint8_t ratedSecondary() const { return b_[17]; }
    std::uint8_t channel() const { return static_cast<std::uint8_t>(b_[18] >> 4); }
    std::uint8_t kind() const { return static_cast<std::uint8_t>(b_[18] & 0x0F); }
    std::uint8_t checksum() const { return b_[19]; }
    // Group count of a kind-3 frame (bytes 0-1) and port number of a kind-4 frame (byte 1).
    std::uint16_t groupCount() const { return u16(0); }
    std::uint8_t portNumber() const { return b_[1]; }

    // The three bytes of channel c (0 R, 1 S, 2 T) at 3c+3..3c+5. Code 3 reaches bytes 12..14,
    // as the instrument's channel layout continues there; codes above 3 have no bytes inside
    // the frame and are refused.
    std::optional<ChannelBytes> channelBytes(int c) const;

private:
    std::uint16_t u16(int at) const {
        return static_cast<std::uint16_t>(b_[static_cast<std::size_t>(at)] * 256 +
                                          b_[static_cast<std::size_t>(at) + 1]);
    }
    Bytes b_{};
};

// True when the block holds exactly 20 bytes and byte 19 is the sum of bytes 0..18 mod 256.
bool IsValidFrame(const QByteArray& block);

// Builds frames the way the instrument does (used by the simulator and by tests).
class FrameBuilder {
public:
    FrameBuilder& hv(std::uint16_t raw, std::uint8_t range);
    FrameBuilder& r(std::uint16_t raw, std::uint8_t range);
    FrameBuilder& s(std::uint16_t raw, std::uint8_t range);
    FrameBuilder& t(std::uint16_t raw, std::uint8_t range);
    FrameBuilder& groupNo(std::uint16_t n);
    FrameBuilder& ratioError(std::uint8_t e);
    FrameBuilder& rated(std::uint16_t primary, std::uint8_t secondaryTenths);
    FrameBuilder& flags(bool hvLow, bool lvLow);
    FrameBuilder& channelKind(std::uint8_t channel, std::uint8_t kind);
    FrameBuilder& raw(int index, std::uint8_t value);
    // The finished frame with its checksum.
    MeasurementFrame build() const;

private:
    void put16(int at, std::uint16_t v);
    MeasurementFrame::Bytes b_{};
};

// Frames of the kinds without readings.
MeasurementFrame GroupCountFrame(std::uint16_t count);
MeasurementFrame PortNumberFrame(std::uint8_t port);
MeasurementFrame EndOfGroupsFrame();

} // namespace velantis
