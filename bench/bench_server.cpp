// SPDX-License-Identifier: GPL-3.0-or-later
// The department archive against a private PostgreSQL server (scripts/pg-cluster.sh in a
// temporary folder): a push of a full 4000-group test, and the server view's first page and its
// filter over a million tests made on the server with generate_series.
//
//   build/bench/bench_server [--tests N] [benchmark options]
#include "archive/server_archive.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace velantis;

namespace {

QString Dir;
int Port = 0;

QString ConnInfo(const QString& role) {
    return QStringLiteral("host='%1' port=%2 dbname=velantis user=%3").arg(Dir).arg(Port).arg(role);
}

bool Cluster(const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("bash"),
            QStringList{QStringLiteral(VELANTIS_SOURCE_DIR "/scripts/pg-cluster.sh")} + args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

bool Sql(const QString& sql) {
    return Cluster(
        {QStringLiteral("psql"), Dir, QStringLiteral("postgres"), QStringLiteral("-c"), sql});
}

QList<ArchivedGroup> FullDownload() {
    QList<ArchivedGroup> groups;
    for (int n = 1; n <= 4000; ++n) {
        groups.append({n, FrameBuilder()
                              .hv(static_cast<std::uint16_t>(100 + n % 900), 0x31)
                              .r(5000, 0x33)
                              .ratioError(static_cast<std::uint8_t>(0x80 + n % 9))
                              .rated(100, 50)
                              .groupNo(static_cast<std::uint16_t>(n))
                              .channelKind(static_cast<std::uint8_t>(n % 3), 1)
                              .build()});
    }
    return groups;
}

// A test of 4000 groups sent by tester_a: a new test each time (its uuid new), in one
// transaction.
void BM_ServerPush4000(benchmark::State& state) {
    ServerArchive server(ConnInfo(QStringLiteral("tester_a")), QStringLiteral("tester_a-pw"));
    ServerError error;
    if (!server.connect(&error)) {
        state.SkipWithError(error.text().toStdString().c_str());
        return;
    }
    const QList<ArchivedGroup> groups = FullDownload();
    TestRecord test;
    test.started = QDateTime::currentDateTime();
    test.ended = test.started.addSecs(600);
    test.ending = DownloadEnd::EndFrame;
    test.announced = test.stored = 4000;
    test.firstGroup = 1;
    test.lastGroup = 4000;
    test.info.station = QStringLiteral("推送测试站");
    for (auto _ : state) {
        test.uuid = test.download = QUuid::createUuid().toString(QUuid::WithoutBraces);
        bool inserted = false;
        if (!server.push(test, groups, &inserted, &error) || !inserted) {
            state.SkipWithError(error.text().toStdString().c_str());
            return;
        }
    }
}
BENCHMARK(BM_ServerPush4000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The server view as it opens: connected, the newest PageSize tests of all.
void BM_ServerFirstPage(benchmark::State& state) {
    ServerArchive server(ConnInfo(QStringLiteral("tester_b")), QStringLiteral("tester_b-pw"));
    ServerError error;
    QList<TestRecord> tests;
    for (auto _ : state) {
        if (!server.page({}, std::nullopt, ServerArchive::PageSize, &tests, &error)) {
            state.SkipWithError(error.text().toStdString().c_str());
            return;
        }
    }
    state.counters["rows"] = static_cast<double>(tests.size());
}
BENCHMARK(BM_ServerFirstPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the connection made first, as a window opening the view does.
void BM_ServerConnectAndFirstPage(benchmark::State& state) {
    for (auto _ : state) {
        ServerArchive server(ConnInfo(QStringLiteral("tester_b")), QStringLiteral("tester_b-pw"));
        ServerError error;
        QList<TestRecord> tests;
        if (!server.page({}, std::nullopt, ServerArchive::PageSize, &tests, &error)) {
            state.SkipWithError(error.text().toStdString().c_str());
            return;
        }
    }
}
BENCHMARK(BM_ServerConnectAndFirstPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tenth page, reached by its key: a page deep in the list costs what the first does.
void BM_ServerTenthPage(benchmark::State& state) {
    ServerArchive server(ConnInfo(QStringLiteral("tester_b")), QStringLiteral("tester_b-pw"));
    ServerError error;
    QList<TestRecord> tests;
    std::optional<ServerPageKey> key;
    for (int i = 0; i < 9; ++i) {
        if (!server.page({}, key, ServerArchive::PageSize, &tests, &error) || tests.isEmpty()) {
            state.SkipWithError("no tenth page");
            return;
        }
        key = ServerPageKey{tests.last().started, tests.last().uuid};
    }
    for (auto _ : state) {
        if (!server.page({}, key, ServerArchive::PageSize, &tests, &error)) {
            state.SkipWithError(error.text().toStdString().c_str());
            return;
        }
    }
}
BENCHMARK(BM_ServerTenthPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first page of a filter: a station's name met in a fifth of the tests, the same with a
// number (about one test in 450), a serial met once, a remark met in one test of fifty; then two
// characters (the start of a station's name).
const char* const Filters[] = {"城南变电站", "北郊变电站 17", "CT-0424242", "二次复测", "华东"};

void BM_ServerFilter(benchmark::State& state) {
    ServerArchive server(ConnInfo(QStringLiteral("tester_b")), QStringLiteral("tester_b-pw"));
    ServerError error;
    QList<TestRecord> tests;
    const QString filter = QString::fromUtf8(Filters[state.range(0)]);
    state.SetLabel(Filters[state.range(0)]);
    for (auto _ : state) {
        if (!server.page(filter, std::nullopt, ServerArchive::PageSize, &tests, &error)) {
            state.SkipWithError(error.text().toStdString().c_str());
            return;
        }
    }
    state.counters["rows"] = static_cast<double>(tests.size());
}
BENCHMARK(BM_ServerFilter)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

// N tests by tester_b, a minute apart, with a group each: stations of five names (each with a
// number from 0 to 999), serials CT-0000001..., one test in fifty "二次复测" in its remarks.
bool FillServer(int count) {
    return Sql(QStringLiteral(
                   "DROP INDEX IF EXISTS tests_text;"
                   "INSERT INTO tests (uuid, started, ended, ending, announced, stored, download,"
                   " first_group, last_group, station, device, serial, remarks, class, owner)"
                   " SELECT gen_random_uuid(), timestamptz '2020-01-01' + i * interval '1 minute',"
                   " timestamptz '2020-01-01' + i * interval '1 minute' + interval '10 minutes',"
                   " 'complete', 1, 1, '', 1, 1,"
                   " (ARRAY['城南变电站', '北郊变电站', '华东开关站', '西山变电所', '河口换流站'])"
                   "[i % 5 + 1] || ' ' || (i / 5) % 1000, 'LZZBJ9-10', 'CT-' || lpad(i::text, 7, "
                   "'0'),"
                   " CASE WHEN i % 50 = 0 THEN '二次复测' ELSE '' END, '0.2S', 'tester_b'"
                   " FROM generate_series(1, %1) AS i;"
                   "INSERT INTO groups (test, group_no, frame) SELECT uuid, 1,"
                   " '\\x03e83113883300003300003300008f0064320277' FROM tests"
                   " WHERE owner = 'tester_b';"
                   "CREATE INDEX tests_text ON tests USING gin (station gin_trgm_ops,"
                   " device gin_trgm_ops, serial gin_trgm_ops, remarks gin_trgm_ops);")
                   .arg(count)) &&
           Sql(QStringLiteral("VACUUM ANALYZE tests")) &&
           Sql(QStringLiteral("VACUUM ANALYZE groups"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 1000000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--tests") == 0) {
            count = std::atoi(argv[i + 1]);
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    }
    // VELANTIS_BENCH_CLUSTER: a cluster pg-cluster.sh started and filled before, used as it is.
    const QString given = qEnvironmentVariable("VELANTIS_BENCH_CLUSTER");
    QTemporaryDir dir;
    Dir = given.isEmpty() ? dir.path() : given;
    QByteArray port;
    if (!given.isEmpty()) {
        QFile file(Dir + QStringLiteral("/port"));
        if (file.open(QIODevice::ReadOnly))
            port = file.readAll();
    } else if (!dir.isValid() || !Cluster({QStringLiteral("start"), Dir}, &port)) {
        std::fprintf(stderr, "bench_server: the private PostgreSQL server did not start\n");
        return 1;
    }
    Port = port.trimmed().toInt();
    if (given.isEmpty()) {
        QElapsedTimer filling;
        filling.start();
        if (!FillServer(count)) {
            std::fprintf(stderr, "bench_server: filling the server failed\n");
            Cluster({QStringLiteral("stop"), Dir});
            return 1;
        }
        std::fprintf(stderr, "bench_server: %d tests made in %.1f s\n", count,
                     static_cast<double>(filling.elapsed()) / 1000.0);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (given.isEmpty())
        Cluster({QStringLiteral("stop"), Dir});
    return 0;
}
