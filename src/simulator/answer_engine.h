// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the simulated ratio tester answers, and when: one engine behind both the simulated
// instrument on a pseudo-terminal (SimulatedInstrument, POSIX) and the in-process simulated line
// (SimulatedLine, every platform). It takes the bytes the program sends and gives the answers
// with the moment each one has come down the line; moving the bytes is the caller's business.
//
// Request codes and what they get:
//   1 .. 29999      stored group n: the kind-1 frame storedGroup(n) while n <= storedGroupCount(),
//                   the kind-5 end-of-groups frame after the last group
//   30000           a live reading (kind 2) that drifts with the time since restart()
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
// Line time: a request takes 4 byte times at 38400 baud (10 bits a byte) from its first byte, an
// answer its own length after the request's end, and requests or answers queued up follow one
// another on the line. Without emulateByteTime every answer is due at once.
//
// USB adapter latency: with latencyTimerMs, every answer reaches the program that long after its
// first byte came down the line (or at its last byte, if the line is slower), the way a USB
// serial adapter holds a short packet until its latency timer runs out (16 ms by default on FTDI
// chips).

#include "protocol/frame.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

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
    int unplugAfter = -1;    // once answer number unplugAfter is out, the line goes away as if
                             // the USB cable were pulled; 0 pulls it right at the start; -1 = never
    int noiseEvery = 0;      // answer k*noiseEvery is led by 1..8 bytes of noise
    int latencyTimerMs = 0;  // each answer held this long, like a USB adapter's latency timer
    int replugAfterMs = -1;  // after an unplug, back this much later; -1 = never
    QString linkPath = {};   // pseudo-terminal only: a symbolic link kept pointing at the line
    quint32 seed = 1;
};

class AnswerEngine {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::uint16_t LiveRequestCode = 30000;
    static constexpr std::uint16_t CountRequestCode = 40000;
    static constexpr std::uint16_t PortProbeBase = 60000;
    static constexpr int MaxStoredGroups = 29999;
    static constexpr qsizetype MaxLoggedCodes = 1 << 16;

    // An answer and the moment its last byte has come down the line (and through the adapter).
    struct Answer {
        Clock::time_point due;
        QByteArray bytes;    // empty for a dropped answer
        bool unplug = false; // the plug is pulled once this answer is out
    };

    explicit AnswerEngine(const SimulatorOptions& options);

    const SimulatorOptions& options() const { return options_; }
    int storedGroupCount() const { return groupCount_; }
    // The exact frame sent for a request of group n; the end-of-groups frame for n outside
    // 1..storedGroupCount().
    MeasurementFrame storedGroup(int n) const;
    // The live frame sent `seconds` after restart().
    MeasurementFrame liveReading(double seconds) const;

    // Starts afresh from `start`: answer numbers, counters, the request log and the line.
    void restart(Clock::time_point start);
    // A new line (after a re-plug): the bytes in flight and the line's timing go, the answer
    // numbers stay.
    void newLine();
    // Bytes the program sent, received at `at`. Each complete request appends its answer, if it
    // gets one, to `answers`; anything before a request's 0x64 0x65 lead is noise.
    void receive(const char* data, qsizetype size, Clock::time_point at,
                 std::deque<Answer>& answers);
    // The answer that pulls the plug is scheduled: later requests get nothing.
    bool unplugPlanned() const { return unplugPlanned_; }

    // Safe to call from any thread.
    int requestsReceived() const { return requests_.load(); }
    // The request codes received, in order, including ignored ones: the last MaxLoggedCodes of
    // them at least (older ones are let go, so that a simulator running for days keeps its
    // memory flat). Safe to call from any thread.
    QList<std::uint16_t> requestCodes() const;

private:
    struct RxByte {
        std::uint8_t value;
        Clock::time_point at;
    };

    void handleRequest(std::uint16_t code, Clock::time_point at, std::deque<Answer>& answers);
    MeasurementFrame groupFrame(int n) const;

    SimulatorOptions options_;
    int groupCount_ = 0;
    Clock::time_point startTime_;

    std::vector<RxByte> rx_;
    bool unplugPlanned_ = false;
    int answerNo_ = 0;
    int groupAnswerNo_ = 0;
    Clock::time_point rxLineFree_{};
    Clock::time_point txLineFree_{};

    std::atomic<int> requests_{0};
    mutable std::mutex codesMutex_;
    QList<std::uint16_t> codes_;
};

} // namespace velantis
