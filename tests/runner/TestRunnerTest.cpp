// The runner with the real compiler directory of the installation: project discovery, the build, the test run
// and every result code.

#include "RunnerFixture.h"
#include "platform/WriteConfinement.h"
#include "runner/RunResult.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

const char* const kSumProgram = R"(#include <stdio.h>
int main(void) {
    int a, b;
    if (scanf("%d %d", &a, &b) != 2) return 1;
    printf("sum %d\n", a + b);
    return 0;
}
)";

class TestRunnerTest : public testing::RunnerFixture {};

TEST_F(TestRunnerTest, OneCFilePasses) {
    Submit("main.c", kSumProgram);
    Variant("2 3\n", "%Csum %f5\n");
    EXPECT_EQ(Run(), kRunPassed);
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/tmp.txt"), "sum 5\n");
    EXPECT_TRUE(std::filesystem::exists(WorkDirectory() + "/main.exe"));
}

TEST_F(TestRunnerTest, CrLfVariantFilesFromAWindowsEditorPass) {
    Submit("main.c", kSumProgram);
    Variant("2 3\r\n", "%Csum %f 5\r\n");
    EXPECT_EQ(Run(), kRunPassed);
}

TEST_F(TestRunnerTest, MakefileProjectPasses) {
    Submit("util.h", "int twice(int value);\n");
    Submit("util.c", "#include \"util.h\"\nint twice(int value) { return 2 * value; }\n");
    Submit("main.c", "#include <stdio.h>\n#include \"util.h\"\n"
                     "int main(void) { int a; scanf(\"%d\", &a); printf(\"%d\\n\", twice(a)); return 0; }\n");
    Submit("prog.mak", "prog.exe: main.obj util.obj\n"
                       "\tbcc.exe -ml -eprog.exe main.obj util.obj\n"
                       "main.obj: main.c util.h\n"
                       "\tbcc.exe -ml -c main.c\n"
                       "util.obj: util.c util.h\n"
                       "\tbcc -ml -c util.c\n");
    Variant("21\n", "%f 42");
    EXPECT_EQ(Run(), kRunPassed);
}

