// Real documentation sites, as Debian's documentation packages install them, served by nginx on
// 127.0.0.1: each site is saved plainly and complete, both projects are bound into a compiled help book
// (read back with chmlib) and an EPUB book (checked with epubcheck), and every picture a saved page shows
// must be in both books. Complete pages must look, in a real browser, exactly like the original.
#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zip.h>

#include <chm_lib.h>
#include <gtest/gtest.h>

#include "LocalNginx.h"
#include "RunProcess.h"
#include "TempFolder.h"
#include "download/AsciiText.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

const char kEpubCheck[] = "/usr/share/java/epubcheck.jar";
// The sites are served from here; each site's pages lie in a folder below it.
const char kServedRoot[] = "/usr/share";

struct Site
{
    const char* name;    // project name, and what a failure names
    const char* package; // the Debian package that installs it
    const char* folder;  // below kServedRoot
    const char* top;     // a top page whose links are saved, or nullptr for a numbered series
    const char* first;   // the first page of the series, or the first link taken from the top page
    const char* last;    // the last one
};

const Site kSites[] = {
    {"reference", "debian-reference-zh-cn", "/debian-reference/", nullptr, "ch03.zh-cn.html", "ch05.zh-cn.html"},
    {"faq", "debian-faq-zh-cn", "/doc/debian/FAQ/zh-cn/", "index.zh-cn.html", "basic-defs.zh-cn.html",
     "getting-debian.zh-cn.html"},
    {"maint-guide", "maint-guide-zh-cn", "/doc/maint-guide-zh-cn/html/", "index.zh-cn.html", "start.zh-cn.html",
     "first.zh-cn.html"},
};

// How a failure names a site.
void PrintTo(const Site& site, std::ostream* out)
{
    *out << site.name;
}

std::string readFile(const std::string& path)
{
    std::string data;
    files::ReadFile(path, data);
    return data;
}

// The src values of a page's <img> elements, in their order (attribute names in any case, either
// quote, any attribute order).
std::vector<std::string> pictureSources(const std::string& html)
{
    std::vector<std::string> sources;
    const std::string lower = ascii::ToLower(html);
    for (auto at = lower.find("<img"); at != std::string::npos; at = lower.find("<img", at + 4)) {
        const auto end = lower.find('>', at);
        if (end == std::string::npos) {
            break;
        }
        for (auto src = lower.find("src", at + 4); src != std::string::npos && src < end;
             src = lower.find("src", src + 3)) {
            const char before = lower[src - 1];
            if (before != ' ' && before != '\t' && before != '\n' && before != '\r') {
                continue;
            }
            auto p = src + 3;
            while (p < end && (lower[p] == ' ' || lower[p] == '\n')) {
                ++p;
            }
            if (p >= end || lower[p] != '=') {
                continue;
            }
            ++p;
            while (p < end && (lower[p] == ' ' || lower[p] == '\n')) {
                ++p;
            }
            if (p < end && (lower[p] == '"' || lower[p] == '\'')) {
                const auto close = html.find(lower[p], p + 1);
                sources.push_back(html.substr(p + 1, close - p - 1));
            }
            break;
        }
    }
    return sources;
}

// A relative reference resolved against the folder of a file ("a/b" and "../c.png" → "c.png"); empty
// for an address with a scheme.
std::string resolved(const std::string& fileFolder, std::string reference)
{
    if (reference.find(':') != std::string::npos) {
        return {};
    }
    reference = reference.substr(0, reference.find_first_of("?#"));
    std::vector<std::string> parts;
    std::string path = fileFolder + "/" + reference;
    size_t start = 0;
    while (start <= path.size()) {
        auto slash = path.find('/', start);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        const std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string out;
    for (const auto& part : parts) {
        out += (out.empty() ? "" : "/") + part;
    }
    return out;
}

// The bytes of each local picture a saved page shows, in their order.
std::vector<std::string> savedPictures(const std::string& pageFile)
{
    std::vector<std::string> pictures;
    const std::string folder = files::FolderOf(pageFile);
    for (const auto& src : pictureSources(readFile(pageFile))) {
        const std::string path = resolved(folder, src);
        if (!path.empty() && files::IsRegularFile("/" + path)) {
            pictures.push_back(readFile("/" + path));
        }
    }
    return pictures;
}

// The bytes of each picture a page in a book shows, found in the book's files (by path inside the
// book without a leading slash); "<missing PATH>" for one that is not there.
std::vector<std::string> bookPictures(const std::map<std::string, std::string>& book, const std::string& page)
{
    std::vector<std::string> pictures;
    const auto it = book.find(page);
    if (it == book.end()) {
        return pictures;
    }
    const std::string folder = page.find('/') == std::string::npos ? "" : page.substr(0, page.rfind('/'));
    for (const auto& src : pictureSources(it->second)) {
        const std::string path = resolved(folder, src);
        if (path.empty()) {
            continue;
        }
        const auto picture = book.find(path);
        pictures.push_back(picture == book.end() ? "<missing " + path + ">" : picture->second);
    }
    return pictures;
}

// Every file of a compiled help book, by its path inside the book without the leading slash.
std::map<std::string, std::string> readChm(const std::string& path)
{
    std::map<std::string, std::string> contents;
    chmFile* book = chm_open(path.c_str());
    if (!book) {
        ADD_FAILURE() << "chmlib cannot open " << path;
        return contents;
    }
    chm_enumerate(
        book, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile* h, chmUnitInfo* ui, void* c) {
            std::string data(ui->length, '\0');
            if (ui->length > 0) {
                chm_retrieve_object(h, ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                    static_cast<LONGINT64>(ui->length));
            }
            (*static_cast<std::map<std::string, std::string>*>(c))[std::string(ui->path).substr(1)] = data;
            return CHM_ENUMERATOR_CONTINUE;
        },
        &contents);
    chm_close(book);
    return contents;
}

