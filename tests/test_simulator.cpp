// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/simulate.h"
#include "protocol/frame.h"
#include "simulator/simulated_instrument.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <thread>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using velantis::EndOfGroupsFrame;
using velantis::GroupCountFrame;
using velantis::MeasurementFrame;
using velantis::PortNumberFrame;
using velantis::SimulatedInstrument;
using velantis::SimulatorOptions;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint16_t Live = SimulatedInstrument::LiveRequestCode;
constexpr std::uint16_t Count = SimulatedInstrument::CountRequestCode;
constexpr std::uint16_t Probe(int port) {
    return static_cast<std::uint16_t>(SimulatedInstrument::PortProbeBase + port);
}

QByteArray Request(std::uint16_t code) {
    QByteArray r("\x64\x65", 2);
    r.append(static_cast<char>(code >> 8));
    r.append(static_cast<char>(code & 0xFF));
    return r;
}

// The program's side of the line, opened on the pty slave like a serial port.
class Port {
public:
    explicit Port(const QString& path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B38400);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Port() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool send(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    bool request(std::uint16_t code) { return send(Request(code)); }

    // Reads until `count` bytes have arrived or `timeout` has passed.
    QByteArray read(qsizetype count, milliseconds timeout = milliseconds(1000)) {
        QByteArray got;
        const auto deadline = Clock::now() + timeout;
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || !waitReadable(static_cast<int>(left)))
                break;
            char buf[256];
            const auto n = ::read(fd_, buf, std::min<qsizetype>(sizeof buf, count - got.size()));
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

    // Everything that arrives within the next 40 ms.
    QByteArray rest() { return read(4096, milliseconds(40)); }

    // True once the line is dead: poll reports a hangup or error, or read gives EOF or EIO.
    bool waitForHangup(milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            if (p.revents & (POLLHUP | POLLERR))
                return true;
            char c;
            const auto n = ::read(fd_, &c, 1);
            if (n == 0 || (n < 0 && errno == EIO))
                return true;
        }
        return false;
    }

    bool waitReadable(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
    }

private:
    int fd_ = -1;
};

SimulatorOptions Fast(int groups = 6) {
    SimulatorOptions o;
    o.storedGroups = groups;
    o.emulateByteTime = false;
    return o;
}

QByteArray Bytes(const MeasurementFrame& f) {
    return f.toByteArray();
}

// Implied ratio error of a reading, from the primary current, the selected channel's secondary
// and the rating: Is * Kn / Ip - 1.
double ImpliedError(const MeasurementFrame& f) {
    const auto sec = f.channelBytes(f.channel());
    const double secondaryA = (sec->high * 256 + sec->low) / 1000.0;
    const double primaryA = f.hvValue() / 10.0;
    const double kn = f.ratedPrimary() / (f.ratedSecondary() / 10.0);
    return secondaryA * kn / primaryA - 1.0;
}

double ErrorFromByte(std::uint8_t e) {
    return ((e & 0x80) ? 1 : -1) * (e & 0x7F) / 1000.0;
}

// Checks a reading frame for values the instrument could produce, with primary and secondary
// consistent with rating and ratio error.
void ExpectPlausibleReading(const MeasurementFrame& f) {
    SCOPED_TRACE(f.toByteArray().toHex(' ').toStdString());
    EXPECT_TRUE(velantis::IsValidFrame(f.toByteArray()));
    EXPECT_LE(f.channel(), 2);
    EXPECT_EQ(f.hvRange(), 0x31);
    const std::set<int> ratings = {100, 150, 200, 300, 400, 600};
    EXPECT_TRUE(ratings.count(f.ratedPrimary()));
    EXPECT_TRUE(f.ratedSecondary() == 50 || f.ratedSecondary() == 10);
    const auto sec = f.channelBytes(f.channel());
    EXPECT_EQ(sec->range, 0x33);
    if (f.hvLowFlag() || f.lvLowFlag()) {
        EXPECT_EQ(f.ratioError(), 0x6E);
        return;
    }
    EXPECT_GE(f.hvValue(), 500);  // 50 A
    EXPECT_LE(f.hvValue(), 6000); // 600 A
    EXPECT_LE(f.ratioError() & 0x7F, 9);
    const double secondaryMa = sec->high * 256 + sec->low;
    EXPECT_NEAR(ImpliedError(f), ErrorFromByte(f.ratioError()), 0.6 / secondaryMa + 1e-9);
}

// ---------------------------------------------------------------------------------------------

