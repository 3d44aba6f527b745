#include "runner/TestRunner.h"

#include "platform/FileDescriptor.h"
#include "platform/FileOps.h"
#include "runner/PatternCompare.h"
#include "runner/RunResult.h"
#include "runner/SandboxStep.h"
#include "runner/TextModeStream.h"
#include "shell/Settings.h"
#include "store/Tasks.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

std::string WithTrailingSlash(std::string directory) {
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

// The one regular file of the directory matching the pattern; false when there is none or more than one.
// Several matches are reported through `several`.
bool SingleMatch(const std::string& directory, const char* pattern, std::string& name, bool& several) {
    std::vector<std::string> files;
    for (const std::string& entry : ListMatching(directory, pattern)) {
        if (IsRegularFile(JoinPath(directory, entry))) {
            files.push_back(entry);
        }
    }
    several = files.size() > 1;
    if (files.size() != 1) {
        return false;
    }
    name = files.front();
    return true;
}

std::string TitleOf(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// Beyond the build's and the program's own limits, the sandbox as a whole gets this long to end.
constexpr std::chrono::milliseconds kSandboxMargin{5000};

// What zorbox said of the build and the test run (runner/SandboxStep.h).
struct StepReport {
    std::string build; // how the build ended; empty when zorbox said nothing
    int buildExitCode = -1;
    std::string program;
    std::string test;
};

StepReport ReadStepReport(int statusFd) {
    std::string text;
    char buffer[512];
    ssize_t got;
    while (text.size() < 4096 && (got = ::read(statusFd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    StepReport report;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (word == "build") {
            const std::size_t second = rest.find(' ');
            report.build = rest.substr(0, second);
            report.buildExitCode = second == std::string::npos ? -1 : std::atoi(rest.c_str() + second + 1);
        } else if (word == "program") {
            report.program = rest;
        } else if (word == "test") {
            report.test = rest;
        }
    }
    return report;
}

// The sandbox's status pipe: the runner reads what the step wrote once everything has ended.
bool MakeStatusPipe(int (&fds)[2]) {
    return ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0;
}

} // namespace

std::string DescribeContainment(const std::string& configPath) {
    if (SandboxWorks()) {
        return "student code runs in a sandbox (bubblewrap)";
    }
    const std::string why = SandboxTool().empty() ? "bubblewrap (bwrap) is not installed"
                                                  : "the kernel refuses bubblewrap's namespaces";
    if (UnsafeRunsAllowed(configPath)) {
        return "NO SANDBOX: " + why + "; dbase/unsafe=1 lets student code run without one";
    }
    return "NO SANDBOX: " + why + "; submissions are stored but not built or tested (result 13)";
}

TestRunner::TestRunner(Database& db, const std::string& configPath, const ResultRecord& result,
                       std::string zorpath, ProcessLauncher launcher)
    : compilerDirectory_(WithTrailingSlash(CompilerDirectorySetting(configPath))),
      workDirectory_(WithTrailingSlash(db.AbsolutePath(SubmissionDirectory(result)))),
      captureFile_(workDirectory_ + kCaptureName), zorpath_(std::move(zorpath)),
      unsafeAllowed_(UnsafeRunsAllowed(configPath)), launcher_(std::move(launcher)) {
    VariantSet variants{&db, result.task};
    tests_.push_back(
        TestPair{VariantFilePath(variants, result.mod, "in"), VariantFilePath(variants, result.mod, "out")});
}

int TestRunner::Run() {
    std::string fileName;
    std::string fileTitle;
    int kind = FindProject(fileName, fileTitle);
    if (kind == kNoProject) {
        return kRunNothingToBuild;
    }
    const int sandboxed = RunInSandbox(fileName, kind, fileTitle + ".exe");
    if (sandboxed != kRunNoSandbox || !unsafeAllowed_) {
        return sandboxed;
    }
    int built = Build(fileName, kind);
    if (built != kRunPassed) {
        return built;
    }
    return RunTests(workDirectory_ + fileTitle + ".exe");
}

int TestRunner::FindProject(std::string& fileName, std::string& fileTitle) {
    bool several = false;
    int kind = kNoProject;
    if (SingleMatch(workDirectory_, "*.mak", fileName, several)) {
        kind = kMakefileProject;
    } else if (!several && SingleMatch(workDirectory_, "*.c", fileName, several)) {
        kind = kSingleSource;
    }
    if (kind != kNoProject) {
        fileTitle = TitleOf(fileName);
    }
    return kind;
}

std::vector<std::string> TestRunner::BuildCommand(const std::string& fileName, int kind) const {
    return SplitCommandLine(kind == kSingleSource ? "bcc.exe -ml -I" + compilerDirectory_ + "include -L" +
                                                        compilerDirectory_ + "lib " + fileName
                                                  : "make.exe -B -f" + fileName);
}

// One sandbox for the build and the test run. When the test's input or capture cannot be opened, the build
// runs alone (its failure counts first) and the test gives kRunInputUnavailable.
int TestRunner::RunInSandbox(const std::string& fileName, int kind, const std::string& programName) {
    const TestPair& test = tests_.front();
    const std::string buildCopy = JoinPath(JoinPath(zorpath_, "tmp"), kBuildCopyName);
    // The build must never see what an earlier one left, nor change the stored sources.
    if (!RemoveTree(buildCopy) || !MakeDirectories(buildCopy) || !CopyInto(workDirectory_ + "*", buildCopy)) {
        RemoveTree(buildCopy);
        return kRunBuildNotStarted;
    }
    const FileDescriptor buildLog(::open((workDirectory_ + kBuildLogName).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    std::string programCopy = workDirectory_ + "." + programName + ".XXXXXX";
    const FileDescriptor copy(::mkostemp(programCopy.data(), O_CLOEXEC));
    int status[2];
    if (buildLog.get() < 0 || copy.get() < 0 || !MakeStatusPipe(status)) {
        if (copy.get() >= 0) {
            ::unlink(programCopy.c_str());
        }
        RemoveTree(buildCopy);
        return kRunBuildNotStarted;
    }
    const FileDescriptor statusRead(status[0]);
    const FileDescriptor statusWrite(status[1]);

    SandboxLayout sandbox;
    sandbox.mounts = {{buildCopy, kSandboxBuildDirectory, true},
                      {JoinPath(JoinPath(zorpath_, "bin"), kSandboxStepName), kSandboxStepPath, false}};
    // The compiler directory is seen where the command lines name it. The root would show the whole
    // machine, and a relative directory names nothing inside; the build then finds no compiler there.
    const std::string compiler = compilerDirectory_.substr(0, compilerDirectory_.size() - 1);
    if (compiler.starts_with("/") && compiler.find_first_not_of('/') != std::string::npos) {
        sandbox.mounts.push_back({compiler, compiler, false});
    }
    sandbox.privateDirectories = {kSandboxTestDirectory};
    sandbox.commandIsInit = true;
    ChildRequest request;
    request.arguments = {kSandboxStepPath, programName};
    for (std::string& word : BuildCommand(fileName, kind)) {
        request.arguments.push_back(std::move(word));
    }
    request.workingDirectory = kSandboxBuildDirectory;
    request.pathPrefix = compilerDirectory_ + "bin";
    request.inputFile = ResolveCaseInsensitive(test.inputFile);
    request.outputFile = captureFile_;
    request.timeLimit = kBuildTimeLimit + kProgramTimeLimit + kSandboxMargin;
    request.sandbox = sandbox;
    request.inheritedDescriptors = {buildLog.get(), copy.get(), statusWrite.get()};
    ChildResult result = launcher_(request);
    bool testUnavailable = false;
    if (result.outcome == ChildOutcome::InputNotOpened || result.outcome == ChildOutcome::OutputNotCreated) {
        testUnavailable = true;
        request.arguments[1].clear();
        request.inputFile.clear();
        request.outputFile.clear();
        result = launcher_(request);
    }
    RemoveTree(buildCopy);
    const StepReport report = ReadStepReport(statusRead.get());

    int code = kRunPassed;
    // A sandbox that cannot be made, or an installation without its step: nothing of the student's ran.
    if (result.outcome == ChildOutcome::SandboxFailed || result.outcome == ChildOutcome::NotStarted) {
        code = kRunNoSandbox;
    } else if (report.build == kStepNotStarted) {
        code = kRunBuildNotStarted;
    } else if (report.build != kStepExited || report.buildExitCode != 0) {
        code = kRunBuildFailed;
    } else if (testUnavailable) {
        code = kRunInputUnavailable;
    } else if (report.program != kStepProgramCopied || report.test == kStepNotStarted) {
        code = kRunProgramNotStarted;
    }
    const bool keepProgram = report.program == kStepProgramCopied && ::fchmod(copy.get(), 0755) == 0 &&
                             ::rename(programCopy.c_str(), (workDirectory_ + programName).c_str()) == 0;
    if (!keepProgram) {
        ::unlink(programCopy.c_str());
    }
    return code == kRunPassed ? CompareCapture(test) : code;
}

int TestRunner::Build(const std::string& fileName, int kind) {
    ChildRequest request;
    request.arguments = BuildCommand(fileName, kind);
    request.workingDirectory = workDirectory_;
    request.pathPrefix = compilerDirectory_ + "bin";
    request.outputFile = workDirectory_ + kBuildLogName;
    request.errorToOutput = true;
    request.timeLimit = kBuildTimeLimit;
    // A student's makefile runs whatever it says: it may change files of its own submission only.
    request.writableDirectories = {workDirectory_};
    ChildResult result = launcher_(request);
    switch (result.outcome) {
    case ChildOutcome::Exited:
        return result.exitCode == 0 ? kRunPassed : kRunBuildFailed;
    case ChildOutcome::Signaled:
    case ChildOutcome::TimedOut:
        return kRunBuildFailed;
    case ChildOutcome::InputNotOpened:
    case ChildOutcome::OutputNotCreated:
    case ChildOutcome::NotStarted:
    case ChildOutcome::SandboxFailed:
        break;
    }
    return kRunBuildNotStarted;
}

int TestRunner::RunTests(const std::string& programPath) {
    for (const TestPair& test : tests_) {
        int result = RunTest(programPath, test);
        if (result != kRunPassed) {
            return result;
        }
    }
    return kRunPassed;
}

int TestRunner::RunTest(const std::string& programPath, const TestPair& test) {
    const std::string programDirectory = JoinPath(zorpath_, "tmp");
    ChildRequest request;
    // A makefile may name its program in upper case, as Windows would not mind.
    request.arguments = {ResolveCaseInsensitive(programPath)};
    request.workingDirectory = programDirectory;
    request.pathPrefix = compilerDirectory_ + "bin";
    request.inputFile = ResolveCaseInsensitive(test.inputFile);
    request.outputFile = captureFile_;
    request.timeLimit = kProgramTimeLimit;
    request.confined = true;
    request.writableDirectories = {programDirectory};
    ChildResult result = launcher_(request);
    switch (result.outcome) {
    case ChildOutcome::InputNotOpened:
    case ChildOutcome::OutputNotCreated:
        return kRunInputUnavailable;
    case ChildOutcome::NotStarted:
    case ChildOutcome::SandboxFailed:
        return kRunProgramNotStarted;
    case ChildOutcome::Exited:
    case ChildOutcome::Signaled:
    case ChildOutcome::TimedOut:
        break;
    }
    return CompareCapture(test);
}

int TestRunner::CompareCapture(const TestPair& test) {
    TextStream pattern = OpenTextModeStream(ResolveCaseInsensitive(test.expectedOutputFile));
    if (!pattern) {
        return kRunPatternUnavailable;
    }
    TextStream output = OpenTextModeStream(captureFile_);
    if (!output) {
        return kRunInputUnavailable;
    }
    return ComparePattern(pattern.get(), output.get());
}

} // namespace tarvel
