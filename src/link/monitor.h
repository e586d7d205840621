// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/display_state.h"
#include "link/port_map.h"
#include "link/serial_line.h"
#include "protocol/frame.h"
#include "protocol/reading.h"
#include "records/download_end.h"
#include "records/history.h"
#include "records/record_store.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace velantis {

// The program's one owner of state: link supervision, port search, live poll, download, record
// store and list texts. It includes no widget; the main window and the command-line tool drive
// it alike through its handlers and read what it shows from display().
class Monitor : public QObject {
    Q_OBJECT
public:
    static constexpr int LiveRequest = 30000;
    static constexpr int CountRequest = 40000;
    static constexpr int ProbeBase = 60000;

    Monitor(SerialLine& line, PortMap& ports, const QString& programFolder,
            QObject* parent = nullptr);

    // Lets pending events run once inside the read command; the apps leave the default
    // (QCoreApplication::processEvents), tests put in what they want to happen there.
    void setYieldToEvents(std::function<void()> yieldToEvents) {
        yield_ = std::move(yieldToEvents);
    }
    // Prints the print buffer's text on a printer the user picks.
    void setPrintList(std::function<void(const QString&)> printList) {
        printList_ = std::move(printList);
    }

    // Start-up: resets the members, opens the port in the port field, clears, refreshes.
    void Form_Load();
    // One receive event: takes at most 20 waiting bytes and acts on a valid frame.
    void MSComm1_OnComm();
    void OpenPort();
    void SendRequest(int code);
    void Timer1_Timer();   // status displays, pace of Timer2, download lock
    void Timer2_Timer();   // link supervision and port search
    void Timer3_Timer();   // live poll
    void Timer4_Timer();   // download watchdog
    void Timer5_Timer();   // print requests
    void Command2_Click(); // read the stored groups
    void Command4_Click(); // clear the store and the lists
    void RefreshHistory(int& first, int& last);

    // Lets the requests already queued leave the line (a short, bounded wait) and closes the
    // port. Harmless when no port is open; the port search opens one again on its next tick.
    void closePort();

    // The user typed into the port field.
    void setPortFieldText(const QString& text);
    // Text of the visible list (after Open of a file, say).
    void setListText(const QString& text) { history_.setListText(text); }
    // Puts the groups of an earlier download (group number and frame) into the store in place of
    // what it holds, and refreshes both lists as the end of a download does. Refused (false)
    // while a download runs.
    bool loadGroups(const std::vector<std::pair<int, MeasurementFrame>>& groups);
    // While no instrument answers: the ports the search has tried, with their devices, and the
    // devices the system refused to open for lack of permission.
    struct SearchReport {
        QList<std::pair<int, QString>> tried;
        QStringList refused;
    };
    SearchReport searchReport() const;
    // searchUnanswered comes after this many Timer1 ticks (70 ms) without an instrument: 10 s,
    // then again every 60 s while the search goes on.
    static constexpr int SearchAdviceTicks = 143;
    static constexpr int SearchAdviceRepeatTicks = 857;

    // When the last read command started.
    const QDateTime& downloadStarted() const { return downloadStarted_; }

    const DisplayState& display() const { return display_; }
    const RecordStore& store() const { return store_; }
    const HistoryList& history() const { return history_; }
    const SerialLine& line() const { return line_; }
    int commPort() const { return commPort_; }
    int timer2Interval() const { return timer2Interval_; }
    int timer4Interval() const { return timer4Interval_; }
    DownloadEnd lastDownloadEnd() const { return downloadEnd_; }
    int groupsStored() const { return groupsStored_; }
    // The groups the instrument announced for the last download; -1 when no count arrived.
    int announcedGroups() const { return countArrived_ ? int(groupTotal) : -1; }

    // State members.
    std::int16_t linkUp = 0;
    std::int16_t silentTicks = 0;
    std::int32_t groupTotal = 0;
    std::uint8_t requestBusy = 0;
    std::uint8_t downloading = 0;
    std::int16_t groupIndex = 0;
    std::int16_t replyTicks = 0;
    std::int16_t retryCount = 0;
    // Print range and request, set by the print-range dialog.
    int form2kai = 0;
    int form2jie = 0;
    int form2dybiaozi = 0;

signals:
    // Something in display() changed.
    void displayChanged();
    // The interval of Timer2 or Timer4 changed (0 means stopped).
    void timersChanged();
    // The instrument announced zero stored groups: the "Error" message. Never blocks.
    void groupCountError();
    // A live reading has just been put on display.
    void liveReadingShown();
    // The same live reading, whole (for the live record).
    void liveReading(const velantis::Reading& reading);
    // The same live reading as numbers (for the trend chart).
    void liveNumbers(const velantis::ReadingNumbers& numbers);
    // No instrument has answered for 10 s of searching; again every 60 s while it goes on.
    void searchUnanswered();
    // A download ended (end frame, watchdog, lost link, full store).
    void downloadEnded(velantis::DownloadEnd how);
    // The instrument answered on port n, and had not answered on it before in this run (the
    // program remembers it for the next start).
    void answeredOn(int n);

private:
    void onReadyRead();
    void onLineLost(const QString& reason);
    void handleStoredGroup(const MeasurementFrame& frame, const Reading& reading);
    void handleLiveReading(const Reading& reading);
    void openPort(bool acceptMissingDevice);
    void refreshAll(); // RefreshHistory(0, 0): both lists, groups 1..3500
    void resetReadings();
    // The instrument ended the download (end frame, or the store is full): lists refreshed.
    void completeDownload(DownloadEnd how);
    // Records how the running download ended, once.
    void endDownload(DownloadEnd how);
    void changed() { emit displayChanged(); }
    // Whether every announced group (at most 4000) is in the store.
    bool allAnnouncedStored() const;
    // Raises a notice about a port that would not open, once per device and kind of problem.
    void tellOpenFailure(const QString& device);
    // Raises a notice about a USB adapter that holds answers back, once per device.
    void tellSlowAdapter(const QString& device);

    SerialLine& line_;
    PortMap& ports_;
    RecordStore store_;
    HistoryList history_;
    DisplayState display_;
    std::function<void()> yield_;
    std::function<void(const QString&)> printList_;

    int commPort_ = 1;
    int timer2Interval_ = 100;
    int timer4Interval_ = 0;
    DownloadEnd downloadEnd_ = DownloadEnd::None;
    int groupsStored_ = 0;
    QDateTime downloadStarted_;
    quint64 storeRevision_ = 0;
    quint64 readGeneration_ = 0;
    // Whether a count has arrived since the running download sent its count request.
    bool countArrived_ = false;
    // Set while the read command lets events run: an end found there belongs to the download
    // before, not to the one starting.
    bool inReadYield_ = false;
    QHash<QString, SerialLine::OpenError> toldOpenFailures_;
    // Timer1 ticks since the link went down, and the ports tried meanwhile (number, device).
    int searchTicks_ = 0;
    QMap<int, QString> triedPorts_;
    QSet<QString> toldSlowAdapters_;
    // The first step of the search goes to the port remembered from an earlier run.
    bool searchStarted_ = false;
    int answeredPort_ = 0;
};

// Words for a download's end, for the status line. A negative total means no count arrived.
QString DownloadSummary(DownloadEnd how, int stored, int total);

// Words for a USB adapter on device that holds each answer back, with what a full download of
// 4000 groups costs through it and how to set its timer to 1 ms.
QString SlowAdapterNotice(const QString& device, const SerialLine::SlowAdapter& adapter);

} // namespace velantis
