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
    TestRunner runner(database, ConfigPath(), result, ProgramDirectory());
    EXPECT_EQ(runner.CompilerDirectory(), dir / "bcc/");
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    EXPECT_EQ(runner.Run(), kRunPassed);
}

TEST_F(TestRunnerTest, MissingBccPathMeansTheCurrentDirectory) {
    WriteBytes(ConfigPath(), "[dbase]\r\n");
    TestRunner runner(database, ConfigPath(), result, ProgramDirectory());
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

// What the runner asks the child-process layer for, without running anything.
class CommandLineTest : public testing::RunnerFixture {
protected:
    TestRunner Recording() {
        return TestRunner(database, ConfigPath(), result, ProgramDirectory(),
                          [this](const ChildRequest& request) {
                              requests.push_back(request);
                              WriteBytes(request.outputFile, "");
                              ChildResult exited;
                              exited.outcome = ChildOutcome::Exited;
                              exited.exitCode = 0;
                              return exited;
                          });
    }
    std::vector<ChildRequest> requests;
};

TEST_F(CommandLineTest, SingleSourceIsBuiltWithTheCompilerCommandLine) {
    ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", "/opt/bc5/"));
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "");
    TestRunner runner = Recording();
    EXPECT_EQ(runner.Run(), kRunPassed);
    ASSERT_EQ(requests.size(), 2u);
    const ChildRequest& build = requests[0];
    EXPECT_EQ(build.arguments,
              (std::vector<std::string>{"bcc.exe", "-ml", "-I/opt/bc5/include", "-L/opt/bc5/lib", "main.c"}));
    EXPECT_EQ(build.workingDirectory, WorkDirectory() + "/");
    EXPECT_EQ(build.pathPrefix, "/opt/bc5/bin");
    EXPECT_EQ(build.outputFile, WorkDirectory() + "/build.txt");
    EXPECT_EQ(build.timeLimit, kBuildTimeLimit);
    EXPECT_FALSE(build.confined);

    const ChildRequest& test = requests[1];
    EXPECT_EQ(test.arguments, std::vector<std::string>{WorkDirectory() + "/main.exe"});
    EXPECT_EQ(test.workingDirectory, ProgramDirectory());
    EXPECT_EQ(test.inputFile, InputFile());
    EXPECT_EQ(test.outputFile, WorkDirectory() + "/tmp.txt");
    EXPECT_EQ(test.timeLimit, kProgramTimeLimit);
    EXPECT_TRUE(test.confined);
}

TEST_F(CommandLineTest, MakefileIsBuiltWithTheMakeCommandLine) {
    Submit("main.c", kSumProgram);
    Submit("Prog.mak", "");
    Variant("1 1\n", "");
    TestRunner runner = Recording();
    EXPECT_EQ(runner.Run(), kRunPassed);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].arguments, (std::vector<std::string>{"make.exe", "-B", "-fProg.mak"}));
    EXPECT_EQ(requests[1].arguments, std::vector<std::string>{WorkDirectory() + "/Prog.exe"});
}

// How each way a child can end maps to a result code: the build's and the program's, one launch failing.
struct OutcomeCase {
    const char* name;
    int failingLaunch; // 0: the build, 1: the program
    ChildOutcome outcome;
    int exitCode;
    int expected;
};

class OutcomeTest : public testing::RunnerFixture, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, GivesTheResultCode) {
    const OutcomeCase& c = GetParam();
    Submit("main.c", kSumProgram);
    Variant("1 1\n", "%Csum 2");
    int launches = 0;
    TestRunner runner(database, ConfigPath(), result, ProgramDirectory(), [&](const ChildRequest& request) {
        ChildResult ended;
        ended.outcome = ChildOutcome::Exited;
        ended.exitCode = 0;
        if (launches++ == c.failingLaunch) {
            ended.outcome = c.outcome;
            ended.exitCode = c.exitCode;
        }
        if (ended.outcome != ChildOutcome::OutputNotCreated) {
            WriteBytes(request.outputFile, "sum 2\n");
        }
        return ended;
    });
    EXPECT_EQ(runner.Run(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, OutcomeTest,
    ::testing::Values(
        OutcomeCase{"BuildExitsNonZero", 0, ChildOutcome::Exited, 1, kRunBuildFailed},
        OutcomeCase{"BuildKilledBySignal", 0, ChildOutcome::Signaled, -1, kRunBuildFailed},
        OutcomeCase{"BuildOutOfTime", 0, ChildOutcome::TimedOut, -1, kRunBuildFailed},
        OutcomeCase{"BuildNotStarted", 0, ChildOutcome::NotStarted, -1, kRunBuildNotStarted},
        OutcomeCase{"BuildLogNotCreated", 0, ChildOutcome::OutputNotCreated, -1, kRunBuildNotStarted},
        OutcomeCase{"ProgramExitCodeIgnored", 1, ChildOutcome::Exited, 7, kRunPassed},
        OutcomeCase{"ProgramCrashedAfterWriting", 1, ChildOutcome::Signaled, -1, kRunPassed},
        OutcomeCase{"ProgramKilledAfterWriting", 1, ChildOutcome::TimedOut, -1, kRunPassed},
        OutcomeCase{"ProgramNotStarted", 1, ChildOutcome::NotStarted, -1, kRunProgramNotStarted},
        OutcomeCase{"InputNotOpened", 1, ChildOutcome::InputNotOpened, -1, kRunInputUnavailable},
        OutcomeCase{"CaptureNotCreated", 1, ChildOutcome::OutputNotCreated, -1, kRunInputUnavailable}),
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
    TestRunner runner(database, ConfigPath(), result, ProgramDirectory());
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
