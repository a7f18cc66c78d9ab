#pragma once

#include <QString>

class CMyWB;
class CTrawlixView;

// The program's reader of compiled help files: a book opens in a new tab of the browser view, its
// contents as a tree at the left of its pages.
class CChmReader final
{
public:
    // Opens the book at strPath in a new tab at its first page. Null, with the reason in Chinese, when
    // the file is no readable book.
    static CMyWB* Open(CTrawlixView* pView, const QString& strPath, QString* pWhy = nullptr);
    // Whether a file name is that of a compiled help file.
    static bool IsBookFile(const QString& strPath);
    // The program's own help file: beside the program, or in the installed data folder.
    static QString HelpFilePath();
};
