// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/file_messages.h"

#include <QCoreApplication>
#include <QDir>

namespace velantis {

QString FileReasonText(const FileError& e) {
    using R = FileError::Reason;
    switch (e.reason) {
    case R::None:
        return {};
    case R::NoName:
        return QCoreApplication::translate("velantis::FileMessages", "没有给出文件名");
    case R::NoSuchPath:
        return QCoreApplication::translate("velantis::FileMessages", "文件或文件夹不存在");
    case R::NoPermission:
        return QCoreApplication::translate("velantis::FileMessages", "没有权限");
    case R::ReadOnlyFileSystem:
        return QCoreApplication::translate("velantis::FileMessages", "文件系统是只读的");
    case R::DiskFull:
        return QCoreApplication::translate("velantis::FileMessages", "磁盘已满");
    case R::FileTooLarge:
        return QCoreApplication::translate("velantis::FileMessages", "文件超过了系统允许的大小");
    case R::ShortWrite:
        return QCoreApplication::translate("velantis::FileMessages",
                                           "只写入了 %1 / %2 字节 (磁盘已满或达到文件大小上限)")
            .arg(e.written)
            .arg(e.total);
    case R::IsFolder:
        return QCoreApplication::translate("velantis::FileMessages", "这是一个文件夹，不是文件");
    case R::NoReader:
        return QCoreApplication::translate("velantis::FileMessages",
                                           "没有程序在读取这个管道 (FIFO)");
    case R::ReaderStopped:
        return QCoreApplication::translate("velantis::FileMessages",
                                           "读取方停止了读取 (%1 秒内没有取走任何数据)")
            .arg(StalledReaderMs / 1000);
    case R::NotAFile:
        return QCoreApplication::translate("velantis::FileMessages",
                                           "这不是普通文件 (是管道、设备或套接字)");
    case R::OverOpenLimit:
        return QCoreApplication::translate("velantis::FileMessages",
                                           "文件大于 %1 MB，打开最多显示 %1 MB")
            .arg(MaxDataFileBytes / (1024 * 1024));
    case R::NotGbk:
        return QCoreApplication::translate("velantis::FileMessages",
                                           "列表中有 GBK 格式无法保存的字符 (第一个是 \"%1\")")
            .arg(e.character);
    case R::Other:
        break;
    }
    return e.system;
}

QString SaveFailureText(const QString& path, const FileError& e) {
    QString effect;
    switch (e.effect) {
    case FileError::Effect::OldFileKept:
        effect = QCoreApplication::translate("velantis::FileMessages", "原有文件保持不变。");
        break;
    case FileError::Effect::NothingWritten:
        effect = QCoreApplication::translate("velantis::FileMessages", "没有写入任何内容。");
        break;
    case FileError::Effect::PartlyWritten:
        effect = QCoreApplication::translate("velantis::FileMessages",
                                             "文件只写入了一部分，内容不完整。");
        break;
    }
    return QCoreApplication::translate("velantis::FileMessages", "未能保存 %1：%2。\n%3")
        .arg(QDir::toNativeSeparators(path), FileReasonText(e), effect);
}

QString RecordFailureText(const QString& path, const FileError& e, qint64 rows) {
    const QString file = QDir::toNativeSeparators(path);
    if (e.reason == FileError::Reason::NoSuchPath)
        return QCoreApplication::translate(
                   "velantis::FileMessages",
                   "记录已停止：%1 已被删除或移走 (文件或它所在的文件夹不在原处了)。\n"
                   "此前写入了 %2 行。")
            .arg(file)
            .arg(rows);
    return QCoreApplication::translate(
               "velantis::FileMessages",
               "记录已停止：未能写入 %1：%2。\n已写入的 %3 行保留在文件中。")
        .arg(file, FileReasonText(e))
        .arg(rows);
}

QString OpenFailureText(const QString& path, const FileError& e) {
    return QCoreApplication::translate("velantis::FileMessages", "无法打开 %1：%2。")
        .arg(QDir::toNativeSeparators(path), FileReasonText(e));
}

} // namespace velantis
