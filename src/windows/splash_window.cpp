// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/splash_window.h"

#include "windows/splash_images.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace velantis {

namespace {

// Sizes of the window and its parts, in pixels.
constexpr QSize kClientSize{788, 459};
constexpr QRect kPictureRect{0, 0, 793, 465};
// The prompt areas (custom pointer) and the address corners, each relative to its picture.
constexpr QRect kImage2{24, 344, 177, 105};
constexpr QRect kImage1{424, 360, 305, 89};
constexpr QRect kImage3{24, 344, 169, 105};
constexpr QRect kImage4{400, 352, 353, 97};

// A transparent area on a picture. One that opens the web-page window takes its own clicks; one
// over the prompt only changes the pointer and lets clicks fall through to the picture beneath,
// so that a click on "進入" enters like a click anywhere else on the picture.
class SplashArea : public QWidget {
    Q_OBJECT
public:
    SplashArea(const QString& name, const QRect& rect, bool takesClicks, QWidget* parent)
        : QWidget(parent), takesClicks_(takesClicks) {
        setObjectName(name);
        setGeometry(rect);
        if (!takesClicks)
            setCursor(QCursor(SplashPointerPixmap(32), SplashPointerHotSpot(32).x(),
                              SplashPointerHotSpot(32).y()));
    }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (takesClicks_ && event->button() == Qt::LeftButton)
            event->accept();
        else
            event->ignore();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!takesClicks_ || event->button() != Qt::LeftButton)
            return event->ignore();
        if (rect().contains(event->position().toPoint()))
            emit clicked();
    }

private:
    bool takesClicks_;
};

} // namespace

// A picture box: shows its image at natural size from the top-left corner; a click (left button
// pressed and released on it) is reported.
class SplashPicture : public QWidget {
    Q_OBJECT
public:
    SplashPicture(const QString& name, QImage image, QWidget* parent)
        : QWidget(parent), image_(std::move(image)) {
        setObjectName(name);
        setGeometry(kPictureRect);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.fillRect(event->rect(), palette().window());
        p.drawImage(QPoint(0, 0), image_);
    }
    void mousePressEvent(QMouseEvent* event) override {
        event->setAccepted(event->button() == Qt::LeftButton);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit clicked();
    }

private:
    QImage image_;
};

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName("welcome");
    setWindowTitle("Velantis");
    setFixedSize(kClientSize);

    picture1_ = new SplashPicture("Picture1", SplashImage(PromptShade::Light), this);
    new SplashArea("Image3", kImage3, false, picture1_);
    auto* image4 = new SplashArea("Image4", kImage4, true, picture1_);
    picture2_ = new SplashPicture("Picture2", SplashImage(PromptShade::Dark), picture1_);
    new SplashArea("Image2", kImage2, false, picture2_);
    auto* image1 = new SplashArea("Image1", kImage1, true, picture2_);

    connect(picture1_, &SplashPicture::clicked, this, &SplashWindow::enterRequested);
    connect(picture2_, &SplashPicture::clicked, this, &SplashWindow::enterRequested);
    connect(image1, &SplashArea::clicked, this, &SplashWindow::webPageRequested);
    connect(image4, &SplashArea::clicked, this, &SplashWindow::webPageRequested);

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(3500);
    connect(timer1_, &QTimer::timeout, this, &SplashWindow::Timer1_Timer);
    timer2_ = new QTimer(this);
    timer2_->setObjectName("Timer2");
    timer2_->setInterval(300);
    connect(timer2_, &QTimer::timeout, this, &SplashWindow::Timer2_Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), kClientSize);
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The blink runs while the splash is on screen; it has no time-out.
void SplashWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!timer1_->isActive())
        timer1_->start();
}

void SplashWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer1_->stop();
    timer2_->stop();
}

// Every 3500 ms: end a blinking phase with the dark prompt on top, or start one.
void SplashWindow::Timer1_Timer() {
    if (timer2_->isActive()) {
        timer2_->stop();
        picture2_->setVisible(true);
    } else {
        timer2_->start();
    }
}

// Every 300 ms of a blinking phase: swap the dark and the light prompt.
void SplashWindow::Timer2_Timer() {
    picture2_->setVisible(picture2_->isHidden());
}

bool SplashWindow::darkPromptShown() const {
    return !picture2_->isHidden();
}

bool SplashWindow::blinking() const {
    return timer2_->isActive();
}

} // namespace velantis

#include "splash_window.moc"
