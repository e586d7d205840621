// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <QString>

#include <utility>

namespace velantis {

// A read-only view of the list's text. It keeps the text as given (CR LF included) and an index
// of where each line starts, and paints only the lines in sight, so a 50 MB file shows at once
// where a text document would build a block for each of its lines. Whole lines are selected with
// the mouse (or all with Ctrl+A) and copied with Ctrl+C.
class ListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    qsizetype lineCount() const { return starts_.size(); }
    // Line i without its line end.
    QString line(qsizetype i) const;
    // The selected lines, each ended by CR LF; empty when nothing is selected.
    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateScrollBars();
    qsizetype lineAt(int y) const;
    int lineHeight() const;
    int cellWidth() const;
    // Where in line i the character at cell `cell` (counted from the line's start) begins, and
    // the cells before it. Lines are scanned from the nearest mark, so a line of millions of
    // characters costs no more than a short one.
    std::pair<qsizetype, qint64> positionAtCell(qsizetype i, qint64 cell) const;

    QString text_;
    QList<qsizetype> starts_; // where each line starts in text_
    QList<qsizetype> ends_;   // where each line's text ends (before its CR LF, LF or CR)
    // Every MarkStep characters of a long line: its position in text_ and the cells before it
    // in its line. Sorted by position.
    QList<std::pair<qsizetype, qint64>> marks_;
    qint64 widestCells_ = 0; // the widest line in ASCII cells (a CJK character takes two)
    qsizetype anchor_ = -1;  // selection: lines anchor_..cursor_, none when anchor_ < 0
    qsizetype cursor_ = -1;
};

} // namespace velantis
