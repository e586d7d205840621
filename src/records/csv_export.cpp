// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/csv_export.h"

#include "formats/display_numbers.h"
#include "records/data_file.h"
#include "records/verdict.h"

#include <QStringList>

namespace velantis {

namespace {

QString Cell(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString NumberOrText(const std::optional<QString>& number, const QString& text) {
    return number ? *number : text.trimmed();
}

} // namespace

QByteArray CsvBytes(const RecordStore& store, AccuracyClass accuracy, int guardBand) {
    const bool judged = accuracy != AccuracyClass::None;
    const bool guarded = judged && guardBand != 0;
    QStringList lines;
    lines << QStringLiteral("组号,高压电流(A),R通道电流(A),S通道电流(A),T通道电流(A),F.Er(%),"
                            "变比一次(A),变比二次(A),通道") +
                 (judged ? QStringLiteral(",电流百分数(%),限值(%)") +
                               (guarded ? QStringLiteral(",接受限(%)") : QString()) +
                               QStringLiteral(",结论,说明")
                         : QString());
    for (int n = 1; n <= SlotIndex::Highest; ++n) {
        const SlotIndex slot = *SlotIndex::make(n);
        if (store.isEmpty(slot))
            continue;
        const GroupRecord& g = store.at(slot);
        const RatioFigures ratio = SplitRatio(g.recRatio);
        QStringList cells{
            QString::number(n),
            NumberOrText(CurrentAmps(g.recHvCurrent), g.recHvCurrent),
            NumberOrText(CurrentAmps(g.recRCurrent), g.recRCurrent),
            NumberOrText(CurrentAmps(g.recSCurrent), g.recSCurrent),
            NumberOrText(CurrentAmps(g.recTCurrent), g.recTCurrent),
            NumberOrText(RatioErrorPercent(g.recRatioError), g.recRatioError),
            ratio.primary,
            ratio.secondary,
            ChannelLetter(g.recChannel),
        };
        if (judged) {
            const GroupVerdict v = JudgeSlot(store, slot, accuracy, guardBand);
            cells << v.load.value_or(QString()) << v.limit.value_or(QString());
            if (guarded)
                cells << v.acceptance.value_or(QString());
            cells << OutcomeName(v.outcome)
                  << (v.outcome == GroupVerdict::Outcome::None ? v.reason : QString());
        }
        QStringList escaped;
        for (const QString& c : cells)
            escaped << Cell(c);
        lines << escaped.join(QLatin1Char(','));
    }
    return QByteArray("\xEF\xBB\xBF") +
           (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

bool SaveCsvFile(const QString& path, const RecordStore& store, AccuracyClass accuracy,
                 QString* error, FileError* failure) {
    return SaveCsvFile(path, store, accuracy, 0, error, failure);
}

bool SaveCsvFile(const QString& path, const RecordStore& store, AccuracyClass accuracy,
                 int guardBand, QString* error, FileError* failure) {
    return SaveFileBytes(path, CsvBytes(store, accuracy, guardBand), error, failure);
}

} // namespace velantis
