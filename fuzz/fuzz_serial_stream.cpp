// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary byte streams, cut into arbitrary chunks, through the serial line's receive path into
// the controller, with timer ticks, read, clear and print requests in between.
//
// The input is a script: each step's first byte picks what happens (bytes arriving, a timer
// tick, a command, the cable pulled), the bytes after it say how. The target keeps its own
// account of the record store, worked out from the frames the controller read with the frame
// rules of fuzz_check.h: a slot may only change to what a valid stored-group frame for that very
// slot read during the step gives, or be emptied by a read or clear command; every list the
// controller builds and every print buffer it prints must be exactly the rows of that account;
// at the end the store must equal it. One controller serves every input, started afresh
// (Form_Load) before each: what it keeps across inputs (its download verdict, the notices it has
// given) bears on no invariant here. Its history file lives in memory-backed storage.
#include "fuzz_check.h"

#include "link/monitor.h"
#include "protocol/reading.h"

#include <map>
#include <set>
#include <vector>

using namespace velantis;
using velantis::fuzz::ByteReader;
using velantis::fuzz::SameRecord;
namespace model = velantis::fuzz::model;

namespace {

// The serial line in memory; it keeps every block the controller reads from it.
class ScriptedLine final : public SerialLine {
public:
    QByteArray input;
    std::vector<QByteArray> reads;

    bool open(const QString& device) override {
        open_ = !device.isEmpty();
        input.clear();
        return open_;
    }
    void close() override {
        open_ = false;
        input.clear();
    }
    bool isOpen() const override { return open_; }
    OpenError lastOpenError() const override {
        return open_ ? OpenError::None : OpenError::NotFound;
    }
    QString lastErrorText() const override { return {}; }
    bool write(const QByteArray& bytes) override {
        FUZZ_CHECK(open_, "requests are written to an open line only");
        FUZZ_CHECK(bytes.size() == 4 && bytes[0] == char(100) && bytes[1] == char(101),
                   "a request is 4 bytes led by 100 101");
        return true;
    }
    void discardInput() override { input.clear(); }
    qint64 bytesAvailable() const override { return input.size(); }
    QByteArray read(qint64 maxBytes) override {
        FUZZ_CHECK(maxBytes >= 0, "reads ask for a size");
        const QByteArray block = input.left(maxBytes);
        input.remove(0, block.size());
        reads.push_back(block);
        return block;
    }

    void receive(const QByteArray& bytes) {
        if (!open_)
            return; // nothing arrives on a closed port
        input += bytes;
        emit readyRead();
    }
    void unplug() {
        open_ = false;
        input.clear();
        emit lost(QStringLiteral("unplugged"));
    }

private:
    bool open_ = false;
};

// The 19 bytes (zeros after the end of the input) and their checksum, summed here.
QByteArray WithChecksum(QByteArray nineteen) {
    nineteen.resize(MeasurementFrame::Size - 1, '\0');
    unsigned sum = 0;
    for (const char c : nineteen)
        sum += static_cast<std::uint8_t>(c);
    return nineteen + char(sum & 0xFF);
}

// The target's account of the store: the filled slots, each as the controller stored it once
// the frame rules explained it; every other slot must be empty.
using Account = std::map<int, GroupRecord>;

bool Filled(const GroupRecord& slot) {
    return slot.recHvCurrent != EmptyMark;
}

// A slot changed during a step only to what a valid stored-group frame for that very slot, read
// during the step, gives; the account follows those changes. Returns the slots such frames named.
std::set<int> FollowStore(const Monitor& monitor, Account& account,
                          const std::vector<QByteArray>& reads) {
    std::set<int> touched;
    for (const QByteArray& block : reads) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(block.constData());
        if (!model::Valid(block) || (b[18] & 0x0F) != 1 || model::Raw(b, 12) > 4000)
            continue;
        const int n = int(model::Raw(b, 12));
        touched.insert(n);
        const GroupRecord& now = monitor.store().at(*SlotIndex::make(n));
        const auto was = account.find(n);
        if (was == account.end() ? !Filled(now) : SameRecord(now, was->second))
            continue;
        bool explained = false;
        for (const QByteArray& other : reads) {
            const auto* o = reinterpret_cast<const std::uint8_t*>(other.constData());
            if (explained || !model::Valid(other) || model::Raw(o, 12) != unsigned(n) ||
                (o[18] & 0x0F) != 1)
                continue;
            GroupRecord want = model::Record(o);
            want.recRatio = now.recRatio;
            explained = SameRecord(now, want) && model::RatioFits(o, now.recRatio);
        }
        FUZZ_CHECK(explained, "every stored slot holds what the frame that filled it gives");
        FUZZ_CHECK(FormatGroupRow(monitor.store(), *SlotIndex::make(n)) == model::Row(now, n),
                   "the row of a stored slot");
        account[n] = now;
    }
    return touched;
}