// Every entry of a zip file, by its name.
std::map<std::string, std::string> readZip(const std::string& path)
{
    std::map<std::string, std::string> entries;
    int nError = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &nError);
    if (!archive) {
        ADD_FAILURE() << "libzip cannot open " << path;
        return entries;
    }
    const zip_int64_t n = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        std::string data(st.size, '\0');
        if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0)) {
            zip_fread(file, data.data(), st.size);
            zip_fclose(file);
        }
        entries[st.name] = std::move(data);
    }
    zip_close(archive);
    return entries;
}

// A picture list as a failure shows it: each picture's size (or what is missing).
std::string described(const std::vector<std::string>& pictures)
{
    std::string text;
    for (const auto& p : pictures) {
        text += (p.rfind("<missing", 0) == 0 ? p : std::to_string(p.size()) + " bytes") + "; ";
    }
    return text;
}

// How many pixels of two screenshots differ (ImageMagick's count); -1 when it cannot tell.
long differingPixels(const std::string& a, const std::string& b, const std::string& diff)
{
    const ProcessResult run = RunProcess({"/usr/bin/compare", "-metric", "AE", a, b, diff});
    if (run.nExitCode != 0 && run.nExitCode != 1) {
        return -1;
    }
    try {
        return std::stol(run.strErr);
    } catch (...) {
        return -1;
    }
}

