#include "ProjectStore.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/CodePage.h"
#include "platform/Files.h"

namespace
{

constexpr char kSignature[] = "Qorvane Solutions - StoreObject";

// A string field's length prefix: one byte below 255, else 0xFF and 16 bits below 65534, else
// 0xFF 0xFFFF and 32 bits.
void putLength(std::string& out, std::uint32_t n)
{
    if (n < 0xFF) {
        out.push_back(static_cast<char>(n));
        return;
    }
    out.push_back('\xFF');
    if (n < 0xFFFE) {
        out.push_back(static_cast<char>(n & 0xFF));
        out.push_back(static_cast<char>(n >> 8));
        return;
    }
    out.append("\xFF\xFF", 2);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    }
}

void putInt32(std::string& out, std::int32_t value)
{
    auto n = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    }
}

void putRawString(std::string& out, std::string_view bytes)
{
    putLength(out, static_cast<std::uint32_t>(bytes.size()));
    out.append(bytes);
}

void putString(std::string& out, const std::string& utf8)
{
    putRawString(out, codepage::Utf8ToGb18030(utf8));
}

// Reads fields from a file held in memory. Every read checks the bytes left first, so a length
// prefix that runs past the end fails instead of allocating what the file does not hold.
class FieldReader
{
public:
    explicit FieldReader(std::string_view data)
        : m_data(data)
    {}

    bool AtEnd() const { return m_nPos >= m_data.size(); }
    std::size_t Position() const { return m_nPos; }
    // Where the field that could not be read began.
    std::size_t FailedAt() const { return m_nFailedAt; }

    bool ReadInt32(std::int32_t& value)
    {
        m_nFieldStart = m_nPos;
        std::uint32_t n = 0;
        if (!readUnsigned(4, n)) {
            return false;
        }
        value = static_cast<std::int32_t>(n);
        return true;
    }

    // The field's bytes as stored: GB18030, or UTF-16LE when bWide comes back true.
    bool ReadRawString(std::string& bytes, bool& bWide)
    {
        m_nFieldStart = m_nPos;
        bWide = false;
        std::uint32_t length = 0;
        if (!readLength(length, bWide, true)) {
            return false;
        }
        std::uint64_t byteCount = bWide ? std::uint64_t(length) * 2 : length;
        if (byteCount > m_data.size() - m_nPos) {
            return fail();
        }
        bytes.assign(m_data.substr(m_nPos, byteCount));
        m_nPos += byteCount;
        return true;
    }

    bool ReadString(std::string& utf8)
    {
        std::string bytes;
        bool bWide = false;
        if (!ReadRawString(bytes, bWide)) {
            return false;
        }
        utf8 = bWide ? codepage::Utf16LeToUtf8(bytes) : codepage::Gb18030ToUtf8(bytes);
        return true;
    }

private:
    bool fail()
    {
        m_nFailedAt = m_nFieldStart;
        return false;
    }

    bool readUnsigned(int nBytes, std::uint32_t& n)
    {
        if (m_data.size() - m_nPos < static_cast<std::size_t>(nBytes)) {
            return fail();
        }
        n = 0;
        for (int i = 0; i < nBytes; ++i) {
            n |= std::uint32_t(static_cast<unsigned char>(m_data[m_nPos + i])) << (8 * i);
        }
        m_nPos += nBytes;
        return true;
    }

    // The three prefix forms; 0xFF 0xFFFE announces a wide string whose own prefix follows.
    bool readLength(std::uint32_t& length, bool& bWide, bool bWideAllowed)
    {
        std::uint32_t n = 0;
        if (!readUnsigned(1, n)) {
            return false;
        }
        if (n < 0xFF) {
            length = n;
            return true;
        }
        if (!readUnsigned(2, n)) {
            return false;
        }
        if (n == 0xFFFE && bWideAllowed) {
            bWide = true;
            return readLength(length, bWide, false);
        }
        if (n < 0xFFFF) {
            length = n;
            return true;
        }
        return readUnsigned(4, length);
    }

    std::string_view m_data;
    std::size_t m_nPos = 0;
    std::size_t m_nFieldStart = 0;
    std::size_t m_nFailedAt = 0;
};

std::string errnoText()
{
    return std::strerror(errno);
}

std::string tempNameFor(const std::string& path, unsigned nCounter)
{
    return path + ".~" + std::to_string(::getpid()) + "." + std::to_string(nCounter) + ".tmp";
}

