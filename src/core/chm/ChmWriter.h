#pragma once

#include <string>
#include <vector>

struct ChmBuildParams;

// Copies every page file and its resource folder into the working folder. A file that cannot be
// copied is skipped; the compiler reports it missing.
void CopyPages(const ChmBuildParams& params);
// Write the contents and project files. 1 when written; 0 when the file cannot be written (the
// file error's number in *pError) or, for the project, when there are no pages.
int WriteContents(const ChmBuildParams& params, int* pError = nullptr);
int WriteProject(const ChmBuildParams& params, int* pError = nullptr);

// Text after the last "/" (the whole path when it has none).
std::string FileNameOf(const std::string& path);
// A page's resource folder: its path without the file's extension, plus ".files". For a name with
// several dots, the first such cut (from the last dot on) whose folder exists and that the page's text
// refers to ("ch01.zh-cn.files/" for ch01.zh-cn.zh-cn.html).
std::string ResourceFolderOf(const std::string& pageFile);
// Recursive copy; the target folder is created even when the source does not exist.
void CopyTree(const std::string& source, const std::string& target);
// Appends the path of every file below folder (folders themselves are not listed), in name order.
void ListTree(const std::string& folder, std::vector<std::string>& list);
// Deletes folder with everything in it; true when the folder itself was removed.
bool DeleteTree(const std::string& folder);

// Whether a page record's file may go into a book: a plain file named .htm, .html or .shtml, or one
// beside the resource folder a download makes for every page it saves (pages saved as .asp or .php).
// Any other existing file (a record crafted to name /etc/passwd, a folder, a device) is refused. A
// missing file passes: it cannot leak anything, and the compiler reports it missing.
bool MayGoIntoBook(const std::string& pageFile);
