// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tests as another PC sent them to the department's server, and a suite sharing one private
// server (pg_cluster.h).

#include "archive/server_archive.h"
#include "support/pg_cluster.h"
#include "support/sent_groups.h"

#include <QUuid>

namespace velantis::testing {

// A test of `groups` groups (every field of the JSON given) made at pc-7 by zhang.
inline TestRecord SentTest(const QString& station,
                           const QDateTime& started = QDateTime::currentDateTime(),
                           int groups = 60) {
    TestRecord r;
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.download = r.uuid;
    r.started = started;
    r.ended = started.addMSecs(30123);
    r.port = QStringLiteral("COM3 (/dev/ttyUSB0)");
    r.announced = r.stored = r.lastGroup = groups;
    r.firstGroup = 1;
    r.info.station = station;
    r.info.serial = QStringLiteral("CT-2041");
    r.info.accuracy = AccuracyClass::C0_5;
    r.info.date = QDate(2026, 12, 9);
    r.originPc = QStringLiteral("pc-7");
    r.originUser = QStringLiteral("zhang");
    std::tie(r.pass, r.fail, r.none) = std::tuple(50, 4, 6);
    return r;
}

inline std::unique_ptr<ServerArchive> As(const PgCluster& cluster, const QString& role) {
    return std::make_unique<ServerArchive>(cluster.connInfo(role), PgCluster::Password(role));
}

// The tests of a program share one private server.
class ClusterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cluster = PgCluster::StartOrSkip(); }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override { VELANTIS_NEED_CLUSTER(cluster); }
    static std::unique_ptr<ServerArchive> As(const QString& role) {
        return testing::As(*cluster, role);
    }
    static inline std::shared_ptr<PgCluster> cluster;
};

} // namespace velantis::testing
