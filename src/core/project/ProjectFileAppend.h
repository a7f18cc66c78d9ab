#pragma once

#include <string>
#include <vector>

#include "ProjectRecords.h"
#include "ProjectStore.h"

// Adds pages saved by a download job to the project named strProject in the project file at
// strPath, after the project's existing pages. A missing file is created; a missing project is
// added after the others. A file that exists but cannot be read as a project file is left as it
// is. Returns true when the file was written; status tells why not.
bool AppendPagesToProjectFile(const std::string& strPath,
                              const std::string& strProject,
                              const std::vector<CProjectInfor>& pages,
                              ProjectFileStatus* status = nullptr);

// The header name a save writes: the file's name cut before its last dot, empty without a dot.
std::string ProjectFileTitle(const std::string& strPath);
