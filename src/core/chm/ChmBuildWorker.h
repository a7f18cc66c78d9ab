#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "ChmBuildParams.h"

// How a build went. The compiler's own output is the user's report; this is for the caller's
// decision (exit status, show button).
struct ChmBuildResult
{
    bool m_bContentsWritten = false;
    bool m_bProjectWritten = false;
    bool m_bCompilerStarted = false;
    int m_nCompilerStatus = -1; // the compiler's exit status (-1 when it did not exit normally)
    bool m_bChmExists = false;  // the compiled file exists after the compiler has ended
    int m_nRefusedPage = -1;    // index of a page that is no saved web page; nothing was built
    bool m_bCopied = false;     // every page and resource was copied into the working folder
    std::string m_strCopyError; // when not: why (English), and the compiler was not started
    bool m_bCancelled = false;  // stopped on request; the book was not replaced

    bool Succeeded() const { return m_bCopied && m_bCompilerStarted && m_nCompilerStatus == 0 && m_bChmExists; }
};

// Progress lines of a build, as the output box shows them.
inline constexpr char kChmCopyingText[] = "开始拷贝文件,请稍后.......\r\n";
inline constexpr char kChmWritingText[] = "开始生成工程文件,请稍后.......\r\n";
inline constexpr char kChmCompilingText[] = "开始生成CHM文档,请稍后.......\r\n";
inline constexpr char kChmCopyFailedText[] = "拷贝文件失败，没有生成CHM文档：";

// Runs one build on the calling thread: copies the pages, writes the contents and project files and
// runs the compiler on the project file in the working folder. Every text for the output box (the
// progress lines, then the compiler's output in chunks as it arrives) goes to onOutput. A help file
// that cannot be written is reported by onError with "Error code is :N" (through onOutput, on a line
// of its own, when onError is empty); the build goes on and the compiler reports what is missing.
// Returns after the compiler has exited, so the working folder may then be deleted.
// The compiler writes to a temporary name beside the book, renamed over it only when the build
// succeeded: a failed rebuild keeps the previous book, a failed first build leaves nothing.
// A page file that MayGoIntoBook refuses stops the build before anything is copied; so does a file that
// cannot be copied (reported with its cause after kChmCopyFailedText). pCancel, when set, stops the build
// at the next file copied, or once the compiler has ended, and the book is not replaced.
// Temporary books that builds killed earlier left beside the book are removed first.
ChmBuildResult ChmBuildWorker(const ChmBuildParams& params,
                              const std::function<void(const std::string&)>& onOutput,
                              const std::function<void(const std::string&)>& onError = {},
                              const std::atomic<bool>* pCancel = nullptr);

// A new, empty working folder for one build under the user's cache folder ("chm-PID-XXXXXX"); empty on
// failure. Working folders of builds whose process has ended (killed, so never cleaned up) are removed.
std::string MakeChmWorkFolder();
