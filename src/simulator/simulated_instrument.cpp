// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/simulated_instrument.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>

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

using Clock = AnswerEngine::Clock;

// Timer wake-ups come late by up to a few hundred microseconds on a busy machine, so the last
// stretch before an answer is due is waited out by spinning.
constexpr auto SpinMargin = std::chrono::microseconds(300);

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

// What failed and the system's reason. `what` is a system call's name or a text marked for
// translation; errno is read before anything else can change it.
QString ErrnoText(const char* what) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    return QStringLiteral("%1: %2").arg(QCoreApplication::translate("SimulatedInstrument", what),
                                        reason);
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
    : options_(options), engine_(options) {}

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
        return fail(ErrnoText(QT_TRANSLATE_NOOP("SimulatedInstrument", "fcntl on the pty master")));
    // Keeping one slave descriptor open for the simulator's whole life keeps the line settings
    // and stops the master from seeing a hangup each time the program closes its port.
    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveFd_ < 0)
        return fail(ErrnoText(QT_TRANSLATE_NOOP("SimulatedInstrument", "open pty slave")));
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
            return fail(ErrnoText(QT_TRANSLATE_NOOP(
                "SimulatedInstrument", "the link path is taken by something that is not a link")));
        }
        const QByteArray fresh = link + ".new";
        ::unlink(fresh.constData());
        if (::symlink(name, fresh.constData()) != 0)
            return fail(ErrnoText("symlink"));
        if (::rename(fresh.constData(), link.constData()) != 0) {
            const QString message =
                ErrnoText(QT_TRANSLATE_NOOP("SimulatedInstrument", "rename of the link"));
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
            *error = QCoreApplication::translate("SimulatedInstrument",
                                                 "the simulator is already running");
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
        return fail(ErrnoText(QT_TRANSLATE_NOOP("SimulatedInstrument", "fcntl on the stop pipe")));

    answersSent_ = 0;
    replugs_ = 0;
    engine_.restart(Clock::now());
    unplugged_ = false;
    running_ = true;
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

// Everything the I/O thread keeps between wake-ups besides the engine's own state.
struct SimulatedInstrument::LineState {
    std::deque<AnswerEngine::Answer> pending;
    QByteArray out;
    bool unplugQueued = false; // the plug goes once `out` is through
    int openers = 0;           // the program's descriptors on the slave path (ours not counted)
};

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
            AnswerEngine::Answer& p = s.pending.front();
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
            s = LineState{};
            engine_.newLine();
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
            std::array<char, 256> buf{};
            for (;;) {
                const auto n = ::read(masterFd_, buf.data(), buf.size());
                if (n > 0) {
                    gotData = true;
                    engine_.receive(buf.data(), n, Clock::now(), s.pending);
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                break; // EAGAIN: drained; EIO or 0: no one on the slave side
            }
        }
        // A hangup without data would wake poll again at once; rest the master for a moment
        // instead of spinning until the program reopens its port.
        if (!gotData && (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL | POLLIN)))
            masterResting = Clock::now() + std::chrono::milliseconds(20);
    }
}

} // namespace velantis
