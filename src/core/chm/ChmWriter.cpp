#include "ChmWriter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/stat.h>

#include "ChmBuildParams.h"
#include "download/PageTitle.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace
{

// The help files are 8-bit text for the compiler: CR LF line ends, no line end after the last line.
// Text the reader sees is GB18030; file names go in as the file system spells them (UTF-8), or
// the compiler could not find a page or create the book in a folder with a Chinese name.
class HelpFileText
{
public:
    void Text(const std::string& utf8) { m_data += codepage::Utf8ToGb18030(utf8); }
    void Path(const std::string& path) { m_data += path; }
    void LineEnd() { m_data += "\r\n"; }
    void Line(const std::string& utf8)
    {
        Text(utf8);
        LineEnd();
    }

    // 1 when the whole text was written, else 0 with errno's value in *pError.
    int WriteTo(const std::string& path, int* pError) const
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) {
            return fail(pError);
        }
        bool ok = std::fwrite(m_data.data(), 1, m_data.size(), file) == m_data.size();
        int error = errno;
        if (std::fclose(file) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (!ok) {
            errno = error;
            return fail(pError);
        }
        return 1;
    }

private:
    static int fail(int* pError)
    {
        if (pError) {
            *pError = errno;
        }
        return 0;
    }

    std::string m_data;
};

