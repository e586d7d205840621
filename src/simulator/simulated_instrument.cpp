#include "simulator/simulated_instrument.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <numbers>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#include <sys/prctl.h>
#endif

namespace velantis {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long long BaudRate = 38400;
constexpr long long BitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr int RequestSize = 4;
// Timer wake-ups come late by up to a few hundred microseconds on a busy machine, so the last
// stretch before an answer is due is waited out by spinning.
constexpr auto SpinMargin = std::chrono::microseconds(300);
constexpr int ShortAnswerSize = 10;
constexpr std::uint8_t RequestLead0 = 0x64;
constexpr std::uint8_t RequestLead1 = 0x65;

constexpr std::uint8_t RangeTenthAmp = 0x31; // raw = A x 10
constexpr std::uint8_t RangeMilliAmp = 0x33; // raw = mA
constexpr std::uint16_t OverloadMarker = 10000;
constexpr std::uint16_t ErrorMarker = 20000;
constexpr std::uint8_t NoRatioError = 0x6E;
constexpr std::array<std::uint16_t, 6> RatedPrimaries = {100, 150, 200, 300, 400, 600};

// Time the line needs for n bytes, rounded up to whole nanoseconds so that waiting for it never
// comes out early.
Clock::duration ByteTimes(int n) {
    const long long bits = static_cast<long long>(n) * BitsPerByte;
    return std::chrono::nanoseconds((bits * 1'000'000'000LL + BaudRate - 1) / BaudRate);
}

bool IsEvery(int every, int number) {
    return every > 0 && number > 0 && number % every == 0;
}

// splitmix64 finaliser: a well-mixed 64-bit hash.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Small deterministic generator; the same stream key always gives the same values.
class Rng {
public:
    explicit Rng(std::uint64_t key) : state_(Mix(key)) {}
    std::uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        return Mix(state_);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform integer in lo..hi inclusive.
    int between(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }

private:
    std::uint64_t state_;
};

// Separate streams per purpose, so that changing one kind of data leaves the others alone.
std::uint64_t StreamKey(quint32 seed, std::uint64_t purpose, std::uint64_t index) {
    return Mix(Mix((static_cast<std::uint64_t>(seed) << 8) ^ purpose) ^ index);
}
constexpr std::uint64_t TransformerStream = 1;
constexpr std::uint64_t GroupStream = 2;
constexpr std::uint64_t LiveStream = 3;
constexpr std::uint64_t LiveNoiseStream = 4;
constexpr std::uint64_t LineNoiseStream = 5;
constexpr int MaxNoiseBytes = 8;

std::uint8_t RatioErrorByte(int tenths) {
    if (tenths >= 0)
        return static_cast<std::uint8_t>(0x80 | std::min(tenths, 0x7F));
    return static_cast<std::uint8_t>(std::min(-tenths, 0x7F));
}

std::uint16_t ClampRaw(double v) {
    return static_cast<std::uint16_t>(std::clamp(std::lround(v), 0L, 9999L));
}

// One reading as the instrument would take it.
struct SimulatedReading {
    std::uint16_t primaryRaw = 0; // tenths of an ampere
    std::uint16_t ratedPrimary = 100;
    std::uint8_t ratedSecondaryTenths = 50;
    int channel = 0;
    std::optional<int> errorTenths; // ratio error in tenths of a percent; none when too low
    bool hvLow = false;
    bool lvLow = false;
    std::array<std::uint16_t, 3> secondaryRaw{}; // mA per channel R, S, T
};

// Secondary current in mA that a transformer of the given rating with the given ratio error
// delivers for a primary current (tenths of an ampere): Is = Ip / Kn * (1 + e).
double SecondaryMilliamps(std::uint16_t primaryRaw, std::uint16_t ratedPrimary,
                          std::uint8_t ratedSecondaryTenths, int errorTenths) {
    const double primaryA = primaryRaw / 10.0;
    const double ratedSecondaryA = ratedSecondaryTenths / 10.0;
    return primaryA * ratedSecondaryA / ratedPrimary * (1.0 + errorTenths / 1000.0) * 1000.0;
}

MeasurementFrame BuildFrame(const SimulatedReading& r, std::uint16_t groupNo, FrameKind kind) {
    return FrameBuilder()
        .hv(r.primaryRaw, RangeTenthAmp)
        .r(r.secondaryRaw[0], RangeMilliAmp)
        .s(r.secondaryRaw[1], RangeMilliAmp)
        .t(r.secondaryRaw[2], RangeMilliAmp)
        .groupNo(groupNo)
        .ratioError(r.errorTenths ? RatioErrorByte(*r.errorTenths) : NoRatioError)
        .flags(r.hvLow, r.lvLow)
        .rated(r.ratedPrimary, r.ratedSecondaryTenths)
        .channelKind(static_cast<std::uint8_t>(r.channel), static_cast<std::uint8_t>(kind))
        .build();
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool SetNonBlockingCloexec(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) < 0)
        return false;
    const int fdfl = ::fcntl(fd, F_GETFD);
    return fdfl >= 0 && ::fcntl(fd, F_SETFD, fdfl | FD_CLOEXEC) >= 0;
}

bool MakeRaw38400(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

QString ErrnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

timespec ToTimespec(Clock::duration d) {
    if (d < Clock::duration::zero())
        d = Clock::duration::zero();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000LL);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000LL);
    return ts;
}

} // namespace

