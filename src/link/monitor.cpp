// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/monitor.h"

#include "protocol/reading.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <limits>
#include <utility>

namespace velantis {

namespace {

const QString PortOpenText = QStringLiteral("串口打开");
const QString PortClosedText = QStringLiteral("串口关闭");
const QString LinkUpText = QStringLiteral("通信成功");
const QString LinkDownText = QStringLiteral("通信失败");
const QString ReadingText = QStringLiteral("正在读取...");
const QString SearchingText = QStringLiteral("正在查找...");
// The rule that sets FTDI adapters' latency timer to 1 ms when they are plugged in.
const QString UdevRuleName = QStringLiteral("60-velantis-ftdi-latency.rules");

// The port field as a number, the way the serial control takes it (16-bit, spaces allowed).
std::optional<int> PortFieldNumber(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < -32768 || n > 32767)
        return std::nullopt;
    return n;
}

} // namespace

QString DownloadSummary(DownloadEnd how, int stored, int total) {
    const QString counts = QStringLiteral("%1/%2").arg(stored).arg(
        total < 0 ? QStringLiteral("?") : QString::number(total));
    switch (how) {
    case DownloadEnd::None:
        return {};
    case DownloadEnd::Running:
        return QStringLiteral("正在读取: ") + counts;
    case DownloadEnd::EndFrame:
        return QStringLiteral("读取完成: 已存 ") + counts + QStringLiteral(" 组");
    case DownloadEnd::Watchdog:
        return QStringLiteral("读取中止 (仪器无应答): 已存 ") + counts + QStringLiteral(" 组");
    case DownloadEnd::LinkLost:
        return QStringLiteral("读取中止 (通信中断): 已存 ") + counts + QStringLiteral(" 组");
    case DownloadEnd::StoreFull:
        return QStringLiteral("读取结束 (最多 4000 组): 已存 ") + counts + QStringLiteral(" 组");
    case DownloadEnd::Incomplete:
        return QStringLiteral("读取不完整 (仪器提前结束): 已存 ") + counts + QStringLiteral(" 组");
    case DownloadEnd::Interrupted:
        return QStringLiteral("读取被中断: 已存 ") + counts + QStringLiteral(" 组");
    }
    return {};
}

QString SlowAdapterNotice(const QString& device, const SerialLine::SlowAdapter& adapter) {
    // One request and one 20-byte answer per group: 24 bytes of 10 bits at 38400 baud, 6.25 ms.
    constexpr double WireMsecsPerGroup = 24 * 10 * 1000.0 / 38400;
    constexpr int Groups = 4000;
    const auto seconds = [](double msecs) { return qRound(Groups * msecs / 1000); };
    // One call, so that a '%' in a path is never taken for a place holder.
    return QStringLiteral("%1 的 USB 适配器把每个应答压后 %2 ms (latency timer): 读取 %3 组约需 "
                          "%4 s, 而不是 %5 s。装上本程序的 udev 规则 (%6) 后重新插上适配器, "
                          "或执行 echo 1 | sudo tee %7")
        .arg(device, QString::number(adapter.msecs), QString::number(Groups),
             QString::number(seconds(WireMsecsPerGroup + adapter.msecs)),
             QString::number(seconds(WireMsecsPerGroup)), UdevRuleName, adapter.timerFile);
}

Monitor::Monitor(SerialLine& line, PortMap& ports, const QString& programFolder, QObject* parent)
    : QObject(parent), line_(line), ports_(ports), history_(programFolder),
      yield_([] { QCoreApplication::processEvents(); }) {
    connect(&line_, &SerialLine::readyRead, this, &Monitor::onReadyRead);
    connect(&line_, &SerialLine::lost, this, &Monitor::onLineLost);
}

void Monitor::Form_Load() {
    form2dybiaozi = 0;
    downloading = 0;
    groupTotal = 0;
    retryCount = 0;
    requestBusy = 0;
    OpenPort();
    Command4_Click(); // clears and refreshes; start-up refreshes once more below
    display_.progressValue = 0;
    refreshAll();
    changed();
}

