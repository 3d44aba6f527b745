#include "runner/TestRunner.h"

#include "platform/FileOps.h"
#include "runner/PatternCompare.h"
#include "runner/RunResult.h"
#include "runner/TextModeStream.h"
#include "shell/Config.h"
#include "store/Tasks.h"

#include <utility>

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

} // namespace

TestRunner::TestRunner(Database& db, const std::string& configPath, const ResultRecord& result,
                       std::string programDirectory, ProcessLauncher launcher)
    : compilerDirectory_(WithTrailingSlash(ReadConfig(configPath, "dbase", "bccpath", "."))),
      workDirectory_(WithTrailingSlash(db.AbsolutePath(SubmissionDirectory(result)))),
      captureFile_(workDirectory_ + kCaptureName), programDirectory_(std::move(programDirectory)),
      launcher_(std::move(launcher)) {
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

int TestRunner::Build(const std::string& fileName, int kind) {
    std::string commandLine = kind == kSingleSource ? "bcc.exe -ml -I" + compilerDirectory_ + "include -L" +
                                                          compilerDirectory_ + "lib " + fileName
                                                    : "make.exe -B -f" + fileName;
    ChildRequest request;
    request.arguments = SplitCommandLine(commandLine);
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
    ChildRequest request;
    // A makefile may name its program in upper case, as Windows would not mind.
    request.arguments = {ResolveCaseInsensitive(programPath)};
    request.workingDirectory = programDirectory_;
    request.pathPrefix = compilerDirectory_ + "bin";
    request.inputFile = ResolveCaseInsensitive(test.inputFile);
    request.outputFile = captureFile_;
    request.timeLimit = kProgramTimeLimit;
    request.confined = true;
    request.writableDirectories = {programDirectory_};
    ChildResult result = launcher_(request);
    switch (result.outcome) {
    case ChildOutcome::InputNotOpened:
    case ChildOutcome::OutputNotCreated:
        return kRunInputUnavailable;
    case ChildOutcome::NotStarted:
        return kRunProgramNotStarted;
    case ChildOutcome::Exited:
    case ChildOutcome::Signaled:
    case ChildOutcome::TimedOut:
        break;
    }
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
