// What a reader sees offline: saves the same local site three ways (a plain job, a complete job, and
// `wget -r -l 1 -p -k`), then reads every saved page as a browser with scripts off would, following its
// style sheets, and counts the files it needs that are there on disk against those it would have to fetch
// from the web or cannot find. Prints the figures per way and per kind of file.
//
//   complete_offline [pages]     (default: 50)
//
// Needs nginx (and wget for the third way) on the PATH. Everything lives in a temporary folder that is
// removed at the end.

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <netinet/in.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "LocalNginx.h"
#include "complete/CssReferences.h"
#include "complete/MarkupTags.h"
#include "complete/Srcset.h"
#include "download/AsciiText.h"
#include "download/DownloadMessages.h"
#include "download/DownloadTask.h"
#include "download/DownloadWorker.h"
#include "platform/Files.h"

namespace
{

// Every page links the top page (root-relative) and its neighbour (with a fragment), and shows what
// sites commonly show: a shared style sheet importing another with a web font and a background, a plain
// picture, a responsive one, a lazily loaded one, a <picture> with a WebP source, an inline background.
void MakeSite(const std::string& strRoot, int nPages)
{
    for (const char* pFolder : {"/img", "/css", "/fonts"}) {
        files::CreateFolders(strRoot + pFolder);
    }
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, 'p');
    files::WriteFile(strRoot + "/css/site.css",
                     "@import url(fonts.css);\n"
                     "body { font-family: Site, serif; background: url(../img/paper.png); }\n"
                     "/* .old { background: url(../img/old.png); } */\n");
    files::WriteFile(strRoot + "/css/fonts.css",
                     "@font-face { font-family: Site; src: url('../fonts/site.woff2') format('woff2'); }\n");
    files::WriteFile(strRoot + "/fonts/site.woff2", "wOF2" + std::string(20000, 'f'));
    files::WriteFile(strRoot + "/img/paper.png", png);
    std::string top = "<html><head><title>Top</title><link rel=\"stylesheet\" href=\"/css/site.css\"></head><body>\n";
    for (int p = 1; p <= nPages; ++p) {
        const std::string n = "p" + std::to_string(p);
        const std::string next = "p" + std::to_string(p % nPages + 1);
        top += "<a href=\"" + n + ".html#top\">page " + std::to_string(p) + "</a><br>\n";
        std::string page = "<html><head><title>Page " + std::to_string(p) +
                           "</title><link rel=\"stylesheet\" href=\"/css/site.css\"></head><body>\n<a name=top></a>"
                           "<a href=\"/index.html\">Home</a> <a href=\"" +
                           next + ".html#top\">Next</a>\n";
        page += "<img src=\"img/" + n + ".png\" width=\"100\">\n";
        page += "<img src=\"img/" + n + "-400.jpg\" srcset=\"img/" + n + "-400.jpg 400w, img/" + n +
                "-1200.jpg 1200w\" sizes=\"100vw\">\n";
        page += "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" data-src=\"img/" + n +
                "-lazy.jpg\" loading=\"lazy\">\n";
        page += "<picture><source type=\"image/webp\" srcset=\"img/" + n + ".webp\"><img src=\"img/" + n +
                "-fallback.jpg\"></picture>\n";
        page += "<div style=\"background: url('img/" + n + "-bg.png')\">text</div>\n</body></html>\n";
        files::WriteFile(strRoot + "/" + n + ".html", page);
        for (const std::string& name : {n + ".png", n + "-bg.png"}) {
            files::WriteFile(strRoot + "/img/" + name, png);
        }
        for (const std::string& name : {n + "-400.jpg", n + "-1200.jpg", n + "-lazy.jpg", n + "-fallback.jpg"}) {
            files::WriteFile(strRoot + "/img/" + name, "\xFF\xD8\xFF" + std::string(5000, 'j'));
        }
        files::WriteFile(strRoot + "/img/" + n + ".webp", "RIFF" + std::string(4000, 'w'));
    }
    top += "</body></html>\n";
    files::WriteFile(strRoot + "/index.html", top);
}