void Monitor::onReadyRead() {
    // The receive event comes once 20 bytes wait; each event takes one block of 20, so two
    // waiting frames are both handled (unless a request in between discards the second).
    while (line_.isOpen() && line_.bytesAvailable() >= MeasurementFrame::Size)
        MSComm1_OnComm();
}

void Monitor::onLineLost(const QString& reason) {
    display_.portNotice = QStringLiteral("串口已断开 (%1): %2").arg(display_.portDevice, reason);
    changed();
}

void Monitor::MSComm1_OnComm() {
    if (line_.bytesAvailable() < MeasurementFrame::Size)
        return; // fewer than 20 bytes: keep them until the block is complete
    const QByteArray Input = line_.read(MeasurementFrame::Size);
    if (!IsValidFrame(Input))
        return;
    const MeasurementFrame frame = *MeasurementFrame::fromBlock(Input);
    linkUp = 1;
    silentTicks = 0;
    if (commPort_ != answeredPort_) {
        answeredPort_ = commPort_;
        emit answeredOn(commPort_);
    }
    const Reading reading = DeriveReading(frame);

    switch (frame.kind()) {
    case static_cast<int>(FrameKind::StoredGroup):
        handleStoredGroup(frame, reading);
        break;
    case static_cast<int>(FrameKind::EndOfGroups):
        completeDownload(DownloadEnd::EndFrame);
        break;
    case static_cast<int>(FrameKind::GroupCount):
        groupTotal = frame.groupCount();
        countArrived_ = true;
        if (groupTotal != 0) {
            groupIndex = 1;
            SendRequest(1);
            display_.progressValue = 0;
            display_.progressVisible = true;
        } else {
            emit groupCountError();
        }
        break;
    case static_cast<int>(FrameKind::LiveReading):
        handleLiveReading(reading);
        changed();
        emit liveReadingShown();
        emit liveReading(reading);
        emit liveNumbers(NumbersOf(reading));
        return;
    case static_cast<int>(FrameKind::PortNumber):
        display_.Combo1 = QString::number(frame.portNumber());
        // A number that names no device here keeps the port that the instrument answered on,
        // and the port field goes on naming that port.
        openPort(false);
        if (const int n = frame.portNumber();
            n >= PortMap::FirstPort && n <= PortMap::LastPort && n != commPort_)
            display_.Combo1 = QString::number(commPort_);
        break;
    default:
        break; // the frame only proves the link
    }
    changed();
}

void Monitor::handleStoredGroup(const MeasurementFrame& frame, const Reading& reading) {
    if (groupIndex == frame.groupNo()) {
        if (groupIndex <= groupTotal) {
            if (const auto slot = SlotIndex::make(groupIndex)) {
                store_.store(*slot, frame, reading);
                ++storeRevision_;
                ++groupsStored_;
            }
            if (groupIndex == 64)
                refreshAll();
        }
        retryCount = 0;
        replyTicks = 0;
        ++groupIndex;
        if (groupTotal > 0 && groupIndex <= groupTotal)
            display_.progressValue = groupIndex * 100 / groupTotal;
        // The store ends at group 4000: when the instrument announced more, asking for them
        // would fill nothing. (groupIndex also stops short of its 16-bit limit.)
        if (groupIndex > SlotIndex::Highest &&
            (groupIndex <= groupTotal || groupIndex == std::numeric_limits<std::int16_t>::max())) {
            completeDownload(DownloadEnd::StoreFull);
            return;
        }
    }
    SendRequest(groupIndex);
}