TEST(SimulatedInstrument, AnswersEachKindOfRequest) {
    SimulatedInstrument sim(Fast(5));
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    Port port(sim.devicePath());
    ASSERT_TRUE(port.isOpen());

    struct Row {
        const char* what;
        std::uint16_t code;
        int kind;
        MeasurementFrame expected;
    };
    const Row rows[] = {
        {"group count", Count, 3, GroupCountFrame(5)},
        {"first group", 1, 1, sim.storedGroup(1)},
        {"last group", 5, 1, sim.storedGroup(5)},
        {"one past the last group", 6, 5, EndOfGroupsFrame()},
        {"highest group code", 29999, 5, EndOfGroupsFrame()},
        {"probe of port 7", Probe(7), 4, PortNumberFrame(7)},
        {"probe of port 16", Probe(16), 4, PortNumberFrame(16)},
    };
    QList<std::uint16_t> sent;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(port.request(row.code));
        sent.append(row.code);
        const QByteArray answer = port.read(MeasurementFrame::Size);
        EXPECT_TRUE(velantis::IsValidFrame(answer));
        EXPECT_EQ(answer.toHex(' '), Bytes(row.expected).toHex(' '));
        EXPECT_EQ(MeasurementFrame::fromBlock(answer).value_or(MeasurementFrame()).kind(),
                  row.kind);
        if (row.kind == 1) {
            EXPECT_EQ(row.expected.groupNo(), row.code);
        }
    }
    EXPECT_EQ(sim.storedGroup(6).toByteArray(), Bytes(EndOfGroupsFrame()));
    EXPECT_EQ(sim.storedGroup(0).toByteArray(), Bytes(EndOfGroupsFrame()));

    ASSERT_TRUE(port.request(Live));
    sent.append(Live);
    const auto live = MeasurementFrame::fromBlock(port.read(MeasurementFrame::Size));
    ASSERT_TRUE(live.has_value());
    EXPECT_EQ(live->kind(), 2);
    EXPECT_EQ(live->groupNo(), 0);
    EXPECT_EQ(live->ratedSecondary(), 50);
    ExpectPlausibleReading(*live);

    EXPECT_TRUE(port.rest().isEmpty());
    EXPECT_EQ(sim.requestCodes(), sent);
    EXPECT_EQ(sim.requestsReceived(), sent.size());
    EXPECT_EQ(sim.answersSent(), sent.size());
}

