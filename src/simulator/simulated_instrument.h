// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A stand-in for the ratio tester on a pseudo-terminal (Linux).
//
// The simulator opens a pty pair, keeps the slave side configured as a raw 38400 8N1 line and
// answers the program's 4-byte requests on the master side from its own I/O thread, the way the
// instrument would: one 20-byte frame per request, delivered no earlier than the serial line
// could carry it (4 request bytes + 20 answer bytes at 38400 baud = 6.25 ms).
//
// What it answers, when, and the fault options: see AnswerEngine, which it shares with the
// in-process SimulatedLine.
//
// Re-plug: with replugAfterMs, a pulled plug comes back after that many milliseconds as a new
// pseudo-terminal (so a new /dev/pts/N); the unplug happens once per start(). With linkPath, the
// simulator keeps a symbolic link there to its current slave path, moved atomically on re-plug
// and removed by stop(), so that a program can be pointed at one stable name.
//
// Like a real port, the slave loses what arrives while no program has it open: an answer due
// then is discarded, and unread bytes are flushed when the last program closes the port (Linux
// inotify on the slave path). The last close also lifts TIOCEXCL, which would otherwise stick
// because the simulator keeps its own slave descriptor open.

#include "simulator/answer_engine.h"

#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

namespace velantis {

class SimulatedInstrument {
public:
    static constexpr std::uint16_t LiveRequestCode = AnswerEngine::LiveRequestCode;
    static constexpr std::uint16_t CountRequestCode = AnswerEngine::CountRequestCode;
    static constexpr std::uint16_t PortProbeBase = AnswerEngine::PortProbeBase;
    static constexpr int MaxStoredGroups = AnswerEngine::MaxStoredGroups;

    explicit SimulatedInstrument(const SimulatorOptions& options = {});
    ~SimulatedInstrument();
    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    // Opens the pty and starts answering. False (with a message in *error) when the pty cannot
    // be set up or the simulator is already running. Counters restart from zero.
    bool start(QString* error = nullptr);
    // Stops the I/O thread and closes both pty ends. Safe to call repeatedly.
    void stop();
    // True from start() until stop() or until the simulated plug was pulled for good (with
    // replugAfterMs it stays true through the gap).
    bool isRunning() const { return running_.load(); }
    bool isUnplugged() const { return unplugged_.load(); }
    // How often the plug came back (replugAfterMs).
    int replugCount() const { return replugs_.load(); }

    // The slave path the program opens ("/dev/pts/N"); still reported after an unplug. After a
    // re-plug, the new one.
    QString devicePath() const;
    // The stable name to give the program: linkPath when set, else devicePath().
    QString portPath() const;
    const SimulatorOptions& options() const { return engine_.options(); }
    // What it answers. Its const members are safe to call while the simulator runs.
    const AnswerEngine& engine() const { return engine_; }

    int storedGroupCount() const { return engine_.storedGroupCount(); }
    // The exact frame sent for a request of group n; the end-of-groups frame for n outside
    // 1..storedGroupCount().
    MeasurementFrame storedGroup(int n) const { return engine_.storedGroup(n); }
    // The live frame the simulator sends `seconds` after start().
    MeasurementFrame liveReading(double seconds) const { return engine_.liveReading(seconds); }

    int requestsReceived() const { return engine_.requestsReceived(); }
    // Answers actually written (including corrupted and shortened ones, not dropped ones).
    int answersSent() const { return answersSent_.load(); }
    // The request codes received (see AnswerEngine::requestCodes).
    static constexpr qsizetype MaxLoggedCodes = AnswerEngine::MaxLoggedCodes;
    QList<std::uint16_t> requestCodes() const { return engine_.requestCodes(); }

private:
    struct LineState;

    void run();
    bool flush(LineState& s);
    void pullPlug();
    // Opens a new pty pair (and its watch and link). False with a message on failure.
    bool openLine(QString* error);
    void closeLine();
    bool replug();
    void watchOpenings(LineState& s);

    const SimulatorOptions options_;
    AnswerEngine engine_; // used by the I/O thread while it runs

    QString devicePath_;
    int masterFd_ = -1;
    int slaveFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int openWatchFd_ = -1; // inotify on the slave path: who has the port open
    std::thread thread_;

    std::atomic<bool> running_{false};
    std::atomic<bool> unplugged_{false};
    std::atomic<int> answersSent_{0};
    std::atomic<int> replugs_{0};
    mutable std::mutex pathMutex_;
};

} // namespace velantis