TEST_F(TestRunnerTest, StudentsMakefileAndProgramChangeNothingOutsideTheirDirectories) {
    const int probe = MakeWriteConfinement({});
    if (probe < 0) {
        GTEST_SKIP() << "this kernel has no Landlock";
    }
    close(probe);
    WriteBytes(dir / "db/students.dat", "[s]\r\n12345=5\r\n");
    Submit("main.c", "#include <stdio.h>\n#include <stdlib.h>\n"
                     "int main(void) { FILE* f = fopen(\"../db/tasks/t1ma.out\", \"w\");\n"
                     "  if (f) fputs(\"%C anything\", f);\n"
                     "  remove(\"../db/students.dat\"); puts(\"sum 5\"); return 0; }\n");
    Submit("prog.mak", "prog.exe: main.c\n"
                       "\t-rm -f ../../../students.dat\n"
                       "\t-echo evil > ../../../teachers.dat\n"
                       "\tbcc.exe -eprog.exe main.c\n");
    Variant("2 3\r\n", "%Csum %f 5\r\n");
    EXPECT_EQ(Run(), kRunPassed);
    EXPECT_EQ(ReadBytes(dir / "db/students.dat"), "[s]\r\n12345=5\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "db/teachers.dat"));
    EXPECT_EQ(ReadBytes(PatternFile()), "%Csum %f 5\r\n");
}

TEST_F(TestRunnerTest, MakefileProgramNamedInUpperCasePasses) {
    Submit("main.c", kSumProgram);
    Submit("PROG.MAK", "PROG.EXE: main.c\n\tbcc.exe -ePROG.EXE main.c\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunPassed);
}

TEST_F(TestRunnerTest, TwoMakefilesGiveNothingToBuildEvenBesideOneCFile) {
    Submit("main.c", kSumProgram);
    Submit("a.mak", "a.exe: main.c\n\tbcc.exe -ea.exe main.c\n");
    Submit("b.mak", "b.exe: main.c\n\tbcc.exe -eb.exe main.c\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunNothingToBuild);
}

TEST_F(TestRunnerTest, NoSourceGivesNothingToBuild) {
    Submit("readme.txt", "nothing here\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunNothingToBuild);
}

TEST_F(TestRunnerTest, TwoSourcesWithoutMakefileGiveNothingToBuild) {
    Submit("main.c", kSumProgram);
    Submit("other.c", "int other;\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunNothingToBuild);
}

TEST_F(TestRunnerTest, CompileErrorGivesBuildFailedWithMessagesForTheTeacher) {
    Submit("main.c", "int main( {\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunBuildFailed);
    EXPECT_NE(ReadBytes(WorkDirectory() + "/build.txt").find("main.c"), std::string::npos);
}

TEST_F(TestRunnerTest, FailingMakeGivesBuildFailed) {
    Submit("main.c", kSumProgram);
    Submit("prog.mak", "prog.exe: missing.c\n\tbcc.exe -eprog.exe missing.c\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunBuildFailed);
}

TEST_F(TestRunnerTest, CompilerDirectoryWithoutCompilerGivesNotStarted) {
    std::filesystem::create_directories(dir / "empty/bin");
    ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", dir / "empty/"));
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunBuildNotStarted);
}

TEST_F(TestRunnerTest, BccPathWithoutTrailingSlashGetsOne) {
    ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", dir / "bcc"));
    TestRunner runner(database, ConfigPath(), result, ZorPath());
    EXPECT_EQ(runner.CompilerDirectory(), dir / "bcc/");
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(runner.Run(), kRunPassed);
}

TEST_F(TestRunnerTest, MissingBccPathMeansTheCurrentDirectory) {
    WriteBytes(ConfigPath(), "[dbase]\r\n");
    TestRunner runner(database, ConfigPath(), result, ZorPath());
    EXPECT_EQ(runner.CompilerDirectory(), "./");
}

TEST_F(TestRunnerTest, WrongOutputGivesMismatch) {
    Submit("main.c", kSumProgram);
    Variant("2 3\n", "%Csum %f6\n");
    EXPECT_EQ(Run(), kRunOutputMismatch);
}

TEST_F(TestRunnerTest, MakefileThatBuildsNoProgramGivesNotStarted) {
    Submit("main.c", kSumProgram);
    Submit("prog.mak", "all:\n\t@echo nothing to do\n");
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(Run(), kRunProgramNotStarted);
}

TEST_F(TestRunnerTest, MissingInputGivesInputUnavailable) {
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    std::filesystem::remove(InputFile());
    EXPECT_EQ(Run(), kRunInputUnavailable);
}

TEST_F(TestRunnerTest, MissingPatternGivesPatternUnavailable) {
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    std::filesystem::remove(PatternFile());
    EXPECT_EQ(Run(), kRunPatternUnavailable);
}

TEST_F(TestRunnerTest, BrokenPatternGivesPatternBroken) {
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "sum 2\n");
    EXPECT_EQ(Run(), kRunPatternBroken);
}

TEST_F(TestRunnerTest, UpperCaseSourceNamePasses) {
    Submit("MAIN.C", kSumProgram);
    Variant("4 4\n", "%Csum 8");
    EXPECT_EQ(Run(), kRunPassed);
}

TEST_F(TestRunnerTest, BorlandProgramWithConioBuildsAndPasses) {
    Submit("main.c", R"(#include <stdio.h>
#include <conio.h>
void main()
{
    int n, i;
    clrscr();
    textcolor(YELLOW);
    gotoxy(10, 5);
    scanf("%d", &n);
    for (i = 1; i <= n; i++)
        cprintf("%d ", i * i);
    putch('\n');
    if (kbhit())
        getche();
    getch();
}
)");
    Variant("4\n", "%C1 4 9 16 \n");
    EXPECT_EQ(Run(), kRunPassed);
}

// What the sandbox's step would have said and written: its status lines, the built program, the capture.
void ActAsStep(const ChildRequest& request, const std::string& statusLines, const std::string& capture) {
    ASSERT_EQ(request.inheritedDescriptors.size(), 3u);
    ASSERT_EQ(write(request.inheritedDescriptors[2], statusLines.data(), statusLines.size()),
              static_cast<ssize_t>(statusLines.size()));
    ASSERT_EQ(write(request.inheritedDescriptors[1], "ELF", 3), 3);
    if (!request.outputFile.empty()) {
        WriteBytes(request.outputFile, capture);
    }
}

ChildResult Ended(ChildOutcome outcome, int exitCode = -1) {
    ChildResult result;
    result.outcome = outcome;
    result.exitCode = exitCode;
    return result;
}

// What the runner asks the child-process layer for, without running anything.
class CommandLineTest : public testing::RunnerFixture {
protected:
    // Records every request; a sandboxed one acts as a passing step, or fails as on a machine without bwrap.
    TestRunner Recording(bool sandboxWorks = true) {
        return TestRunner(database, ConfigPath(), result, ZorPath(),
                          [this, sandboxWorks](const ChildRequest& request) {
                              requests.push_back(request);
                              if (request.sandbox && !sandboxWorks) {
                                  return Ended(ChildOutcome::SandboxFailed);
                              }
                              if (request.sandbox) {
                                  ActAsStep(request, "build exited 0\nprogram copied\ntest exited\n", "");
                              } else {
                                  WriteBytes(request.outputFile, "");
                              }
                              return Ended(ChildOutcome::Exited, 0);
                          });
    }
    std::vector<ChildRequest> requests;
};

TEST_F(CommandLineTest, BuildAndTestShareOneSandboxSeeingOnlyTheCopyTheCompilerAndTheStep) {
    ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", "/opt/bc5/"));
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "");
    TestRunner runner = Recording();
    EXPECT_EQ(runner.Run(), kRunPassed);
    ASSERT_EQ(requests.size(), 1u);
    const ChildRequest& step = requests[0];
    EXPECT_EQ(step.arguments, (std::vector<std::string>{"/tarvel/zorbox", "main.exe", "bcc.exe", "-ml",
                                                        "-I/opt/bc5/include", "-L/opt/bc5/lib", "main.c"}));
    EXPECT_EQ(step.workingDirectory, "/build");
    EXPECT_EQ(step.pathPrefix, "/opt/bc5/bin");
    EXPECT_EQ(step.inputFile, InputFile());
    EXPECT_EQ(step.outputFile, WorkDirectory() + "/tmp.txt");
    EXPECT_EQ(step.timeLimit, kBuildTimeLimit + kProgramTimeLimit + std::chrono::milliseconds(5000));
    ASSERT_TRUE(step.sandbox);
    ASSERT_EQ(step.sandbox->mounts.size(), 3u);
    EXPECT_EQ(step.sandbox->mounts[0].source, ZorPath() + "/tmp/build");
    EXPECT_EQ(step.sandbox->mounts[0].target, "/build");
    EXPECT_TRUE(step.sandbox->mounts[0].writable);
    EXPECT_EQ(step.sandbox->mounts[1].source, ZorPath() + "/bin/zorbox");
    EXPECT_EQ(step.sandbox->mounts[1].target, "/tarvel/zorbox");
    EXPECT_FALSE(step.sandbox->mounts[1].writable);
    EXPECT_EQ(step.sandbox->mounts[2].source, "/opt/bc5");
    EXPECT_EQ(step.sandbox->mounts[2].target, "/opt/bc5");
    EXPECT_FALSE(step.sandbox->mounts[2].writable);
    EXPECT_EQ(step.sandbox->privateDirectories, std::vector<std::string>{"/test"});
    EXPECT_TRUE(step.sandbox->commandIsInit);
    // The program the step copied out is kept; the private copy of the sources is gone.
    EXPECT_EQ(ReadBytes(WorkDirectory() + "/main.exe"), "ELF");
    EXPECT_FALSE(std::filesystem::exists(ZorPath() + "/tmp/build"));
}

TEST_F(CommandLineTest, ACompilerDirectoryThatIsTheRootOrRelativeIsNeverMounted) {
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "");
    for (const char* bccpath : {"/", "//", ".", "bcc/"}) {
        ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", bccpath));
        requests.clear();
        TestRunner runner = Recording();
        runner.Run();
        ASSERT_EQ(requests.size(), 1u) << bccpath;
        for (const SandboxMount& mount : requests[0].sandbox->mounts) {
            EXPECT_TRUE(mount.source == ZorPath() + "/tmp/build" || mount.source == ZorPath() + "/bin/zorbox")
                << bccpath << ": " << mount.source;
        }
    }
}

TEST_F(CommandLineTest, MakefileIsBuiltWithTheMakeCommandLine) {
    Submit("main.c", kSumProgram);
    Submit("Prog.mak", "");
    Variant("1 1\n", "");
    TestRunner runner = Recording();
    EXPECT_EQ(runner.Run(), kRunPassed);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].arguments,
              (std::vector<std::string>{"/tarvel/zorbox", "Prog.exe", "make.exe", "-B", "-fProg.mak"}));
}

TEST_F(CommandLineTest, WithoutASandboxNothingRunsUnlessTheConfigurationAllowsIt) {
    ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", "/opt/bc5/"));
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "");
    {
        TestRunner runner = Recording(false);
        EXPECT_EQ(runner.Run(), kRunNoSandbox);
        EXPECT_EQ(requests.size(), 1u);
    }
    requests.clear();
    ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "unsafe", "1"));
    TestRunner runner = Recording(false);
    EXPECT_EQ(runner.Run(), kRunPassed);
    ASSERT_EQ(requests.size(), 3u);
    const ChildRequest& build = requests[1];
    EXPECT_FALSE(build.sandbox);
    EXPECT_EQ(build.arguments,
              (std::vector<std::string>{"bcc.exe", "-ml", "-I/opt/bc5/include", "-L/opt/bc5/lib", "main.c"}));
    EXPECT_EQ(build.workingDirectory, WorkDirectory() + "/");
    EXPECT_EQ(build.pathPrefix, "/opt/bc5/bin");
    EXPECT_EQ(build.outputFile, WorkDirectory() + "/build.txt");
    EXPECT_EQ(build.timeLimit, kBuildTimeLimit);
    EXPECT_FALSE(build.confined);

    const ChildRequest& test = requests[2];
    EXPECT_FALSE(test.sandbox);
    EXPECT_EQ(test.arguments, std::vector<std::string>{WorkDirectory() + "/main.exe"});
    EXPECT_EQ(test.workingDirectory, ZorPath() + "/tmp");
    EXPECT_EQ(test.inputFile, InputFile());
    EXPECT_EQ(test.outputFile, WorkDirectory() + "/tmp.txt");
    EXPECT_EQ(test.timeLimit, kProgramTimeLimit);
    EXPECT_TRUE(test.confined);
}

