#include "app/RecentFileList.h"

#include <QFileInfo>
#include <QSettings>

#include "common/AppInfo.h"

namespace
{
QString section()
{
    return QStringLiteral("Recent File List");
}

QString key(int n)
{
    return QStringLiteral("File%1").arg(n + 1);
}
} // namespace

CRecentFileList::CRecentFileList()
{
    Load();
}

void CRecentFileList::Load()
{
    m_files.clear();
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.beginGroup(section());
    for (int n = 0; n < kSize; ++n) {
        const QString strPath = settings.value(key(n)).toString();
        if (!strPath.isEmpty() && !m_files.contains(strPath)) {
            m_files.append(strPath);
        }
    }
}

void CRecentFileList::Add(const QString& strPath)
{
    const QString strFull = QFileInfo(strPath).absoluteFilePath();
    m_files.removeAll(strFull);
    m_files.prepend(strFull);
    while (m_files.size() > kSize) {
        m_files.removeLast();
    }
    save();
}

void CRecentFileList::Remove(const QString& strPath)
{
    m_files.removeAll(strPath);
    save();
}

void CRecentFileList::save() const
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.beginGroup(section());
    for (int n = 0; n < kSize; ++n) {
        if (n < m_files.size()) {
            settings.setValue(key(n), m_files.at(n));
        } else {
            settings.remove(key(n));
        }
    }
}
