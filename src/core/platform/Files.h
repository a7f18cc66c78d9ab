#pragma once

#include <string>
#include <string_view>

// Files and folders, and the user's well-known folders. Paths are UTF-8 with "/" separators.
namespace files
{

// Creates one folder; true when it exists afterwards (an existing folder is fine).
bool CreateFolder(const std::string& path);
// Creates a folder and every missing parent.
bool CreateFolders(const std::string& path);
bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
// True for an existing plain file (not a folder, device or pipe).
bool IsRegularFile(const std::string& path);
// Reads a whole file, or its first nMaxBytes; false (with why set to a reason in English) when it cannot.
bool ReadFile(const std::string& path,
              std::string& data,
              std::string* why = nullptr,
              size_t nMaxBytes = static_cast<size_t>(-1));
// Writes a whole file, replacing it; false with a reason when it cannot be created or written. The data
// goes to a temporary file beside the target that is renamed over it once complete, so a failed write
// (a full disk) leaves the old file as it was and never a cut one. A symbolic link is written through:
// its target gets the data and the link stays. A new file is created with the user's umask applied;
// a replaced one keeps its mode.
bool WriteFile(const std::string& path, std::string_view data, std::string* why = nullptr);
// The file a path names once symbolic links in its last part are followed (the path itself when it is
// no link, and the final target even when that does not exist yet).
std::string FollowLinks(const std::string& path);
// Creates a new, uniquely named file for writing beside path (".name.part-XXXXXX" in its folder), with
// mode 0666 less the umask like any other new file; returns its descriptor and sets tempPath, or -1.
int CreateTempBeside(const std::string& path, std::string& tempPath);
// True for a name CreateTempBeside makes (".name.part-PID-N"): a file being written, or one a killed
// process left half written.
bool IsTempBesideName(std::string_view name);
// Removes a folder with everything in it; true when nothing is left.
bool RemoveTree(const std::string& path);
// The process id a name of ours carries after prefix ("chm-4242-x1y2" with "chm-" → 4242); 0 when the
// name does not begin with prefix, digits and "-".
long ProcessIdInName(std::string_view name, std::string_view prefix);
// False only when no process with this id exists: one we may not signal is alive all the same.
bool IsProcessAlive(long pid);
// Removes what a process that has ended left beside path while writing it: the files whose names begin
// with ".name.part-PID-" (those CreateTempBeside makes, and what a library wrote next to them) for a
// PID no longer running. Files of running processes, links and folders are left alone.
void RemoveDeadTempsBeside(const std::string& path);
// True when path, with every symbolic link resolved, is a plain file inside folder (itself resolved):
// a link from a project's folder to a file elsewhere (/etc/passwd) is not.
bool IsRegularFileInside(const std::string& path, const std::string& folder);

// path made absolute against the current folder ("out/p" → "/home/u/out/p"); an absolute or empty path
// comes back as it is.
std::string AbsolutePath(const std::string& path);
// "a/b" + "c" → "a/b/c" (one separator, whatever the left side ends with).
std::string Join(const std::string& folder, const std::string& name);
// Text after the last "/" (the whole path when it has none).
std::string FileName(const std::string& path);
// Text before the last "/" (empty when it has none).
std::string FolderOf(const std::string& path);

// The user's documents folder: $XDG_DOCUMENTS_DIR, else the XDG user-dirs setting, else $HOME.
std::string DocumentsFolder();
// The user's cache folder for this program: $XDG_CACHE_HOME/trawlix, else ~/.cache/trawlix.
std::string CacheFolder();
// The user's data folder for this program: $XDG_DATA_HOME/trawlix, else ~/.local/share/trawlix.
std::string DataFolder();
// The folder holding this program's own executable.
std::string ProgramFolder();
// A new, empty, uniquely named folder under parent, created; empty string on failure.
std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix);

} // namespace files