// How each way the sandbox's step can end maps to a result code. When the test's files cannot be opened, the
// build runs again alone and its status counts first.
struct OutcomeCase {
    const char* name;
    ChildOutcome launch;    // how the launch of the step ended
    const char* status;     // the step's status lines
    const char* capture;    // what the program wrote
    const char* buildAlone; // when not null: the status of the build run alone after the launch above
    int expected;
};

class OutcomeTest : public testing::RunnerFixture, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, GivesTheResultCode) {
    const OutcomeCase& c = GetParam();
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    int launches = 0;
    TestRunner runner(database, ConfigPath(), result, ZorPath(), [&](const ChildRequest& request) {
        if (launches++ == 1) {
            EXPECT_TRUE(request.inputFile.empty());
            EXPECT_EQ(request.arguments[1], "");
            ActAsStep(request, c.buildAlone, "");
            return Ended(ChildOutcome::Exited, 0);
        }
        if (c.launch != ChildOutcome::InputNotOpened && c.launch != ChildOutcome::OutputNotCreated &&
            c.launch != ChildOutcome::NotStarted) {
            ActAsStep(request, c.status, c.capture);
        }
        return Ended(c.launch, c.launch == ChildOutcome::Exited ? 0 : -1);
    });
    EXPECT_EQ(runner.Run(), c.expected);
    EXPECT_EQ(launches, c.buildAlone != nullptr ? 2 : 1);
    EXPECT_FALSE(std::filesystem::exists(ZorPath() + "/tmp/build"));
}

