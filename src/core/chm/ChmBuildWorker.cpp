#include "ChmBuildWorker.h"

#include <cstdio>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "ChmWriter.h"
#include "platform/ChildProcess.h"
#include "platform/Files.h"

ChmBuildResult ChmBuildWorker(const ChmBuildParams& params,
                              const std::function<void(const std::string&)>& onOutput,
                              const std::function<void(const std::string&)>& onError,
                              const std::atomic<bool>* pCancel)
{
    auto output = [&](const std::string& text) {
        if (onOutput) {
            onOutput(text);
        }
    };
    auto reportWriteError = [&](int nError) {
        const std::string text = "Error code is :" + std::to_string(nError);
        if (onError) {
            onError(text);
        } else {
            output(text + "\r\n");
        }
    };

    ChmBuildResult result;
    for (std::size_t i = 0; i < params.m_pageFiles.size(); ++i) {
        if (!MayGoIntoBook(params.m_pageFiles[i])) {
            result.m_nRefusedPage = static_cast<int>(i);
            output("文件 " + params.m_pageFiles[i] + " 不是保存的网页，不能放进电子书。\r\n");
            return result;
        }
    }

    // The compiler writes to a name of our own beside the book (reserved here, so no other build
    // takes it); the book is replaced only by a good build.
    files::RemoveDeadTempsBeside(files::FollowLinks(params.m_strChmFile));
    ChmBuildParams build = params;
    const int fd = files::CreateTempBeside(params.m_strChmFile, build.m_strChmFile);
    if (fd >= 0) {
        ::close(fd);
    } else {
        build.m_strChmFile = params.m_strChmFile;
    }

    auto dropTemp = [&] {
        if (build.m_strChmFile != params.m_strChmFile) {
            std::remove(build.m_strChmFile.c_str());
        }
    };
    output(kChmCopyingText);
    result.m_bCopied = CopyPages(build, &result.m_strCopyError, pCancel);
    if (!result.m_bCopied) {
        result.m_bCancelled = pCancel && pCancel->load();
        if (!result.m_bCancelled) {
            output(kChmCopyFailedText + std::string("\r\n") + result.m_strCopyError + "\r\n");
        }
        dropTemp();
        return result;
    }

    output(kChmWritingText);
    int nError = 0;
    result.m_bContentsWritten = WriteContents(build, &nError) == 1;
    if (!result.m_bContentsWritten) {
        reportWriteError(nError);
    }
    nError = 0;
    result.m_bProjectWritten = WriteProject(build, &nError) == 1;
    if (nError != 0) {
        reportWriteError(nError);
    }

    ChildProcessResult run = RunChildProcess({build.m_strCommand, build.m_strProjectFile}, build.m_strWorkFolder,
                                             output, [&] { output(kChmCompilingText); });
    result.m_bCompilerStarted =
        run.m_code == ChildProcessResult::Code::Exited || run.m_code == ChildProcessResult::Code::Signalled;
    if (run.m_code == ChildProcessResult::Code::Exited) {
        result.m_nCompilerStatus = run.m_nExitStatus;
    }
    // The reserved name exists from the start: only a non-empty file is a book.
    struct stat st
    {};
    const bool bBuilt = ::stat(build.m_strChmFile.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    result.m_bCancelled = pCancel && pCancel->load();
    if (build.m_strChmFile == params.m_strChmFile) {
        result.m_bChmExists = bBuilt;
    } else if (result.m_bCancelled) {
        std::remove(build.m_strChmFile.c_str());
    } else if (bBuilt && result.m_nCompilerStatus == 0 &&
               std::rename(build.m_strChmFile.c_str(), files::FollowLinks(params.m_strChmFile).c_str()) == 0) {
        result.m_bChmExists = true;
    } else {
        std::remove(build.m_strChmFile.c_str());
    }
    return result;
}

std::string MakeChmWorkFolder()
{
    const std::string parent = files::CacheFolder();
    if (!files::CreateFolders(parent)) {
        return {};
    }
    // The process id in the name tells a later build whether the folder's build still runs.
    constexpr std::string_view kPrefix = "chm-";
    if (DIR* dir = ::opendir(parent.c_str())) {
        std::vector<std::string> dead;
        while (const dirent* entry = ::readdir(dir)) {
            const long pid = files::ProcessIdInName(entry->d_name, kPrefix);
            if (pid > 0 && pid != ::getpid() && !files::IsProcessAlive(pid)) {
                dead.push_back(files::Join(parent, entry->d_name));
            }
        }
        ::closedir(dir);
        for (const auto& folder : dead) {
            DeleteTree(folder);
        }
    }
    return files::MakeUniqueFolder(parent, std::string(kPrefix) + std::to_string(::getpid()) + "-");
}
