// Students' programs that try to harm the machine or stall the daemon. Each writes the expected output first,
// then misbehaves; each run must end within its limits, still compare what was written, and leave no process.

#include "LeftoverProcesses.h"
#include "RunnerFixture.h"
#include "runner/RunResult.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace tarvel {
namespace {

using std::chrono::milliseconds;

struct HostileCase {
    const char* name;
    const char* body; // runs after the program has written "42\n"
    milliseconds atLeast;
    milliseconds below;
};

class HostileProgramTest : public testing::RunnerFixture,
                           public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileProgramTest, EndsWithinItsLimitsAndLeavesNothingBehind) {
    Submit("main.c", std::string("#include <stdio.h>\n#include <stdlib.h>\n#include <string.h>\n"
                                 "#include <unistd.h>\n"
                                 "int main(void) {\n"
                                 "    printf(\"42\\n\");\n"
                                 "    fflush(stdout);\n") +
                         GetParam().body + "\n    return 0;\n}\n");
    Variant("", "%f 42\n");
    auto start = std::chrono::steady_clock::now();
    int code = Run();
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(code, kRunPassed);
    EXPECT_GE(elapsed, GetParam().atLeast);
    EXPECT_LT(elapsed, GetParam().below);
    EXPECT_LE(std::filesystem::file_size(WorkDirectory() + "/tmp.txt"), 64u * 1024 * 1024);
    EXPECT_TRUE(testing::ProcessesUnder(dir.Path()).empty());
}

// The build takes its share of the upper bounds.
INSTANTIATE_TEST_SUITE_P(
    Programs, HostileProgramTest,
    ::testing::Values(
        HostileCase{"EndlessLoop", "for (;;) {}", milliseconds(5000), milliseconds(9000)},
        HostileCase{"ForkBomb", "for (;;) fork();", milliseconds(5000), milliseconds(9000)},
        HostileCase{"EndlessAllocation",
                    "for (;;) { char* block = malloc(1 << 20); if (block) memset(block, 1, 1 << 20); }",
                    milliseconds(5000), milliseconds(9000)},
        HostileCase{"EndlessOutput", "for (;;) printf(\"42 42 42 42 42 42 42 42 42 42\\n\");",
                    milliseconds(0), milliseconds(4900)},
        HostileCase{"ClosesOutputAndSleeps", "fclose(stdout); sleep(1000);", milliseconds(5000),
                    milliseconds(9000)},
        HostileCase{"DetachedGrandchildOutlivesIt",
                    "if (fork() == 0) { setsid(); if (fork() == 0) { sleep(1000); } _exit(0); }",
                    milliseconds(0), milliseconds(1900)},
        HostileCase{"ChildOutlivesIt",
                    "if (fork() == 0) { sleep(2); printf(\"99\\n\"); fflush(stdout); sleep(1000); }",
                    milliseconds(0), milliseconds(1900)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostileProgramTest, ChildThatOutlivesItWritesNothingMore) {
    Submit("main.c", "#include <stdio.h>\n#include <unistd.h>\n"
                     "int main(void) {\n"
                     "    printf(\"42\\n\");\n"
                     "    fflush(stdout);\n"
                     "    if (fork() == 0) { sleep(1); printf(\"99\\n\"); fflush(stdout); sleep(1000); }\n"
                     "    return 0;\n}\n");
    Variant("", "%f 42\n");
    EXPECT_EQ(Run(), kRunPassed);
    sleep(2);
    EXPECT_EQ(testing::ReadBytes(WorkDirectory() + "/tmp.txt"), "42\n");
}

} // namespace
} // namespace tarvel