// Entry names of a folder other than "." and ".." and files still being written (or left half written
// by a killed process), in byte order, so a build lists its files the same way on every file system.
std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && !files::IsTempBesideName(name)) {
            names.push_back(std::move(name));
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

enum class Kind
{
    Missing,
    File,
    Folder,
    Other,
};

// Symbolic links are not followed into folders, so a link loop cannot recurse for ever.
Kind kindOf(const std::string& path)
{
    struct stat st
    {};
    if (::lstat(path.c_str(), &st) != 0) {
        return Kind::Missing;
    }
    if (S_ISDIR(st.st_mode)) {
        return Kind::Folder;
    }
    if (S_ISLNK(st.st_mode)) {
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
    }
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

// The copy's cause of failure goes to why.
bool copyFile(const std::string& source, const std::string& target, std::string* why)
{
    std::string data;
    return files::ReadFile(source, data, why) && files::WriteFile(target, data, why);
}

bool stopped(const std::atomic<bool>* pCancel, std::string* why)
{
    if (pCancel && pCancel->load()) {
        if (why) {
            *why = "cancelled";
        }
        return true;
    }
    return false;
}

bool createFolder(const std::string& path, std::string* why)
{
    if (files::CreateFolder(path)) {
        return true;
    }
    if (why) {
        *why = "cannot create the folder " + path + ": " + std::strerror(errno);
    }
    return false;
}

// Copies every plain file below source to target; a file that resolves outside root (a link to
// /etc/passwd) is left out. False with the cause when anything cannot be copied or the copy is cancelled.
bool copyTree(const std::string& source,
              const std::string& target,
              const std::string& root,
              std::string* why,
              const std::atomic<bool>* pCancel)
{
    if (!createFolder(target, why)) {
        return false;
    }
    for (const auto& name : entriesOf(source)) {
        if (stopped(pCancel, why)) {
            return false;
        }
        const std::string from = files::Join(source, name);
        const std::string to = files::Join(target, name);
        switch (kindOf(from)) {
        case Kind::Folder:
            if (!copyTree(from, to, root, why, pCancel)) {
                return false;
            }
            break;
        case Kind::File:
            if (files::IsRegularFileInside(from, root) && !copyFile(from, to, why)) {
                return false;
            }
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace

std::string FileNameOf(const std::string& path)
{
    return files::FileName(path);
}

void ListTree(const std::string& folder, std::vector<std::string>& list)
{
    for (const auto& name : entriesOf(folder)) {
        const std::string path = files::Join(folder, name);
        switch (kindOf(path)) {
        case Kind::Folder:
            ListTree(path, list);
            break;
        case Kind::File:
            list.push_back(path);
            break;
        default:
            break;
        }
    }
}

bool DeleteTree(const std::string& folder)
{
    return kindOf(folder) == Kind::Folder && files::RemoveTree(folder);
}

bool MayGoIntoBook(const std::string& pageFile)
{
    struct stat st
    {};
    if (::lstat(pageFile.c_str(), &st) != 0 && errno == ENOENT) {
        return true;
    }
    if (::stat(pageFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // A link may lead to another page of the folder, never out of it.
    const std::string folder = files::FolderOf(pageFile);
    if (!files::IsRegularFileInside(pageFile, folder.empty() ? "." : folder)) {
        return false;
    }
    const std::string name = FileNameOf(pageFile);
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".htm" || ext == ".html" || ext == ".shtml") {
        return true;
    }
    return dot != std::string::npos && dot > 0 && kindOf(ResourceFolderOf(pageFile)) == Kind::Folder;
}

bool CopyPages(const ChmBuildParams& params, std::string* why, const std::atomic<bool>* pCancel)
{
    for (const auto& source : params.m_pageFiles) {
        if (stopped(pCancel, why)) {
            return false;
        }
        const std::string name = FileNameOf(source);
        // A missing page is left to the compiler, which reports it by name.
        if (kindOf(source) == Kind::File && !copyFile(source, files::Join(params.m_strWorkFolder, name), why)) {
            return false;
        }
        // Under the name the page refers to. Only files inside the page's own folder go with it; a resource
        // folder that is a link (which could lead anywhere, / included) is not walked.
        const std::string resources = ResourceFolderOf(source);
        const std::string target = files::Join(params.m_strWorkFolder, FileNameOf(resources));
        const std::string folder = files::FolderOf(source);
        if (kindOf(resources) != Kind::Folder) {
            if (!createFolder(target, why)) {
                return false;
            }
        } else if (!copyTree(resources, target, folder.empty() ? "." : folder, why, pCancel)) {
            return false;
        }
    }
    return true;
}

int WriteContents(const ChmBuildParams& params, int* pError)
{
    HelpFileText hhc;
    hhc.Line("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">");
    hhc.Line("<HTML>");
    hhc.Line("<HEAD>");
    hhc.Line("<meta name=\"GENERATOR\" content=\"Microsoft&reg; HTML Help Workshop 4.1\">");
    hhc.Line("<!-- Sitemap 1.0 -->");
    hhc.Line("</HEAD><BODY>");
    hhc.Line("<OBJECT type=\"text/site properties\">");
    hhc.Line("\t<param name=\"Window Styles\" value=\"0x800025\">");
    hhc.Line("\t<param name=\"ImageType\" value=\"Folder\">");
    hhc.Line("</OBJECT>");
    hhc.Line("<UL>");
    hhc.Line("\t<LI> <OBJECT type=\"text/sitemap\">");
    hhc.Line("\t\t<param name=\"Name\" value=\"" + EscapeMarkupText(params.m_strBookName) + "\">");
    hhc.Line("\t\t<param name=\"ImageNumber\" value=\"1\">");
    hhc.Line("\t\t</OBJECT>");
    hhc.Line("\t<UL>");
    for (std::size_t i = 0; i < params.m_pageFiles.size(); ++i) {
        const std::string title = i < params.m_pageTitles.size() ? params.m_pageTitles[i] : std::string();
        hhc.Line("\t\t<LI> <OBJECT type=\"text/sitemap\">");
        hhc.Line("\t\t\t<param name=\"Name\" value=\"" + EscapeMarkupText(title) + "\">");
        hhc.Text("\t\t\t<param name=\"Local\" value=\"");
        hhc.Path(FileNameOf(params.m_pageFiles[i]));
        hhc.Line("\">");
        hhc.Line("\t\t\t</OBJECT>");
    }
    hhc.Line("\t</UL>");
    hhc.Line("</UL>");
    hhc.Text("</BODY></HTML>");
    return hhc.WriteTo(params.m_strContentsFile, pError);
}

int WriteProject(const ChmBuildParams& params, int* pError)
{
    HelpFileText hhp;
    hhp.Line("[OPTIONS]");
    hhp.Line("Compatibility=1.1 or later");
    hhp.Text("Compiled file=");
    hhp.Path(params.m_strChmFile);
    hhp.LineEnd();
    hhp.Line(std::string("Contents file=") + kChmContentsFileName);
    if (params.m_pageFiles.empty()) {
        // Nothing to compile: the file is left as far as it got.
        hhp.WriteTo(params.m_strProjectFile, pError);
        return 0;
    }
    hhp.Text("Default topic=");
    hhp.Path(FileNameOf(params.m_pageFiles.front()));
    hhp.LineEnd();
    hhp.Line("Display compile progress=Yes");
    hhp.Line("Language=0x804 中文(中国)");
    hhp.LineEnd();
    hhp.LineEnd();
    hhp.Line("[FILES]");
    // Entries are relative to the working folder, where the project file lies: the compiler
    // resolves them against the project file's folder and refuses absolute paths.
    // Pages of the same name share one copy in the working folder; it is listed once, because the
    // compiler would store a file listed twice twice over and the book's directory would be broken.
    const std::string prefix = files::Join(params.m_strWorkFolder, "");
    std::set<std::string> listed;
    auto list = [&](const std::string& entry) {
        if (listed.insert(entry).second) {
            hhp.Path(entry);
            hhp.LineEnd();
        }
    };
    for (const auto& source : params.m_pageFiles) {
        const std::string name = FileNameOf(source);
        std::vector<std::string> resources;
        ListTree(ResourceFolderOf(files::Join(params.m_strWorkFolder, name)), resources);
        for (const auto& path : resources) {
            list(path.substr(prefix.size()));
        }
        list(name);
    }
    hhp.Text("[INFOTYPES]");
    return hhp.WriteTo(params.m_strProjectFile, pError);
}
