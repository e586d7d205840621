#include "windows/list_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace velantis {

namespace {

constexpr int Margin = 4;

// Cells a character takes in the list font: one for Latin text, two for the wide CJK forms.
int Cells(QChar c) {
    return c.unicode() < 0x1100 ? 1 : 2;
}

} // namespace

ListView::ListView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setText(QString());
}

void ListView::setText(const QString& text) {
    text_ = text; // shared with the controller's copy, not duplicated
    starts_.clear();
    ends_.clear();
    widestCells_ = 0;
    anchor_ = cursor_ = -1;
    const QChar* d = text_.constData();
    const qsizetype n = text_.size();
    qsizetype start = 0;
    int cells = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == u'\r' || c == u'\n') {
            starts_ << start;
            ends_ << i;
            widestCells_ = std::max(widestCells_, cells);
            cells = 0;
            if (c == u'\r' && i + 1 < n && d[i + 1].unicode() == u'\n')
                ++i;
            start = i + 1;
        } else {
            cells += Cells(d[i]);
        }
    }
    if (start < n || starts_.isEmpty()) { // a last line without a line end
        starts_ << start;
        ends_ << n;
        widestCells_ = std::max(widestCells_, cells);
    }
    updateScrollBars();
    viewport()->update();
}

QString ListView::line(qsizetype i) const {
    return text_.mid(starts_[i], ends_[i] - starts_[i]);
}

QString ListView::selectedText() const {
    if (anchor_ < 0)
        return {};
    const qsizetype first = std::min(anchor_, cursor_);
    const qsizetype last = std::max(anchor_, cursor_);
    QString out;
    for (qsizetype i = first; i <= last; ++i)
        out += line(i) + QStringLiteral("\r\n");
    return out;
}

void ListView::selectAll() {
    anchor_ = 0;
    cursor_ = lineCount() - 1;
    viewport()->update();
}

void ListView::copy() const {
    const QString selected = selectedText();
    if (!selected.isEmpty())
        QApplication::clipboard()->setText(selected);
}

int ListView::lineHeight() const {
    return fontMetrics().height();
}

void ListView::updateScrollBars() {
    const int visible = std::max(1, viewport()->height() / lineHeight());
    verticalScrollBar()->setRange(0,
                                  static_cast<int>(std::max<qsizetype>(0, lineCount() - visible)));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const int width = widestCells_ * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 2 * Margin;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 4);
}

qsizetype ListView::lineAt(int y) const {
    const qsizetype i = verticalScrollBar()->value() + y / lineHeight();
    return std::clamp<qsizetype>(i, 0, lineCount() - 1);
}

void ListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    const int h = lineHeight();
    const int ascent = fontMetrics().ascent();
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype rows = viewport()->height() / h + 2;
    const int x = Margin - horizontalScrollBar()->value();
    const qsizetype selFirst = anchor_ < 0 ? -1 : std::min(anchor_, cursor_);
    const qsizetype selLast = anchor_ < 0 ? -2 : std::max(anchor_, cursor_);
    const QPalette& pal = palette();
    for (qsizetype r = 0; r < rows && first + r < lineCount(); ++r) {
        const qsizetype i = first + r;
        const int y = static_cast<int>(r) * h;
        const bool selected = i >= selFirst && i <= selLast;
        if (selected)
            painter.fillRect(0, y, viewport()->width(), h, pal.brush(QPalette::Highlight));
        painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(x, y + ascent, line(i));
    }
}

void ListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ListView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateScrollBars();
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->key() == Qt::Key_Home && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->setValue(0);
    } else if (event->key() == Qt::Key_End && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else if (event->key() == Qt::Key_Home) {
        horizontalScrollBar()->setValue(0);
    } else if (event->key() == Qt::Key_End) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event); // arrows and page keys scroll; others pass on
    }
}

void ListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype i = lineAt(event->position().toPoint().y());
    if (!(event->modifiers() & Qt::ShiftModifier) || anchor_ < 0)
        anchor_ = i;
    cursor_ = i;
    viewport()->update();
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || anchor_ < 0)
        return;
    const int y = event->position().toPoint().y();
    if (y < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    cursor_ = lineAt(y);
    viewport()->update();
}

void ListView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("复制"), this, &ListView::copy);
    copyAction->setEnabled(anchor_ >= 0);
    menu.addAction(QStringLiteral("全选"), this, &ListView::selectAll);
    menu.exec(event->globalPos());
}

} // namespace velantis
