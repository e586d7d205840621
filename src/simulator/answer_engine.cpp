// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/answer_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

namespace velantis {

namespace {

using Clock = AnswerEngine::Clock;

constexpr long long BaudRate = 38400;
constexpr long long BitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr int RequestSize = 4;
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

} // namespace

AnswerEngine::AnswerEngine(const SimulatorOptions& options)
    : options_(options), groupCount_(std::clamp(options.storedGroups, 0, MaxStoredGroups)),
      startTime_(Clock::now()) {}

void AnswerEngine::restart(Clock::time_point start) {
    startTime_ = start;
    answerNo_ = 0;
    groupAnswerNo_ = 0;
    requests_ = 0;
    {
        std::lock_guard lock(codesMutex_);
        codes_.clear();
    }
    newLine();
}

void AnswerEngine::newLine() {
    rx_.clear();
    unplugPlanned_ = false;
    rxLineFree_ = {};
    txLineFree_ = {};
}

QList<std::uint16_t> AnswerEngine::requestCodes() const {
    std::lock_guard lock(codesMutex_);
    return codes_;
}

MeasurementFrame AnswerEngine::storedGroup(int n) const {
    if (n < 1 || n > groupCount_)
        return EndOfGroupsFrame();
    return groupFrame(n);
}

// Stored groups come in threes: one transformer measured on R, S and T in turn. The transformer
// fixes rating and a typical ratio error; each group adds its own load and scatter.
MeasurementFrame AnswerEngine::groupFrame(int n) const {
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
MeasurementFrame AnswerEngine::liveReading(double seconds) const {
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

void AnswerEngine::handleRequest(std::uint16_t code, Clock::time_point at,
                                 std::deque<Answer>& answers) {
    ++requests_;
    {
        std::lock_guard lock(codesMutex_);
        if (codes_.size() >= 2 * MaxLoggedCodes)
            codes_.remove(0, codes_.size() - MaxLoggedCodes);
        codes_.append(code);
    }
    // Requests queued up would have followed one another on the line.
    const auto requestStart = std::max(at, rxLineFree_);
    const auto requestEnd = requestStart + ByteTimes(RequestSize);
    rxLineFree_ = requestEnd;
    if (unplugPlanned_)
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
    if (options_.silentAfter >= 0 && answerNo_ >= options_.silentAfter)
        return;

    const int number = ++answerNo_;
    if (isGroup && IsEvery(options_.wrongGroupEvery, ++groupAnswerNo_))
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

    Answer p;
    p.unplug = options_.unplugAfter > 0 && number == options_.unplugAfter;
    unplugPlanned_ = p.unplug;
    // When the answer's first byte reaches the adapter.
    Clock::time_point firstByte = Clock::now();
    if (!options_.emulateByteTime) {
        p.due = firstByte;
    } else if (bytes.isEmpty()) {
        p.due = requestEnd;
    } else {
        firstByte = std::max(requestEnd, txLineFree_) + ByteTimes(1);
        p.due = std::max(requestEnd, txLineFree_) + ByteTimes(static_cast<int>(bytes.size()));
        txLineFree_ = p.due;
    }
    // The adapter passes a short packet on only when its latency timer, started by the first
    // byte, runs out (or once the packet is complete, were the wire slower than the timer).
    if (!bytes.isEmpty() && options_.latencyTimerMs > 0)
        p.due = std::max(p.due, firstByte + std::chrono::milliseconds(options_.latencyTimerMs));
    p.bytes = std::move(bytes);
    answers.push_back(std::move(p));
}

void AnswerEngine::receive(const char* data, qsizetype size, Clock::time_point at,
                           std::deque<Answer>& answers) {
    for (qsizetype i = 0; i < size; ++i)
        rx_.push_back({static_cast<std::uint8_t>(data[i]), at});
    auto& rx = rx_;
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
        const auto rxAt = rx[0].at;
        rx.erase(rx.begin(), rx.begin() + RequestSize);
        handleRequest(code, rxAt, answers);
    }
}

} // namespace velantis