SimulatedInstrument::SimulatedInstrument(const SimulatorOptions& options)
    : options_(options), groupCount_(std::clamp(options.storedGroups, 0, MaxStoredGroups)) {}

SimulatedInstrument::~SimulatedInstrument() {
    stop();
}

QString SimulatedInstrument::devicePath() const {
    std::lock_guard lock(pathMutex_);
    return devicePath_;
}

QString SimulatedInstrument::portPath() const {
    return options_.linkPath.isEmpty() ? devicePath() : options_.linkPath;
}

QList<std::uint16_t> SimulatedInstrument::requestCodes() const {
    std::lock_guard lock(codesMutex_);
    return codes_;
}

MeasurementFrame SimulatedInstrument::storedGroup(int n) const {
    if (n < 1 || n > groupCount_)
        return EndOfGroupsFrame();
    return groupFrame(n);
}

// Stored groups come in threes: one transformer measured on R, S and T in turn. The transformer
// fixes rating and a typical ratio error; each group adds its own load and scatter.
MeasurementFrame SimulatedInstrument::groupFrame(int n) const {
    const auto index = static_cast<std::uint64_t>(n - 1);
    Rng transformer(StreamKey(options_.seed, TransformerStream, index / 3));
    SimulatedReading r;
    r.ratedPrimary = RatedPrimaries[static_cast<std::size_t>(
        transformer.between(0, static_cast<int>(RatedPrimaries.size()) - 1))];
    r.ratedSecondaryTenths = transformer.uniform() < 0.125 ? 10 : 50;
    const int typicalError = transformer.between(-5, 5);
    r.channel = static_cast<int>(index % 3);

    Rng g(StreamKey(options_.seed, GroupStream, index));
    const bool lowCurrent = g.uniform() < 0.05;
    const double load = lowCurrent ? 0.02 + 0.04 * g.uniform() : 0.5 + 0.5 * g.uniform();
    r.primaryRaw = ClampRaw(r.ratedPrimary * load * 10.0);
    const int error = std::clamp(typicalError + g.between(-2, 2), -9, 9);
    const double secondary =
        SecondaryMilliamps(r.primaryRaw, r.ratedPrimary, r.ratedSecondaryTenths, error);
    r.secondaryRaw[static_cast<std::size_t>(r.channel)] = ClampRaw(secondary);
    if (lowCurrent) {
        r.hvLow = true;
        r.lvLow = true;
    } else {
        r.errorTenths = error;
    }
    // The idle channels read nothing or a few mA of pick-up; now and then a marker.
    for (int c = 0; c < 3; ++c) {
        if (c == r.channel)
            continue;
        const double roll = g.uniform();
        auto& raw = r.secondaryRaw[static_cast<std::size_t>(c)];
        if (roll < 0.02)
            raw = OverloadMarker;
        else if (roll < 0.04)
            raw = ErrorMarker;
        else if (roll < 0.5)
            raw = static_cast<std::uint16_t>(g.between(1, 25));
    }
    return BuildFrame(r, static_cast<std::uint16_t>(n), FrameKind::StoredGroup);
}

