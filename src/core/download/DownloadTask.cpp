#include "DownloadTask.h"

#include "platform/Files.h"

std::string SaveFolderForPages(const std::vector<std::string>& localFiles)
{
    for (const std::string& strFile : localFiles) {
        if (strFile.empty()) {
            continue;
        }
        // A page lies in its project's folder, which lies in the save folder.
        const std::string strSave = files::FolderOf(files::FolderOf(strFile));
        if (!strSave.empty() && strSave != "/") {
            return strSave;
        }
        break;
    }
    return files::DocumentsFolder();
}

std::string ProjectFolderName(std::string strName)
{
    for (char& c : strName) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    if (strName.empty() || strName == "." || strName == "..") {
        strName = "_";
    }
    return strName;
}
