// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalSocket>
#include <QObject>

class QWidget;

namespace velantis {

// The web-page window's end of the control connection to the program that started it: raises
// the window on request, ends the process on "quit" or when the program went away before
// greeting it; after the greeting the window lives on without the program.
class WebControl : public QObject {
    Q_OBJECT
public:
    WebControl(const QString& serverName, QWidget& window, QObject* parent = nullptr);

signals:
    void endRequested(int exitCode);

private:
    void OnReadyRead();
    void OnGone();

    QLocalSocket socket_;
    QWidget& window_;
    bool greeted_ = false;
};

} // namespace velantis