// The live reading wanders smoothly: the load follows two slow sines, the ratio error a third.
// The selected channel steps R, S, T every 20 s and a new transformer is "connected" every
// minute.
MeasurementFrame SimulatedInstrument::liveReading(double seconds) const {
    constexpr double TwoPi = 2.0 * std::numbers::pi;
    const double t = std::max(seconds, 0.0);
    const auto minute = static_cast<std::uint64_t>(t / 60.0);
    Rng transformer(StreamKey(options_.seed, LiveStream, minute));
    SimulatedReading r;
    r.ratedPrimary = RatedPrimaries[static_cast<std::size_t>(
        transformer.between(0, static_cast<int>(RatedPrimaries.size()) - 1))];
    r.ratedSecondaryTenths = 50;
    r.channel = static_cast<int>(static_cast<std::uint64_t>(t / 20.0) % 3);
    const double phase = TwoPi * transformer.uniform();

    Rng noise(StreamKey(options_.seed, LiveNoiseStream, static_cast<std::uint64_t>(t * 20.0)));
    const double load =
        0.75 + 0.2 * std::sin(TwoPi * t / 17.0 + phase) + 0.03 * std::sin(TwoPi * t / 3.1);
    r.primaryRaw = ClampRaw(r.ratedPrimary * load * 10.0 + noise.between(-2, 2));
    const double errorPercent =
        0.35 * std::sin(TwoPi * t / 41.0 + phase) + 0.1 * std::sin(TwoPi * t / 7.0);
    const int error = static_cast<int>(std::lround(errorPercent * 10.0));
    r.errorTenths = error;
    r.secondaryRaw[static_cast<std::size_t>(r.channel)] =
        ClampRaw(SecondaryMilliamps(r.primaryRaw, r.ratedPrimary, r.ratedSecondaryTenths, error));
    for (int c = 0; c < 3; ++c) {
        if (c != r.channel)
            r.secondaryRaw[static_cast<std::size_t>(c)] =
                static_cast<std::uint16_t>(noise.between(0, 12));
    }
    return BuildFrame(r, 0, FrameKind::LiveReading);
}

bool SimulatedInstrument::openLine(QString* error) {
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        closeLine();
        return false;
    };
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0)
        return fail(ErrnoText("posix_openpt"));
    if (::grantpt(masterFd_) != 0)
        return fail(ErrnoText("grantpt"));
    if (::unlockpt(masterFd_) != 0)
        return fail(ErrnoText("unlockpt"));
    char name[128] = {};
    if (::ptsname_r(masterFd_, name, sizeof name) != 0)
        return fail(ErrnoText("ptsname"));
    if (!SetNonBlockingCloexec(masterFd_))
        return fail(ErrnoText("fcntl on the pty master"));
    // Keeping one slave descriptor open for the simulator's whole life keeps the line settings
    // and stops the master from seeing a hangup each time the program closes its port.
    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveFd_ < 0)
        return fail(ErrnoText("open pty slave"));
    if (!MakeRaw38400(slaveFd_) || !MakeRaw38400(masterFd_))
        return fail(ErrnoText("tcsetattr"));
#ifdef __linux__
    // A real port loses what arrives while it is closed. The kept slave descriptor would hold
    // it for the next opener instead, so follow the program's opens and closes of the path.
    openWatchFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (openWatchFd_ >= 0 && ::inotify_add_watch(openWatchFd_, name, IN_OPEN | IN_CLOSE) < 0)
        CloseFd(openWatchFd_);
#endif
    if (!options_.linkPath.isEmpty()) {
        // A new link beside the old name, then renamed over it: the name never dangles.
        const QByteArray link = options_.linkPath.toLocal8Bit();
        // Only a link of ours is ever replaced, never a file that happens to have the name.
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return fail(ErrnoText("the link path is taken by something that is not a link"));
        }
        const QByteArray fresh = link + ".new";
        ::unlink(fresh.constData());
        if (::symlink(name, fresh.constData()) != 0)
            return fail(ErrnoText("symlink"));
        if (::rename(fresh.constData(), link.constData()) != 0) {
            const QString message = ErrnoText("rename of the link");
            ::unlink(fresh.constData());
            return fail(message);
        }
    }
    std::lock_guard lock(pathMutex_);
    devicePath_ = QString::fromLocal8Bit(name);
    return true;
}

void SimulatedInstrument::closeLine() {
    CloseFd(masterFd_);
    CloseFd(slaveFd_);
    CloseFd(openWatchFd_);
}

