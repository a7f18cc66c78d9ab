#include <dirent.h>
#include <fstream>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "RunProcess.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "platform/Files.h"

namespace
{

// A 1x1 PNG picture.
const std::string
    kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\rIDATx\x9c"
         "c\xf8\xff\xff?\0\x05\xfe\x02\xfe\xa7\x35\x81\x84\0\0\0\0IEND\xae\x42\x60\x82",
         67);

void write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path)
{
    std::string text;
    files::ReadFile(path, text, nullptr, 64u << 20);
    return text;
}

// Pages whose content scripts build, each in its own way.
void writeSite(const std::string& folder)
{
    write(folder + "/index.html", "<html><head><title>Render</title></head><body>"
                                  "<a href='article.html'>1</a> <a href='lazy.html'>2</a> <a href='shadow.html'>3</a> "
                                  "<a href='frame.html'>4</a> <a href='poll.html'>5</a> <a href='dialog.html'>6</a>"
                                  " <a href='made.html'>7</a> <a href='big.html'>8</a> <a href='wide.html'>9</a>"
                                  "</body></html>");
    // Pages whose scripts build more than the job's limit (lowered to 1 MB for the test): one in plain
    // letters, one in characters of three bytes each that count as fewer than the limit.
    write(folder + "/big.html", "<html><head><title>B</title></head><body><div id='d'></div><script>"
                                "document.getElementById('d').innerHTML = ('<p>' + 'x'.repeat(1000) + '</p>')"
                                ".repeat(1500);</script></body></html>");
    write(folder + "/wide.html", "<html><head><meta charset='utf-8'><title>W</title></head><body><p id='d'></p>"
                                 "<script>document.getElementById('d').textContent = '\u4e2d'.repeat(400000);"
                                 "</script></body></html>");
    // Pictures the page makes itself: one from a blob of fetched bytes, one written out as a data: address.
    write(folder + "/made.html",
          "<html><head><title>M</title></head><body><img id='b' alt='blob'>"
          "<img alt='svg' src=\"data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='4' height='4'%3E"
          "%3Crect width='4' height='4' fill='red'/%3E%3C/svg%3E\"><script>"
          "fetch('pics/p1.png').then(r => r.blob()).then(b => {"
          "document.getElementById('b').src = URL.createObjectURL(b); });</script></body></html>");
    // Nobody answers a dialog in the job's browser: it must not wait for anybody.
    write(folder + "/dialog.html", "<html><head><title>D</title></head><body onload=\"alert('load')\"><script>"
                                   "alert('hello'); confirm('sure?'); prompt('name?');"
                                   "document.body.insertAdjacentHTML('beforeend', '<p>AfterDialogs</p>');"
                                   "</script><a href='javascript:alert(1)'>x</a></body></html>");
    write(folder + "/article.json", R"({"text": "ArticleFromJson"})");
    write(folder + "/article.html", "<html><head><title>A</title></head><body><div id='a'></div><script>"
                                    "fetch('article.json').then(r => r.json()).then(j => {"
                                    "document.getElementById('a').textContent = j.text; });</script></body></html>");
    std::string lazy = "<html><head><title>L</title></head><body>";
    files::CreateFolders(folder + "/pics");
    for (int i = 1; i <= 30; ++i) {
        write(folder + "/pics/p" + std::to_string(i) + ".png", kPng);
        lazy += "<img data-src='pics/p" + std::to_string(i) + ".png' width='50' style='display:block;height:300px'>";
    }
    lazy += "<script>const seen = new IntersectionObserver(es => es.forEach(e => { if (e.isIntersecting) {"
            "e.target.src = e.target.dataset.src; seen.unobserve(e.target); } }));"
            "document.querySelectorAll('img').forEach(i => seen.observe(i));</script></body></html>";
    write(folder + "/lazy.html", lazy);
    write(folder + "/shadow.html", "<html><head><title>S</title></head><body><my-note></my-note><script>"
                                   "customElements.define('my-note', class extends HTMLElement { constructor() {"
                                   "super(); this.attachShadow({mode: 'open'}).innerHTML = '<p>ShadowText</p>'; } });"
                                   "</script></body></html>");
    write(folder + "/inner.html", "<html><body><p id='t'></p><script>"
                                  "document.getElementById('t').textContent = 'FrameText';</script></body></html>");
    write(folder + "/frame.html", "<html><head><title>F</title></head><body><iframe src='inner.html'></iframe>"
                                  "</body></html>");
    write(folder + "/poll.html", "<html><head><title>P</title></head><body><p id='p'></p><script>"
                                 "document.getElementById('p').textContent = 'PollText';"
                                 "setInterval(() => fetch('article.json?' + Date.now()), 150);</script></body></html>");
}

// Processes of the page renderer still running.
int renderersRunning()
{
    int n = 0;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::string comm;
        files::ReadFile(std::string("/proc/") + entry->d_name + "/comm", comm, nullptr, 64);
        n += comm.rfind("trawlix-render", 0) == 0 ? 1 : 0;
    }
    if (proc) {
        closedir(proc);
    }
    return n;
}