void Monitor::handleLiveReading(const Reading& r) {
    display_.Label2 = r.rText;
    display_.Label4 = r.sText;
    display_.Label5 = r.tText;
    display_.Label8 = NoReading;
    display_.Label9 = NoReading;
    display_.Label10 = NoReading;
    switch (r.channel) {
    case 0:
        display_.Label8 = r.hvText;
        display_.Label13 = r.errText;
        display_.Label19 = ZeroError;
        display_.Label20 = ZeroError;
        break;
    case 1:
        display_.Label9 = r.hvText;
        display_.Label13 = ZeroError;
        display_.Label19 = r.errText;
        display_.Label20 = ZeroError;
        break;
    case 2:
        display_.Label10 = r.hvText;
        display_.Label13 = ZeroError;
        display_.Label19 = ZeroError;
        display_.Label20 = r.errText;
        break;
    default:
        break; // no channel: the F.Er cells keep their texts
    }
    display_.Label14 = r.settingText;
    display_.Label17 = QStringLiteral("变比:") + r.ratioText;
    display_.Label16Visible = r.lvLowFlag == 1;
    display_.Label15Visible = r.hvLowFlag == 1;
}

void Monitor::OpenPort() {
    openPort(true);
}

void Monitor::openPort(bool acceptMissingDevice) {
    if (line_.isOpen())
        line_.close();
    // Numbers outside 1..16 are refused and the previous port is opened again. A number without
    // a device is taken (the open then fails and the port stays closed) unless the caller says
    // otherwise.
    if (const auto n = PortFieldNumber(display_.Combo1);
        n && *n >= PortMap::FirstPort && *n <= PortMap::LastPort &&
        (acceptMissingDevice || !ports_.deviceFor(*n).isEmpty()))
        commPort_ = *n;
    const QString device = ports_.deviceFor(commPort_);
    display_.portDevice = device;
    if (device.isEmpty())
        return;
    if (linkUp == 0)
        triedPorts_.insert(commPort_, device);
    if (line_.open(device)) {
        toldOpenFailures_.remove(device);
        tellSlowAdapter(device);
    } else {
        tellOpenFailure(device);
    }
}

void Monitor::tellSlowAdapter(const QString& device) {
    const SerialLine::SlowAdapter adapter = line_.slowAdapter();
    // The search opens the port again every round: say it once per device.
    if (adapter.msecs <= 1 || toldSlowAdapters_.contains(device))
        return;
    toldSlowAdapters_.insert(device);
    display_.portNotice = SlowAdapterNotice(device, adapter);
}

Monitor::SearchReport Monitor::searchReport() const {
    SearchReport report;
    for (auto it = triedPorts_.cbegin(); it != triedPorts_.cend(); ++it) {
        report.tried.append({it.key(), it.value()});
        if (toldOpenFailures_.value(it.value()) == SerialLine::OpenError::PermissionDenied)
            report.refused << it.value();
    }
    return report;
}

void Monitor::tellOpenFailure(const QString& device) {
    const SerialLine::OpenError kind = line_.lastOpenError();
    if (kind != SerialLine::OpenError::PermissionDenied && kind != SerialLine::OpenError::Busy)
        return;
    // The search tries the port again every round: say it once, and again only if the reason
    // changes.
    if (const auto it = toldOpenFailures_.constFind(device);
        it != toldOpenFailures_.constEnd() && *it == kind)
        return;
    toldOpenFailures_.insert(device, kind);
    if (kind == SerialLine::OpenError::Busy) {
        display_.portNotice = QStringLiteral("无法打开 %1: 已被其他程序占用 (%2); "
                                             "请先关闭占用它的程序")
                                  .arg(device, line_.lastErrorText());
    } else {
        display_.portNotice =
            QStringLiteral("无权打开 %1: 请把用户加入 dialout 组 (sudo usermod -aG dialout $USER),"
                           " 然后重新登录")
                .arg(device);
    }
}

void Monitor::closePort() {
    if (line_.isOpen())
        line_.close(); // the line lets its queued requests leave first
    display_.Text2 = PortClosedText;
    changed();
}

void Monitor::SendRequest(int code) {
    if (requestBusy != 0)
        return;
    requestBusy = 1;
    QByteArray request(4, '\0');
    request[0] = char(100);
    request[1] = char(101);
    const int high = code / 256;
    if (high >= 0 && high <= 255)
        request[2] = char(high);
    request[3] = char(code & 255);
    if (line_.isOpen())
        line_.write(request);
    // Bytes received before this point are never read as part of the answer. The request itself
    // is only queued so far and leaves when the event loop runs, so the transmit queue is not
    // emptied here: that would drop the request.
    line_.discardInput();
    requestBusy = 0;
}

