// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/server_archive.h"

#include <QAbstractTableModel>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace velantis {

// The department server's calls, on a thread of their own with a ServerArchive that is made,
// used and destroyed on that thread (a Qt SQL connection belongs to the thread that made it).
// Calls run one after the other in the order given; each answer comes back on the asking
// thread to a receiver, and is dropped when the receiver is gone by then. Letting go of a
// session never waits for the server: its thread ends when the call under way returns.
class ServerSession final {
public:
    ServerSession(const QString& connInfo, const QString& password = {});
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    // Runs work(archive) on the session's thread, then done(its result) on receiver's thread.
    template <typename Result>
    void call(std::function<Result(ServerArchive&)> work, QObject* receiver,
              std::function<void(const Result&)> done) {
        post(
            [work = std::move(work)](ServerArchive& archive) {
                return std::shared_ptr<void>(std::make_shared<Result>(work(archive)));
            },
            receiver,
            [done = std::move(done)](const std::shared_ptr<void>& result) {
                done(*static_cast<const Result*>(result.get()));
            });
    }

private:
    using Work = std::function<std::shared_ptr<void>(ServerArchive&)>;
    using Done = std::function<void(const std::shared_ptr<void>&)>;
    void post(Work work, QObject* receiver, Done done);

    QThread* thread_ = nullptr;
    QObject* worker_ = nullptr; // lives on thread_, holds the archive
};

// What a server call gives back: whether it worked and, when not, why.
struct ServerOutcome {
    bool ok = false;
    ServerError error;
};

// The server view of 历史记录: the tests on the department's server, newest first, fetched a
// page (ServerArchive::PageSize tests) at a time as the view scrolls to its end, each page after
// the last test shown (keyset paging), filtered on the server. A page asked for under a filter
// that has changed since is dropped when it comes.
class ServerTestModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Time,
        Station,
        Device,
        Serial,
        Groups,
        Class,
        Pass,
        Fail,
        Origin, // the PC and the user the test was made by
        Owner,  // the role that sent it
        ColumnCount
    };
    explicit ServerTestModel(QObject* parent = nullptr);

    // The session the pages come from (none: no server); the view starts again.
    void setSession(ServerSession* session);
    // Shows the tests matching the filter, from the newest.
    void setFilter(const QString& filter);
    // Starts again from the newest with the filter as it is.
    void refresh();
    const QString& filter() const { return filter_; }
    // Whether a page is on its way.
    bool busy() const { return pending_; }
    // Pages asked for since the session was set (each page once).
    int pagesAsked() const { return pagesAsked_; }
    const TestRecord& test(int row) const { return tests_[row]; }
    int rowOf(const QString& uuid) const;
    // Puts a test's new information into its row (after an edit sent from here).
    void replace(const TestRecord& test);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A page came and was shown (rows: the tests shown now).
    void pageShown(int rows);
    // A page could not be read.
    void failed(const velantis::ServerError& error);

private:
    void ask();

    ServerSession* session_ = nullptr;
    QString filter_;
    QList<TestRecord> tests_;
    bool atEnd_ = true;
    bool pending_ = false;
    int generation_ = 0;
    int pagesAsked_ = 0;
};

} // namespace velantis
