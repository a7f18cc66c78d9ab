#pragma once

#include <string>
#include <vector>

struct ProcessResult
{
    int nExitCode = -1; // -1 when the program could not be started or was killed by a signal
    std::string strOut;
    std::string strErr;
};

// Runs a program (no shell) with the given arguments and optional extra environment entries
// ("NAME=value"), waits for it, and returns its exit code and everything it printed.
ProcessResult RunProcess(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});

// RunProcess on the built trawlix-cli.
ProcessResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});
