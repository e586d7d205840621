// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/test_json.h"

#include "records/list_import.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>

namespace velantis {

namespace {

QString TimeText(const QDateTime& t) {
    return t.toString(Qt::ISODateWithMs);
}

const QByteArray PngSignature("\x89PNG\r\n\x1a\n", 8);

// Reads one document, remembering the first problem met.
class Reader {
public:
    explicit Reader(TestJsonProblem* problem) : problem_(problem) {}

    bool fail(const QString& place, const QString& reason) {
        if (problem_)
            *problem_ = {place, reason};
        return false;
    }

    // A text member; a missing one is empty.
    bool text(const QJsonObject& o, const QString& path, const QString& key, QString* out) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined()) {
            *out = QString();
            return true;
        }
        if (!v.isString())
            return fail(path + key,
                        QCoreApplication::translate("velantis::TestJson", "a text is wanted here"));
        *out = v.toString();
        return true;
    }

    // A whole number member within [low, high]; null where nullAllowed (nothing then).
    bool number(const QJsonObject& o, const QString& path, const QString& key, qint64 low,
                qint64 high, std::optional<qint64>* out, bool nullAllowed = false) {
        const QJsonValue v = o.value(key);
        if (nullAllowed && v.isNull()) {
            out->reset();
            return true;
        }
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) ||
            d < static_cast<double>(low) || d > static_cast<double>(high))
            return fail(path + key,
                        QCoreApplication::translate("velantis::TestJson",
                                                    "a whole number from %1 to %2 is wanted here")
                            .arg(low)
                            .arg(high));
        *out = static_cast<qint64>(d);
        return true;
    }

    bool date(const QJsonObject& o, const QString& path, const QString& key, QDate* out) {
        QString t;
        if (!text(o, path, key, &t))
            return false;
        *out = QDate::fromString(t, Qt::ISODate);
        if (!t.isEmpty() && (!out->isValid() || out->toString(Qt::ISODate) != t))
            return fail(path + key,
                        QCoreApplication::translate("velantis::TestJson",
                                                    "a date as yyyy-MM-dd is wanted here, not '%1'")
                            .arg(t));
        return true;
    }

    bool time(const QJsonObject& o, const QString& path, const QString& key, QDateTime* out) {
        QString t;
        if (!text(o, path, key, &t))
            return false;
        *out = QDateTime::fromString(t, Qt::ISODateWithMs);
        if (!t.isEmpty() && !out->isValid())
            return fail(path + key, QCoreApplication::translate(
                                        "velantis::TestJson",
                                        "a date and time (ISO 8601) is wanted here, not '%1'")
                                        .arg(t));
        return true;
    }

private:
    TestJsonProblem* problem_;
};

} // namespace