bool SimulatedInstrument::start(QString* error) {
    if (thread_.joinable() && running_.load()) {
        if (error)
            *error = QStringLiteral("the simulator is already running");
        return false;
    }
    stop(); // the thread of an earlier run may have ended by itself (unplugged)

    if (!openLine(error))
        return false;
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        closeLine();
        CloseFd(stopPipe_[0]);
        CloseFd(stopPipe_[1]);
        return false;
    };
    if (::pipe(stopPipe_) != 0)
        return fail(ErrnoText("pipe"));
    if (!SetNonBlockingCloexec(stopPipe_[0]) || !SetNonBlockingCloexec(stopPipe_[1]))
        return fail(ErrnoText("fcntl on the stop pipe"));

    requests_ = 0;
    answersSent_ = 0;
    replugs_ = 0;
    {
        std::lock_guard lock(codesMutex_);
        codes_.clear();
    }
    unplugged_ = false;
    running_ = true;
    startTime_ = Clock::now();
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimulatedInstrument::stop() {
    if (thread_.joinable()) {
        const char wake = 1;
        [[maybe_unused]] const auto n = ::write(stopPipe_[1], &wake, 1);
        thread_.join();
    }
    running_ = false;
    closeLine();
    CloseFd(stopPipe_[0]);
    CloseFd(stopPipe_[1]);
    if (!options_.linkPath.isEmpty()) {
        const QByteArray link = options_.linkPath.toLocal8Bit();
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(link.constData());
    }
}

// An answer waiting for the moment its last byte would have come down the line.
struct SimulatedInstrument::Pending {
    Clock::time_point due;
    QByteArray bytes; // empty for a dropped answer
    bool unplug = false;
};

// Everything the I/O thread keeps between wake-ups.
struct SimulatedInstrument::LineState {
    struct RxByte {
        std::uint8_t value;
        Clock::time_point at;
    };
    std::vector<RxByte> rx;
    std::deque<Pending> pending;
    QByteArray out;
    bool unplugQueued = false;  // the plug goes once `out` is through
    bool unplugPlanned = false; // the answer that pulls it is scheduled
    int answerNo = 0;
    int groupAnswerNo = 0;
    int openers = 0; // the program's descriptors on the slave path (ours not counted)
    Clock::time_point rxLineFree{};
    Clock::time_point txLineFree{};
};

void SimulatedInstrument::handleRequest(LineState& s, std::uint16_t code, Clock::time_point at) {
    ++requests_;
    {
        std::lock_guard lock(codesMutex_);
        if (codes_.size() >= 2 * MaxLoggedCodes)
            codes_.remove(0, codes_.size() - MaxLoggedCodes);
        codes_.append(code);
    }
    // Requests queued up in the pty would have followed one another on the line.
    const auto requestStart = std::max(at, s.rxLineFree);
    const auto requestEnd = requestStart + ByteTimes(RequestSize);
    s.rxLineFree = requestEnd;
    if (s.unplugPlanned)
        return;

    std::optional<MeasurementFrame> frame;
    bool isGroup = false;
    if (code >= 1 && code <= MaxStoredGroups) {
        isGroup = code <= groupCount_;
        frame = storedGroup(code);
    } else if (code == LiveRequestCode) {
        frame = liveReading(std::chrono::duration<double>(Clock::now() - startTime_).count());
    } else if (code == CountRequestCode) {
        frame = GroupCountFrame(static_cast<std::uint16_t>(groupCount_));
    } else if (code > PortProbeBase && code <= PortProbeBase + 16) {
        frame = PortNumberFrame(static_cast<std::uint8_t>(code - PortProbeBase));
    }
    if (!frame)
        return;
    if (options_.silentAfter >= 0 && s.answerNo >= options_.silentAfter)
        return;

    const int number = ++s.answerNo;
    if (isGroup && IsEvery(options_.wrongGroupEvery, ++s.groupAnswerNo))
        frame = groupFrame(code + 1);
    QByteArray bytes = frame->toByteArray();
    if (IsEvery(options_.corruptEvery, number))
        bytes[MeasurementFrame::Size - 1] = static_cast<char>(frame->checksum() ^ 0xFF);
    if (IsEvery(options_.shortEvery, number))
        bytes.truncate(ShortAnswerSize);
    if (IsEvery(options_.noiseEvery, number)) {
        Rng noise(StreamKey(options_.seed, LineNoiseStream, static_cast<std::uint64_t>(number)));
        QByteArray lead(noise.between(1, MaxNoiseBytes), '\0');
        for (char& b : lead)
            b = static_cast<char>(noise.next() & 0xFF);
        bytes.prepend(lead);
    }
    if (IsEvery(options_.dropEvery, number))
        bytes.clear();

    Pending p;
    p.unplug = options_.unplugAfter > 0 && number == options_.unplugAfter;
    s.unplugPlanned = p.unplug;
    // When the answer's first byte reaches the adapter.
    Clock::time_point firstByte = Clock::now();
    if (!options_.emulateByteTime) {
        p.due = firstByte;
    } else if (bytes.isEmpty()) {
        p.due = requestEnd;
    } else {
        firstByte = std::max(requestEnd, s.txLineFree) + ByteTimes(1);
        p.due = std::max(requestEnd, s.txLineFree) + ByteTimes(static_cast<int>(bytes.size()));
        s.txLineFree = p.due;
    }
    // The adapter passes a short packet on only when its latency timer, started by the first
    // byte, runs out (or once the packet is complete, were the wire slower than the timer).
    if (!bytes.isEmpty() && options_.latencyTimerMs > 0)
        p.due = std::max(p.due, firstByte + std::chrono::milliseconds(options_.latencyTimerMs));
    p.bytes = std::move(bytes);
    s.pending.push_back(std::move(p));
}

