// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private PostgreSQL server for a test program: scripts/pg-cluster.sh run in a temporary
// folder of its own (server.sql loaded into "velantis", the roles tester_a, tester_b and admin_a).
// A suite shares one through ClusterTest (server_tests.h), or as it does:
//     static void SetUpTestSuite() { cluster = PgCluster::StartOrSkip(); }
//     void SetUp() override { VELANTIS_NEED_CLUSTER(cluster); }
//
// Without the server's programs the tests are skipped with the reason, except under CI (CI set
// to true), where that is a failure; a server that does not start is always a failure.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#ifndef VELANTIS_SOURCE_DIR
#error "VELANTIS_SOURCE_DIR names the source tree (tests/CMakeLists.txt defines it)"
#endif

namespace velantis::testing {

class PgCluster {
public:
    enum class Transport { Socket, Tcp };

    // The superuser connects through the socket without a password; every other role has its
    // name followed by "-pw".
    static QString Password(const QString& role) {
        return role == QLatin1String("postgres") ? QString() : role + QStringLiteral("-pw");
    }

    static QString Script() { return QStringLiteral(VELANTIS_SOURCE_DIR "/scripts/pg-cluster.sh"); }

    // Why no cluster can be started here (no server programs, no openssl), empty when one can.
    static QString Missing() {
        if (QStandardPaths::findExecutable(QStringLiteral("bash")).isEmpty())
            return QStringLiteral("no bash");
        if (!qEnvironmentVariableIsSet("PG_BINDIR") &&
            QDir(QStringLiteral("/usr/lib/postgresql"))
                .entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)
                .isEmpty() &&
            QStandardPaths::findExecutable(QStringLiteral("pg_config")).isEmpty())
            return QStringLiteral("no PostgreSQL server programs (install postgresql)");
        for (const char* program : {"psql", "openssl"}) {
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
                return QStringLiteral("no %1 (install postgresql and openssl)")
                    .arg(QLatin1String(program));
        }
        return {};
    }

    // Starts a cluster (with TLS when asked); null and why when it could not.
    static std::shared_ptr<PgCluster> Start(bool tls, QString* why) {
        auto cluster = std::shared_ptr<PgCluster>(new PgCluster(tls));
        if (!cluster->dir_.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return nullptr;
        }
        QStringList args = {QStringLiteral("start"), cluster->dir_.path()};
        if (tls)
            args << QStringLiteral("--tls");
        QString out;
        if (!Run(args, &out, why))
            return nullptr;
        cluster->port_ = out.trimmed().toInt();
        cluster->started_ = true;
        return cluster;
    }

    // For SetUpTestSuite: a started cluster, or null with the reason kept for
    // VELANTIS_NEED_CLUSTER. With the programs there, a server that does not start is a fault,
    // never a skip.
    static std::shared_ptr<PgCluster> StartOrSkip(bool tls = false) {
        skipReason = Missing();
        if (!skipReason.isEmpty())
            return nullptr;
        QString why;
        auto cluster = Start(tls, &why);
        if (!cluster)
            skipReason = QStringLiteral("the private PostgreSQL server did not start: ") + why;
        startFailed = !cluster;
        return cluster;
    }
    static inline QString skipReason;
    static inline bool startFailed = false;
    static bool MustRun() { return qgetenv("CI").toLower() == "true"; }

    ~PgCluster() { stop(); }
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    void stop() {
        if (started_)
            Run({QStringLiteral("stop"), dir_.path()}, nullptr, nullptr);
        started_ = false;
    }
    bool restart(QString* why = nullptr) {
        started_ = true;
        return Run({QStringLiteral("restart"), dir_.path()}, nullptr, why);
    }

    QString dir() const { return dir_.path(); }
    int port() const { return port_; }
    bool tls() const { return tls_; }
    QString caFile() const { return dir_.filePath(QStringLiteral("tls/ca.crt")); }
    QString otherCaFile() const { return dir_.filePath(QStringLiteral("tls/other-ca.crt")); }

    // A libpq connection string for a role of the database "velantis": through the socket, or
    // over TCP to 127.0.0.1 (with TLS: verify-full against the cluster's CA).
    QString connInfo(const QString& role, Transport transport = Transport::Socket) const {
        if (transport == Transport::Socket)
            return QStringLiteral("host='%1' port=%2 dbname=velantis user=%3")
                .arg(dir_.path())
                .arg(port_)
                .arg(role);
        QString info =
            QStringLiteral("host=127.0.0.1 port=%1 dbname=velantis user=%2").arg(port_).arg(role);
        if (tls_)
            info += QStringLiteral(" sslmode=verify-full sslrootcert='%1'").arg(caFile());
        return info;
    }

    // Runs SQL through psql as a role (the superuser by default): its output (unaligned, tuples
    // only), or a test failure with psql's words.
    QString sql(const QString& statements, const QString& role = QStringLiteral("postgres")) const {
        QString out, why;
        if (!psql(statements, role, &out, &why))
            ADD_FAILURE() << "psql as " << role.toStdString() << ": " << statements.toStdString()
                          << ": " << why.toStdString();
        return out.trimmed();
    }
    // The rows of "SELECT count(*) FROM <from>".
    int count(const QString& from) const {
        return sql(QStringLiteral("SELECT count(*) FROM ") + from).toInt();
    }
    // The same, for statements expected to fail: false and psql's words.
    bool trySql(const QString& statements, const QString& role, QString* why) const {
        return psql(statements, role, nullptr, why);
    }

private:
    explicit PgCluster(bool tls) : tls_(tls) { dir_.setAutoRemove(true); }

    bool psql(const QString& statements, const QString& role, QString* out, QString* why) const {
        return Run({QStringLiteral("psql"), dir_.path(), role, QStringLiteral("-At"),
                    QStringLiteral("-c"), statements},
                   out, why);
    }

    static bool Run(const QStringList& args, QString* out, QString* why) {
        QProcess p;
        p.start(QStringLiteral("bash"), QStringList{Script()} + args);
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
            if (why)
                *why = QStringLiteral("pg-cluster.sh %1 did not finish").arg(args.join(u' '));
            return false;
        }
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            if (why)
                *why = QString::fromUtf8(p.readAllStandardError()).trimmed();
            return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    bool tls_ = false;
    bool started_ = false;
    int port_ = 0;
};

} // namespace velantis::testing

// In SetUp (or a test): skips when no cluster could be started, fails instead under CI.
#define VELANTIS_NEED_CLUSTER(cluster)                                                             \
    do {                                                                                           \
        if (!(cluster)) {                                                                          \
            if (::velantis::testing::PgCluster::MustRun() ||                                       \
                ::velantis::testing::PgCluster::startFailed)                                       \
                FAIL() << ::velantis::testing::PgCluster::skipReason.toStdString();                \
            GTEST_SKIP() << ::velantis::testing::PgCluster::skipReason.toStdString();              \
        }                                                                                          \
    } while (false)
