#pragma once

#include <string>
#include <vector>

// The fixed names of the help project inside a build's working folder.
inline constexpr char kChmContentsFileName[] = "Contents.hhc";
inline constexpr char kChmProjectFileName[] = "Myproject.hhp";
// The help compiler, looked up on PATH.
inline constexpr char kChmCompiler[] = "chmcmd";

// Everything one e-book build needs. Strings are UTF-8; the help files get them as GB18030.
struct ChmBuildParams
{
    std::string m_strContentsFile; // full path of the contents file in the working folder
    std::string m_strProjectFile;  // full path of the project file in the working folder
    std::string m_strChmFile;      // full path of the compiled file, ".chm" included
    std::string m_strBookName;     // the book's name in the contents: the project's name
    std::string m_strCommand = kChmCompiler;
    std::string m_strWorkFolder;           // a fresh folder for this build only
    std::vector<std::string> m_pageFiles;  // full path of each page's saved file, in project order
    std::vector<std::string> m_pageTitles; // each page's title, same order and length

    // Appends the page files and binds the build to workFolder (and its contents and project files).
    void SetPages(const std::vector<std::string>& pageFiles, const std::string& workFolder);
    void SetTitles(const std::vector<std::string>& pageTitles);
};

// folder + "/" + name + ".chm": the extension is always added, so "book.chm" gives "book.chm.chm".
std::string ChmFilePath(const std::string& folder, const std::string& name);
