// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/server_history.h"

#include "report/shown_texts.h"

#include <QThread>

#include <atomic>

namespace velantis {

namespace {

// The session's object on its thread: the archive, made there at the first call.
class SessionWorker final : public QObject {
    Q_OBJECT
public:
    SessionWorker(QString connInfo, QString password)
        : connInfo_(std::move(connInfo)), password_(std::move(password)) {}

    ServerArchive& archive() {
        if (!archive_)
            archive_ = std::make_unique<ServerArchive>(connInfo_, password_);
        return *archive_;
    }
    void close() { archive_.reset(); }

    std::atomic<bool> stopping{false};

signals:
    void answered(quint64 id, const std::shared_ptr<void>& result);

private:
    QString connInfo_;
    QString password_;
    std::unique_ptr<ServerArchive> archive_;
};

quint64 NextCall() {
    static std::atomic<quint64> next{0};
    return ++next;
}

} // namespace

ServerSession::ServerSession(const QString& connInfo, const QString& password)
    : thread_(new QThread), worker_(new SessionWorker(connInfo, password)) {
    thread_->setObjectName(QStringLiteral("server"));
    worker_->moveToThread(thread_);
    QThread* thread = thread_;
    QObject* worker = worker_;
    // The thread and its object go once the call under way (if any) has returned.
    QObject::connect(thread_, &QThread::finished, thread_, [thread, worker] {
        delete worker;
        thread->deleteLater();
    });
    thread_->start();
}

ServerSession::~ServerSession() {
    auto* worker = static_cast<SessionWorker*>(worker_);
    worker->stopping = true; // calls still queued are not made
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->close();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
}

void ServerSession::post(Work work, QObject* receiver, Done done) {
    auto* worker = static_cast<SessionWorker*>(worker_);
    const quint64 id = NextCall();
    // The answer goes to the receiver's thread; Qt drops the connection with the receiver.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        worker, &SessionWorker::answered, receiver,
        [id, done = std::move(done), connection](quint64 got, const std::shared_ptr<void>& result) {
            if (got != id)
                return;
            QObject::disconnect(*connection);
            done(result);
        },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        worker,
        [worker, id, work = std::move(work)] {
            if (worker->stopping)
                return;
            emit worker->answered(id, work(worker->archive()));
        },
        Qt::QueuedConnection);
}

ServerTestModel::ServerTestModel(QObject* parent) : QAbstractTableModel(parent) {}

void ServerTestModel::setSession(ServerSession* session) {
    session_ = session;
    pagesAsked_ = 0;
    refresh();
}

void ServerTestModel::setFilter(const QString& filter) {
    filter_ = filter;
    refresh();
}

void ServerTestModel::refresh() {
    beginResetModel();
    tests_.clear();
    ++generation_; // a page on its way is of the view before
    pending_ = false;
    atEnd_ = session_ == nullptr;
    endResetModel();
    if (session_)
        ask();
}

void ServerTestModel::ask() {
    if (pending_ || atEnd_ || !session_)
        return;
    pending_ = true;
    ++pagesAsked_;
    std::optional<ServerPageKey> after;
    if (!tests_.isEmpty())
        after = ServerPageKey{tests_.last().started, tests_.last().uuid};
    struct Page {
        ServerOutcome outcome;
        QList<TestRecord> tests;
    };
    const int generation = generation_;
    session_->call<Page>(
        [filter = filter_, after](ServerArchive& archive) {
            Page page;
            page.outcome.ok = archive.connect(&page.outcome.error) &&
                              archive.page(filter, after, ServerArchive::PageSize, &page.tests,
                                           &page.outcome.error);
            return page;
        },
        this,
        [this, generation](const Page& page) {
            if (generation != generation_)
                return; // the filter or the server changed meanwhile
            pending_ = false;
            if (!page.outcome.ok) {
                atEnd_ = true; // asked again by refresh(), not by every scroll
                emit failed(page.outcome.error);
                return;
            }
            atEnd_ = page.tests.size() < ServerArchive::PageSize;
            if (!page.tests.isEmpty()) {
                const int first = static_cast<int>(tests_.size());
                beginInsertRows({}, first, first + static_cast<int>(page.tests.size()) - 1);
                tests_ += page.tests;
                endInsertRows();
            }
            emit pageShown(static_cast<int>(tests_.size()));
        });
}

int ServerTestModel::rowOf(const QString& uuid) const {
    for (qsizetype i = 0; i < tests_.size(); ++i) {
        if (tests_[i].uuid == uuid)
            return static_cast<int>(i);
    }
    return -1;
}

void ServerTestModel::replace(const TestRecord& test) {
    const int row = rowOf(test.uuid);
    if (row < 0)
        return;
    tests_[row] = test;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int ServerTestModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(tests_.size());
}

int ServerTestModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ServerTestModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)
        return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column == Groups || column == Pass || column == Fail
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    const TestRecord& t = tests_[index.row()];
    switch (column) {
    case Time:
        return t.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Station:
        return t.info.station;
    case Device:
        return t.info.device;
    case Serial:
        return t.info.serial;
    case Groups:
        return t.stored;
    case Class:
        return ShownText(ClassName(t.info.accuracy));
    case Pass:
        return t.pass;
    case Fail:
        return t.fail;
    case Origin:
        return t.originUser.isEmpty() ? t.originPc
                                      : QStringLiteral("%1 (%2)").arg(t.originPc, t.originUser);
    case Owner:
        return t.owner;
    default:
        return {};
    }
}

QVariant ServerTestModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[ColumnCount] = {
        QT_TR_NOOP("日期时间"), QT_TR_NOOP("站名"), QT_TR_NOOP("设备"),
        QT_TR_NOOP("编号"),     QT_TR_NOOP("组数"), QT_TR_NOOP("准确级"),
        QT_TR_NOOP("合格"),     QT_TR_NOOP("超差"), QT_TR_NOOP("来源 (电脑、用户)"),
        QT_TR_NOOP("发送者")};
    return tr(names[section]);
}

bool ServerTestModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_ && !pending_;
}

void ServerTestModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid())
        ask();
}

} // namespace velantis

#include "server_history.moc"
