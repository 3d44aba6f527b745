// The child-process layer with real processes: streams, directory, PATH, descriptors, limits and the clean-up
// of everything a child leaves behind.

#include "platform/ChildProcess.h"
#include "LeftoverProcesses.h"
#include "platform/WriteConfinement.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

using testing::ProcessesUnder;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class ChildProcessTest : public ::testing::Test {
protected:
    ChildRequest Shell(const std::string& script) {
        ChildRequest request;
        request.arguments = {"/bin/sh", "-c", script};
        request.workingDirectory = dir.Path();
        request.outputFile = dir / "out.txt";
        request.timeLimit = std::chrono::milliseconds(10000);
        return request;
    }
    std::string Output() { return ReadBytes(dir / "out.txt"); }

    TempDir dir;
};

TEST_F(ChildProcessTest, ReportsTheExitCode) {
    ChildResult result = RunChild(Shell("exit 3"));
    EXPECT_EQ(result.outcome, ChildOutcome::Exited);
    EXPECT_EQ(result.exitCode, 3);
}

TEST_F(ChildProcessTest, ReportsADeathBySignal) {
    ChildResult result = RunChild(Shell("kill -SEGV $$"));
    EXPECT_EQ(result.outcome, ChildOutcome::Signaled);
    EXPECT_EQ(result.exitCode, -1);
}

TEST_F(ChildProcessTest, MissingProgramIsNotStarted) {
    ChildRequest request = Shell("");
    request.arguments = {"no-such-program-anywhere"};
    ChildResult result = RunChild(request);
    EXPECT_EQ(result.outcome, ChildOutcome::NotStarted);
    EXPECT_EQ(result.error, ENOENT);
    request.arguments = {dir / "missing.exe"};
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::NotStarted);
}

TEST_F(ChildProcessTest, ProgramThatIsNotExecutableIsNotStarted) {
    WriteBytes(dir / "plain.exe", "not a program");
    ChildRequest request = Shell("");
    request.arguments = {dir / "plain.exe"};
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::NotStarted);
}

TEST_F(ChildProcessTest, InputAndOutputFilesThatCannotBeUsed) {
    ChildRequest request = Shell("true");
    request.inputFile = dir / "missing.in";
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::InputNotOpened);
    request = Shell("true");
    request.outputFile = dir / "no/such/directory/out.txt";
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::OutputNotCreated);
}

TEST_F(ChildProcessTest, ConnectsInputAndOutputFiles) {
    WriteBytes(dir / "data.in", "line one\nline two\n");
    WriteBytes(dir / "out.txt", "old content that must go away entirely");
    ChildRequest request = Shell("cat");
    request.inputFile = dir / "data.in";
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), "line one\nline two\n");
}

TEST_F(ChildProcessTest, StandardErrorGoesToNullDeviceOrWithOutput) {
    ASSERT_EQ(RunChild(Shell("echo lost >&2; readlink /proc/$$/fd/2")).outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), "/dev/null\n");
    ChildRequest request = Shell("echo out; echo err >&2");
    request.errorToOutput = true;
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), "out\nerr\n");
}

TEST_F(ChildProcessTest, RunsInTheGivenDirectoryWithoutMovingTheCaller) {
    std::filesystem::create_directory(dir / "work");
    std::string before = std::filesystem::current_path().string();
    ChildRequest request = Shell("pwd");
    request.workingDirectory = dir / "work";
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), dir / "work\n");
    EXPECT_EQ(std::filesystem::current_path().string(), before);
}

TEST_F(ChildProcessTest, PathPrefixReachesTheChildOnly) {
    std::filesystem::create_directory(dir / "tools");
    WriteBytes(dir / "tools/greet", "#!/bin/sh\necho hello from tools\n");
    chmod((dir / "tools/greet").c_str(), 0755);
    std::string parentPath = std::getenv("PATH");
    ChildRequest request = Shell("");
    request.arguments = {"greet"};
    request.pathPrefix = dir / "tools";
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), "hello from tools\n");

    request = Shell("echo \"$PATH\"");
    request.pathPrefix = dir / "tools";
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), dir / "tools:" + parentPath + "\n");
    EXPECT_EQ(std::getenv("PATH"), parentPath);
}

TEST_F(ChildProcessTest, InheritsOnlyTheThreeStandardDescriptors) {
    // Inheritable descriptors at the lowest free numbers (where the layer keeps its own) and a high one.
    std::vector<int> inheritable;
    for (int i = 0; i < 3; ++i) {
        inheritable.push_back(open(dir.Path().c_str(), O_RDONLY));
    }
    inheritable.push_back(fcntl(inheritable.front(), F_DUPFD, 100));
    for (bool confined : {false, true}) {
        ChildRequest request = Shell("ls /proc/$$/fd; true");
        request.confined = confined;
        ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
        EXPECT_EQ(Output(), "0\n1\n2\n") << (confined ? "confined" : "not confined");
    }
    for (int fd : inheritable) {
        close(fd);
    }
}

TEST_F(ChildProcessTest, ConfinedProgramGetsItsLimits) {
    ChildRequest request = Shell("");
    request.arguments = {"/bin/bash", "-c", "ulimit -t; ulimit -v; ulimit -f; ulimit -c; id -u"};
    request.confined = true;
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    std::string user = geteuid() == 0 ? "65534" : std::to_string(getuid());
    EXPECT_EQ(Output(), "10\n524288\n65536\n0\n" + user + "\n");
}

bool KernelConfinesWrites() {
    const int ruleset = MakeWriteConfinement({});
    if (ruleset >= 0) {
        close(ruleset);
    }
    return ruleset >= 0;
}