class RealSites : public ::testing::TestWithParam<Site>
{
protected:
    void SetUp() override
    {
        const Site& site = GetParam();
        m_strRoot = std::string(kServedRoot) + site.folder;
        if (!files::IsFolder(m_strRoot)) {
            GTEST_SKIP() << site.package << " is not installed (scripts/install-deps.sh --test installs it)";
        }
        for (const char* program : {"/usr/bin/chromium", "/usr/bin/compare", "/usr/bin/java", kEpubCheck}) {
            if (!files::Exists(program)) {
                GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh --test installs it)";
            }
        }
        ASSERT_TRUE(m_nginx.Start(m_temp.file("nginx"), kServedRoot)) << m_nginx.Error();
        m_strProjectFile = m_temp.file("sites.wbr");
        ASSERT_TRUE(files::CreateFolder(m_temp.file("saved")));
        ASSERT_TRUE(files::CreateFolder(m_temp.file("books")));
    }

    // Saves the site's pages into project name (complete or not) and returns them.
    CProjectObject save(const std::string& name, bool bComplete)
    {
        const Site& site = GetParam();
        const std::string base = std::string(site.folder);
        std::vector<std::string> args{"get"};
        if (site.top) {
            args.insert(args.end(), {"--top", m_nginx.Url(base + site.top)});
        }
        args.insert(args.end(),
                    {"--from", m_nginx.Url(base + site.first), "--to", m_nginx.Url(base + site.last), "--project", name,
                     "--folder", m_temp.file("saved"), "--project-file", m_strProjectFile});
        if (bComplete) {
            args.push_back("--complete");
        }
        const ProcessResult run = RunCli(args, {"XDG_CACHE_HOME=" + m_temp.file("cache")});
        EXPECT_EQ(run.nExitCode, 0) << run.strErr;
        CProjectStore store;
        store.SetPath(m_strProjectFile);
        store.Transfer(false);
        std::vector<CProjectObject> projects;
        store.GetProjects(projects);
        for (auto& project : projects) {
            if (project.m_strName == name) {
                return project;
            }
        }
        ADD_FAILURE() << "no project " << name << " in " << m_strProjectFile;
        return {};
    }

    // Binds the project into a compiled help book and an EPUB book and checks both.
    void checkBooks(const CProjectObject& project)
    {
        const std::string books = m_temp.file("books");
        const std::string saved = m_temp.file("saved/" + project.m_strName);

        const ProcessResult chm = RunCli({"chm", m_strProjectFile, "--project", project.m_strName, "--out", books},
                                         {"XDG_CACHE_HOME=" + m_temp.file("cache")});
        ASSERT_EQ(chm.nExitCode, 0) << chm.strErr << chm.strOut;
        const auto chmFiles = readChm(books + "/" + project.m_strName + ".chm");
        size_t nPictures = 0;
        for (const auto& page : project.m_pages) {
            ASSERT_EQ(page.m_strLocalFile.rfind(saved + "/", 0), 0u) << page.m_strLocalFile;
            const std::string inBook = page.m_strLocalFile.substr(saved.size() + 1);
            ASSERT_TRUE(chmFiles.count(inBook)) << inBook << " is not in the compiled help book";
            const auto expected = savedPictures(page.m_strLocalFile);
            nPictures += expected.size();
            EXPECT_EQ(described(bookPictures(chmFiles, inBook)), described(expected)) << inBook;
            EXPECT_TRUE(bookPictures(chmFiles, inBook) == expected) << inBook << ": a picture's bytes differ";
        }
        // Every page of these sites shows pictures; none found means the pictures were lost on saving.
        EXPECT_GE(nPictures, project.m_pages.size());

        const ProcessResult epub = RunCli({"epub", m_strProjectFile, "--project", project.m_strName, "--out", books});
        ASSERT_EQ(epub.nExitCode, 0) << epub.strErr;
        EXPECT_EQ(epub.strErr, "");
        const std::string book = books + "/" + project.m_strName + ".epub";
        const ProcessResult check = RunProcess({"/usr/bin/java", "-jar", kEpubCheck, book});
        const std::string report = check.strOut + check.strErr;
        EXPECT_EQ(check.nExitCode, 0) << report;
        EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
        EXPECT_EQ(report.find("WARNING"), std::string::npos) << report;

        // The book's pages in their order are the project's.
        const auto entries = readZip(book);
        std::vector<std::string> texts;
        for (const auto& [name, data] : entries) {
            if (name.rfind("EPUB/text/", 0) == 0 && name != "EPUB/text/cover.xhtml") {
                texts.push_back(name);
            }
        }
        ASSERT_EQ(texts.size(), project.m_pages.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            const auto expected = savedPictures(project.m_pages[i].m_strLocalFile);
            const auto inBook = bookPictures(entries, texts[i]);
            EXPECT_EQ(described(inBook), described(expected)) << texts[i];
            EXPECT_TRUE(inBook == expected) << texts[i] << ": a picture's bytes differ";
        }
    }

    // A screenshot of an address by headless chromium, which may reach nothing but 127.0.0.1.
    std::string screenshot(const std::string& address, const std::string& name)
    {
        const std::string file = m_temp.file(name + ".png");
        std::vector<std::string> args{"/usr/bin/chromium",
                                      "--headless",
                                      "--disable-gpu",
                                      "--hide-scrollbars",
                                      "--no-first-run",
                                      "--disable-background-networking",
                                      "--disable-component-update",
                                      "--disable-sync",
                                      "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                                      "--user-data-dir=" + m_temp.file("chromium"),
                                      "--window-size=1200,2400",
                                      "--screenshot=" + file};
        if (::geteuid() == 0) {
            args.push_back("--no-sandbox");
        }
        args.push_back(address);
        const ProcessResult run = RunProcess(args, {"HOME=" + m_temp.path()});
        EXPECT_TRUE(files::IsRegularFile(file)) << address << ": " << run.strErr;
        return file;
    }

    // Each complete page, opened from its saved file, looks exactly like its original.
    void checkLooks(const CProjectObject& project)
    {
#ifdef __SANITIZE_ADDRESS__
        // The browser is the same in the sanitizer build; the plain run compares the looks.
        (void)project;
        return;
#endif
        for (size_t i = 0; i < project.m_pages.size(); ++i) {
            const auto& page = project.m_pages[i];
            const std::string n = std::to_string(i);
            const std::string original = screenshot(page.m_strUrl, "original" + n);
            const std::string copy = screenshot("file://" + page.m_strLocalFile, "copy" + n);
            EXPECT_EQ(differingPixels(original, copy, m_temp.file("diff" + n + ".png")), 0)
                << page.m_strUrl << " and its saved copy " << page.m_strLocalFile << " look different";
        }
    }

    TempFolder m_temp;
    CLocalNginx m_nginx;
    std::string m_strRoot;
    std::string m_strProjectFile;
};

TEST_P(RealSites, BothBooksHoldEveryPictureAndCompletePagesLookLikeTheOriginal)
{
    const CProjectObject plain = save("plain", false);
    ASSERT_GE(plain.m_pages.size(), 3u);
    checkBooks(plain);

    const CProjectObject complete = save("complete", true);
    ASSERT_EQ(complete.m_pages.size(), plain.m_pages.size());
    checkBooks(complete);
    checkLooks(complete);
}

INSTANTIATE_TEST_SUITE_P(Corpus,
                         RealSites,
                         ::testing::ValuesIn(kSites),
                         [](const ::testing::TestParamInfo<Site>& param) {
                             std::string name = param.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