QString GuardBandText(int hundredths) {
    return QStringLiteral("%1.%2")
        .arg(hundredths / 100)
        .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

std::optional<int> ParseGuardBand(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3})(?:\\.(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QString decimals = m.captured(2).leftJustified(2, QLatin1Char('0'));
    return m.captured(1).toInt() * 100 + decimals.toInt();
}

QString GuardBandProblem(int hundredths, AccuracyClass c) {
    if (GuardBandFits(c, hundredths))
        return {};
    const int smallest = SmallestLimit(c);
    if (smallest == 0)
        return QCoreApplication::translate("velantis::TestJson",
                                           "a guard band needs an accuracy class");
    return QCoreApplication::translate("velantis::TestJson",
                                       "the guard band of class %1 is above 0 and below %2 %")
        .arg(ClassName(c), GuardBandText(smallest));
}

QString TestJsonFileName(qint64 number) {
    return number == 0 ? QStringLiteral("test.json")
                       : QStringLiteral("test-%1.json").arg(number, 4, 10, QLatin1Char('0'));
}

bool LooksLikeJson(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{';
    }
    return false;
}

QByteArray TestJson(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    const TestInfo& i = test.info;
    QJsonObject info;
    for (const TestInfoTextField& f : TestInfoTextFields)
        info.insert(QLatin1String(f.key), i.*f.member);
    info.insert(QStringLiteral("class"),
                i.accuracy == AccuracyClass::None ? QString() : ClassName(i.accuracy));
    info.insert(QStringLiteral("date"), i.date.toString(Qt::ISODate));
    info.insert(QStringLiteral("set-calibration"), i.setCalibration.toString(Qt::ISODate));
    info.insert(QStringLiteral("logo"), QString::fromLatin1(i.logo.toBase64()));
    info.insert(QStringLiteral("guard-band"), GuardBandText(i.guardBand));

    QJsonObject download;
    download.insert(QStringLiteral("started"), TimeText(test.started));
    download.insert(QStringLiteral("ended"), TimeText(test.ended));
    download.insert(QStringLiteral("port"), test.port);
    download.insert(QStringLiteral("ending"), EndingName(test.ending));
    download.insert(QStringLiteral("announced"),
                    test.announced < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(test.announced));

    QList<ArchivedGroup> sorted = groups;
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const ArchivedGroup& a, const ArchivedGroup& b) { return a.group < b.group; });
    QJsonArray array;
    for (const ArchivedGroup& g : sorted) {
        QJsonObject o;
        o.insert(QStringLiteral("group"), g.group);
        o.insert(QStringLiteral("frame"),
                 QString::fromLatin1(g.frame.toByteArray().toHex().toUpper()));
        array.append(o);
    }

    QJsonObject root;
    root.insert(QStringLiteral("format"), QLatin1String(TestJsonFormat));
    root.insert(QStringLiteral("version"), TestJsonVersion);
    root.insert(QStringLiteral("uuid"), test.uuid);
    root.insert(QStringLiteral("info"), info);
    root.insert(QStringLiteral("download"), download);
    root.insert(QStringLiteral("groups"), array);
    // Where the test was made and its information's revision: only when there is something to
    // tell, so a test without them gives the document it always gave.
    if (!test.originPc.isEmpty())
        root.insert(QStringLiteral("origin-pc"), test.originPc);
    if (!test.originUser.isEmpty())
        root.insert(QStringLiteral("origin-user"), test.originUser);
    if (test.revision != 1)
        root.insert(QStringLiteral("revision"), test.revision);
    if (test.edited.isValid())
        root.insert(QStringLiteral("edited"), TimeText(test.edited));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ReadTestJson(const QByteArray& bytes, TestRecord* test, QList<ArchivedGroup>* groups,
                  TestJsonProblem* problem) {
    Reader r(problem);
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const QByteArray before = bytes.left(parse.offset);
        const qsizetype line = before.count('\n') + 1;
        const qsizetype column = parse.offset - (before.lastIndexOf('\n') + 1) + 1;
        return r.fail(QCoreApplication::translate("velantis::TestJson", "line %1, column %2")
                          .arg(line)
                          .arg(column),
                      QCoreApplication::translate("velantis::TestJson", "malformed JSON: %1")
                          .arg(parse.errorString()));
    }
    if (!doc.isObject())
        return r.fail(QCoreApplication::translate("velantis::TestJson", "the document"),
                      QCoreApplication::translate("velantis::TestJson", "a JSON object is wanted"));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(TestJsonFormat))
        return r.fail(QStringLiteral("format"),
                      QCoreApplication::translate(
                          "velantis::TestJson", "not a test of this program (format \"%1\" wanted)")
                          .arg(QLatin1String(TestJsonFormat)));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (version.toDouble(-1) != TestJsonVersion)
        return r.fail(
            QStringLiteral("version"),
            QCoreApplication::translate("velantis::TestJson",
                                        "unknown format version %1 (this program reads version %2)")
                .arg(QString::fromUtf8(QJsonDocument(QJsonArray{version})
                                           .toJson(QJsonDocument::Compact)
                                           .mid(1)
                                           .chopped(1)))
                .arg(TestJsonVersion));

    TestRecord t;
    if (!r.text(root, QString(), QStringLiteral("uuid"), &t.uuid))
        return false;
    if (!t.uuid.isEmpty() && QUuid::fromString(t.uuid).toString(QUuid::WithoutBraces) != t.uuid)
        return r.fail(
            QStringLiteral("uuid"),
            QCoreApplication::translate("velantis::TestJson", "not a UUID: '%1'").arg(t.uuid));

    std::optional<qint64> revision = 1;
    if (!r.text(root, QString(), QStringLiteral("origin-pc"), &t.originPc) ||
        !r.text(root, QString(), QStringLiteral("origin-user"), &t.originUser) ||
        !r.time(root, QString(), QStringLiteral("edited"), &t.edited) ||
        (root.contains(QStringLiteral("revision")) &&
         !r.number(root, QString(), QStringLiteral("revision"), 1, std::numeric_limits<int>::max(),
                   &revision)))
        return false;
    t.revision = static_cast<int>(*revision);

    const QJsonValue infoValue = root.value(QStringLiteral("info"));
    if (!infoValue.isObject())
        return r.fail(
            QStringLiteral("info"),
            QCoreApplication::translate("velantis::TestJson", "an object is wanted here"));
    const QJsonObject info = infoValue.toObject();
    const QString at = QStringLiteral("info.");
    TestInfo& i = t.info;
    for (const TestInfoTextField& f : TestInfoTextFields) {
        if (!r.text(info, at, QLatin1String(f.key), &(i.*f.member)))
            return false;
    }
    QString text;
    if (!r.text(info, at, QStringLiteral("class"), &text))
        return false;
    if (!text.isEmpty()) {
        const auto c = ParseClass(text);
        if (!c || *c == AccuracyClass::None)
            return r.fail(
                at + QStringLiteral("class"),
                QCoreApplication::translate("velantis::TestJson", "no such accuracy class: '%1'")
                    .arg(text));
        i.accuracy = *c;
    }
    if (!r.date(info, at, QStringLiteral("date"), &i.date) ||
        !r.date(info, at, QStringLiteral("set-calibration"), &i.setCalibration) ||
        !r.text(info, at, QStringLiteral("logo"), &text))
        return false;
    const auto logo =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!logo || (!text.isEmpty() && !(*logo).startsWith(PngSignature)))
        return r.fail(
            at + QStringLiteral("logo"),
            QCoreApplication::translate("velantis::TestJson", "not a PNG image in base64"));
    if ((*logo).size() > MaxLogoBytes)
        return r.fail(
            at + QStringLiteral("logo"),
            QCoreApplication::translate("velantis::TestJson", "the logo is larger than %1 kB")
                .arg(MaxLogoBytes / 1024));
    i.logo = *logo;
    if (!r.text(info, at, QStringLiteral("guard-band"), &text))
        return false;
    const auto guard = text.isEmpty() ? std::optional<int>(0) : ParseGuardBand(text);
    if (!guard)
        return r.fail(
            at + QStringLiteral("guard-band"),
            QCoreApplication::translate("velantis::TestJson",
                                        "a per cent with at most two decimals is wanted, not '%1'")
                .arg(text));
    if (const QString why = GuardBandProblem(*guard, i.accuracy); !why.isEmpty())
        return r.fail(at + QStringLiteral("guard-band"), why);
    i.guardBand = *guard;

    const QJsonValue downloadValue = root.value(QStringLiteral("download"));
    if (!downloadValue.isObject())
        return r.fail(
            QStringLiteral("download"),
            QCoreApplication::translate("velantis::TestJson", "an object is wanted here"));
    const QJsonObject download = downloadValue.toObject();
    const QString dl = QStringLiteral("download.");
    std::optional<qint64> announced;
    if (!r.time(download, dl, QStringLiteral("started"), &t.started) ||
        !r.time(download, dl, QStringLiteral("ended"), &t.ended) ||
        !r.text(download, dl, QStringLiteral("port"), &t.port) ||
        !r.text(download, dl, QStringLiteral("ending"), &text) ||
        !r.number(download, dl, QStringLiteral("announced"), 0, 65535, &announced, true))
        return false;
    const auto ending = EndingNamed(text);
    if (!ending)
        return r.fail(
            dl + QStringLiteral("ending"),
            QCoreApplication::translate("velantis::TestJson", "no such end of a download: '%1'")
                .arg(text));
    t.ending = *ending;
    t.announced = announced ? static_cast<int>(*announced) : -1;

    const QJsonValue groupsValue = root.value(QStringLiteral("groups"));
    if (!groupsValue.isArray())
        return r.fail(QStringLiteral("groups"),
                      QCoreApplication::translate("velantis::TestJson", "an array is wanted here"));
    QList<ArchivedGroup> read;
    QSet<int> seen;
    const QJsonArray array = groupsValue.toArray();
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{40}$"));
    for (qsizetype n = 0; n < array.size(); ++n) {
        const QString place = QStringLiteral("groups[%1]").arg(n);
        if (!array.at(n).isObject())
            return r.fail(place, QCoreApplication::translate("velantis::TestJson",
                                                             "an object is wanted here"));
        const QJsonObject g = array.at(n).toObject();
        std::optional<qint64> number;
        if (!r.number(g, place + QLatin1Char('.'), QStringLiteral("group"), 0, SlotIndex::Highest,
                      &number))
            return false;
        if (seen.contains(static_cast<int>(*number)))
            return r.fail(
                place + QStringLiteral(".group"),
                QCoreApplication::translate("velantis::TestJson", "group %1 is given twice")
                    .arg(*number));
        seen.insert(static_cast<int>(*number));
        if (!r.text(g, place + QLatin1Char('.'), QStringLiteral("frame"), &text))
            return false;
        if (!hex.match(text).hasMatch())
            return r.fail(
                place + QStringLiteral(".frame"),
                QCoreApplication::translate("velantis::TestJson",
                                            "a frame of 40 hex digits (20 bytes) is wanted"));
        const QByteArray block = QByteArray::fromHex(text.toLatin1());
        if (!IsValidFrame(block))
            return r.fail(
                place + QStringLiteral(".frame"),
                QCoreApplication::translate("velantis::TestJson", "the frame's checksum is wrong"));
        read.append({static_cast<int>(*number), *MeasurementFrame::fromBlock(block)});
    }
    std::stable_sort(read.begin(), read.end(), [](const ArchivedGroup& a, const ArchivedGroup& b) {
        return a.group < b.group;
    });
    t.number = test->number;
    t.pass = test->pass;
    t.fail = test->fail;
    t.none = test->none;
    t.version = test->version;
    t.stored = static_cast<int>(read.size());
    *test = t;
    *groups = read;
    return true;
}

TestImport ImportTestFile(Archive& archive, const QString& path) {
    TestImport result;
    using O = TestImport::Outcome;
    QByteArray bytes;
    if (!ReadImportFile(path, &bytes, &result.file)) {
        result.outcome = O::Unreadable;
        return result;
    }
    if (!LooksLikeJson(bytes)) {
        result.outcome = O::NotJson;
        return result;
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!ReadTestJson(bytes, &test, &groups, &result.problem)) {
        result.outcome = O::Refused;
        return result;
    }
    RecordStore store;
    FillStore(groups, &store);
    const auto number = archive.add(test, store, &result.archive);
    if (number) {
        result.number = *number;
        return result;
    }
    if (result.archive.reason == ArchiveError::Reason::AlreadyKept) {
        result.outcome = O::AlreadyKept;
        result.number = result.archive.system.toLongLong();
    } else {
        result.outcome = O::NotArchived;
    }
    return result;
}

} // namespace velantis