constexpr const char* kPassed = "build exited 0\nprogram copied\ntest exited\n";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, OutcomeTest,
    ::testing::Values(
        OutcomeCase{"Passed", ChildOutcome::Exited, kPassed, "sum 2\n", nullptr, kRunPassed},
        OutcomeCase{"WrongOutput", ChildOutcome::Exited, kPassed, "sum 3\n", nullptr, kRunOutputMismatch},
        OutcomeCase{"BuildExitsNonZero", ChildOutcome::Exited, "build exited 1\n", "", nullptr,
                    kRunBuildFailed},
        OutcomeCase{"BuildKilledBySignal", ChildOutcome::Exited, "build signaled -1\n", "", nullptr,
                    kRunBuildFailed},
        OutcomeCase{"BuildOutOfTime", ChildOutcome::Exited, "build timedout -1\n", "", nullptr,
                    kRunBuildFailed},
        OutcomeCase{"BuildNotStarted", ChildOutcome::Exited, "build notstarted -1\n", "", nullptr,
                    kRunBuildNotStarted},
        OutcomeCase{"SandboxKilledBeforeTheBuildEnded", ChildOutcome::TimedOut, "", "", nullptr,
                    kRunBuildFailed},
        OutcomeCase{"NoSandbox", ChildOutcome::SandboxFailed, "", "", nullptr, kRunNoSandbox},
        OutcomeCase{"StepMissingFromTheInstallation", ChildOutcome::NotStarted, "", "", nullptr,
                    kRunNoSandbox},
        OutcomeCase{"NoProgramBuilt", ChildOutcome::Exited, "build exited 0\nprogram missing\n", "", nullptr,
                    kRunProgramNotStarted},
        OutcomeCase{"ProgramNotStarted", ChildOutcome::Exited,
                    "build exited 0\nprogram copied\ntest notstarted\n", "", nullptr, kRunProgramNotStarted},
        OutcomeCase{"ProgramKilledAfterWriting", ChildOutcome::Exited,
                    "build exited 0\nprogram copied\ntest timedout\n", "sum 2\n", nullptr, kRunPassed},
        OutcomeCase{"SandboxKilledInTheTestAfterWriting", ChildOutcome::TimedOut,
                    "build exited 0\nprogram copied\n", "sum 2\n", nullptr, kRunPassed},
        OutcomeCase{"InputNotOpened", ChildOutcome::InputNotOpened, "", "", "build exited 0\n",
                    kRunInputUnavailable},
        OutcomeCase{"CaptureNotCreated", ChildOutcome::OutputNotCreated, "", "", "build exited 0\n",
                    kRunInputUnavailable},
        OutcomeCase{"BuildFailureCountsBeforeAMissingInput", ChildOutcome::InputNotOpened, "", "",
                    "build exited 2\n", kRunBuildFailed}),
    [](const auto& info) { return std::string(info.param.name); });

