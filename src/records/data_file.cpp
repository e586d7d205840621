#include "records/data_file.h"

#include "records/text_codec.h"

#include <QSaveFile>

namespace velantis {

QByteArray DataFileBytes(const QString& listText) {
    return EncodeGbk(listText + QStringLiteral("\r\n"));
}

bool SaveDataFile(const QString& path, const QString& listText, QString* error) {
    const QByteArray bytes = DataFileBytes(listText);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace velantis
