#include "wizards/BrowseForFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "common/UserPrompts.h"

QString BrowseForFolder(CUserPrompts& prompts, QWidget* owner, const QString& strTitle, unsigned nFlags)
{
    // Only file-system folders can be chosen here, whatever the flags ask: a job writes into the folder.
    static_cast<void>(nFlags);
    const QUrl url = prompts.chooseFolder(owner, strTitle);
    if (url.isEmpty()) {
        return {};
    }
    const QString strPath = url.isLocalFile() ? url.toLocalFile() : QString();
    if (strPath.isEmpty() || !QFileInfo(strPath).isDir()) {
        prompts.messageBox(owner, QMessageBox::Critical, QStringLiteral("Trawlix"),
                           QStringLiteral("Failed to get directory"), QMessageBox::Ok);
        return {};
    }
    return QDir::cleanPath(strPath);
}
