// The sandbox itself with real bwrap: what a child sees and may change, that its time limit holds for
// everything inside, that nothing of it outlives its step or its daemon, and that a machine without bwrap is
// told apart from a child that fails.

#include "LeftoverProcesses.h"
#include "platform/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvel {
namespace {

using namespace std::chrono_literals;
using testing::ProcessesUnder;
using testing::ReadBytes;
using testing::WriteBytes;

class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SandboxWorks()) {
            GTEST_SKIP() << "no sandbox can be made here (bwrap missing or namespaces refused)";
        }
        std::filesystem::create_directories(dir / "work");
        std::filesystem::create_directories(dir / "tools");
        WriteBytes(dir / "tools/tool.txt", "tool\n");
        WriteBytes(dir / "secret.txt", "secret\n");
    }
    // A shell script in a sandbox with the writable "work" at /work and the read-only "tools" at /tools.
    ChildRequest Sandboxed(const std::string& script, std::chrono::milliseconds limit = 10s) {
        ChildRequest request;
        request.arguments = {"/bin/sh", "-c", script};
        request.workingDirectory = "/work";
        request.outputFile = dir / "out.txt";
        request.errorToOutput = true;
        request.timeLimit = limit;
        SandboxLayout sandbox;
        sandbox.mounts = {{dir / "work", "/work", true}, {dir / "tools", "/tools", false}};
        sandbox.privateDirectories = {"/private"};
        request.sandbox = sandbox;
        return request;
    }
    std::string Output() { return ReadBytes(dir / "out.txt"); }

    testing::TempDir dir;
};

TEST_F(SandboxTest, SeesTheSystemItsMountsAndNothingElse) {
    const ChildResult result = RunChild(Sandboxed("ls / | tr '\\n' ' '; echo; id -u; cat /tools/tool.txt; "
                                                  "cat " +
                                                  dir.Path() +
                                                  "/secret.txt || echo no-secret; "
                                                  "ls /etc | tr '\\n' ' '; echo; "
                                                  "tail -n +3 /proc/net/dev | cut -d: -f1 | tr -d ' '"));
    ASSERT_EQ(result.outcome, ChildOutcome::Exited) << Output();
    const std::string output = Output();
    const std::string root = output.substr(0, output.find('\n'));
    for (const char* hidden : {" home ", " root ", " var ", " run ", " mnt ", " opt ", " srv "}) {
        EXPECT_EQ((" " + root).find(hidden), std::string::npos) << hidden << " in: " << root;
    }
    for (const char* seen : {"private ", "tools ", "usr ", "work "}) {
        EXPECT_NE(root.find(seen), std::string::npos) << seen << " missing in: " << root;
    }
    EXPECT_NE(output.find("\n65534\ntool\n"), std::string::npos) << output;
    EXPECT_NE(output.find("no-secret"), std::string::npos) << output;
    EXPECT_EQ(output.find("passwd"), std::string::npos) << output;
    EXPECT_EQ(output.find("shadow"), std::string::npos) << output;
    // The network namespace is empty but for the loopback device.
    EXPECT_TRUE(output.ends_with("\nlo\n")) << output;
}

struct WriteCase {
    const char* name;
    const char* script;
    bool allowed;
};

class SandboxWrites : public SandboxTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SandboxWrites, OnlyTheStepsOwnDirectoriesTakeWrites) {
    RunChild(Sandboxed(std::string(GetParam().script) + " && echo written || echo refused"));
    EXPECT_EQ(Output().ends_with("written\n"), GetParam().allowed) << Output();
    EXPECT_EQ(ReadBytes(dir / "tools/tool.txt"), "tool\n");
}

INSTANTIATE_TEST_SUITE_P(Places, SandboxWrites,
                         ::testing::Values(WriteCase{"WorkDirectory", "echo x > /work/new.txt", true},
                                           WriteCase{"PrivateDirectory", "echo x > /private/new.txt", true},
                                           WriteCase{"Tmp", "echo x > /tmp/new.txt", true},
                                           WriteCase{"ReadOnlyMount", "echo x > /tools/tool.txt", false},
                                           WriteCase{"Root", "echo x > /new.txt", false},
                                           WriteCase{"Dev", "echo x > /dev/new.txt", false},
                                           WriteCase{"System", "echo x > /usr/new.txt", false},
                                           WriteCase{"TmpBeyondItsSize",
                                                     "head -c 70000000 /dev/zero > /tmp/fill", false},
                                           WriteCase{"SharedMemoryBeyondItsSize",
                                                     "head -c 70000000 /dev/zero > /dev/shm/fill", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SandboxTest, TheTimeLimitHoldsForEverythingInsideWhateverItStops) {
    const auto start = std::chrono::steady_clock::now();
    const ChildResult result = RunChild(
        Sandboxed("kill -STOP 1; kill -STOP $PPID; kill -9 $PPID; (setsid sleep 100 &); kill -STOP $$; "
                  "sleep 100",
                  500ms));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, ChildOutcome::TimedOut) << Output();
    EXPECT_LT(elapsed, 5s);
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

TEST_F(SandboxTest, NothingInsideOutlivesTheStep) {
    const ChildResult result =
        RunChild(Sandboxed("(setsid sh -c 'sleep 100 & sleep 100' &); sleep 100 & exit 0"));
    EXPECT_EQ(result.outcome, ChildOutcome::Exited) << Output();
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

TEST_F(SandboxTest, ADaemonKilledDuringTheStepTakesTheSandboxWithIt) {
    const pid_t daemon = fork();
    if (daemon == 0) {
        RunChild(Sandboxed("sleep 100", 100s));
        _exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ProcessesUnder(dir.Path()).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(ProcessesUnder(dir.Path()).empty());
    kill(daemon, SIGKILL);
    waitpid(daemon, nullptr, 0);
    const auto gone = std::chrono::steady_clock::now() + 10s;
    while (!ProcessesUnder(dir.Path()).empty() && std::chrono::steady_clock::now() < gone) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ProcessesUnder(dir.Path()).empty());
}

TEST_F(SandboxTest, DescriptorsGivenToTheChildAreItsOnly) {
    WriteBytes(dir / "given.txt", "");
    const int given = ::open((dir / "given.txt").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(given, 0);
    ChildRequest request = Sandboxed("echo through-3 >&3; ls /proc/self/fd | tr '\\n' ' '");
    request.inheritedDescriptors = {given};
    EXPECT_EQ(RunChild(request).outcome, ChildOutcome::Exited) << Output();
    ::close(given);
    EXPECT_EQ(ReadBytes(dir / "given.txt"), "through-3\n");
    // 0-2, the given one and the descriptor ls reads its directory with.
    EXPECT_EQ(Output(), "0 1 2 3 4 ");
}

TEST_F(SandboxTest, WithoutBwrapTheSandboxFailsRatherThanTheChild) {
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    setenv("PATH", (dir / "tools").c_str(), 1);
    const ChildResult result = RunChild(Sandboxed("exit 0"));
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(result.outcome, ChildOutcome::SandboxFailed);
    EXPECT_EQ(result.error, ENOENT);
}

} // namespace
} // namespace tarvel
