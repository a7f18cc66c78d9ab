#include "PageFiles.h"

#include <sys/stat.h>

#include "platform/Files.h"

namespace
{

// Pages larger than this are not read to find their resource folder.
constexpr size_t kMaxPageBytes = size_t{64} << 20;

// A folder itself, not a link to one.
bool isRealFolder(const std::string& path)
{
    struct stat st
    {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string ResourceFolderOf(const std::string& pageFile)
{
    // A download names the folder after the page's name, which may hold dots of its own: a series of
    // ch01.zh-cn.html is saved as ch01.zh-cn.zh-cn.html beside ch01.zh-cn.files. With several dots the
    // folder is the one the page's references point at; otherwise, as for pages saved by earlier
    // versions and local pages, the name up to the last dot.
    const std::string folder = files::FolderOf(pageFile);
    const std::string name = files::FileName(pageFile);
    const auto lastDot = name.rfind('.');
    const std::string lastDotRule =
        files::Join(folder, (lastDot == std::string::npos ? name : name.substr(0, lastDot)) + ".files");
    const auto firstDot = name.find('.');
    if (firstDot == std::string::npos || firstDot == lastDot) {
        return lastDotRule;
    }
    std::string text;
    if (!files::IsRegularFile(pageFile) || !files::ReadFile(pageFile, text, nullptr, kMaxPageBytes)) {
        return lastDotRule;
    }
    for (auto dot = lastDot; dot != std::string::npos && dot > 0; dot = name.rfind('.', dot - 1)) {
        const std::string candidate = name.substr(0, dot) + ".files";
        const std::string path = files::Join(folder, candidate);
        if (text.find(candidate + "/") != std::string::npos && isRealFolder(path)) {
            return path;
        }
    }
    return lastDotRule;
}
