#include "common/FileProblem.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

QString FileProblemText(const QString& strPath, bool bWriting)
{
    const QFileInfo file(strPath);
    if (file.isDir()) {
        return QStringLiteral("这是一个文件夹。");
    }
    if (!bWriting) {
        if (!file.exists()) {
            return QStringLiteral("文件不存在。");
        }
        if (!file.isFile()) {
            return QStringLiteral("这不是普通文件。");
        }
        if (!file.isReadable()) {
            return QStringLiteral("没有读取这个文件的权限。");
        }
        return {};
    }
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists()) {
        return QStringLiteral("文件夹 \"%1\" 不存在。").arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    }
    if (!folder.isDir()) {
        return QStringLiteral("\"%1\" 不是文件夹。").arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    }
    if (!folder.isWritable() || (file.exists() && !file.isWritable())) {
        return QStringLiteral("没有在这里写入的权限。");
    }
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.isReadOnly()) {
        return QStringLiteral("磁盘是只读的。");
    }
    if (storage.isValid() && storage.bytesAvailable() < 64 * 1024) {
        return QStringLiteral("磁盘空间不足。");
    }
    return {};
}