TEST(SimulatedInstrument, SkipsNoiseAndAnswersSplitRequests) {
    SimulatedInstrument sim(Fast(9));
    ASSERT_TRUE(sim.start());
    Port port(sim.devicePath());
    ASSERT_TRUE(port.isOpen());

    QByteArray longNoise;
    for (int i = 0; i < 300; ++i) {
        const char c = static_cast<char>(i * 7);
        if (c != 0x64)
            longNoise.append(c);
    }
    struct Row {
        const char* what;
        QByteArray before;
        bool byteByByte;
    };
    const Row rows[] = {
        {"clean", {}, false},
        {"noise", QByteArray("\x00\xff\x13", 3), false},
        {"lead byte without its partner", QByteArray("\x64\x00\x65", 3), false},
        {"doubled lead byte", QByteArray("\x64", 1), false},
        {"stray second lead byte", QByteArray("\x65\x65\x01\x02", 4), false},
        {"long noise", longNoise, false},
        {"noise and request a byte at a time", QByteArray("\x17\x64", 2), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const QByteArray bytes = row.before + Request(Count);
        if (row.byteByByte) {
            for (const char c : bytes) {
                ASSERT_TRUE(port.send(QByteArray(1, c)));
                std::this_thread::sleep_for(milliseconds(3));
            }
        } else {
            ASSERT_TRUE(port.send(bytes));
        }
        EXPECT_EQ(port.read(MeasurementFrame::Size).toHex(' '),
                  Bytes(GroupCountFrame(9)).toHex(' '));
    }
    EXPECT_TRUE(port.rest().isEmpty());
    EXPECT_EQ(sim.requestsReceived(), static_cast<int>(std::size(rows)));
}

// ---------------------------------------------------------------------------------------------

// What each request gets, one letter per request: w the whole answer, - nothing, c the answer
// with a wrong checksum, s its first 10 bytes, n the next group's frame.
TEST(SimulatedInstrument, FaultsHitTheRightAnswers) {
    struct Row {
        const char* what;
        SimulatorOptions options;
        std::vector<std::uint16_t> codes;
        const char* fates;
    };
    const std::vector<std::uint16_t> probes = {Probe(1), Probe(2), Probe(3),
                                               Probe(4), Probe(5), Probe(6)};
    const Row rows[] = {
        {"unknown codes get nothing",
         {},
         {0, 30001, 39999, 40001, 60000, Probe(17), 65535, 1},
         "-------w"},
        {"drop every 2nd", {.dropEvery = 2}, probes, "w-w-w-"},
        {"unknown codes take no answer number", {.dropEvery = 2}, {1, 0, 35000, 2, 3}, "w---w"},
        {"corrupt every 3rd", {.corruptEvery = 3}, {1, 2, 3, 4, 5, 6}, "wwcwwc"},
        {"wrong group counts stored-group answers only",
         {.wrongGroupEvery = 2},
         {1, Count, 7, 2, Probe(3), 3, 4},
         "wwwnwwn"},
        {"short every 2nd", {.shortEvery = 2}, {Count, Probe(2), 1, 2}, "wsws"},
        {"silent after 3", {.silentAfter = 3}, probes, "www---"},
        {"silent from the start", {.silentAfter = 0}, {Count, 1}, "--"},
        {"a dropped answer keeps its number", {.dropEvery = 2, .silentAfter = 3}, probes, "w-w---"},
        {"corrupt and short together", {.corruptEvery = 2, .shortEvery = 3}, probes, "wcscws"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SimulatorOptions options = row.options;
        options.storedGroups = 6;
        options.emulateByteTime = false;
        SimulatedInstrument sim(options);
        ASSERT_TRUE(sim.start());
        Port port(sim.devicePath());
        ASSERT_TRUE(port.isOpen());
        for (const auto code : row.codes)
            ASSERT_TRUE(port.request(code));

        auto normalAnswer = [&](int code) {
            if (code == Count)
                return Bytes(GroupCountFrame(6));
            if (code > SimulatedInstrument::PortProbeBase)
                return Bytes(PortNumberFrame(static_cast<std::uint8_t>(code - 60000)));
            return Bytes(sim.storedGroup(code)); // the end-of-groups frame past group 6
        };
        QByteArray want;
        int answers = 0;
        for (std::size_t i = 0; i < row.codes.size(); ++i) {
            const QByteArray normal = normalAnswer(row.codes[i]);
            const char fate = row.fates[i];
            answers += fate != '-';
            if (fate == 'w')
                want += normal;
            else if (fate == 'n')
                want += normalAnswer(row.codes[i] + 1);
            else if (fate == 's')
                want += normal.left(10);
            else if (fate == 'c') // byte 19 is checked below
                want += normal;
        }
        QByteArray got = port.read(want.size());
        got += port.rest();
        ASSERT_EQ(got.size(), want.size()) << got.toHex(' ').toStdString();
        for (qsizetype at = 0, i = 0; i < static_cast<qsizetype>(row.codes.size()); ++i) {
            const char fate = row.fates[i];
            const qsizetype size = fate == 's' ? 10 : fate == '-' ? 0 : 20;
            if (fate == 'c') {
                EXPECT_NE(got[at + 19], want[at + 19]) << "answer to request " << i + 1;
                EXPECT_FALSE(velantis::IsValidFrame(got.mid(at, 20)));
                got[at + 19] = want[at + 19];
            }
            at += size;
        }
        EXPECT_EQ(got.toHex(' '), want.toHex(' '));
        EXPECT_EQ(sim.requestsReceived(), static_cast<int>(row.codes.size()));
        EXPECT_EQ(sim.answersSent(), answers);
    }
}

TEST(SimulatedInstrument, UnplugClosesTheLineAfterTheLastAnswer) {
    SimulatorOptions options = Fast();
    options.unplugAfter = 2;
    SimulatedInstrument sim(options);
    ASSERT_TRUE(sim.start());
    const QString path = sim.devicePath();
    Port port(path);
    ASSERT_TRUE(port.isOpen());

    ASSERT_TRUE(port.request(Count));
    EXPECT_EQ(port.read(20), Bytes(GroupCountFrame(6)));
    ASSERT_TRUE(port.request(Probe(4)));
    EXPECT_EQ(port.read(20), Bytes(PortNumberFrame(4)));
    EXPECT_TRUE(port.waitForHangup(milliseconds(1500)));

    for (int i = 0; i < 100 && sim.isRunning(); ++i)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_FALSE(sim.isRunning());
    EXPECT_TRUE(sim.isUnplugged());
    EXPECT_EQ(sim.devicePath(), path);
    EXPECT_EQ(sim.answersSent(), 2);
}

// The program closes and reopens its port all the time; with line timing on (the default) each
// reopened port must still get answers, and an idle simulator with no port open must not spin.
TEST(SimulatedInstrument, PortCanBeReopened) {
    SimulatorOptions options;
    options.storedGroups = 3;
    SimulatedInstrument sim(options);
    ASSERT_TRUE(sim.start());
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        {
            Port port(sim.devicePath());
            ASSERT_TRUE(port.isOpen());
            // Left exclusive, as by a program that died: the next round must still get in.
            int exclusive = 0;
            ASSERT_EQ(::ioctl(port.fd(), TIOCGEXCL, &exclusive), 0);
            EXPECT_EQ(exclusive, 0);
            ::ioctl(port.fd(), TIOCEXCL);
            ASSERT_TRUE(port.request(Count));
            EXPECT_EQ(port.read(20), Bytes(GroupCountFrame(3)));
        }
        // The idle wait below also gives the simulator time to notice the close.
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        std::this_thread::sleep_for(milliseconds(100));
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        auto cpuUs = [](const rusage& r) {
            return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1'000'000LL + r.ru_utime.tv_usec +
                   r.ru_stime.tv_usec;
        };
        // A busy loop would burn the whole 100 ms.
        EXPECT_LT(cpuUs(after) - cpuUs(before), 50'000);
    }
    EXPECT_EQ(sim.answersSent(), 3);
}

// A real port loses what arrives while it is closed, so the next opener must not get it.
TEST(SimulatedInstrument, AnswersToAClosedPortAreLost) {
    struct Row {
        const char* what;
        bool byteTime;
    };
    const Row rows[] = {
        {"answer waiting unread when the port closes", false},
        {"answer due while the port is closed", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SimulatorOptions options = Fast();
        options.emulateByteTime = row.byteTime;
        SimulatedInstrument sim(options);
        ASSERT_TRUE(sim.start());
        {
            Port port(sim.devicePath());
            ASSERT_TRUE(port.isOpen());
            ASSERT_TRUE(port.request(Count));
            if (!row.byteTime) {
                ASSERT_TRUE(port.waitReadable(1000));
            }
        }
        for (int i = 0; i < 100 && sim.answersSent() < 1; ++i)
            std::this_thread::sleep_for(milliseconds(10));
        ASSERT_EQ(sim.answersSent(), 1);
        std::this_thread::sleep_for(milliseconds(20)); // time to notice the close

        Port port(sim.devicePath());
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.request(Probe(5)));
        EXPECT_EQ(port.read(20).toHex(' '), Bytes(PortNumberFrame(5)).toHex(' '));
        EXPECT_TRUE(port.rest().isEmpty());
    }
}

// ---------------------------------------------------------------------------------------------

TEST(SimulatedInstrument, GeneratedReadingsArePlausibleAndRepeatable) {
    for (const quint32 seed : {1u, 2u, 977u}) {
        SCOPED_TRACE(seed);
        SimulatorOptions options;
        options.storedGroups = 90;
        options.seed = seed;
        const SimulatedInstrument sim(options);
        const SimulatedInstrument twin(options);
        std::set<int> channels;
        std::set<int> ratings;
        for (int n = 1; n <= sim.storedGroupCount(); ++n) {
            SCOPED_TRACE(n);
            const MeasurementFrame f = sim.storedGroup(n);
            EXPECT_EQ(f.kind(), 1);
            EXPECT_EQ(f.groupNo(), n);
            ExpectPlausibleReading(f);
            EXPECT_EQ(f.bytes(), twin.storedGroup(n).bytes());
            channels.insert(f.channel());
            ratings.insert(f.ratedPrimary());
        }
        EXPECT_EQ(channels.size(), 3u);
        EXPECT_GE(ratings.size(), 3u);
        for (double t = 0; t < 400; t += 7.3) {
            SCOPED_TRACE(t);
            const MeasurementFrame f = sim.liveReading(t);
            EXPECT_EQ(f.kind(), 2);
            ExpectPlausibleReading(f);
        }
        EXPECT_NE(sim.liveReading(3.0).bytes(), sim.liveReading(4.0).bytes());
    }
    SimulatorOptions other;
    other.seed = 2;
    const SimulatedInstrument a{SimulatorOptions{}};
    const SimulatedInstrument b(other);
    int differing = 0;
    for (int n = 1; n <= 10; ++n)
        differing += a.storedGroup(n).bytes() != b.storedGroup(n).bytes();
    EXPECT_GE(differing, 8);
}

TEST(SimulateCommand, RejectsBadOptions) {
    const QStringList rows[] = {
        {"--bogus"},        {"stray"},
        {"--groups"},       {"--groups", "many"},
        {"--groups=30000"}, {"--drop-every", "-1"},
        {"--seed", "-3"},   {"--no-byte-time=yes"},
    };
    for (const auto& args : rows)
        EXPECT_EQ(RunSimulate(args), 2) << args.join(' ').toStdString();
}

} // namespace