// A list: the heading, then the rows of the account's slots first..last in order (a 0 for first
// means 1, for last 3500; the range is cut to 0..4000). Slots in `skip` changed during the step,
// perhaps after the list was made: their rows are left out of the comparison.
void CheckList(const QString& text, const Account& account, int first, int last,
               const std::set<int>& skip) {
    const QString heading = HistoryHeading();
    FUZZ_CHECK(text.startsWith(heading), "a list starts with its heading");
    first = first == 0 ? 1 : std::max(first, 0);
    last = last == 0 ? 3500 : std::min(last, 4000);
    QString want;
    for (auto it = account.lower_bound(first); it != account.end() && it->first <= last; ++it) {
        if (!skip.count(it->first))
            want += model::Row(it->second, it->first) + QStringLiteral("\r\n");
    }
    QString got;
    for (const QString& row : text.mid(heading.size()).split(QStringLiteral("\r\n"))) {
        const int n = row.mid(1, 4).toInt();
        if (!row.isEmpty() && !skip.count(n))
            got += row + QStringLiteral("\r\n");
    }
    FUZZ_CHECK(got == want, "a list holds exactly the rows of the filled slots in its range");
    FUZZ_CHECK(text.endsWith(QStringLiteral("\r\n")), "a list ends with a line end");
}

