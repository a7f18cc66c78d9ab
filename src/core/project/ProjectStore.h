#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ProjectRecords.h"

// Why the last Transfer failed, beside its historical result.
struct ProjectFileStatus
{
    enum class Code
    {
        Ok,
        CannotOpen,     // the file could not be opened (read) or created (write)
        CannotWrite,    // writing or flushing failed
        WrongSignature, // not a project file: nothing was read
        Damaged,        // a record runs past the end of the file at byte m_nOffset
    };
    Code m_code = Code::Ok;
    std::uint64_t m_nOffset = 0;
    std::string m_strMessage; // English, for the terminal
};

// A list of projects bound to a project file (.wbr). Strings are UTF-8 in memory and GB18030 in
// the file. Short-lived: make one per open or save.
class CProjectStore
{
public:
    void SetPath(const std::string& strPath);
    void SetHeaderName(const std::string& strName);
    const std::string& GetHeaderName() const { return m_strHeaderName; }

    // Writes (true) or reads (false) the whole file. Returns 1 when the file cannot be opened or the
    // transfer finished, 0 when an error happened during it. LastStatus() tells what happened.
    int Transfer(bool bStoring);
    // Appends a copy of each project to projects.
    void GetProjects(std::vector<CProjectObject>& projects);
    // Replaces the projects and writes the file; returns Transfer(true).
    int SetProjects(const std::vector<CProjectObject>& projects);

    const ProjectFileStatus& LastStatus() const { return m_status; }
    // True when the last Transfer did what was asked (a read that found a project file, a write that wrote it).
    bool LastTransferOk() const { return m_status.m_code == ProjectFileStatus::Code::Ok; }

private:
    int store();
    int load();

    std::vector<CProjectObject> m_projects;
    std::string m_strPath;
    std::string m_strHeaderName;
    std::mutex m_lock;
    ProjectFileStatus m_status;
};
