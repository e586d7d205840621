// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_store.h"

namespace velantis {

RecordStore::RecordStore() : slots_(SlotCount), frames_(SlotCount) {
    clear();
}

GroupRecord RecordOf(const Reading& r) {
    GroupRecord slot;
    slot.recHvCurrent = r.hvText;
    slot.recRCurrent = r.rText;
    slot.recSCurrent = r.sText;
    slot.recTCurrent = r.tText;
    slot.recRatioError = r.errText;
    slot.recRatio = r.ratioText;
    slot.recHvLow = static_cast<std::int16_t>(r.hvLowFlag);
    slot.recLvLow = static_cast<std::int16_t>(r.lvLowFlag);
    slot.recChannel = static_cast<std::int16_t>(r.channel);
    return slot;
}

void RecordStore::store(SlotIndex n, const Reading& reading) {
    slots_[static_cast<std::size_t>(n.value())] = RecordOf(reading);
    frames_[static_cast<std::size_t>(n.value())].reset();
}

void RecordStore::store(SlotIndex n, const MeasurementFrame& frame) {
    store(n, frame, DeriveReading(frame));
}

void RecordStore::store(SlotIndex n, const MeasurementFrame& frame, const Reading& reading) {
    store(n, reading);
    frames_[static_cast<std::size_t>(n.value())] = frame;
}

void RecordStore::clear() {
    for (GroupRecord& slot : slots_) {
        slot.recHvCurrent = EmptyMark;
        slot.recRCurrent = EmptyMark;
        slot.recSCurrent = EmptyMark;
        slot.recTCurrent = EmptyMark;
        slot.recRatioError = QStringLiteral("0");
        slot.recHvLow = 0;
        slot.recLvLow = 0;
        slot.recChannel = 0;
    }
    for (auto& frame : frames_)
        frame.reset();
}

QString ZeroFill(std::uint8_t count) {
    return QString(count, QLatin1Char('0'));
}

QString SpaceFill(std::uint8_t count) {
    return QString(count == 0 ? 1 : count, QLatin1Char(' '));
}

QString ChannelLetter(std::int16_t code) {
    switch (code) {
    case 0:
        return QStringLiteral("R");
    case 1:
        return QStringLiteral("S");
    case 2:
        return QStringLiteral("T");
    default:
        return QStringLiteral("- -");
    }
}

namespace {

// Right-aligns text in width columns; a text of exactly the width still gets one space in front.
QString Column(const QString& text, int width) {
    const auto room = width - text.size();
    if (room < 0)
        return text;
    return SpaceFill(static_cast<std::uint8_t>(room)) + text;
}

} // namespace

QString FormatGroupRow(const RecordStore& store, SlotIndex n) {
    return FormatGroupRow(store.at(n), n);
}

QString FormatGroupRow(const GroupRecord& slot, SlotIndex n) {
    const QString digits = QString::number(n.value());
    QString row;
    row.reserve(80);
    row += QStringLiteral("第") + ZeroFill(static_cast<std::uint8_t>(4 - digits.size())) + digits +
           QStringLiteral("组");
    row += Column(slot.recHvCurrent, 10);
    row += Column(slot.recRCurrent, 10);
    row += QLatin1String("  ");
    row += Column(slot.recSCurrent, 10);
    row += QLatin1Char(' ');
    row += Column(slot.recTCurrent, 10);
    row += QLatin1String("  ");
    row += Column(slot.recRatioError, 6);
    row += QLatin1Char(' ');
    row += Column(slot.recRatio, 10);
    row += QLatin1String("     ");
    row += ChannelLetter(slot.recChannel);
    return row;
}

} // namespace velantis
