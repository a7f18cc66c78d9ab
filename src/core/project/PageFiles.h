#pragma once

#include <string>

// Where a saved page keeps what it shows. The download engine saves each page beside a folder of its
// pictures and style sheets; the book builders, deleting a page and anything else that needs that
// folder ask here, so they never disagree on it.

// A page's resource folder: its path without the file's extension, plus ".files". For a name with
// several dots, the first such cut (from the last dot on) whose folder exists and that the page's text
// refers to ("ch01.zh-cn.files/" for ch01.zh-cn.zh-cn.html).
std::string ResourceFolderOf(const std::string& pageFile);
