#pragma once

#include <QByteArray>
#include <QString>

// The favorites folders' recorded orders in the program's settings store: one "Order" value of raw
// bytes per folder, under the folder's key path (see CMenuOrder::KeyPath). Folders are named by their
// path below the favorites folder with a trailing "/" ("" for the favorites folder itself).
class COrderRecordStore
{
public:
    // The record's bytes; empty when there is none or the value is not raw bytes.
    static QByteArray Read(const QString& strRelPath);
    static void Write(const QString& strRelPath, const QByteArray& bytes);
    // Removes the records of a folder and of every folder below it.
    static void Remove(const QString& strRelPath);
    // The records of a folder and the folders below it move with the folder.
    static void Move(const QString& strOldRelPath, const QString& strNewRelPath);

private:
    static QString groupOf(const QString& strRelPath);
};
