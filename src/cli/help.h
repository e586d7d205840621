// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two columns of a help text: what is typed, then what it does. A description may run over
// several lines ('\n' in its text, so that a translation breaks its lines where it likes); the
// lines after the first start at the description's column.
#include <QList>
#include <QString>

#include <utility>

namespace velantis {

inline QString HelpRows(const QList<std::pair<QString, QString>>& rows, qsizetype column) {
    QString text;
    for (const auto& [typed, description] : rows) {
        QString left = QStringLiteral("  ") + typed;
        // A name too long for its column has its description on the next line.
        if (left.size() >= column - 1 && !description.isEmpty())
            left += QLatin1Char('\n') + QString(column, QLatin1Char(' '));
        else
            left = left.leftJustified(column);
        text += left +
                QString(description)
                    .replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(column, u' ')) +
                QLatin1Char('\n');
    }
    return text;
}

} // namespace velantis