class CCountingNotify : public IDownloadNotify
{
public:
    void OnDownloadMessage(unsigned nMessage, const std::string& /*strText*/, int nCode) override
    {
        m_nSaved += nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_SAVED ? 1 : 0;
    }
    int m_nSaved = 0;
};

int RunJob(const std::string& strTopUrl, const std::string& strSaveFolder, bool bComplete)
{
    CCountingNotify notify;
    CDownloadTask task;
    task.m_strProjectName = "bench";
    task.m_strSaveFolder = strSaveFolder;
    task.m_nMode = 1;
    task.m_strTopUrl = strTopUrl;
    task.m_bComplete = bComplete ? 1 : 0;
    task.m_hNotifyWnd = &notify;
    DownloadWorker(&task);
    return notify.m_nSaved;
}

void RunWget(const std::string& strTopUrl, const std::string& strFolder)
{
    const std::string strWget = CLocalNginx::FindProgram("wget");
    if (strWget.empty()) {
        return;
    }
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        execl(strWget.c_str(), "wget", "-q", "-r", "-l", "1", "-p", "-k", "-e", "robots=off", "--no-proxy", "-P",
              strFolder.c_str(), strTopUrl.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    waitpid(pid, nullptr, 0);
}

// What a reader's browser needs, sorted by kind; "present" when it is a file on disk.
struct Tally
{
    std::map<std::string, std::pair<int, int>> kinds; // kind -> (present, needed)
    void Add(const std::string& kind, bool bPresent)
    {
        auto& [present, needed] = kinds[kind];
        present += bPresent ? 1 : 0;
        ++needed;
    }
};

std::string Decoded(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The local file a reference of the file at strFrom leads to; empty when it leads to the web or nowhere.
std::string LocalTarget(const std::string& strFrom, std::string_view ref)
{
    ref = markup::Trim(ref);
    ref = ref.substr(0, ref.find_first_of("?#"));
    if (ref.empty() || ref.find("://") != std::string_view::npos || ref.front() == '/') {
        return std::string();
    }
    const std::string path = files::Join(files::FolderOf(strFrom), Decoded(ref));
    return files::IsRegularFile(path) ? path : std::string();
}

void CountSheet(const std::string& strFrom, std::string_view css, Tally& tally, std::set<std::string>& seen, int depth);

void CountRef(const std::string& strFrom,
              std::string_view ref,
              const std::string& kind,
              Tally& tally,
              std::set<std::string>& seen,
              int depth)
{
    if (markup::Trim(ref).rfind("data:", 0) == 0 || markup::Trim(ref).empty() || markup::Trim(ref).front() == '#') {
        return;
    }
    const std::string target = LocalTarget(strFrom, ref);
    tally.Add(kind, !target.empty());
    if (!target.empty() && kind == "style sheet" && depth < 8 && seen.insert(target).second) {
        std::string text;
        files::ReadFile(target, text);
        CountSheet(target, text, tally, seen, depth + 1);
    }
}

void CountSheet(const std::string& strFrom, std::string_view css, Tally& tally, std::set<std::string>& seen, int depth)
{
    for (const css::Reference& r : css::FindReferences(css)) {
        std::string kind = r.kind == css::Reference::Kind::Import ? "style sheet" : "picture or font in CSS";
        CountRef(strFrom, r.strValue, kind, tally, seen, depth);
    }
}

void CountPage(const std::string& strPage, Tally& tally)
{
    std::string text;
    files::ReadFile(strPage, text);
    std::set<std::string> seen;
    markup::ForEachTag(
        text,
        [&](markup::Tag& tag) {
            if (tag.name == "link") {
                const std::string rel = " " + ascii::ToLower(tag.Value("rel").value_or("")) + " ";
                if (rel.find(" stylesheet ") != std::string::npos && tag.Value("href")) {
                    CountRef(strPage, *tag.Value("href"), "style sheet", tally, seen, 0);
                }
            } else if (tag.name == "img" || tag.name == "source") {
                // With scripts off the browser shows src, or a srcset candidate; a lazy loader's data-* address
                // is never fetched.
                bool bShown = false;
                bool bAny = false;
                if (auto set = tag.Value("srcset")) {
                    for (const srcset::Candidate& c : srcset::Parse(*set)) {
                        bAny = true;
                        bShown = bShown || !LocalTarget(strPage, c.strUrl).empty();
                    }
                }
                if (auto src = tag.Value("src"); src && tag.name == "img") {
                    const bool bData = markup::Trim(*src).rfind("data:", 0) == 0;
                    bAny = bAny || !bData;
                    bShown = bShown || (!bData && !LocalTarget(strPage, *src).empty());
                }
                const bool bLazy = tag.Value("data-src") || tag.Value("data-srcset") || tag.Value("data-original");
                if (bAny || bLazy) {
                    tally.Add(bLazy ? "lazy picture" : tag.Find("srcset") ? "responsive picture" : "picture", bShown);
                }
            }
            if (auto style = tag.Value("style")) {
                CountSheet(strPage, *style, tally, seen, 0);
            }
        },
        [&](std::size_t nBegin, std::size_t nEnd) {
            CountSheet(strPage, text.substr(nBegin, nEnd - nBegin), tally, seen, 0);
        });
}

Tally CountFolder(const std::string& strFolder, int& nPages)
{
    Tally tally;
    nPages = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(strFolder, ec)) {
        const std::string path = entry.path().string();
        if (entry.is_regular_file() && (path.ends_with(".html") || path.ends_with(".htm"))) {
            ++nPages;
            CountPage(path, tally);
        }
    }
    return tally;
}

void Print(const char* pName, const Tally& tally, int nPages)
{
    int nPresent = 0;
    int nNeeded = 0;
    for (const auto& [kind, counts] : tally.kinds) {
        nPresent += counts.first;
        nNeeded += counts.second;
    }
    std::printf("%-9s %4d pages  %6d of %6d needed files on disk  %6.1f %%\n", pName, nPages, nPresent, nNeeded,
                nNeeded ? 100.0 * nPresent / nNeeded : 0.0);
    for (const auto& [kind, counts] : tally.kinds) {
        std::printf("            %-24s %6d of %6d\n", kind.c_str(), counts.first, counts.second);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int nPages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    if (CLocalNginx::FindProgram("nginx").empty()) {
        std::fprintf(stderr, "complete_offline needs nginx\n");
        return 2;
    }
    const char* pTmp = std::getenv("TMPDIR");
    const std::string strWork = files::MakeUniqueFolder(pTmp && *pTmp ? pTmp : "/tmp", "trawlix-bench-");
    if (strWork.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 2;
    }
    MakeSite(strWork + "/site", nPages);
    CLocalNginx nginx;
    if (!nginx.Start(strWork + "/nginx", strWork + "/site")) {
        std::fprintf(stderr, "%s\n", nginx.Error().c_str());
        files::RemoveTree(strWork);
        return 2;
    }
    const std::string strTopUrl = nginx.Url("/index.html");
    std::printf("site: top page and %d pages at %s\n\n", nPages, strTopUrl.c_str());

    const int nPlain = RunJob(strTopUrl, strWork + "/plain", false);
    const int nComplete = RunJob(strTopUrl, strWork + "/complete", true);
    RunWget(strTopUrl, strWork + "/wget");
    nginx.Stop();

    std::printf("pages saved: plain %d, complete %d\n\n", nPlain, nComplete);
    const std::pair<const char*, std::string> ways[] = {
        {"plain", strWork + "/plain"}, {"complete", strWork + "/complete"}, {"wget -p -k", strWork + "/wget"}};
    for (const auto& [pName, strFolder] : ways) {
        if (files::IsFolder(strFolder)) {
            int nCounted = 0;
            const Tally tally = CountFolder(strFolder, nCounted);
            Print(pName, tally, nCounted);
        }
    }
    if (const char* pKeep = std::getenv("TRAWLIX_BENCH_KEEP"); pKeep && *pKeep) {
        std::printf("\nkept in %s\n", strWork.c_str());
    } else {
        files::RemoveTree(strWork);
    }
    return 0;
}
