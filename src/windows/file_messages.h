// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/data_file.h"

#include <QString>

namespace velantis {

// A file's failure in the windows' words: the reason, named for the common ones and the
// system's own text for the rest.
QString FileReasonText(const FileError& error);

// "未能保存 <file>：<reason>。" and what became of the file, said only where it is so: the old
// file kept, nothing written, or a file (or reader) left with a part.
QString SaveFailureText(const QString& path, const FileError& error);

// A live record stopped by a row that could not be written: the file, the reason and what
// became of the rows already written.
QString RecordFailureText(const QString& path, const FileError& error, qint64 rows);

// "无法打开 <file>：<reason>。"
QString OpenFailureText(const QString& path, const FileError& error);

} // namespace velantis
