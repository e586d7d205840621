// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <functional>

namespace velantis {

// Port numbers 1..16 and the devices behind them.
//
// On Windows port n is "COMn". On Linux the serial devices the system lists are numbered in a
// stable order: USB adapters first (ttyUSB0, ttyUSB1, ..., then ttyACM0, ...), then the
// on-board ports (ttyS0, ttyS1, ...), each group in numeric order; port 1 is the first of them.
// The list is read again when the port search wraps round, so an adapter plugged in later is
// found. A device given for a number explicitly (--port N=DEVICE) takes that number whatever
// the system lists.
class PortMap {
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 16;

    // The system's serial devices as paths, in port order: COM1..COM16 on Windows.
    using DeviceLister = std::function<QStringList()>;
    static QStringList SystemDevices();

    // Numbers the devices the lister gives (the system's by default); a test passes its own list
    // and the system is never asked.
    explicit PortMap(DeviceLister lister = &PortMap::SystemDevices);

    // Maps port n to a device path (a pseudo-terminal included). False for n outside 1..16.
    bool setOverride(int n, const QString& device);
    // Parses "N=DEVICE"; an error text on failure.
    QString addPortMapping(const QString& mapping);

    // The device behind port n, or an empty string when there is none.
    QString deviceFor(int n) const;

    // Reads the system's serial devices again; at most once a second, as the listing is slow
    // and the search wraps round every third of a second.
    void rescan();

    // Orders Linux device names ("ttyS1", "ttyUSB0", ...) the way ports are numbered.
    static QStringList OrderLinuxDevices(QStringList names);

    // Lets tests stand in for the system's list.
    void setDeviceLister(DeviceLister lister);

    // The port the instrument last answered on (in an earlier run): the search probes it first.
    // 0 for none; a number outside 1..16 is taken as none.
    void setRememberedPort(int n);
    int rememberedPort() const { return remembered_; }

private:
    QMap<int, QString> overrides_;
    QStringList system_;
    DeviceLister lister_;
    QElapsedTimer sinceScan_;
    int remembered_ = 0;
};

// The port the instrument last answered on, as the program's settings keep it between runs: 0
// when none is kept or the kept value is no port number.
int RememberedPort(const QSettings& settings);
void RememberPort(QSettings& settings, int n);

} // namespace velantis