void Monitor::Timer1_Timer() {
    static const QString clockFormat = QLocale::system().timeFormat(QLocale::LongFormat);
    display_.panel3 = QTime::currentTime().toString(clockFormat);
    display_.panel2 = QStringLiteral("Velantis");
    display_.panel1 = display_.Text3;
    display_.Text1 = QStringLiteral("COM") + display_.Combo1;
    display_.Text2 = line_.isOpen() ? PortOpenText : PortClosedText;

    const int timer2Before = timer2Interval_;
    const int timer4Before = timer4Interval_;
    if (linkUp == 1) {
        searchTicks_ = 0;
        triedPorts_.clear();
    } else if (++searchTicks_ >= SearchAdviceTicks &&
               (searchTicks_ - SearchAdviceTicks) % SearchAdviceRepeatTicks == 0) {
        emit searchUnanswered();
    }
    if (linkUp == 1) {
        display_.Text3 = LinkUpText;
        if (timer2Interval_ == 20)
            timer2Interval_ = 70;
    } else {
        display_.Text3 = LinkDownText;
        const bool wasDownloading = downloading == 1;
        downloading = 0;
        timer2Interval_ = 20;
        resetReadings();
        if (wasDownloading) {
            // The groups stored so far must reach the list that Save writes.
            refreshAll();
            endDownload(DownloadEnd::LinkLost);
        }
    }

    // The download lock: open, read, save and clear wait until the download has ended.
    const bool locked = downloading == 1;
    display_.Command1Enabled = !locked;
    display_.Command2Enabled = !locked;
    display_.Command3Enabled = !locked;
    display_.Command4Enabled = !locked;
    display_.progressEnabled = locked;
    display_.Text4 = locked ? ReadingText : linkUp == 0 ? SearchingText : QString();
    if (locked && timer4Interval_ == 0)
        timer4Interval_ = 50;
    if (!locked && timer4Interval_ == 50)
        timer4Interval_ = 0;
    if (downloadEnd_ == DownloadEnd::Running)
        display_.downloadSummary =
            DownloadSummary(downloadEnd_, groupsStored_, countArrived_ ? int(groupTotal) : -1);
    if (timer2Before != timer2Interval_ || timer4Before != timer4Interval_)
        emit timersChanged();
    changed();
}

void Monitor::resetReadings() {
    display_.Label8 = NoReading;
    display_.Label9 = NoReading;
    display_.Label10 = NoReading;
    display_.Label2 = NoReading;
    display_.Label4 = NoReading;
    display_.Label5 = NoReading;
    display_.Label14 = NoSetting;
    display_.Label17 = NoRatio;
    // A warning must not outlive the reading that raised it.
    display_.Label15Visible = false;
    display_.Label16Visible = false;
}

void Monitor::Timer2_Timer() {
    if (linkUp == 0) {
        const auto current = PortFieldNumber(display_.Combo1);
        int next = current ? *current + 1 : PortMap::FirstPort;
        const int remembered = ports_.rememberedPort();
        if (!std::exchange(searchStarted_, true) && remembered != 0 &&
            !ports_.deviceFor(remembered).isEmpty()) {
            // The port the instrument answered on last time is tried first; the cycle goes on
            // from there.
            next = remembered;
        } else if (next > PortMap::LastPort || !current) {
            // Past port 16, or on a text that is no number, the cycle starts again at port 1.
            next = PortMap::FirstPort;
            ports_.rescan(); // a round is complete: look for adapters plugged in meanwhile
        }
        display_.Combo1 = QString::number(next);
        OpenPort();
        SendRequest(ProbeBase + next);
    }
    ++silentTicks;
    if (silentTicks > 30)
        linkUp = 0;
    if (silentTicks > 1300)
        silentTicks = 1300;
    changed();
}

