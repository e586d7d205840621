#pragma once

#include <QByteArray>
#include <QString>

namespace velantis {

// The bytes a saved data file holds: the list text in GBK followed by one more CR LF.
QByteArray DataFileBytes(const QString& listText);

// Replaces the file at path with the saved list. The old file stays whole until the new one is
// completely written; false with the system's reason when the file cannot be written.
bool SaveDataFile(const QString& path, const QString& listText, QString* error);

} // namespace velantis
