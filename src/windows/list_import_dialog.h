// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/list_import.h"

#include <QDateTime>
#include <QDialog>

class QDateTimeEdit;
class QLabel;
class QLineEdit;

namespace velantis {

// 导入列表: what a saved list does not hold, asked before it is kept as a test: the rated ratio
// (one for every group, or one per range of groups) and when the test was made (by default the
// file's modification time). OK reads the list with that ratio: a ratio that is no ratio, or a
// line of the list that cannot be read back, is shown in the dialog with its line, and the
// dialog stays open; nothing is kept until the whole list reads back.
class ListImportDialog : public QDialog {
    Q_OBJECT
public:
    ListImportDialog(const QString& file, QByteArray bytes, const QDateTime& modified,
                     QWidget* parent = nullptr);

    void setRated(const QString& text);
    void setTime(const QDateTime& at);
    QDateTime time() const;
    // Reads the list with the ratio given; true (and the dialog accepted) when every row reads
    // back, else the problem is shown.
    bool take();
    // The groups read by take(); empty before.
    const QList<ListGroup>& groups() const { return groups_; }
    // The problem shown; empty when there is none.
    QString problem() const;

private:
    QByteArray bytes_;
    QLineEdit* rated_;
    QDateTimeEdit* at_;
    QLabel* problem_;
    QList<ListGroup> groups_;
};

} // namespace velantis
