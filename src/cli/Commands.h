#pragma once

// Each command of trawlix-cli; args excludes the program and command names.
// Exit status: 0 success, 1 failure, 2 bad arguments.
#include <string>
#include <vector>

using CliArgs = std::vector<std::string>;

int RunGet(const CliArgs& args);
int RunExpand(const CliArgs& args);
int RunScan(const CliArgs& args);
int RunList(const CliArgs& args);
int RunChm(const CliArgs& args);
int RunEpub(const CliArgs& args);
int RunSearch(const CliArgs& args);
int RunIndex(const CliArgs& args);
int RunUpdate(const CliArgs& args);

class CUrlSequence;
// Why the last Expand of sequence refused its pair, for the user.
std::string SeriesRefusalText(const CUrlSequence& sequence);

// text with control characters written as escapes ("\t", "\x1B"), so a title or address read from a
// file cannot move the cursor, recolour or retitle the user's terminal.
std::string TerminalSafe(const std::string& text);
