// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/list_test_import.h"

#include <QFileInfo>

namespace velantis {

TestRecord ListTestRecord(const QList<ListGroup>& groups, const QString& file, const QDateTime& at,
                          const QString& user) {
    TestRecord test;
    test.started = at;
    test.ended = at;
    test.ending = DownloadEnd::EndFrame;
    test.announced = -1;
    test.stored = static_cast<int>(groups.size());
    test.info.date = at.date();
    test.originPc = ImportedOrigin(file);
    test.originUser = user;
    return test;
}

DownloadInfo DownloadInfoOf(const TestRecord& test) {
    DownloadInfo d;
    d.at = test.ended;
    d.port = test.port;
    d.ending = test.ending;
    d.announced = test.announced;
    d.stored = test.stored;
    d.archived = test.number;
    d.importedFrom = ImportedListFile(test.originPc);
    return d;
}

QDateTime ListFileTime(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.lastModified() : QDateTime();
}

std::optional<qint64> KeepListTest(Archive& archive, const QList<ListGroup>& groups,
                                   const QString& file, const QDateTime& at, ArchiveError* error) {
    RecordStore store;
    for (const ListGroup& g : groups)
        store.store(*SlotIndex::make(g.group), g.frame);
    return archive.add(ListTestRecord(groups, file, at, ThisUser()), store, error);
}

ListTestImport ImportListFile(Archive& archive, const QString& path, const QList<RatedRange>& rated,
                              const QDateTime& at) {
    ListTestImport result;
    using O = ListTestImport::Outcome;
    QByteArray bytes;
    if (!ReadImportFile(path, &bytes, &result.file)) {
        result.outcome = O::Unreadable;
        return result;
    }
    const auto groups = ReadSavedList(bytes, rated, &result.problem);
    if (!groups) {
        result.outcome = O::Refused;
        return result;
    }
    const auto number = KeepListTest(archive, *groups, path, at.isValid() ? at : ListFileTime(path),
                                     &result.archive);
    if (!number) {
        result.outcome = O::NotArchived;
        return result;
    }
    result.number = *number;
    result.groups = static_cast<int>(groups->size());
    return result;
}

} // namespace velantis
