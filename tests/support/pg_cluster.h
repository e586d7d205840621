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
#include <QProcess>
#include <QStandardPaths>
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

    // Why no cluster can be started here (no server programs, no openssl), empty when one can.
    static QString Missing() {
        if (!qEnvironmentVariableIsSet("PG_BINDIR") &&
            QDir(QStringLiteral("/usr/lib/postgresql"))
                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                .isEmpty() &&
            QStandardPaths::findExecutable(QStringLiteral("pg_config")).isEmpty())
            return QStringLiteral("no PostgreSQL server programs (install postgresql)");
        for (const char* program : {"bash", "psql", "openssl"}) {
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
                return QStringLiteral("no %1 (install bash, postgresql and openssl)")
                    .arg(QLatin1String(program));
        }
        return {};
    }

    // For SetUpTestSuite: a started cluster (with TLS when asked), or null with the reason kept
    // for VELANTIS_NEED_CLUSTER. With the programs there, a server that does not start is a
    // fault, never a skip.
    static std::shared_ptr<PgCluster> StartOrSkip(bool tls = false) {
        skipReason = Missing();
        startFailed = false;
        if (!skipReason.isEmpty())
            return nullptr;
        auto cluster = std::shared_ptr<PgCluster>(new PgCluster(tls));
        QString out, why = QStringLiteral("no temporary folder");
        QStringList args = {QStringLiteral("start"), cluster->dir_.path()};
        if (tls)
            args << QStringLiteral("--tls");
        startFailed = !cluster->dir_.isValid() || !Run(args, &out, &why);
        if (startFailed) {
            skipReason = QStringLiteral("the private PostgreSQL server did not start: ") + why;
            return nullptr;
        }
        cluster->port_ = out.trimmed().toInt();
        cluster->started_ = true;
        return cluster;
    }
    static inline QString skipReason;
    static inline bool startFailed = false;
    static bool MustRun() { return qgetenv("CI").toLower() == "true"; }

    ~PgCluster() { stop(); }

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
        if (!trySql(statements, role, &why, &out))
            ADD_FAILURE() << "psql as " << role.toStdString() << ": " << statements.toStdString()
                          << ": " << why.toStdString();
        return out.trimmed();
    }
    // The rows of "SELECT count(*) FROM <from>".
    int count(const QString& from) const {
        return sql(QStringLiteral("SELECT count(*) FROM ") + from).toInt();
    }
    // The same, for statements expected to fail: false and psql's words.
    bool trySql(const QString& statements, const QString& role, QString* why,
                QString* out = nullptr) const {
        return Run({QStringLiteral("psql"), dir_.path(), role, QStringLiteral("-At"),
                    QStringLiteral("-c"), statements},
                   out, why);
    }

private:
    explicit PgCluster(bool tls) : tls_(tls) {}

    static bool Run(const QStringList& args, QString* out, QString* why) {
        QProcess p;
        p.start(QStringLiteral("bash"),
                QStringList{QStringLiteral(VELANTIS_SOURCE_DIR "/scripts/pg-cluster.sh")} + args);
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
            if (why)
                *why = QStringLiteral("pg-cluster.sh %1 did not finish").arg(args.join(u' '));
            return false;
        }
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        if (why)
            *why = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return false;
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
