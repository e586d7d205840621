// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/port_map.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace velantis {

PortMap::PortMap(DeviceLister lister) : lister_(std::move(lister)) {
    rescan();
}

void PortMap::setDeviceLister(DeviceLister lister) {
    lister_ = std::move(lister);
    sinceScan_.invalidate();
    rescan();
}

bool PortMap::setOverride(int n, const QString& device) {
    if (n < FirstPort || n > LastPort || device.isEmpty())
        return false;
    overrides_.insert(n, device);
    return true;
}

QString PortMap::addPortMapping(const QString& mapping) {
    const auto eq = mapping.indexOf(QLatin1Char('='));
    bool ok = false;
    const int n = eq > 0 ? mapping.left(eq).trimmed().toInt(&ok) : 0;
    if (!ok || !setOverride(n, mapping.mid(eq + 1).trimmed()))
        return QCoreApplication::translate(
            "PortMap", "--port takes N=DEVICE with N from 1 to 16, e.g. --port 3=/dev/pts/4");
    return {};
}

void PortMap::setRememberedPort(int n) {
    remembered_ = n >= FirstPort && n <= LastPort ? n : 0;
}

namespace {
const QString RememberedPortKey = QStringLiteral("port/lastAnswered");
}

int RememberedPort(const QSettings& settings) {
    bool ok = false;
    const int n = settings.value(RememberedPortKey).toInt(&ok);
    return ok && n >= PortMap::FirstPort && n <= PortMap::LastPort ? n : 0;
}

void RememberPort(QSettings& settings, int n) {
    settings.setValue(RememberedPortKey, n);
}

QString PortMap::deviceFor(int n) const {
    if (n < FirstPort || n > LastPort)
        return {};
    if (const auto it = overrides_.constFind(n); it != overrides_.constEnd())
        return *it;
    return n - 1 < system_.size() ? system_.at(n - 1) : QString();
}

QStringList PortMap::OrderLinuxDevices(QStringList names) {
    static const QRegularExpression pattern(QStringLiteral("^tty(USB|ACM|S)(\\d+)$"));
    auto rank = [](const QString& name) {
        const auto m = pattern.match(name);
        if (!m.hasMatch())
            return std::pair<int, int>{3, 0};
        const QString kind = m.captured(1);
        const int group = kind == QLatin1String("USB") ? 0 : kind == QLatin1String("ACM") ? 1 : 2;
        return std::pair<int, int>{group, m.captured(2).toInt()};
    };
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const auto ra = rank(a);
        const auto rb = rank(b);
        return ra != rb ? ra < rb : a < b;
    });
    return names;
}

void PortMap::rescan() {
    if (sinceScan_.isValid() && sinceScan_.elapsed() < 1000)
        return;
    sinceScan_.start();
    system_ = lister_ ? lister_() : QStringList();
}

QStringList PortMap::SystemDevices() {
    QStringList paths;
#ifdef Q_OS_WIN
    // Port n is COMn whether or not the system lists it now: opening tells.
    for (int n = FirstPort; n <= LastPort; ++n)
        paths << QStringLiteral("COM%1").arg(n);
#else
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    for (const QString& name : OrderLinuxDevices(names))
        paths << QStringLiteral("/dev/") + name;
#endif
    return paths;
}

} // namespace velantis
