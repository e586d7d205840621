// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/serial_line.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

namespace velantis::testing {

// A serial line in memory: the test decides which devices exist, sees every request written and
// hands in the instrument's bytes.
class FakeSerialLine final : public SerialLine {
public:
    QSet<QString> existing;
    QSet<QString> denied;
    QSet<QString> busy;                       // held by another program
    QHash<QString, SlowAdapter> slowAdapters; // USB adapters that hold answers back
    QStringList openCalls;
    QList<QByteArray> written;
    QByteArray input;
    QString device;

    bool open(const QString& dev) override {
        close();
        openCalls << dev;
        if (denied.contains(dev)) {
            error_ = OpenError::PermissionDenied;
            return false;
        }
        if (busy.contains(dev)) {
            error_ = OpenError::Busy;
            return false;
        }
        if (!existing.contains(dev)) {
            error_ = OpenError::NotFound;
            return false;
        }
        error_ = OpenError::None;
        device = dev;
        open_ = true;
        return true;
    }
    void close() override {
        open_ = false;
        input.clear();
    }
    bool isOpen() const override { return open_; }
    OpenError lastOpenError() const override { return error_; }
    SlowAdapter slowAdapter() const override {
        return open_ ? slowAdapters.value(device) : SlowAdapter{};
    }
    QString lastErrorText() const override {
        return error_ == OpenError::Busy ? QStringLiteral("lock held by minicom") : QString();
    }
    bool write(const QByteArray& bytes) override {
        written << bytes;
        return true;
    }
    void discardInput() override { input.clear(); }
    qint64 bytesAvailable() const override { return input.size(); }
    QByteArray read(qint64 maxBytes) override {
        const QByteArray block = input.left(maxBytes);
        input.remove(0, block.size());
        return block;
    }

    // Bytes arriving from the instrument.
    void receive(const QByteArray& bytes) {
        input += bytes;
        emit readyRead();
    }
    void unplug() {
        open_ = false;
        emit lost(QStringLiteral("unplugged"));
    }

    // The codes of the requests written so far (bytes 2-3 of each 4-byte request).
    QList<int> codes() const {
        QList<int> out;
        for (const QByteArray& r : written)
            out << (static_cast<std::uint8_t>(r[2]) * 256 + static_cast<std::uint8_t>(r[3]));
        return out;
    }
    int lastCode() const { return codes().isEmpty() ? -1 : codes().last(); }

private:
    bool open_ = false;
    OpenError error_ = OpenError::None;
};

} // namespace velantis::testing
