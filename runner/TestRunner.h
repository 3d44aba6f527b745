#pragma once
// Builds one accepted submission with the compiler of the configuration (bccpath) and runs the program on its
// variant's test, comparing the output with the variant's expected-output pattern (PatternCompare.h).
// The build and the test run share one sandbox (platform/Sandbox.h, runner/SandboxStep.h): the build works on
// a private copy of the stored sources, which it can never change, and the program runs in an empty private
// directory; the compiler's "bin" is in front of their PATH, and each is killed with everything it started
// when its time is up. Only the built program, the compiler's messages and the captured output come back
// into the submission directory. Where no sandbox can be made, no student code runs (kRunNoSandbox), unless
// the configuration allows the run without it ("dbase", "unsafe" = "1"): the build then runs in the
// submission directory and the program in <zorpath>/tmp, confined by the limits of platform/ChildProcess.h.

#include "platform/ChildProcess.h"
#include "store/Database.h"
#include "store/Results.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tarvel {

inline constexpr std::chrono::milliseconds kProgramTimeLimit{5000};
// A compiler or make that hangs would stall the daemon; after this it counts as failed (kRunBuildFailed).
inline constexpr std::chrono::milliseconds kBuildTimeLimit{120000};

// FindProject's answers, which are also Build's kinds.
inline constexpr int kNoProject = 0;
inline constexpr int kSingleSource = 1;
inline constexpr int kMakefileProject = 2;

// The compiler's and make's output, for the teacher to read, in the work directory.
inline constexpr const char* kBuildLogName = "build.txt";
inline constexpr const char* kCaptureName = "tmp.txt";
// The private copy of the sources that a sandboxed build works on, in <zorpath>/tmp; removed afterwards.
inline constexpr const char* kBuildCopyName = "build";

struct TestPair {
    std::string inputFile;
    std::string expectedOutputFile;
};

// One line for the daemon's start: whether student code runs in the sandbox here, and what happens when not.
std::string DescribeContainment(const std::string& configPath);

class TestRunner {
public:
    // Reads bccpath (section "dbase", default ".") and unsafe from the configuration at configPath and the
    // database directory from db. The installation zorpath holds bin/zorbox and the scratch directory tmp/.
    TestRunner(Database& db, const std::string& configPath, const ResultRecord& result, std::string zorpath,
               ProcessLauncher launcher = RunChild);

    // Finds, builds and tests the submission: one of the codes of RunResult.h.
    int Run();
    // In the work directory: kMakefileProject for exactly one "*.mak", else kSingleSource for exactly one
    // "*.c", else kNoProject (also for several makefiles, whatever C files there are). Letter case is
    // ignored.
    int FindProject(std::string& fileName, std::string& fileTitle);
    // Without a sandbox: kRunPassed, kRunBuildFailed or kRunBuildNotStarted.
    int Build(const std::string& fileName, int kind);
    // Without a sandbox: runs the program on every test pair in order; the first failure ends the run with
    // its code.
    int RunTests(const std::string& programPath);

    // The compiler directory with a trailing "/".
    const std::string& CompilerDirectory() const { return compilerDirectory_; }
    // The submission directory with a trailing "/".
    const std::string& WorkDirectory() const { return workDirectory_; }
    const std::string& CaptureFile() const { return captureFile_; }
    const std::vector<TestPair>& Tests() const { return tests_; }

private:
    std::vector<std::string> BuildCommand(const std::string& fileName, int kind) const;
    int RunInSandbox(const std::string& fileName, int kind, const std::string& programName);
    int RunTest(const std::string& programPath, const TestPair& test);
    int CompareCapture(const TestPair& test);

    std::string compilerDirectory_;
    std::string workDirectory_;
    std::string captureFile_;
    std::string zorpath_;
    bool unsafeAllowed_ = false;
    std::vector<TestPair> tests_;
    ProcessLauncher launcher_;
};

} // namespace tarvel