// Temporary files "NAME.~PID.N.tmp" that a save killed before its rename left beside path. Only those of
// processes that no longer run are removed: a live one may be saving right now.
void removeStaleTempFiles(const std::string& path)
{
    const std::string folder = files::FolderOf(path);
    const std::string prefix = files::FileName(path) + ".~";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0) {
            continue;
        }
        const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        const auto dot = middle.find('.');
        if (dot == 0 || dot == std::string::npos || dot > 9 || dot + 1 == middle.size() ||
            middle.find_first_not_of("0123456789.") != std::string::npos ||
            middle.find('.', dot + 1) != std::string::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(middle.substr(0, dot)));
        if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) {
            stale.push_back(files::Join(folder, name));
        }
    }
    ::closedir(dir);
    for (const auto& file : stale) {
        ::unlink(file.c_str());
    }
}

// Writes data to a new file beside path and renames it over path, so the old file survives any
// failure before the rename.
bool replaceFile(const std::string& path, const std::string& data, ProjectFileStatus& status)
{
    static std::atomic<unsigned> s_nCounter{0};
    removeStaleTempFiles(path);
    const std::string temp = tempNameFor(path, s_nCounter.fetch_add(1));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        status = {ProjectFileStatus::Code::CannotOpen, 0, "cannot create " + path + ": " + errnoText()};
        return false;
    }
    struct stat old
    {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    const char* p = data.data();
    std::size_t left = data.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
    }
    std::string why = ok ? std::string() : errnoText();
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = errnoText();
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        why = errnoText();
    }
    if (!ok) {
        ::unlink(temp.c_str());
        status = {ProjectFileStatus::Code::CannotWrite, 0, "cannot write " + path + ": " + why};
        return false;
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An exclusive lock on a project file, held by a writer from before it reads until after its rename.
// The lock sits on the file itself: a save renames a new file over it, so a waiter that gets the lock
// on the replaced file sees that the name no longer leads there and takes the new one.
class CWriteLock
{
public:
    CWriteLock() = default;
    ~CWriteLock()
    {
        if (m_fd < 0) {
            return;
        }
        // A file made only to hold the lock goes again when nothing was written into its place.
        struct stat held
        {
        }, now{};
        if (m_bCreated && ::fstat(m_fd, &held) == 0 && held.st_size == 0 && ::stat(m_strPath.c_str(), &now) == 0 &&
            sameFile(held, now)) {
            ::unlink(m_strPath.c_str());
        }
        ::close(m_fd);
    }
    CWriteLock(const CWriteLock&) = delete;
    CWriteLock& operator=(const CWriteLock&) = delete;

    // True when locked, or when the file cannot be locked at all (then reading or writing it reports
    // why); false with status Locked when another writer held it for longer than wait.
    bool Acquire(const std::string& path, std::chrono::milliseconds wait, ProjectFileStatus& status)
    {
        m_strPath = path;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            struct stat st
            {};
            const bool bExists = ::stat(path.c_str(), &st) == 0;
            if (bExists && !S_ISREG(st.st_mode)) {
                return true;
            }
            const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
            if (fd < 0) {
                return true;
            }
            for (;;) {
                if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                    break;
                }
                if (errno != EWOULDBLOCK && errno != EINTR) {
                    // A file system without locks: go on as before.
                    ::close(fd);
                    return true;
                }
                if (std::chrono::steady_clock::now() >= deadline) {
                    ::close(fd);
                    status = {ProjectFileStatus::Code::Locked, 0,
                              path + " is being written by another program; try again when it has finished"};
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            struct stat held
            {
            }, now{};
            if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && sameFile(held, now)) {
                m_fd = fd;
                m_bCreated = !bExists;
                return true;
            }
            ::close(fd);
        }
    }

private:
    std::string m_strPath;
    int m_fd = -1;
    bool m_bCreated = false;
};

} // namespace

void CProjectStore::SetPath(const std::string& strPath)
{
    m_strPath = strPath;
}

void CProjectStore::SetHeaderName(const std::string& strName)
{
    m_strHeaderName = strName;
}

int CProjectStore::Transfer(bool bStoring)
{
    m_status = {};
    if (!bStoring) {
        return load();
    }
    CWriteLock lock;
    if (!lock.Acquire(files::FollowLinks(m_strPath), m_lockWait, m_status)) {
        return 1;
    }
    return store();
}

