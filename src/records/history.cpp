// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/history.h"

#include "records/text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace velantis {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Writes the bytes as a new file, reads them back whole, and deletes the file. Empty when any
// step fails; the file is never left behind. The file is created new (never opened through a
// link planted in its place), and what is read back counts only if it is exactly what was
// written: another program refreshing in the same folder at the same moment may have replaced
// the file in between.
std::optional<QByteArray> RoundTrip(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return std::nullopt;
        const bool written = out.write(bytes) == bytes.size();
        const bool flushed = out.flush();
        out.close();
        if (!written || !flushed || out.error() != QFileDevice::NoError) {
            QFile::remove(path);
            return std::nullopt;
        }
    }
    QFile in(path);
    std::optional<QByteArray> back;
    if (in.open(QIODevice::ReadOnly)) {
        back = in.readAll();
        if (in.error() != QFileDevice::NoError || *back != bytes)
            back.reset();
        in.close();
    }
    QFile::remove(path);
    return back;
}

} // namespace

bool InstalledBySetup(const QString& programFolder) {
    return QFileInfo(QDir(programFolder).filePath(InstalledMarker)).isFile();
}

QString HistoryFolder(const QString& programFolder) {
    if (!InstalledBySetup(programFolder))
        return programFolder;
    // The same folder for both programs (and the record database's): velantis/ in the user's
    // data folder, %LOCALAPPDATA%\velantis on Windows.
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
            .filePath(QStringLiteral("velantis"));
    // A folder that cannot be made keeps the list in memory, as an unwritable program folder does.
    QDir().mkpath(folder);
    return folder;
}

QString HistoryHeading() {
    return QString(44, QLatin1Char(' ')) + QStringLiteral("Velantis") + CrLf +
           QStringLiteral(
               "  组数    高压电流  R通道电流  S通道电流  T通道电流    F.Er       变比     "
               "通道                ") +
           CrLf;
}

HistoryList::HistoryList(QString programFolder) : folder_(std::move(programFolder)) {}

QString HistoryList::historyPath() const {
    return QDir::toNativeSeparators(QDir(folder_).filePath(QStringLiteral("lishi.txt")));
}

void HistoryList::RefreshHistory(const RecordStore& store, int& first, int& last) {
    bool full = false;
    if (first == 0) {
        first = DefaultFirst;
        full = true;
    }
    if (last == 0) {
        last = DefaultLast;
        full = true;
    }

    QString text = HistoryHeading();
    const int lo = std::max(first, 0);
    const int hi = std::min(last, SlotIndex::Highest);
    if (hi >= lo)
        text.reserve(text.size() + (hi - lo + 1) * 78);
    for (int i = lo; i <= hi; ++i) {
        const SlotIndex n = *SlotIndex::make(i);
        if (store.isEmpty(n))
            continue;
        text += FormatGroupRow(store, n);
        text += CrLf;
    }

    // The list holds what the file holds: the text as GBK gives it back, whether it came through
    // the file or (when the file failed) straight from memory.
    const QByteArray bytes = EncodeGbk(text);
    lastUsedFile_ = RoundTrip(historyPath(), bytes).has_value();
    text = DecodeGbk(bytes);

    if (full) {
        listText_ = text;
        printText_ = listText_;
    } else {
        printText_ = text;
    }
}

} // namespace velantis