struct ProjectCase {
    const char* name;
    std::vector<std::string> files;
    int kind;
    const char* fileName;
    const char* fileTitle;
};

class FindProjectTest : public testing::RunnerFixture, public ::testing::WithParamInterface<ProjectCase> {};

TEST_P(FindProjectTest, FindsTheOneProject) {
    for (const std::string& file : GetParam().files) {
        if (file.back() == '/') {
            std::filesystem::create_directories(WorkDirectory() + "/" + file);
        } else {
            Submit(file, "");
        }
    }
    TestRunner runner(database, ConfigPath(), result, ZorPath());
    std::string fileName;
    std::string fileTitle;
    EXPECT_EQ(runner.FindProject(fileName, fileTitle), GetParam().kind);
    if (GetParam().kind != kNoProject) {
        EXPECT_EQ(fileName, GetParam().fileName);
        EXPECT_EQ(fileTitle, GetParam().fileTitle);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Directories, FindProjectTest,
    ::testing::Values(
        ProjectCase{"Empty", {}, kNoProject, "", ""},
        ProjectCase{"OneSource", {"main.c", "main.h", "notes.txt"}, kSingleSource, "main.c", "main"},
        ProjectCase{"UpperCaseSource", {"PROG.C"}, kSingleSource, "PROG.C", "PROG"},
        ProjectCase{"TwoSources", {"a.c", "b.c"}, kNoProject, "", ""},
        ProjectCase{"MakefileBeforeSources", {"a.c", "b.c", "x.mak"}, kMakefileProject, "x.mak", "x"},
        ProjectCase{"TwoMakefiles", {"main.c", "x.mak", "y.MAK"}, kNoProject, "", ""},
        ProjectCase{"SourceWithPlusPlus", {"main.cpp"}, kNoProject, "", ""},
        ProjectCase{
            "DirectoriesDoNotCount", {"dir.c/", "old.mak/", "main.c"}, kSingleSource, "main.c", "main"},
        ProjectCase{"DottedTitle", {"task.1.c"}, kSingleSource, "task.1.c", "task.1"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarvel
