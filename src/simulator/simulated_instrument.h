#pragma once

// A stand-in for the ratio tester on a pseudo-terminal (Linux).
//
// The simulator opens a pty pair, keeps the slave side configured as a raw 38400 8N1 line and
// answers the program's 4-byte requests on the master side from its own I/O thread, the way the
// instrument would: one 20-byte frame per request, delivered no earlier than the serial line
// could carry it (4 request bytes + 20 answer bytes at 38400 baud = 6.25 ms).
//
// Request codes and what they get:
//   1 .. 29999      stored group n: the kind-1 frame storedGroup(n) while n <= storedGroupCount(),
//                   the kind-5 end-of-groups frame after the last group
//   30000           a live reading (kind 2) that drifts with the time since start()
//   40000           the group count (kind 3)
//   60001 .. 60016  port probe for port p = code - 60000 (kind 4, p in byte 1)
//   anything else   ignored: no answer, no answer number used (0, 30001..39999, 40001..60000,
//                   60017..65535)
//
// Answer numbering: every answered request takes the next answer number, counted from 1. The
// fault options below work on these numbers ("every k-th" means answers k, 2k, 3k, ...), and a
// dropped answer still uses up its number. Ignored codes and requests after silentAfter take no
// number. When several faults hit one answer: dropped beats short beats corrupt.
//
// Noise: with noiseEvery, answer k*noiseEvery is led by 1 to 8 bytes of line noise (seeded), as
// a noisy radio link would add between frames. The noise goes out with the answer (a dropped
// answer sends none) and takes line time like any byte.
//
// USB adapter latency: with latencyTimerMs, every answer reaches the program that long after its
// first byte came down the line (or at its last byte, if the line is slower), the way a USB
// serial adapter holds a short packet until its latency timer runs out (16 ms by default on FTDI
// chips).
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

#include "protocol/frame.h"

#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

namespace velantis {

struct SimulatorOptions {
    int storedGroups = 200; // clamped to 0..29999, since 30000 and up are other requests
    bool emulateByteTime = true;
    int dropEvery = 0;       // answer k*dropEvery is not sent at all
    int corruptEvery = 0;    // answer k*corruptEvery goes out with a wrong checksum
    int wrongGroupEvery = 0; // the k*wrongGroupEvery-th stored-group answer (counted among the
                             // answers to requests for groups 1..N only) is group n+1's frame
    int shortEvery = 0;      // answer k*shortEvery sends only its first 10 bytes
    int silentAfter = -1;    // answers after number silentAfter are never sent; -1 = never silent
    int unplugAfter = -1;    // once answer number unplugAfter is out (and read by the client, or
                             // after 0.5 s), both pty ends are closed, as if the USB cable were
                             // pulled; 0 pulls it right after start(); -1 = never
    int noiseEvery = 0;      // answer k*noiseEvery is led by 1..8 bytes of noise
    int latencyTimerMs = 0;  // each answer held this long, like a USB adapter's latency timer
    int replugAfterMs = -1;  // after an unplug, back on a new pty this much later; -1 = never
    QString linkPath = {};   // a symbolic link kept pointing at the current slave path
    quint32 seed = 1;
};

class SimulatedInstrument {
public:
    static constexpr std::uint16_t LiveRequestCode = 30000;
    static constexpr std::uint16_t CountRequestCode = 40000;
    static constexpr std::uint16_t PortProbeBase = 60000;
    static constexpr int MaxStoredGroups = 29999;

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
    const SimulatorOptions& options() const { return options_; }

    int storedGroupCount() const { return groupCount_; }
    // The exact frame sent for a request of group n; the end-of-groups frame for n outside
    // 1..storedGroupCount().
    MeasurementFrame storedGroup(int n) const;
    // The live frame the simulator sends `seconds` after start().
    MeasurementFrame liveReading(double seconds) const;

    int requestsReceived() const { return requests_.load(); }
    // Answers actually written (including corrupted and shortened ones, not dropped ones).
    int answersSent() const { return answersSent_.load(); }
    // The request codes received, in order, including ignored ones: the last MaxLoggedCodes of
    // them at least (older ones are let go, so that a simulator running for days keeps its
    // memory flat).
    static constexpr qsizetype MaxLoggedCodes = 1 << 16;
    QList<std::uint16_t> requestCodes() const;

private:
    struct Pending;
    struct LineState;

    void run();
    void parseRequests(LineState& s);
    void handleRequest(LineState& s, std::uint16_t code, std::chrono::steady_clock::time_point at);
    bool flush(LineState& s);
    void pullPlug();
    // Opens a new pty pair (and its watch and link). False with a message on failure.
    bool openLine(QString* error);
    void closeLine();
    bool replug();
    void watchOpenings(LineState& s);
    MeasurementFrame groupFrame(int n) const;

    SimulatorOptions options_;
    int groupCount_ = 0;

    QString devicePath_;
    int masterFd_ = -1;
    int slaveFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int openWatchFd_ = -1; // inotify on the slave path: who has the port open
    std::thread thread_;
    std::chrono::steady_clock::time_point startTime_;

    std::atomic<bool> running_{false};
    std::atomic<bool> unplugged_{false};
    std::atomic<int> requests_{0};
    std::atomic<int> answersSent_{0};
    std::atomic<int> replugs_{0};
    mutable std::mutex pathMutex_;
    mutable std::mutex codesMutex_;
    QList<std::uint16_t> codes_;
};

} // namespace velantis
