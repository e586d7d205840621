// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/decode.h"

#include "protocol/frame.h"
#include "protocol/reading.h"
#include "records/record_store.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace velantis {

namespace {

std::optional<QByteArray> ParseHex(const QStringList& args) {
    QString hex = args.join(QString());
    hex.remove(QRegularExpression(QStringLiteral("\\s")));
    if (hex.size() != 2 * MeasurementFrame::Size)
        return std::nullopt;
    for (QChar c : hex) {
        const char16_t u = c.unicode();
        const bool isHex =
            (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!isHex)
            return std::nullopt;
    }
    return QByteArray::fromHex(hex.toLatin1());
}

} // namespace

int RunDecode(const QStringList& args) {
    const auto block = ParseHex(args);
    if (!block) {
        const QByteArray text =
            QCoreApplication::translate("Decode",
                                        "velantis-cli decode: expected 20 bytes as 40 hex digits "
                                        "(spaces allowed), e.g. %1")
                .arg(QStringLiteral("03E8311388330000330000330000 8F0064320277"))
                .toUtf8();
        std::fprintf(stderr, "%s\n", text.constData());
        return 2;
    }
    // ParseHex gives exactly 20 bytes, which always make a frame.
    const MeasurementFrame frame = *MeasurementFrame::fromBlock(*block);
    const bool valid = IsValidFrame(*block);
    const Reading r = DeriveReading(frame);

    QJsonObject o;
    o.insert(QStringLiteral("valid"), valid);
    o.insert(QStringLiteral("kind"), frame.kind());
    const QString kindName = KindName(frame.kind());
    o.insert(QStringLiteral("kindName"), kindName.isEmpty() ? QJsonValue() : QJsonValue(kindName));
    o.insert(QStringLiteral("channel"), r.channel);
    o.insert(QStringLiteral("groupNo"), r.groupNo);
    o.insert(QStringLiteral("hvText"), r.hvText);
    o.insert(QStringLiteral("rText"), r.rText);
    o.insert(QStringLiteral("sText"), r.sText);
    o.insert(QStringLiteral("tText"), r.tText);
    o.insert(QStringLiteral("errText"), r.errText);
    o.insert(QStringLiteral("ratioText"), r.ratioText);
    o.insert(QStringLiteral("ratedPrimary"), r.ratedPrimary);
    o.insert(QStringLiteral("ratedSecondary"), r.ratedSecondaryText());
    o.insert(QStringLiteral("hvLowFlag"), r.hvLowFlag);
    o.insert(QStringLiteral("lvLowFlag"), r.lvLowFlag);
    o.insert(QStringLiteral("setting"), r.settingText);
    if (frame.kind() == static_cast<int>(FrameKind::GroupCount))
        o.insert(QStringLiteral("groupCount"), frame.groupCount());
    if (frame.kind() == static_cast<int>(FrameKind::PortNumber))
        o.insert(QStringLiteral("portNumber"), frame.portNumber());
    const auto slot = SlotIndex::make(r.groupNo);
    o.insert(QStringLiteral("row"),
             slot ? QJsonValue(FormatGroupRow(RecordOf(r), *slot)) : QJsonValue());

    const QByteArray json = QJsonDocument(o).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
    std::fputc('\n', stdout);
    return valid ? 0 : 1;
}

} // namespace velantis
