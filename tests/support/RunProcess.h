#pragma once

#include <string>
#include <sys/types.h>
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

// Starts the built trawlix-cli without waiting for it, its output and errors appended to logFile; its
// process id, or -1 when it cannot start.
pid_t StartCli(const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv,
               const std::string& logFile);
// Waits for a process StartCli started: its exit code, or -1 when a signal ended it.
int WaitCli(pid_t pid);