bool CProjectStore::Update(const std::function<bool(std::vector<CProjectObject>&)>& change)
{
    m_status = {};
    const std::string target = files::FollowLinks(m_strPath);
    CWriteLock lock;
    if (!lock.Acquire(target, m_lockWait, m_status)) {
        return false;
    }
    // Read under the lock: what another writer saved a moment ago is kept.
    struct stat st
    {};
    if (::stat(target.c_str(), &st) == 0 && !(S_ISREG(st.st_mode) && st.st_size == 0)) {
        load();
        if (!LastTransferOk()) {
            // Writing now would replace whatever the file holds with only the new pages.
            return false;
        }
    } else {
        m_projects.clear();
    }
    std::vector<CProjectObject> projects;
    GetProjects(projects);
    if (!change(projects)) {
        return true;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_projects = std::move(projects);
    }
    store();
    return LastTransferOk();
}

int CProjectStore::store()
{
    std::string data;
    putRawString(data, kSignature);
    putString(data, m_strHeaderName);
    for (auto& project : m_projects) {
        putString(data, project.m_strName);
        project.m_nPageCount = static_cast<std::int32_t>(project.m_pages.size());
        putInt32(data, project.m_nPageCount);
        for (const auto& page : project.m_pages) {
            putString(data, page.m_strTitle);
            putString(data, page.m_strLocalFile);
            putString(data, page.m_strUrl);
            putInt32(data, page.m_bBookmark);
        }
    }
    if (!replaceFile(files::FollowLinks(m_strPath), data, m_status)) {
        // A file that could not even be created keeps the historical "nothing happened" result.
        return m_status.m_code == ProjectFileStatus::Code::CannotOpen ? 1 : 0;
    }
    return 1;
}

int CProjectStore::load()
{
    std::string data;
    std::string why;
    if (files::IsFolder(m_strPath)) {
        why = "cannot open " + m_strPath + ": it is a folder";
    } else if (files::Exists(m_strPath) && !files::IsRegularFile(m_strPath)) {
        // A device or pipe could go on for ever.
        why = "cannot open " + m_strPath + ": it is not a plain file";
    }
    if (!why.empty() || !files::ReadFile(m_strPath, data, &why)) {
        m_status = {ProjectFileStatus::Code::CannotOpen, 0, why};
        return 1;
    }

    FieldReader reader(data);
    std::string signature;
    bool bWide = false;
    bool bComplete = reader.ReadRawString(signature, bWide);
    if (!bComplete || bWide || signature != kSignature) {
        m_status = {ProjectFileStatus::Code::WrongSignature, 0, m_strPath + " is not a project file"};
        return bComplete ? 1 : 0;
    }
    auto damaged = [&](const FieldReader& r) {
        m_status = {ProjectFileStatus::Code::Damaged, r.FailedAt(),
                    m_strPath + " is damaged at byte " + std::to_string(r.FailedAt()) +
                        ": a record runs past the end of the file"};
        return 0;
    };
    std::string header;
    if (!reader.ReadString(header)) {
        return damaged(reader);
    }
    m_strHeaderName = header;
    m_projects.clear();
    while (!reader.AtEnd()) {
        CProjectObject project;
        if (!reader.ReadString(project.m_strName) || !reader.ReadInt32(project.m_nPageCount)) {
            return damaged(reader);
        }
        // The count is only trusted page by page: each page must be read before the next is tried.
        for (std::int32_t i = 0; i < project.m_nPageCount; ++i) {
            CProjectInfor page;
            if (!reader.ReadString(page.m_strTitle) || !reader.ReadString(page.m_strLocalFile) ||
                !reader.ReadString(page.m_strUrl) || !reader.ReadInt32(page.m_bBookmark)) {
                return damaged(reader);
            }
            project.m_pages.push_back(std::move(page));
        }
        m_projects.push_back(std::move(project));
    }
    return 1;
}

void CProjectStore::GetProjects(std::vector<CProjectObject>& projects)
{
    std::lock_guard<std::mutex> lock(m_lock);
    projects.insert(projects.end(), m_projects.begin(), m_projects.end());
}

int CProjectStore::SetProjects(const std::vector<CProjectObject>& projects)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_projects = projects;
    }
    return Transfer(true);
}