struct Rig {
    ScriptedLine line;
    PortMap ports{[] { return QStringList(); }};
    Monitor monitor{line, ports, velantis::fuzz::MemoryFolder()};
    Account account;
    Rig() {
        for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
            ports.setOverride(n, QStringLiteral("/dev/fuzz%1").arg(n));
        monitor.setYieldToEvents([] {});
        monitor.setPrintList([this](const QString& text) {
            CheckList(text, account, monitor.form2kai, monitor.form2jie, {});
        });
    }
    // The controller as the program starts it: port 1 open, store and lists empty.
    void start() {
        line.close();
        monitor.linkUp = 0;
        monitor.silentTicks = 0;
        monitor.groupIndex = 0;
        monitor.replyTicks = 0;
        monitor.form2kai = 0;
        monitor.form2jie = 0;
        monitor.setPortFieldText(QStringLiteral("1"));
        monitor.Form_Load();
        account.clear();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    rig.start();
    ScriptedLine& line = rig.line;
    Monitor& monitor = rig.monitor;
    Account& account = rig.account;
    const QChar* lastList = nullptr;

    ByteReader in(data, size);
    int steps = 0;
    int clears = 0;
    while (!in.atEnd() && steps++ < 2000) {
        line.reads.clear();
        const std::uint8_t op = in.byte();
        switch (op % 18) {
        case 0:
        case 1:
        case 2:
        case 3: // a chunk of raw bytes
            line.receive(in.bytes(1 + in.byte() % 48));
            break;
        case 4: // a valid frame of any kind and contents
            line.receive(WithChecksum(in.bytes(19)));
            break;
        case 5: { // the stored group the controller waits for, maybe with a twist
            QByteArray body = in.bytes(19);
            body.resize(19, '\0');
            const std::uint16_t group = static_cast<std::uint16_t>(
                monitor.groupIndex + (op & 0x80 ? static_cast<std::int8_t>(in.byte()) : 0));
            body[12] = char(group >> 8);
            body[13] = char(group & 0xFF);
            body[18] = char((body[18] & 0xF0) | int(FrameKind::StoredGroup));
            // Alone on the line, the very group awaited within the announced count is stored.
            const bool awaited = line.isOpen() && line.input.isEmpty() && !(op & 0x80) &&
                                 group >= 1 && group <= 4000 && group <= monitor.groupTotal;
            const QByteArray frame = WithChecksum(body);
            line.receive(frame);
            if (awaited) {
                GroupRecord want =
                    model::Record(reinterpret_cast<const std::uint8_t*>(frame.data()));
                const GroupRecord& got = monitor.store().at(*SlotIndex::make(group));
                want.recRatio = got.recRatio;
                FUZZ_CHECK(SameRecord(got, want), "the group awaited is stored");
            }
            break;
        }
        case 6: { // a group count (bytes 0-1, kind 3); alone on the line it is taken
            const std::uint16_t count = in.word();
            const bool alone = line.isOpen() && line.input.isEmpty();
            QByteArray body(18, '\0');
            body[0] = char(count >> 8);
            body[1] = char(count & 0xFF);
            line.receive(WithChecksum(body + char(3)));
            FUZZ_CHECK(!alone || monitor.groupTotal == count, "a group count is taken");
            break;
        }
        case 7: // the end of the groups (kind 5)
            line.receive(WithChecksum(QByteArray(18, '\0') + char(5)));
            break;
        case 8:
            monitor.Timer1_Timer();
            break;
        case 9:
            monitor.Timer2_Timer();
            break;
        case 10:
            monitor.Timer3_Timer();
            break;
        case 11:
            monitor.Timer4_Timer();
            break;
        case 12:
            monitor.Timer5_Timer();
            break;
        case 13: // read, or clear: emptying the 4001 slots is the costliest step, so the
        case 14: // commands after the eighth of an input do nothing
            if (clears++ >= 8)
                break;
            if (op % 18 == 13)
                monitor.Command2_Click();
            else
                monitor.Command4_Click();
            account.clear(); // every slot empty (a slot keeps its ratio text, which no row shows)
            break;
        case 15: // a print request for any range
            monitor.form2kai = static_cast<std::int16_t>(in.word());
            monitor.form2jie = static_cast<std::int16_t>(in.word());
            monitor.form2dybiaozi = 1;
            break;
        case 16:
            line.unplug();
            break;
        case 17: // the user types a port number
            monitor.setPortFieldText(QString::number(static_cast<std::int8_t>(in.byte())));
            monitor.OpenPort();
            break;
        }
        const std::set<int> touched = FollowStore(monitor, account, line.reads);
        for (const QByteArray& block : line.reads)
            FUZZ_CHECK(block.size() == MeasurementFrame::Size, "the controller reads whole blocks");
        FUZZ_CHECK(monitor.groupIndex >= 0, "the group index never wraps");
        FUZZ_CHECK(monitor.downloading <= 1 && monitor.linkUp >= 0 && monitor.linkUp <= 1,
                   "flags are 0 or 1");
        // Each refresh makes a new text: check it when it is new.
        if (monitor.history().listText().constData() != lastList) {
            lastList = monitor.history().listText().constData();
            CheckList(monitor.history().listText(), account, 0, 0, touched);
        }
    }
    for (int i = 0; i < RecordStore::SlotCount; ++i) {
        const GroupRecord& slot = monitor.store().at(*SlotIndex::make(i));
        const auto it = account.find(i);
        FUZZ_CHECK(it == account.end() ? !Filled(slot) : SameRecord(slot, it->second),
                   "no slot changed but by a frame for it, a read or a clear");
    }
    return 0;
}
