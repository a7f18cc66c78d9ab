// The project-file reader on any bytes, and a write-read round trip of whatever it read: what is
// written reads back as the same projects and pages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

std::string scratchPath(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/trawlix-fuzz-" + std::to_string(::getpid()) + "-" + name;
}

std::vector<CProjectObject> read(const std::string& path)
{
    CProjectStore store;
    store.SetPath(path);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    return projects;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string input = scratchPath("in.wbr");
    static const std::string output = scratchPath("out.wbr");
    if (!files::WriteFile(input, std::string(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    const std::vector<CProjectObject> first = read(input);

    CProjectStore store;
    store.SetPath(output);
    if (store.SetProjects(first) != 1 || !store.LastTransferOk()) {
        __builtin_trap();
    }
    const std::vector<CProjectObject> second = read(output);
    if (second.size() != first.size()) {
        __builtin_trap();
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (second[i].m_strName != first[i].m_strName || second[i].m_pages != first[i].m_pages) {
            __builtin_trap();
        }
    }
    ::unlink(input.c_str());
    ::unlink(output.c_str());
    return 0;
}
