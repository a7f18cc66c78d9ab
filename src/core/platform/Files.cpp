#include "Files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace files
{
namespace fs = std::filesystem;

bool CreateFolder(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    return errno == EEXIST && IsFolder(path);
}

bool CreateFolders(const std::string& path)
{
    std::error_code ec;
    fs::create_directories(fs::u8path(path), ec);
    return IsFolder(path);
}

bool Exists(const std::string& path)
{
    struct stat st
    {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path)
{
    struct stat st
    {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat st
    {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadFile(const std::string& path, std::string& data, std::string* why, size_t nMaxBytes)
{
    auto fail = [&](const std::string& text) {
        if (why) {
            *why = text;
        }
        return false;
    };
    // Bytes are read as they come, never by a size the file claims: a folder or a special file
    // can report any size at all.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail("cannot open " + path + ": " + std::strerror(errno));
    }
    struct stat st
    {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail("cannot open " + path + ": it is a folder");
    }
    data.clear();
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        data.reserve(std::min(static_cast<size_t>(st.st_size), nMaxBytes));
    }
    char chunk[64 * 1024];
    while (data.size() < nMaxBytes) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, nMaxBytes - data.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const std::string text = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return fail(text);
        }
        if (n == 0) {
            break;
        }
        data.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string FollowLinks(const std::string& path)
{
    std::string current = path;
    // As many hops as the kernel itself follows before it gives up on a loop.
    for (int hop = 0; hop < 40; ++hop) {
        char target[4096];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof target) {
            return current;
        }
        std::string next(target, static_cast<size_t>(n));
        const auto slash = current.rfind('/');
        if (next[0] != '/' && slash != std::string::npos) {
            next = current.substr(0, slash + 1) + next;
        }
        current = next;
    }
    return current;
}

int CreateTempBeside(const std::string& path, std::string& tempPath)
{
    static std::atomic<unsigned> s_nCounter{0};
    const auto slash = path.rfind('/');
    const std::string prefix = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." +
                               FileName(path) + ".part-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = prefix + std::to_string(s_nCounter.fetch_add(1));
        // Mode 0666 lets the umask decide, as for every other file the user makes.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool IsTempBesideName(std::string_view name)
{
    const auto part = name.rfind(".part-");
    if (name.empty() || name[0] != '.' || part == std::string_view::npos || part == 0) {
        return false;
    }
    const std::string_view numbers = name.substr(part + 6);
    const auto dash = numbers.find('-');
    const auto isDigits = [](std::string_view text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return dash != std::string_view::npos && isDigits(numbers.substr(0, dash)) && isDigits(numbers.substr(dash + 1));
}

bool WriteFile(const std::string& path, std::string_view data, std::string* why)
{
    auto fail = [&](const std::string& text) {
        if (why) {
            *why = text;
        }
        return false;
    };
    const std::string target = FollowLinks(path);
    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0) {
        return fail("cannot create " + path + ": " + std::strerror(errno));
    }
    struct stat old
    {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    const char* p = data.data();
    size_t left = data.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return fail("cannot write " + path + ": " + std::strerror(error));
    }
    return true;
}

bool RemoveTree(const std::string& path)
{
    std::error_code ec;
    fs::remove_all(fs::u8path(path), ec);
    return !Exists(path);
}

long ProcessIdInName(std::string_view name, std::string_view prefix)
{
    if (name.substr(0, prefix.size()) != prefix) {
        return 0;
    }
    long pid = 0;
    std::size_t i = prefix.size();
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        if (pid > (LONG_MAX - 9) / 10) {
            return 0;
        }
        pid = pid * 10 + (name[i] - '0');
    }
    return i < name.size() && name[i] == '-' && i > prefix.size() ? pid : 0;
}

bool IsProcessAlive(long pid)
{
    return pid > 0 && pid <= INT_MAX && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

void RemoveDeadTempsBeside(const std::string& path)
{
    const std::string folder = FolderOf(path);
    const std::string prefix = "." + FileName(path) + ".part-";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return;
    }
    std::vector<std::string> dead;
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = ProcessIdInName(entry->d_name, prefix);
        if (pid > 0 && pid != ::getpid() && !IsProcessAlive(pid)) {
            dead.push_back(Join(folder, entry->d_name));
        }
    }
    ::closedir(dir);
    for (const auto& file : dead) {
        struct stat st
        {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::unlink(file.c_str());
        }
    }
}

bool IsRegularFileInside(const std::string& path, const std::string& folder)
{
    char* resolvedFile = ::realpath(path.c_str(), nullptr);
    char* resolvedFolder = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    bool bInside = false;
    if (resolvedFile && resolvedFolder) {
        std::string root = resolvedFolder;
        if (root.back() != '/') {
            root += '/';
        }
        struct stat st
        {};
        bInside = std::string_view(resolvedFile).substr(0, root.size()) == root && ::stat(resolvedFile, &st) == 0 &&
                  S_ISREG(st.st_mode);
    }
    std::free(resolvedFile);
    std::free(resolvedFolder);
    return bInside;
}

std::string AbsolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::u8path(path), ec);
    return ec ? path : absolute.lexically_normal().string();
}

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

std::string FileName(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

namespace
{

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/tmp";
}

// Reads XDG_DOCUMENTS_DIR from ~/.config/user-dirs.dirs ("$HOME/Documents" form).
std::string documentsFromUserDirs()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file = (config && *config ? std::string(config) : homeFolder() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = homeFolder() + value.substr(5);
        }
        if (!value.empty() && value[0] == '/' && IsFolder(value)) {
            return value;
        }
    }
    return {};
}

} // namespace

std::string DocumentsFolder()
{
    const char* env = std::getenv("XDG_DOCUMENTS_DIR");
    if (env && *env) {
        return env;
    }
    std::string fromConfig = documentsFromUserDirs();
    return fromConfig.empty() ? homeFolder() : fromConfig;
}

std::string CacheFolder()
{
    const char* env = std::getenv("XDG_CACHE_HOME");
    std::string base = env && *env ? std::string(env) : homeFolder() + "/.cache";
    return base + "/trawlix";
}

std::string DataFolder()
{
    const char* env = std::getenv("XDG_DATA_HOME");
    std::string base = env && *env ? std::string(env) : homeFolder() + "/.local/share";
    return base + "/trawlix";
}

std::string ProgramFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix)
{
    if (!CreateFolders(parent)) {
        return {};
    }
    std::string templ = Join(parent, prefix + "XXXXXX");
    if (::mkdtemp(templ.data()) == nullptr) {
        return {};
    }
    return templ;
}

} // namespace files
