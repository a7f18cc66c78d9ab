#pragma once

#include <QString>

struct CUserPrompts;
class QWidget;

// Flags of BrowseForFolder.
constexpr unsigned kBrowseOnlyFileSystemFolders = 1;

// The folder picker of the wizards: asks for a folder with the given title and returns its local path,
// or an empty string when the user cancelled. A choice that is not a local folder is refused with
// "Failed to get directory" and also gives an empty string.
QString BrowseForFolder(CUserPrompts& prompts, QWidget* owner, const QString& strTitle, unsigned nFlags);
