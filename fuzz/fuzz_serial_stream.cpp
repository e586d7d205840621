// Arbitrary byte streams, cut into arbitrary chunks, through the serial line's receive path into
// the controller, with timer ticks, read, clear and print requests in between.
//
// The input is a script: each step's first byte picks what happens (bytes arriving, a timer
// tick, a command, the cable pulled), the bytes after it say how. After every step the record
// store is followed by a copy: a slot may only change to the texts of a valid stored-group frame
// for that very slot that the controller read during the step, or be emptied by a read or clear
// command; at the end the store must equal the copy. The list and the print buffer must stay GBK
// throughout.
#include "fuzz_check.h"

#include "link/monitor.h"
#include "protocol/reading.h"

#include <QTemporaryDir>

#include <vector>

using namespace velantis;
using velantis::fuzz::ByteReader;
using velantis::fuzz::CheckRow;
using velantis::fuzz::GbkEncodable;
using velantis::fuzz::SameRecord;

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

MeasurementFrame WithChecksum(QByteArray nineteen) {
    nineteen.resize(MeasurementFrame::Size - 1, '\0');
    MeasurementFrame::Bytes bytes{};
    for (int i = 0; i < MeasurementFrame::Size - 1; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(nineteen[i]);
    bytes[MeasurementFrame::Size - 1] = MeasurementFrame(bytes).computedChecksum();
    return MeasurementFrame(bytes);
}

// A slot changed during a step only to the texts of a valid stored-group frame for that very
// slot read during the step; the copy follows those changes. Slots nothing was read for are
// compared at the end of the input (and a read or clear command empties the copy).
void FollowStore(const Monitor& monitor, std::vector<GroupRecord>& copy,
                 const std::vector<QByteArray>& reads) {
    for (const QByteArray& block : reads) {
        if (!IsValidFrame(block))
            continue;
        const MeasurementFrame frame = *MeasurementFrame::fromBlock(block);
        const auto n = SlotIndex::make(frame.groupNo());
        if (frame.kind() != static_cast<int>(FrameKind::StoredGroup) || !n)
            continue;
        const GroupRecord& now = monitor.store().at(*n);
        auto& was = copy[static_cast<std::size_t>(n->value())];
        if (SameRecord(now, was))
            continue;
        bool explained = false;
        for (const QByteArray& other : reads) {
            const auto f = MeasurementFrame::fromBlock(other);
            explained = explained || (IsValidFrame(other) && f->groupNo() == frame.groupNo() &&
                                      f->kind() == static_cast<int>(FrameKind::StoredGroup) &&
                                      SameRecord(now, RecordOf(DeriveReading(*f))));
        }
        FUZZ_CHECK(explained, "every stored slot holds the texts of the frame that filled it");
        CheckRow(FormatGroupRow(monitor.store(), *n), now, *n);
        was = now;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    ScriptedLine line;
    PortMap ports([] { return QStringList(); });
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
        ports.setOverride(n, QStringLiteral("/dev/fuzz%1").arg(n));
    Monitor monitor(line, ports, folder.path());
    monitor.setYieldToEvents([] {});
    int prints = 0;
    monitor.setPrintList([&](const QString& text) {
        ++prints;
        FUZZ_CHECK(GbkEncodable(text), "the print buffer is GBK");
    });
    monitor.Form_Load();

    std::vector<GroupRecord> copy;
    for (int i = 0; i < RecordStore::SlotCount; ++i)
        copy.push_back(monitor.store().at(*SlotIndex::make(i)));
    const QChar* lastList = nullptr;
    const QChar* lastPrint = nullptr;

    ByteReader in(data, size);
    int steps = 0;
    while (!in.atEnd() && steps++ < 2000) {
        line.reads.clear();
        bool cleared = false;
        const std::uint8_t op = in.byte();
        switch (op % 18) {
        case 0:
        case 1:
        case 2:
        case 3: // a chunk of raw bytes
            line.receive(in.bytes(1 + in.byte() % 48));
            break;
        case 4: // a valid frame of any kind and contents
            line.receive(WithChecksum(in.bytes(19)).toByteArray());
            break;
        case 5: { // the stored group the controller waits for, maybe with a twist
            QByteArray body = in.bytes(19);
            body.resize(19, '\0');
            const std::uint16_t group = static_cast<std::uint16_t>(
                monitor.groupIndex + (op & 0x80 ? static_cast<std::int8_t>(in.byte()) : 0));
            body[12] = char(group >> 8);
            body[13] = char(group & 0xFF);
            body[18] = char((body[18] & 0xF0) | int(FrameKind::StoredGroup));
            line.receive(WithChecksum(body).toByteArray());
            break;
        }
        case 6: // a group count
            line.receive(GroupCountFrame(in.word()).toByteArray());
            break;
        case 7:
            line.receive(EndOfGroupsFrame().toByteArray());
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
        case 13:
            cleared = true;
            monitor.Command2_Click();
            break;
        case 14:
            cleared = true;
            monitor.Command4_Click();
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
        if (cleared) { // every slot empty (a slot keeps its ratio text, which no row shows)
            for (int i = 0; i < RecordStore::SlotCount; ++i) {
                const SlotIndex n = *SlotIndex::make(i);
                FUZZ_CHECK(monitor.store().isEmpty(n), "clear empties the store");
                copy[static_cast<std::size_t>(i)] = monitor.store().at(n);
            }
        }
        FollowStore(monitor, copy, line.reads);
        for (const QByteArray& block : line.reads)
            FUZZ_CHECK(block.size() == MeasurementFrame::Size, "the controller reads whole blocks");
        FUZZ_CHECK(monitor.groupsStored() >= 0 && monitor.groupsStored() <= RecordStore::SlotCount,
                   "stored groups counted within the store");
        FUZZ_CHECK(monitor.groupIndex >= 0, "the group index never wraps");
        FUZZ_CHECK(monitor.downloading <= 1 && monitor.linkUp >= 0 && monitor.linkUp <= 1,
                   "flags are 0 or 1");
        // Each refresh makes new texts: check them when they are new.
        if (monitor.history().listText().constData() != lastList) {
            lastList = monitor.history().listText().constData();
            FUZZ_CHECK(GbkEncodable(monitor.history().listText()), "the list is GBK");
        }
        if (monitor.history().printText().constData() != lastPrint) {
            lastPrint = monitor.history().printText().constData();
            FUZZ_CHECK(GbkEncodable(monitor.history().printText()), "the print buffer is GBK");
        }
    }
    for (int i = 0; i < RecordStore::SlotCount; ++i)
        FUZZ_CHECK(
            SameRecord(monitor.store().at(*SlotIndex::make(i)), copy[static_cast<std::size_t>(i)]),
            "no slot changed but by a frame for it, a read or a clear");
    (void)prints;
    return 0;
}
