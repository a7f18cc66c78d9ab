#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "project/PageFiles.h"

struct ChmBuildParams;

// Copies every page file and its resource folder into the working folder. A page that does not exist is
// left out (the compiler reports it missing), and so is every file that resolves outside the page's
// folder. False, with the cause in why, when a file cannot be copied (a full disk) or pCancel is set.
bool CopyPages(const ChmBuildParams& params, std::string* why = nullptr, const std::atomic<bool>* pCancel = nullptr);
// Write the contents and project files. 1 when written; 0 when the file cannot be written (the
// file error's number in *pError) or, for the project, when there are no pages.
int WriteContents(const ChmBuildParams& params, int* pError = nullptr);
int WriteProject(const ChmBuildParams& params, int* pError = nullptr);

// Text after the last "/" (the whole path when it has none).
std::string FileNameOf(const std::string& path);
// Appends the path of every file below folder (folders themselves are not listed), in name order.
void ListTree(const std::string& folder, std::vector<std::string>& list);
// Deletes folder with everything in it; true when the folder itself was removed.
bool DeleteTree(const std::string& folder);

// Whether a page record's file may go into a book: a plain file named .htm, .html or .shtml, or one
// beside the resource folder a download makes for every page it saves (pages saved as .asp or .php).
// Any other existing file (a record crafted to name /etc/passwd, a folder, a device, a link to a file
// outside the page's folder) is refused. A
// missing file passes: it cannot leak anything, and the compiler reports it missing.
bool MayGoIntoBook(const std::string& pageFile);