bool renderProgramBuilt()
{
    return files::IsRegularFile(files::Join(files::FolderOf(TRAWLIX_CLI_PATH), "trawlix-render"));
}

} // namespace

// One job renders every page (one browser for the whole job); a plain job of the same pages shows what
// the rendering adds.
TEST(RenderJobTest, SavesPagesAsScriptsBuildThem)
{
    if (!renderProgramBuilt()) {
        GTEST_SKIP() << "trawlix-render is built with the desktop program";
    }
    TempFolder site;
    TempFolder out;
    writeSite(site.path());
    TestHttpServer server;
    server.ServeFolder(site.path());

    ProcessResult rendered = RunCli({"get", "--top", server.Url("/index.html"), "--project", "r", "--folder",
                                     out.path(), "--render", "--render-timeout", "10"},
                                    {"TRAWLIX_RENDER_MAX_BYTES=1000000"});
    // The pages over the limit fail the job; every other page is saved.
    ASSERT_EQ(rendered.nExitCode, 1) << rendered.strOut << rendered.strErr;
    EXPECT_NE(rendered.strOut.find("did not settle"), std::string::npos) << rendered.strOut;
    const std::string refused = "the rendered page is larger than 64 MiB";
    std::size_t nRefused = 0;
    for (auto at = rendered.strOut.find(refused); at != std::string::npos; at = rendered.strOut.find(refused, at + 1)) {
        ++nRefused;
    }
    EXPECT_GE(nRefused, 2u) << rendered.strOut;
    EXPECT_FALSE(files::IsRegularFile(out.path() + "/r/big.html"));
    EXPECT_FALSE(files::IsRegularFile(out.path() + "/r/wide.html"));
    EXPECT_EQ(rendered.strOut.find("unknown error"), std::string::npos) << rendered.strOut;
    EXPECT_EQ(renderersRunning(), 0);

    ProcessResult plain = RunCli({"get", "--top", server.Url("/index.html"), "--project", "p", "--folder", out.path()});
    ASSERT_EQ(plain.nExitCode, 0) << plain.strOut << plain.strErr;

    const struct
    {
        const char* page;
        const char* text;
    } cases[] = {
        {"article.html", "ArticleFromJson"}, {"shadow.html", "ShadowText"},   {"frame.html", "FrameText"},
        {"poll.html", "PollText"},           {"dialog.html", "AfterDialogs"},
    };
    for (const auto& c : cases) {
        const std::string saved = read(out.path() + "/r/" + c.page);
        EXPECT_NE(saved.find(c.text), std::string::npos) << c.page << ":\n" << saved;
        EXPECT_EQ(saved.find("<script"), std::string::npos) << c.page;
        EXPECT_EQ(saved.find("javascript:"), std::string::npos) << c.page;
        EXPECT_EQ(saved.find("onload"), std::string::npos) << c.page;
        EXPECT_EQ(read(out.path() + "/p/" + c.page).find(c.text), std::string::npos) << c.page;
    }

    // Every picture came into view, and each is a saved file beside the page.
    const std::string lazy = read(out.path() + "/r/lazy.html");
    const std::regex picture(R"re(<img[^>]*\bsrc="([^"]+)")re");
    int nLocal = 0;
    for (auto it = std::sregex_iterator(lazy.begin(), lazy.end(), picture); it != std::sregex_iterator(); ++it) {
        const std::string src = (*it)[1];
        EXPECT_TRUE(files::IsRegularFile(out.path() + "/r/" + src)) << src;
        nLocal += src.rfind("lazy.files/", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(nLocal, 30) << lazy;
    EXPECT_EQ(read(out.path() + "/p/lazy.html").find("lazy.files/"), std::string::npos);

    // Pictures made by the page are files of its resource folder, not addresses only a browser knows.
    const std::string made = read(out.path() + "/r/made.html");
    EXPECT_EQ(made.find("blob:"), std::string::npos) << made;
    EXPECT_EQ(made.find("data:"), std::string::npos) << made;
    std::vector<std::string> madeFiles;
    for (auto it = std::sregex_iterator(made.begin(), made.end(), picture); it != std::sregex_iterator(); ++it) {
        madeFiles.push_back(read(out.path() + "/r/" + std::string((*it)[1])));
        EXPECT_EQ(std::string((*it)[1]).rfind("made.files/", 0), 0u) << made;
    }
    ASSERT_EQ(madeFiles.size(), 2u) << made;
    EXPECT_EQ(madeFiles[0].rfind("\x89PNG", 0), 0u);
    EXPECT_NE(madeFiles[1].find("<rect width='4'"), std::string::npos) << madeFiles[1];
}

TEST(RenderJobTest, IsRefusedWithoutTheRenderer)
{
    ProcessResult run = RunCli({"get", "--from", "http://127.0.0.1:1/a.html", "--project", "r", "--render"},
                               {"TRAWLIX_RENDER=/nonexistent/trawlix-render"});
    EXPECT_EQ(run.nExitCode, 2);
    EXPECT_NE(run.strErr.find("trawlix-render"), std::string::npos) << run.strErr;
}
