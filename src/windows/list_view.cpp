// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/list_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace velantis {

namespace {

constexpr int Margin = 4;
// A long line gets a mark every this many characters.
constexpr qsizetype MarkStep = 1024;

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
    marks_.clear();
    widestCells_ = 0;
    anchor_ = cursor_ = -1;
    const QChar* d = text_.constData();
    const qsizetype n = text_.size();
    qsizetype start = 0;
    qint64 cells = 0;
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
            if (i > start && (i - start) % MarkStep == 0)
                marks_.append({i, cells});
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

int ListView::cellWidth() const {
    return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
}

std::pair<qsizetype, qint64> ListView::positionAtCell(qsizetype i, qint64 cell) const {
    const qsizetype start = starts_[i];
    const qsizetype end = ends_[i];
    auto byPosition = [](const std::pair<qsizetype, qint64>& m, qsizetype pos) {
        return m.first < pos;
    };
    // The marks of this line, then the last of them at or before the cell.
    const auto first = std::lower_bound(marks_.cbegin(), marks_.cend(), start, byPosition);
    const auto last = std::lower_bound(first, marks_.cend(), end, byPosition);
    const auto after =
        std::upper_bound(first, last, cell, [](qint64 c, const std::pair<qsizetype, qint64>& m) {
            return c < m.second;
        });
    qsizetype p = start;
    qint64 cells = 0;
    if (after != first) {
        p = std::prev(after)->first;
        cells = std::prev(after)->second;
    }
    const QChar* d = text_.constData();
    while (p < end && cells + Cells(d[p]) <= cell) {
        cells += Cells(d[p]);
        ++p;
    }
    if (p > start && p < end && d[p].isLowSurrogate()) { // never half a character
        --p;
        cells -= Cells(d[p]);
    }
    return {p, cells};
}

void ListView::updateScrollBars() {
    const int visible = std::max(1, viewport()->height() / lineHeight());
    verticalScrollBar()->setRange(0,
                                  static_cast<int>(std::max<qsizetype>(0, lineCount() - visible)));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const qint64 width = widestCells_ * cellWidth() + 2 * Margin;
    horizontalScrollBar()->setRange(
        0, static_cast<int>(std::clamp<qint64>(width - viewport()->width(), 0, INT_MAX)));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(cellWidth() * 4);
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
    // Only the characters in sight are drawn: a line of 48 million characters handed whole to
    // the painter would take seconds for every paint.
    const int cw = cellWidth();
    const int scrolled = horizontalScrollBar()->value();
    const qint64 firstCell = std::max(0, scrolled - Margin) / cw;
    const qsizetype cellsInSight = viewport()->width() / cw + 3;
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
        const auto [from, cellsBefore] = positionAtCell(i, firstCell);
        // Each character takes at least one cell: this many cover the view.
        const qsizetype count = std::min(ends_[i] - from, cellsInSight + 1);
        const qint64 x = Margin - scrolled + cellsBefore * cw;
        painter.drawText(static_cast<int>(x), y + ascent, text_.mid(from, count));
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
    QAction* copyAction = menu.addAction(tr("复制"), this, &ListView::copy);
    copyAction->setEnabled(anchor_ >= 0);
    menu.addAction(tr("全选"), this, &ListView::selectAll);
    menu.exec(event->globalPos());
}

} // namespace velantis