// Picks complete requests out of the received bytes; anything before a 0x64 0x65 lead is noise.
void SimulatedInstrument::parseRequests(LineState& s) {
    auto& rx = s.rx;
    for (;;) {
        std::size_t lead = 0;
        while (lead + 1 < rx.size() &&
               !(rx[lead].value == RequestLead0 && rx[lead + 1].value == RequestLead1))
            ++lead;
        if (lead + 1 >= rx.size()) {
            // No lead pair yet; a trailing 0x64 may be the start of one.
            const bool keepLast = !rx.empty() && rx.back().value == RequestLead0;
            rx.erase(rx.begin(), keepLast ? rx.end() - 1 : rx.end());
            return;
        }
        rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(lead));
        if (rx.size() < RequestSize)
            return;
        const auto code = static_cast<std::uint16_t>(rx[2].value << 8 | rx[3].value);
        const auto at = rx[0].at;
        rx.erase(rx.begin(), rx.begin() + RequestSize);
        handleRequest(s, code, at);
    }
}

// Writes as much of `out` as the pty takes. False when the master is unusable.
bool SimulatedInstrument::flush(LineState& s) {
    while (!s.out.isEmpty()) {
        const auto n = ::write(masterFd_, s.out.constData(), static_cast<size_t>(s.out.size()));
        if (n > 0) {
            s.out.remove(0, static_cast<qsizetype>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        s.out.clear(); // nobody can receive it; like bytes sent down a dead line
        return false;
    }
    return true;
}

// Gives the program up to half a second to read what is still queued for it, then closes both
// pty ends so that its port sees a hangup.
void SimulatedInstrument::pullPlug() {
    const auto giveUp = Clock::now() + std::chrono::milliseconds(500);
    int emptyChecks = 0;
    while (Clock::now() < giveUp && emptyChecks < 2) {
        int queued = 0;
        if (::ioctl(slaveFd_, TIOCINQ, &queued) != 0)
            break;
        emptyChecks = queued == 0 ? emptyChecks + 1 : 0;
        pollfd stopFd{stopPipe_[0], POLLIN, 0};
        if (::poll(&stopFd, 1, 1) > 0)
            break;
    }
    CloseFd(masterFd_);
    CloseFd(slaveFd_);
    unplugged_ = true;
    if (options_.replugAfterMs < 0)
        running_ = false;
}

// The plug comes back after replugAfterMs as a new pty. False when it does not come back (not
// asked for, stopped meanwhile, or the new pty failed).
bool SimulatedInstrument::replug() {
    if (options_.replugAfterMs < 0)
        return false;
    pollfd stopFd{stopPipe_[0], POLLIN, 0};
    if (::poll(&stopFd, 1, options_.replugAfterMs) != 0)
        return false;
    closeLine();
    if (!openLine(nullptr)) {
        running_ = false;
        return false;
    }
    unplugged_ = false;
    ++replugs_;
    return true;
}

// Counts the program's opens and closes of the slave. When the last one closes, whatever it
// has not read is thrown away and exclusive mode (TIOCEXCL) is lifted, as for a real serial
// port on its last close.
void SimulatedInstrument::watchOpenings(LineState& s) {
#ifdef __linux__
    if (openWatchFd_ < 0)
        return;
    alignas(inotify_event) char buf[1024];
    for (;;) {
        const auto n = ::read(openWatchFd_, buf, sizeof buf);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buf + at, sizeof event);
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_OPEN)
                ++s.openers;
            if ((event.mask & IN_CLOSE) && s.openers > 0 && --s.openers == 0) {
                ::tcflush(slaveFd_, TCIFLUSH);
                s.out.clear();
                // Exclusive use ends with the last close of a real port; ours never closes.
                ::ioctl(slaveFd_, TIOCNXCL);
            }
            if (event.mask & (IN_Q_OVERFLOW | IN_IGNORED)) {
                // Lost track: stop judging and deliver everything from now on.
                CloseFd(openWatchFd_);
                return;
            }
        }
    }
