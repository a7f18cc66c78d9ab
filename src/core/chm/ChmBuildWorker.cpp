#include "ChmBuildWorker.h"

#include "ChmWriter.h"
#include "platform/ChildProcess.h"
#include "platform/Files.h"

ChmBuildResult ChmBuildWorker(const ChmBuildParams& params,
                              const std::function<void(const std::string&)>& onOutput,
                              const std::function<void(const std::string&)>& onError)
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
    output(kChmCopyingText);
    CopyPages(params);

    output(kChmWritingText);
    int nError = 0;
    result.m_bContentsWritten = WriteContents(params, &nError) == 1;
    if (!result.m_bContentsWritten) {
        reportWriteError(nError);
    }
    nError = 0;
    result.m_bProjectWritten = WriteProject(params, &nError) == 1;
    if (nError != 0) {
        reportWriteError(nError);
    }

    ChildProcessResult run = RunChildProcess({params.m_strCommand, params.m_strProjectFile}, params.m_strWorkFolder,
                                             output, [&] { output(kChmCompilingText); });
    result.m_bCompilerStarted =
        run.m_code == ChildProcessResult::Code::Exited || run.m_code == ChildProcessResult::Code::Signalled;
    if (run.m_code == ChildProcessResult::Code::Exited) {
        result.m_nCompilerStatus = run.m_nExitStatus;
    }
    result.m_bChmExists = files::Exists(params.m_strChmFile) && !files::IsFolder(params.m_strChmFile);
    return result;
}

std::string MakeChmWorkFolder()
{
    const std::string parent = files::CacheFolder();
    if (!files::CreateFolders(parent)) {
        return {};
    }
    return files::MakeUniqueFolder(parent, "chm-");
}