TEST_F(ChildProcessTest, WritesOnlyBeneathItsWritableDirectories) {
    if (!KernelConfinesWrites()) {
        GTEST_SKIP() << "this kernel has no Landlock";
    }
    std::filesystem::create_directories(dir / "own");
    std::filesystem::create_directories(dir / "other");
    WriteBytes(dir / "other/keep", "kept");
    for (bool confined : {false, true}) {
        ChildRequest request =
            Shell("echo a > inside; mkdir -p sub && echo b > sub/x; echo c > ../other/outside;"
                  "rm -f ../other/keep; mv inside ../other/moved; echo \"$TMPDIR\"");
        request.workingDirectory = dir / "own";
        request.writableDirectories = {dir / "own"};
        request.confined = confined;
        ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
        EXPECT_EQ(Output(), dir / "own\n");
        EXPECT_EQ(ReadBytes(dir / "own/inside"), "a\n");
        EXPECT_EQ(ReadBytes(dir / "own/sub/x"), "b\n");
        EXPECT_EQ(ReadBytes(dir / "other/keep"), "kept");
        EXPECT_FALSE(std::filesystem::exists(dir / "other/outside"));
        EXPECT_FALSE(std::filesystem::exists(dir / "other/moved"));
    }
}

TEST_F(ChildProcessTest, MissingWritableDirectoryIsNotStarted) {
    if (!KernelConfinesWrites()) {
        GTEST_SKIP() << "this kernel has no Landlock";
    }
    ChildRequest request = Shell("true");
    request.writableDirectories = {dir / "missing"};
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::NotStarted);
}

TEST_F(ChildProcessTest, ConfinedProcessCapIsAboveTheCurrentCount) {
    ChildRequest request = Shell("");
    request.arguments = {"/bin/bash", "-c", "ulimit -u"};
    request.confined = true;
    ASSERT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    long cap = std::strtol(Output().c_str(), nullptr, 10);
    EXPECT_GE(cap, kConfinedExtraProcesses);
    EXPECT_LT(cap, kConfinedExtraProcesses + 100000);
}

TEST_F(ChildProcessTest, TimeLimitKillsTheWholeGroup) {
    ChildRequest request = Shell("sleep 100 & sleep 100; true");
    request.timeLimit = std::chrono::milliseconds(300);
    auto start = std::chrono::steady_clock::now();
    ChildResult result = RunChild(request);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, ChildOutcome::TimedOut);
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

TEST_F(ChildProcessTest, ChildrenLeftInTheGroupAreKilledWhenTheProgramEnds) {
    auto start = std::chrono::steady_clock::now();
    ChildResult result = RunChild(Shell("sleep 100 & echo started"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(result.outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), "started\n");
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

TEST_F(ChildProcessTest, ProcessesThatLeftTheGroupAreKilledToo) {
    ChildResult result = RunChild(Shell("setsid sleep 100 & (setsid sleep 101 &); sleep 0.3"));
    EXPECT_EQ(result.outcome, ChildOutcome::Exited);
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

TEST_F(ChildProcessTest, ConfinedProgramsChildrenAreKilledToo) {
    ChildRequest request = Shell("");
    request.arguments = {"/bin/sh", "-c", "setsid sleep 100 & sleep 100 & sleep 0.3"};
    request.confined = true;
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::Exited);
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

struct SplitCase {
    const char* name;
    const char* line;
    std::vector<std::string> arguments;
};

TEST_F(ChildProcessTest, WithoutATimeLimitTheChildRunsUntilItEnds) {
    ChildRequest request = Shell("sleep 1.2; echo done");
    request.timeLimit = kNoTimeLimit;
    const ChildResult result = RunChild(request);
    EXPECT_EQ(result.outcome, ChildOutcome::Exited);
    EXPECT_EQ(Output(), "done\n");
}

// A detached program is neither waited for nor killed: it goes on after the start has returned, and
// everything it starts with it.
TEST_F(ChildProcessTest, ADetachedProgramOutlivesItsStart) {
    const std::string mark = dir / "mark";
    const auto start = std::chrono::steady_clock::now();
    int error = -1;
    ASSERT_TRUE(
        StartDetached({"/bin/sh", "-c", "sleep 0.5; (sleep 0.2; echo later > " + mark + ") &"}, &error));
    EXPECT_EQ(error, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_FALSE(std::filesystem::exists(mark));
    // The shell creates the mark before echo writes into it: wait for its line, not for the file.
    for (int i = 0; i < 100 && ReadBytes(mark) != "later\n"; ++i) {
        ::usleep(20'000);
    }
    EXPECT_EQ(ReadBytes(mark), "later\n");
}

TEST_F(ChildProcessTest, ADetachedProgramThatCannotStartSaysWhy) {
    int error = 0;
    EXPECT_FALSE(StartDetached({"no-such-program-anywhere", "file:///x"}, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(StartDetached({}, &error));
}

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsAtBlanks) {
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTest,
    ::testing::Values(SplitCase{"Compiler",
                                "bcc.exe -ml -I/c/include -L/c/lib main.c",
                                {"bcc.exe", "-ml", "-I/c/include", "-L/c/lib", "main.c"}},
                      SplitCase{"Make", "make.exe -B -fprog.mak", {"make.exe", "-B", "-fprog.mak"}},
                      SplitCase{"RunsOfBlanksAndTabs", "  a \t b  ", {"a", "b"}}, SplitCase{"Empty", "", {}},
                      SplitCase{"QuotesAreNotSpecial", "cc \"my file.c\"", {"cc", "\"my", "file.c\""}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarvel
