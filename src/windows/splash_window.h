// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QTimer;

namespace velantis {

class SplashPicture;

// The start window "welcome": a borderless title picture whose prompt blinks, waiting for a click.
// A click on the picture asks to enter the program (enterRequested); a click on the maker's
// address in the lower-right corner asks for the web-page window (webPageRequested) and leaves
// the splash as it is. The splash closes nothing and opens nothing itself: StartFlow does.
//
// Children, by objectName: Picture1 (light prompt) and Picture2 (dark prompt) lying exactly on
// it; the image areas Image2 and Image1 on Picture2, Image3 and Image4 on Picture1; the timers
// Timer1 (3500 ms, running) and Timer2 (300 ms, stopped).
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    // The blink cycle, also called directly by tests.
    void Timer1_Timer();
    void Timer2_Timer();

    bool darkPromptShown() const; // Picture2 is on top
    bool blinking() const;        // Timer2 runs

signals:
    void enterRequested();
    void webPageRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    SplashPicture* picture1_;
    SplashPicture* picture2_;
    QTimer* timer1_;
    QTimer* timer2_;
};

} // namespace velantis
