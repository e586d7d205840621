// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/web_control.h"

#include "windows/web_site.h"

#include <QWidget>

namespace velantis {

WebControl::WebControl(const QString& serverName, QWidget& window, QObject* parent)
    : QObject(parent), window_(window) {
    connect(&socket_, &QLocalSocket::readyRead, this, &WebControl::OnReadyRead);
    connect(&socket_, &QLocalSocket::disconnected, this, &WebControl::OnGone);
    connect(&socket_, &QLocalSocket::errorOccurred, this, &WebControl::OnGone);
    // Connect once the event loop runs, so that a failure reaches a connected endRequested.
    QMetaObject::invokeMethod(
        this, [this, serverName] { socket_.connectToServer(serverName); }, Qt::QueuedConnection);
}

void WebControl::OnReadyRead() {
    while (socket_.canReadLine()) {
        const QByteArray line = socket_.readLine().trimmed();
        if (line == kHello) {
            greeted_ = true;
        } else if (line == kRaise) {
            window_.showNormal();
            window_.raise();
            window_.activateWindow();
            socket_.write(kRaised);
            socket_.write("\n");
        } else if (line == kQuit) {
            emit endRequested(0);
        }
    }
}

void WebControl::OnGone() {
    if (!greeted_)
        emit endRequested(2);
}

} // namespace velantis
