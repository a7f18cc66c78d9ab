#pragma once

#include <QString>
#include <QStringList>

// The last project files opened or saved, newest first, kept in the settings store under
// "Recent File List" as File1 … File4. Every change is written at once.
class CRecentFileList
{
public:
    static constexpr int kSize = 4;

    CRecentFileList();

    const QStringList& Files() const { return m_files; }
    // Puts the file first; an entry for the same file goes away.
    void Add(const QString& strPath);
    void Remove(const QString& strPath);
    // Reads the list again from the settings store.
    void Load();

private:
    void save() const;

    QStringList m_files;
};
