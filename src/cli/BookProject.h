#pragma once

#include <cstdio>
#include <string>

#include "Commands.h"
#include "project/ProjectRecords.h"

// What a book command (chm, epub) is asked for: PROJECT-FILE --project NAME --out FOLDER [--name BOOK].
struct BookRequest
{
    std::string strFile;    // the project file
    std::string strBook;    // the book's name, blanks trimmed; the project's name unless --name gives one
    std::string strFolder;  // the output folder, blanks trimmed
    CProjectObject project; // the named project, read from the file
};

// Reads a book command's arguments and its project. Prints the usage (to stdout for --help) or what is
// wrong itself, and returns the command's exit status then; returns -1 when the book can be made: the
// project exists, has pages, and each page record names a saved web page.
int ReadBookRequest(const CliArgs& args, void (*printUsage)(FILE*), BookRequest& request);
