// Binds a project made like a real manual (every page's .files folder holds its own copy of the site's
// sheet, icons and logo, and a few pictures of its own) into an EPUB book and prints how many resource
// bytes the book stores against the distinct bytes the project holds.
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <zip.h>

#include "book/EpubBuilder.h"
#include "platform/Files.h"

namespace
{

constexpr int kPages = 200;
constexpr int kIcons = 5;
constexpr int kOwnPictures = 2;

// A GIF header, then bytes that do not compress, from seed.
std::string picture(std::size_t nBytes, unsigned seed)
{
    std::string image = "GIF89a";
    image.resize(nBytes);
    for (std::size_t k = 6; k < image.size(); ++k) {
        seed = seed * 1103515245u + 12345u;
        image[k] = static_cast<char>(seed >> 24);
    }
    return image;
}

long long fileSize(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

} // namespace

int main()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string root = files::MakeUniqueFolder(tmp && *tmp ? tmp : "/tmp", "trawlix-bench-epub-size-");
    if (root.empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const std::string project = files::Join(root, "save");
    files::CreateFolders(project);
    std::string sheet = "body { background: url(logo.gif) no-repeat }\n";
    for (int j = 0; j < kIcons; ++j) {
        sheet += ".i" + std::to_string(j) + " { background: url(icon" + std::to_string(j) + ".gif) }\n";
    }
    sheet.resize(8192, ' ');
    EpubBuildParams params;
    params.m_strEpubFile = files::Join(root, "bench.epub");
    params.m_strBookName = params.m_strProjectName = "bench";
    std::map<std::string, long long> distinct; // content → size
    long long nCopies = 0;
    auto save = [&](const std::string& path, const std::string& data) {
        files::WriteFile(path, data);
        distinct[data] = static_cast<long long>(data.size());
        nCopies += static_cast<long long>(data.size());
    };
    for (int i = 0; i < kPages; ++i) {
        const std::string name = "page" + std::to_string(i);
        const std::string resources = files::Join(project, name + ".files");
        files::CreateFolder(resources);
        std::string html = "<html><head><title>" + name + "</title><link rel=\"stylesheet\" href=\"" + name +
                           ".files/site.css\"></head><body>";
        save(files::Join(resources, "site.css"), sheet);
        save(files::Join(resources, "logo.gif"), picture(20 * 1024, 1));
        for (int j = 0; j < kIcons; ++j) {
            save(files::Join(resources, "icon" + std::to_string(j) + ".gif"),
                 picture(2048, 100 + static_cast<unsigned>(j)));
        }
        for (int j = 0; j < kOwnPictures; ++j) {
            const std::string pic = "fig" + std::to_string(j) + ".gif";
            save(files::Join(resources, pic), picture(8192, 1000 + static_cast<unsigned>(i * kOwnPictures + j)));
            html += "<p class=\"i" + std::to_string(j) + "\">Figure " + std::to_string(j) + "</p><img src=\"" + name +
                    ".files/" + pic + "\" alt=\"\">";
        }
        const std::string page = files::Join(project, name + ".htm");
        files::WriteFile(page, html + "</body></html>");
        CProjectInfor record;
        record.m_strTitle = name;
        record.m_strLocalFile = page;
        params.m_pages.push_back(record);
    }
    const EpubBuildResult result = EpubBuildWorker(params);

    long long nInBook = 0;
    int nEntries = 0;
    int nError = 0;
    if (zip_t* book = zip_open(params.m_strEpubFile.c_str(), ZIP_RDONLY, &nError)) {
        const zip_int64_t n = zip_get_num_entries(book, 0);
        for (zip_int64_t i = 0; i < n; ++i) {
            zip_stat_t st;
            if (zip_stat_index(book, static_cast<zip_uint64_t>(i), 0, &st) == 0 &&
                std::string(st.name).rfind("EPUB/res/", 0) == 0) {
                nInBook += static_cast<long long>(st.size);
                ++nEntries;
            }
        }
        zip_close(book);
    }
    long long nDistinct = 0;
    for (const auto& [data, size] : distinct) {
        nDistinct += size;
    }
    std::printf("pages: %d; resource files in the project: %d (%lld bytes), distinct: %zu (%lld bytes)\n", kPages,
                kPages * (2 + kIcons + kOwnPictures), nCopies, distinct.size(), nDistinct);
    std::printf("EPUB: %d resource entries, %lld bytes of resources (%.2f of the distinct bytes), book %lld bytes%s\n",
                nEntries, nInBook, nDistinct > 0 ? static_cast<double>(nInBook) / static_cast<double>(nDistinct) : 0.0,
                fileSize(params.m_strEpubFile), result.Succeeded() ? "" : " (FAILED)");
    files::RemoveTree(root);
    return result.Succeeded() ? 0 : 1;
}
