#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "ProjectRecords.h"
#include "ProjectStore.h"

// Adds pages saved by a download job to the project named strProject in the project file at
// strPath, after the project's existing pages. A missing file is created; a missing project is
// added after the others. A file that exists but cannot be read as a project file is left as it
// is. The file is locked from the read to the write, so appends from several programs at once all
// land; another writer's lock is waited for at most lockWait. Returns true when the file was
// written; status tells why not.
bool AppendPagesToProjectFile(const std::string& strPath,
                              const std::string& strProject,
                              const std::vector<CProjectInfor>& pages,
                              ProjectFileStatus* status = nullptr,
                              std::chrono::milliseconds lockWait = CProjectStore::kDefaultLockWait);

// The add count for the next job into a project whose saved pages are localFiles: 0 for a project
// without pages, else one above the highest count its page names carry ("3_2" carries 2), so the new
// job's pages get names of their own.
int NextAddCount(const std::vector<std::string>& localFiles);
// The same for the project strProject of the project file at strPath (0 when either is missing).
int NextAddCount(const std::string& strPath, const std::string& strProject);

// The header name a save writes: the file's name cut before its last dot, empty without a dot.
std::string ProjectFileTitle(const std::string& strPath);