#else
    (void)s;
#endif
}

void SimulatedInstrument::run() {
    // Signals belong to the program's main thread, and waits here need to be tight: the line
    // is emulated to a few microseconds, so ask for the smallest timer slack.
    sigset_t all;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
#ifdef __linux__
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    LineState s;
    if (options_.unplugAfter == 0) {
        pullPlug();
        if (!replug())
            return;
    }

    std::optional<Clock::time_point> masterResting; // after a hangup or EIO, poll it later
    for (;;) {
        if (!s.pending.empty()) {
            const auto due = s.pending.front().due;
            if (due - Clock::now() <= SpinMargin) {
                while (Clock::now() < due) {
                }
            }
        }
        watchOpenings(s);
        const bool anyoneListening = openWatchFd_ < 0 || s.openers > 0;
        const auto now = Clock::now();
        while (!s.pending.empty() && s.pending.front().due <= now) {
            Pending& p = s.pending.front();
            if (!p.bytes.isEmpty()) {
                if (anyoneListening)
                    s.out += p.bytes; // otherwise it goes down the line into a closed port
                ++answersSent_;
            }
            s.unplugQueued = s.unplugQueued || p.unplug;
            s.pending.pop_front();
        }
        flush(s);
        if (s.unplugQueued && s.out.isEmpty()) {
            pullPlug();
            if (!replug())
                return;
            // A new line: nothing of the old one carries over but the answer numbers.
            const int answerNo = s.answerNo;
            const int groupAnswerNo = s.groupAnswerNo;
            s = LineState{};
            s.answerNo = answerNo;
            s.groupAnswerNo = groupAnswerNo;
            masterResting.reset();
            continue;
        }
        if (masterResting && *masterResting <= now)
            masterResting.reset();

        std::optional<Clock::time_point> wake;
        if (!s.pending.empty())
            wake = s.pending.front().due - SpinMargin;
        if (masterResting)
            wake = wake ? std::min(*wake, *masterResting) : *masterResting;
        std::array<pollfd, 3> fds{};
        fds[0] = {stopPipe_[0], POLLIN, 0};
        fds[1] = {openWatchFd_, POLLIN, 0}; // ignored by poll while negative
        nfds_t count = 2;
        if (!masterResting) {
            const short events = POLLIN | (s.out.isEmpty() ? 0 : POLLOUT);
            fds[2] = {masterFd_, events, 0};
            count = 3;
        }
        timespec timeout{};
        if (wake)
            timeout = ToTimespec(*wake - Clock::now());
        const int ready = ::ppoll(fds.data(), count, wake ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR)
            masterResting = Clock::now() + std::chrono::milliseconds(20);
        if (ready <= 0)
            continue;
        if (fds[0].revents != 0)
            return;
        if (count < 3 || fds[2].revents == 0)
            continue;

        bool gotData = false;
        if (fds[2].revents & POLLIN) {
            std::array<std::uint8_t, 256> buf{};
            for (;;) {
                const auto n = ::read(masterFd_, buf.data(), buf.size());
                if (n > 0) {
                    gotData = true;
                    const auto at = Clock::now();
                    for (ssize_t i = 0; i < n; ++i)
                        s.rx.push_back({buf[static_cast<std::size_t>(i)], at});
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                break; // EAGAIN: drained; EIO or 0: no one on the slave side
            }
            parseRequests(s);
        }
        // A hangup without data would wake poll again at once; rest the master for a moment
        // instead of spinning until the program reopens its port.
        if (!gotData && (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL | POLLIN)))
            masterResting = Clock::now() + std::chrono::milliseconds(20);
    }
}

} // namespace velantis
