#pragma once

#include <functional>
#include <string>
#include <vector>

// What became of a child program.
struct ChildProcessResult
{
    enum class Code
    {
        Exited,      // ran and exited; m_nExitStatus holds its exit status
        Signalled,   // ended by a signal; m_nExitStatus holds the signal number
        CannotStart, // the program could not be started (not found, not executable, bad folder)
        CannotPipe,  // the pipe for its output could not be made
    };
    Code m_code = Code::CannotStart;
    int m_nExitStatus = -1;
    std::string m_strError; // why it could not start, in English

    bool Succeeded() const { return m_code == Code::Exited && m_nExitStatus == 0; }
};

// The texts a failed start reports through the output callback.
inline constexpr char kCreatePipeError[] = "Create   Pipe   Error!";
inline constexpr char kCreateProcessError[] = "create   process   error!";

// Runs argv[0] (looked up on PATH when it has no "/") with argv as its arguments, without a shell,
// in strWorkFolder (the caller's folder when empty), standard input from /dev/null. Its standard
// output and error share one pipe; every chunk read from it (at most 1023 bytes) is handed to
// onOutput unchanged, on the calling thread, as it arrives. Returns when the output has ended and
// the program has exited. onStarted, when given, is called once the program runs, before any output.
ChildProcessResult RunChildProcess(const std::vector<std::string>& argv,
                                   const std::string& strWorkFolder,
                                   const std::function<void(const std::string&)>& onOutput,
                                   const std::function<void()>& onStarted = {});