void Monitor::Timer3_Timer() {
    if (linkUp == 1 && downloading == 0)
        SendRequest(LiveRequest);
}

void Monitor::Timer4_Timer() {
    ++replyTicks;
    if (replyTicks > 3) {
        ++retryCount;
        // Until the count has arrived the awaited answer is the count's: asking for groups
        // then would store nothing.
        SendRequest(countArrived_ || downloading == 0 ? groupIndex : CountRequest);
    }
    if (retryCount > 2) {
        downloading = 0;
        refreshAll();
        endDownload(DownloadEnd::Watchdog);
        changed();
    }
}

void Monitor::Timer5_Timer() {
    if (form2dybiaozi == 0)
        return;
    RefreshHistory(form2kai, form2jie);
    if (printList_)
        printList_(history_.printText());
    refreshAll();
    form2dybiaozi = 0;
    changed();
}

void Monitor::Command2_Click() {
    downloadStarted_ = QDateTime::currentDateTime();
    downloading = 1;
    downloadEnd_ = DownloadEnd::Running;
    groupsStored_ = 0;
    Command4_Click();
    const quint64 generation = ++readGeneration_;
    const quint64 revision = storeRevision_;
    const bool outerYield = inReadYield_;
    inReadYield_ = true;
    if (yield_)
        yield_();
    inReadYield_ = outerYield;
    // A read command run inside the yield (from the menu, say) has done the whole job already.
    if (generation != readGeneration_)
        return;
    // A late end frame or a last watchdog tick of an earlier download, handled in the yield,
    // does not end the download that starts now; a lost link still does.
    if (linkUp == 1) {
        downloading = 1;
        downloadEnd_ = DownloadEnd::Running;
    }
    // A late group of an earlier download stored during the yield must not mix into this one.
    if (revision != storeRevision_) {
        groupsStored_ = 0;
        Command4_Click();
    }
    countArrived_ = false;
    SendRequest(CountRequest);
    groupIndex = 1;
    retryCount = 0;
    changed();
}

void Monitor::Command4_Click() {
    store_.clear();
    refreshAll();
    changed();
}

bool Monitor::loadGroups(const std::vector<std::pair<int, MeasurementFrame>>& groups) {
    if (downloading == 1)
        return false;
    store_.clear();
    for (const auto& [group, frame] : groups) {
        if (const auto slot = SlotIndex::make(group))
            store_.store(*slot, frame);
    }
    ++storeRevision_;
    refreshAll();
    changed();
    return true;
}

void Monitor::RefreshHistory(int& first, int& last) {
    history_.RefreshHistory(store_, first, last);
}

void Monitor::refreshAll() {
    int first = 0;
    int last = 0;
    RefreshHistory(first, last);
}

void Monitor::setPortFieldText(const QString& text) {
    display_.Combo1 = text;
    changed();
}

void Monitor::completeDownload(DownloadEnd how) {
    downloading = 0;
    display_.progressVisible = false;
    refreshAll();
    endDownload(how);
}

bool Monitor::allAnnouncedStored() const {
    if (!countArrived_)
        return false;
    const int announced = std::min<int>(groupTotal, SlotIndex::Highest);
    for (int n = 1; n <= announced; ++n) {
        if (store_.isEmpty(*SlotIndex::make(n)))
            return false;
    }
    return true;
}

void Monitor::endDownload(DownloadEnd how) {
    if (downloadEnd_ != DownloadEnd::Running)
        return; // a late frame or tick after the end changes nothing more
    // An end frame or watchdog tick handled while the read command yields belongs to the
    // download before; the one starting has not asked for anything yet.
    if (inReadYield_ && how != DownloadEnd::LinkLost)
        return;
    if (how == DownloadEnd::EndFrame && !allAnnouncedStored())
        how = DownloadEnd::Incomplete;
    downloadEnd_ = how;
    display_.downloadSummary =
        DownloadSummary(how, groupsStored_, countArrived_ ? int(groupTotal) : -1);
    emit downloadEnded(how);
}

} // namespace velantis
