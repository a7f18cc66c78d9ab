#pragma once

// The project both book benchmarks bind: 200 pages with 10 pictures each, saved as the engine saves
// them (page.htm beside page.files/), in a fresh temporary folder.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Files.h"

struct BenchProject
{
    static constexpr int kPages = 200;
    static constexpr int kImagesPerPage = 10;
    static constexpr std::size_t kImageBytes = 4096;

    std::string strRoot;    // the temporary folder; empty when it could not be made
    std::string strProject; // the project's folder below it
    std::vector<std::string> pageFiles;
    std::vector<std::string> titles;
    std::vector<std::string> urls;

    // Writes the project under a new folder named after prefix.
    static BenchProject Make(const std::string& prefix)
    {
        BenchProject p;
        const char* tmp = std::getenv("TMPDIR");
        p.strRoot = files::MakeUniqueFolder(tmp && *tmp ? tmp : "/tmp", prefix);
        if (p.strRoot.empty()) {
            return p;
        }
        p.strProject = files::Join(p.strRoot, "save/project");
        files::CreateFolders(p.strProject);
        unsigned seed = 12345;
        for (int i = 0; i < kPages; ++i) {
            const std::string name = "page" + std::to_string(i);
            std::string html = "<html><head><title>第" + std::to_string(i) + "页</title></head><body>";
            files::CreateFolder(files::Join(p.strProject, name + ".files"));
            for (int j = 0; j < kImagesPerPage; ++j) {
                // A picture's header, then noise that does not compress.
                std::string image = "GIF89a";
                image.resize(kImageBytes);
                for (std::size_t k = 6; k < image.size(); ++k) {
                    seed = seed * 1103515245u + 12345u;
                    image[k] = static_cast<char>(seed >> 24);
                }
                const std::string imageName = "img" + std::to_string(j) + ".gif";
                files::WriteFile(files::Join(p.strProject, name + ".files/" + imageName), image);
                html += "<p>Paragraph " + std::to_string(j) + " of page " + std::to_string(i) + ".</p><img src=\"" +
                        name + ".files/" + imageName + "\">";
            }
            const std::string page = files::Join(p.strProject, name + ".htm");
            files::WriteFile(page, html + "</body></html>");
            p.pageFiles.push_back(page);
            p.titles.push_back("第" + std::to_string(i) + "页");
            p.urls.push_back("http://example.org/" + name + ".htm");
        }
        return p;
    }
};
