#pragma once

#include <QString>

// Why a file cannot be read (bWriting false) or written, in the user's words: looked up on the file
// system when the failure is reported, so no system text in another language reaches a message box.
// Empty when nothing more specific than "it failed" can be said.
QString FileProblemText(const QString& strPath, bool bWriting);
