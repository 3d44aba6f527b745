#pragma once
// Builds one accepted submission with the compiler of the configuration (bccpath) and runs the program on its
// variant's test, comparing the output with the variant's expected-output pattern (PatternCompare.h).
// The compiler, make and the program run as child processes (platform/ChildProcess.h): the compiler's "bin"
// in front of their PATH, the program confined and killed with everything it started after kProgramTimeLimit.

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

// How the runner starts a child; tests may watch or replace it.
using ProcessLauncher = std::function<ChildResult(const ChildRequest&)>;

struct TestPair {
    std::string inputFile;
    std::string expectedOutputFile;
};

class TestRunner {
public:
    // Reads bccpath (section "dbase", default ".") from the configuration at configPath and the database
    // directory from db. The program runs in programDirectory (the daemon's <zorpath>/tmp).
    TestRunner(Database& db, const std::string& configPath, const ResultRecord& result,
               std::string programDirectory, ProcessLauncher launcher = RunChild);

    // Finds, builds and tests the submission: one of the codes of RunResult.h.
    int Run();
    // In the work directory: kMakefileProject for exactly one "*.mak", else kSingleSource for exactly one
    // "*.c", else kNoProject (also for several makefiles, whatever C files there are). Letter case is
    // ignored.
    int FindProject(std::string& fileName, std::string& fileTitle);
    // kRunPassed, kRunBuildFailed or kRunBuildNotStarted.
    int Build(const std::string& fileName, int kind);
    // Runs the program on every test pair in order; the first failure ends the run with its code.
    int RunTests(const std::string& programPath);

    // The compiler directory with a trailing "/".
    const std::string& CompilerDirectory() const { return compilerDirectory_; }
    // The submission directory with a trailing "/".
    const std::string& WorkDirectory() const { return workDirectory_; }
    const std::string& CaptureFile() const { return captureFile_; }
    const std::vector<TestPair>& Tests() const { return tests_; }

private:
    int RunTest(const std::string& programPath, const TestPair& test);

    std::string compilerDirectory_;
    std::string workDirectory_;
    std::string captureFile_;
    std::string programDirectory_;
    std::vector<TestPair> tests_;
    ProcessLauncher launcher_;
};

} // namespace tarvel
