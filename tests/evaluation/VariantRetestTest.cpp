// The re-test of a variant with the installation's compiler and sandbox: after the variant's expected
// output is corrected, every accepted submission's stored result follows it; a submission that cannot be
// tested again keeps its result and does not stop the others.

#include "evaluation/VariantRetest.h"

#include "mail/MailArchive.h"
#include "shell/Settings.h"

#include "platform/Cp1250.h"
#include "runner/RunResult.h"
#include "store/Results.h"
#include "store/Tasks.h"
#include "support/Installation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tarvel::testing {
namespace {

// Adds one too many: it passed while the variant expected 6.
constexpr std::string_view kOffByOneProgram = "#include <stdio.h>\n"
                                              "int main(void) { int a, b; scanf(\"%d %d\", &a, &b);\n"
                                              "  printf(\"sum %d\\n\", a + b + 1); return 0; }\n";

class VariantRetestTest : public ::testing::Test, public Installation {
protected:
    void SetUp() override {
        if (!HasTool("cc") || !HasTool("make") || !std::filesystem::exists(ProgramPath("zorbox"))) {
            std::printf("The re-test needs cc, make and the built zorbox (%s).\n",
                        ProgramPath("zorbox").c_str());
            std::exit(77);
        }
        ASSERT_NO_FATAL_FAILURE(CreateInstallation());
        ASSERT_NO_FATAL_FAILURE(AddSumTask("1", 2030, 1, 1));
    }

    // An accepted submission of variant "a" with the stored result code.
    StudentRecord Submitted(const std::string& unid, const std::string& surname, std::string_view program,
                            int storedCode) {
        const StudentRecord student = AddStudentNamed(unid, "Meno", surname, unid + "@example.org");
        Assign(student, "1", "a");
        WriteBytes(Db("students/" + student.id + "/1/main.c"), std::string(program));
        EXPECT_TRUE(AddAccepted({&db, "1"}, "a", unid));
        EXPECT_TRUE(ResultSection(db, student.id, "1").WriteInt(kTestResultKey, storedCode));
        return student;
    }
    int StoredCode(const StudentRecord& student) {
        int code = -1;
        EXPECT_TRUE(ResultSection(db, student.id, "1").ReadInt(kTestResultKey, code));
        return code;
    }
};

TEST_F(VariantRetestTest, ACorrectedExpectedOutputChangesEveryStoredResult) {
    const StudentRecord jan = Submitted("10001", "Jan", kSumProgram, kRunOutputMismatch);
    const StudentRecord eva = Submitted("10002", "Eva", kSumProgram, kRunOutputMismatch);
    const StudentRecord fero = Submitted("10003", "Fero", kOffByOneProgram, kRunPassed);
    // Deleted by hand, and one whose result names another variant: neither is built, both keep their code.
    const StudentRecord mara = Submitted("10004", "Mara", kSumProgram, kRunOutputMismatch);
    std::filesystem::remove_all(Db("students/" + mara.id + "/1"));
    const StudentRecord ivan = Submitted("10005", "Ivan", kSumProgram, kRunPassed);
    ResultRecord moved;
    ASSERT_TRUE(LoadResult(db, "1", ivan.id, moved));
    moved.mod = "b";
    ASSERT_TRUE(SaveResult(db, moved));
    WriteBytes(VariantFilePath({&db, "1"}, "a", "out"), "%Csum %f5\r\n");

    std::vector<std::string> reported;
    const RetestProgress progress = [&](int done, int total, const StudentRecord* student) {
        reported.push_back(std::to_string(done) + "/" + std::to_string(total) + " " +
                           (student ? student->surname : "end"));
    };
    RetestSummary summary;
    ASSERT_EQ(RetestVariant(db, ConfigPath(), "1", "a", progress, summary), RetestOutcome::Done);

    EXPECT_EQ(reported, (std::vector<std::string>{"0/5 Jan", "1/5 Eva", "2/5 Fero", "3/5 Mara", "4/5 Ivan",
                                                  "5/5 end"}));
    EXPECT_EQ(StoredCode(jan), kRunPassed);
    EXPECT_EQ(StoredCode(eva), kRunPassed);
    EXPECT_EQ(StoredCode(fero), kRunOutputMismatch);
    EXPECT_EQ(StoredCode(mara), kRunOutputMismatch);
    EXPECT_EQ(StoredCode(ivan), kRunPassed);
    EXPECT_EQ(summary.submissions, 5);
    EXPECT_EQ(summary.tested, 3);
    EXPECT_EQ(summary.passedBefore, 1);
    EXPECT_EQ(summary.passedAfter, 2);
    EXPECT_EQ(summary.missing, (std::vector<std::string>{"10004", "10005"}));
    EXPECT_EQ(Cp1250ToUtf8(RetestReport(summary)), "Znovu otestované odovzdania: 3 z 5.\n"
                                                   "Testy prešli predtým: 1, teraz: 2.\n"
                                                   "Neotestované, výsledok ostáva: 10004, 10005.");
}

TEST_F(VariantRetestTest, AVariantWithoutSubmissionsRunsNothing) {
    RetestSummary summary;
    summary.tested = 7;
    int reports = 0;
    ASSERT_EQ(RetestVariant(
                  db, ConfigPath(), "1", "a", [&](int, int, const StudentRecord*) { ++reports; }, summary),
              RetestOutcome::Done);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(summary.submissions, 0);
    EXPECT_EQ(summary.tested, 0);
    EXPECT_EQ(Cp1250ToUtf8(RetestReport(summary)), "Variant zadania nemá žiadne prijaté odovzdanie.");
}

TEST_F(VariantRetestTest, AnUnreadableAcceptedListIsAFailure) {
    const StudentRecord jan = Submitted("10001", "Jan", kSumProgram, kRunOutputMismatch);
    std::filesystem::remove(Db("tasks/t1ma.acc"));
    std::filesystem::create_directory(Db("tasks/t1ma.acc"));
    RetestSummary summary;
    EXPECT_EQ(RetestVariant(db, ConfigPath(), "1", "a", {}, summary), RetestOutcome::ListUnreadable);
    EXPECT_EQ(StoredCode(jan), kRunOutputMismatch);
}

// A daemon in its cycle builds in the same scratch directory: the re-test waits for another time.
TEST_F(VariantRetestTest, NothingRunsWhileADaemonIsInItsCycle) {
    const StudentRecord jan = Submitted("10001", "Jan", kSumProgram, kRunOutputMismatch);
    const std::string zorpath = DaemonInstallationPath(ConfigPath());
    ASSERT_TRUE(PrepareMailArchive(zorpath));
    const ArchiveLock cycle(zorpath);
    ASSERT_TRUE(cycle.Held());
    RetestSummary summary;
    int reports = 0;
    EXPECT_EQ(RetestVariant(
                  db, ConfigPath(), "1", "a", [&](int, int, const StudentRecord*) { ++reports; }, summary),
              RetestOutcome::DaemonBusy);
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(StoredCode(jan), kRunOutputMismatch);
}

} // namespace
} // namespace tarvel::testing
