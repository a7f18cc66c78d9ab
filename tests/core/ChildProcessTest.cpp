#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/Files.h"

namespace
{

struct Outcome
{
    ChildProcessResult result;
    std::vector<std::string> chunks;
    std::string output;
    bool bStartedBeforeOutput = true;
};

Outcome run(const std::vector<std::string>& argv, const std::string& folder = {})
{
    Outcome r;
    bool bStarted = false;
    r.result = RunChildProcess(
        argv, folder,
        [&](const std::string& chunk) {
            r.bStartedBeforeOutput = r.bStartedBeforeOutput && bStarted;
            r.chunks.push_back(chunk);
            r.output += chunk;
        },
        [&] { bStarted = true; });
    return r;
}

} // namespace

TEST(ChildProcess, ArgumentsReachTheProgramWithoutAShell)
{
    Outcome r = run({"printf", "%s|", "a b", "$HOME", "*", "'q'", ""});
    EXPECT_TRUE(r.result.Succeeded());
    EXPECT_EQ(r.output, "a b|$HOME|*|'q'||");
    EXPECT_TRUE(r.bStartedBeforeOutput);
}

TEST(ChildProcess, RunsInTheGivenFolderWithBothStreamsInOnePipe)
{
    TempFolder temp;
    Outcome r = run({"sh", "-c", "pwd; echo err >&2; echo out"}, temp.path());
    EXPECT_EQ(r.output, temp.path() + "\nerr\nout\n");

    // Standard input is empty, so a program that reads it does not wait for a terminal.
    r = run({"cat"});
    EXPECT_TRUE(r.result.Succeeded());
    EXPECT_EQ(r.output, "");
}

TEST(ChildProcess, ReportsExitStatusAndSignal)
{
    struct Case
    {
        std::string script;
        ChildProcessResult::Code code;
        int status;
    };
    const Case cases[] = {
        {"exit 0", ChildProcessResult::Code::Exited, 0},
        {"echo failing; exit 3", ChildProcessResult::Code::Exited, 3},
        {"kill -9 $$", ChildProcessResult::Code::Signalled, 9},
    };
    for (const auto& c : cases) {
        Outcome r = run({"sh", "-c", c.script});
        EXPECT_EQ(r.result.m_code, c.code) << c.script;
        EXPECT_EQ(r.result.m_nExitStatus, c.status) << c.script;
        EXPECT_EQ(r.result.Succeeded(), c.status == 0 && c.code == ChildProcessResult::Code::Exited);
    }
}

TEST(ChildProcess, LongOutputArrivesInChunksOfAtMost1023BytesUnchanged)
{
    TempFolder temp;
    std::string data;
    for (int i = 0; i < 70000; ++i) {
        data.push_back(static_cast<char>(i * 7 % 256)); // NUL bytes included
    }
    files::WriteFile(temp.file("big.bin"), data);
    Outcome r = run({"cat", temp.file("big.bin")});
    EXPECT_TRUE(r.result.Succeeded());
    EXPECT_EQ(r.output, data);
    EXPECT_GT(r.chunks.size(), 1u);
    for (const auto& chunk : r.chunks) {
        EXPECT_LE(chunk.size(), 1023u);
        EXPECT_FALSE(chunk.empty());
    }
}

TEST(ChildProcess, ProgramThatCannotStart)
{
    TempFolder temp;
    files::WriteFile(temp.file("not-executable"), "#!/bin/sh\necho hi\n");
    const std::vector<std::vector<std::string>> argvs = {
        {"trawlix-no-such-program"},
        {temp.file("not-executable")},
        {},
    };
    for (const auto& argv : argvs) {
        Outcome r = run(argv);
        EXPECT_EQ(r.result.m_code, ChildProcessResult::Code::CannotStart);
        EXPECT_FALSE(r.result.Succeeded());
        EXPECT_EQ(r.chunks, std::vector<std::string>{"create   process   error!"});
        EXPECT_FALSE(r.result.m_strError.empty());
    }
    // A working folder that does not exist.
    Outcome r = run({"true"}, temp.file("missing"));
    EXPECT_EQ(r.result.m_code, ChildProcessResult::Code::CannotStart);
}

TEST(ChildProcess, PipeThatCannotBeMade)
{
    // With the descriptor limit at the lowest free descriptor, no pipe can be made.
    int lowest = ::dup(0);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    rlimit low = old;
    low.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    Outcome r = run({"true"});
    setrlimit(RLIMIT_NOFILE, &old);

    EXPECT_EQ(r.result.m_code, ChildProcessResult::Code::CannotPipe);
    EXPECT_EQ(r.chunks, std::vector<std::string>{"Create   Pipe   Error!"});
}
