#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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
        Locked,         // another program kept the file locked for longer than the store waits
    };
    Code m_code = Code::Ok;
    std::uint64_t m_nOffset = 0;
    std::string m_strMessage; // English, for the terminal
};

// A list of projects bound to a project file (.wbr). Strings are UTF-8 in memory and GB18030 in
// the file. Short-lived: make one per open or save.
//
// Writers take an exclusive lock (flock) on the file for the whole write, and Update for its
// read-modify-write, so two programs saving into one file at once never lose each other's projects.
// A file behind a symbolic link is written through the link.
class CProjectStore
{
public:
    // How long a writer waits for another one's lock before it gives up with Code::Locked.
    static constexpr std::chrono::milliseconds kDefaultLockWait{10000};

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

    // Under the file's lock: reads the file (a missing or empty one counts as no projects), lets change
    // edit the projects, and writes them back unless change returns false. False with LastStatus()
    // when the file could not be locked, read or written; a file that is not a project file is left alone.
    bool Update(const std::function<bool(std::vector<CProjectObject>&)>& change);
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

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
    std::chrono::milliseconds m_lockWait = kDefaultLockWait;
};
