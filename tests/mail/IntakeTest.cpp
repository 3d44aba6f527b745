// Whole submission mails through the intake and the verdict stage of a real installation: what is stored,
// what is mailed, and why a mail that cannot be used is dropped.

#include "mail/IntakeFixture.h"
#include "platform/Cp1250.h"

#include "platform/FileOps.h"
#include "runner/RunResult.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

namespace tarvel {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::string Golden(const std::string& name) {
    return ReadBytes(SourceDir() + "/tests/mail/golden/" + name);
}

TEST_F(IntakeTest, AcceptedSubmissionIsStoredTestedAnalysedAndAnswered) {
    const std::string text = MailOf(ZipOf(jan, "1"));
    const Submission submission = Process(text);

    ASSERT_EQ(submission.outcome, IntakeOutcome::Accepted) << submission.reason;
    EXPECT_EQ(DescribeSubmission(submission),
              "UNID 12345 task 1: accepted (stored as version 1, late -44), test 0");
    EXPECT_EQ(ReadBytes(Zor("tmp/mail.uu")), text);

    // The sources with their pages, the build products, never the identity file.
    const auto files = SubmissionFiles(jan, "1");
    for (const char* name : {"main.c", "main.c.html", "index.html", "c.css", "tmp.txt"}) {
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
    }
    EXPECT_EQ(std::find(files.begin(), files.end(), "identity.dat"), files.end());
    EXPECT_EQ(ReadBytes(Db("students/" + jan.id + "/1/main.c")), kSumProgram);

    const ResultRecord result = Result(jan, "1");
    EXPECT_EQ(result.mod, "a");
    EXPECT_EQ(result.ver, 1);
    EXPECT_EQ(result.pts, -1);
    EXPECT_EQ(result.whend, 15);
    EXPECT_EQ(result.whenm, 1);
    EXPECT_EQ(result.wheny, 2025);
    EXPECT_EQ(result.late, -44);
    EXPECT_EQ(ResultKey(jan, "1", "test"), kRunPassed);
    EXPECT_NE(ResultKey(jan, "1", "vlPocetRiadkov"), kIntSentinel) << "the style figures were stored";
    EXPECT_NE(ReadBytes(Db("tasks/t1ma.acc")).find("12345="), std::string::npos);

    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].host, "127.0.0.1:2525");
    EXPECT_EQ(sent[0].from, "zor@127.0.0.1");
    EXPECT_EQ(sent[0].to, "12345@tarvel.test");
    EXPECT_EQ(sent[0].message, Golden("verdict_accepted.txt"));
    EXPECT_TRUE(submission.replySent);
}

// Accented names arrive as their Windows-1250 bytes, the bytes a student's Windows editor writes into an
// include line: the build finds the header, the page and the index carry the same name.
struct AccentedArchive {
    const char* name;
    ZipBuilder zip;
    std::string sourceName;
    std::string headerName;
};

class AccentedNames : public IntakeTest, public ::testing::WithParamInterface<AccentedArchive> {};

TEST_P(AccentedNames, AreStoredRenderedIndexedAndBuilt) {
    const std::string source = "s\xFA\xE8"
                               "et.c";
    const std::string header = "pomocn\xE9.h";
    ZipBuilder zip = GetParam().zip;
    zip.File(GetParam().sourceName, "#include \"" + header + "\"\n" + std::string(kSumProgram))
        .File(GetParam().headerName, "#define POMOCNE 1\n")
        .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"));
    const Submission submission = Process(MailOf(zip.Bytes()));

    ASSERT_EQ(submission.outcome, IntakeOutcome::Accepted) << submission.reason;
    EXPECT_EQ(ResultKey(jan, "1", "test"), kRunPassed);
    const auto files = SubmissionFiles(jan, "1");
    for (const std::string& name : {source, header, source + ".html", header + ".html"}) {
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << Cp1250ToUtf8(name);
    }
    const std::string index = ReadBytes(Db("students/" + jan.id + "/1/index.html"));
    EXPECT_NE(index.find(source + ".html"), std::string::npos) << index;
    EXPECT_NE(index.find(header + ".html"), std::string::npos) << index;
}

INSTANTIATE_TEST_SUITE_P(Archivers, AccentedNames,
                         ::testing::Values(AccentedArchive{"Utf8Flag", ZipBuilder().Utf8Names(),
                                                           "s\u00fa\u010det.c", "pomocn\u00e9.h"},
                                           AccentedArchive{"Cp852", ZipBuilder(),
                                                           "s\xA3\x9F"
                                                           "et.c",
                                                           "pomocn\x82.h"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(IntakeTest, MimeAttachmentAndBeginBase64AreAcceptedAlike) {
    EXPECT_EQ(Process(RetrievalText(MimeMail(ZipOf(jan, "1")))).outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(Process(RetrievalText(PlainMail(BeginBase64(ZipOf(eva, "1"), "z.zip")))).outcome,
              IntakeOutcome::Accepted);
    EXPECT_EQ(Result(jan, "1").ver, 1);
    EXPECT_EQ(Result(eva, "1").ver, 1);
}

// The last uuencoded line of an archive 14 bytes over a multiple of 45 begins with "." and is stuffed by the
// server. The archive ends with the program's stored bytes (no central directory), so they must come out
// whole.
TEST_F(IntakeTest, DotStuffedLastLineIsUndoneBeforeDecoding) {
    const auto archive = [&](const std::string& program) {
        return ZipBuilder()
            .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"))
            .File("main.c", program)
            .LocalPart();
    };
    const std::size_t unpadded = archive(std::string(kSumProgram) + "/**/\n").size();
    const std::string program =
        std::string(kSumProgram) + "/*" + std::string((14 + 45 - unpadded % 45) % 45, '.') + "*/\n";
    ASSERT_EQ(archive(program).size() % 45, 14u);
    const Submission submission = Process(MailOf(archive(program)));
    EXPECT_EQ(submission.outcome, IntakeOutcome::Accepted) << submission.reason;
    EXPECT_EQ(ReadBytes(Db("students/" + jan.id + "/1/main.c")), program);
}

TEST_F(IntakeTest, TwoStudentsOfAVariantAreComparedWithEachOther) {
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "1"))).outcome, IntakeOutcome::Accepted);
    ASSERT_EQ(Process(MailOf(ZipOf(eva, "1"))).outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(ResultKey(jan, "1", "Pod" + eva.id), 100);
    EXPECT_EQ(ResultKey(eva, "1", "Pod" + jan.id), 100);
}

TEST_F(IntakeTest, ResubmissionOnTimeReplacesEveryFileResetsPointsAndCountsUp) {
    const std::string first = ZipBuilder()
                                  .File("main.c", std::string(kSumProgram))
                                  .File("old.h", "#define OLD 1\n")
                                  .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"))
                                  .Bytes();
    ASSERT_EQ(Process(MailOf(first)).outcome, IntakeOutcome::Accepted);
    ASSERT_TRUE(SavePoints(db, jan.id, "1", "7"));
    today = {20, 1, 2025};
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "1"))).outcome, IntakeOutcome::Accepted);

    const auto files = SubmissionFiles(jan, "1");
    EXPECT_EQ(std::find(files.begin(), files.end(), "old.h"), files.end());
    EXPECT_EQ(std::find(files.begin(), files.end(), "old.h.html"), files.end());
    const ResultRecord result = Result(jan, "1");
    EXPECT_EQ(result.ver, 2);
    EXPECT_EQ(result.pts, -1);
    EXPECT_EQ(result.whend, 20);
}

TEST_F(IntakeTest, TaskNotAssignedIsRefusedAndAnsweredWithNothingStored) {
    const auto before = Snapshot(Db(""));
    const Submission submission = Process(MailOf(ZipOf(jan, "2")));

    EXPECT_EQ(submission.outcome, IntakeOutcome::Refused);
    EXPECT_EQ(submission.reason, "task 2 not assigned to the student");
    EXPECT_EQ(submission.testCode, kTestsNotRun);
    EXPECT_EQ(Snapshot(Db("")), before);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, "12345@tarvel.test");
    EXPECT_EQ(sent[0].message, Golden("verdict_refused.txt"));
}

TEST_F(IntakeTest, FirstSubmissionAfterTheDeadlineIsAcceptedTheNextIsRefused) {
    today = {2, 3, 2025}; // deadline 28 February
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "1"))).outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(Result(jan, "1").late, 2);
    EXPECT_EQ(Result(jan, "1").ver, 1);

    const auto before = Snapshot(Db(""));
    today = {3, 3, 2025};
    const Submission second = Process(MailOf(ZipOf(jan, "1", "int main(void) { return 1; }\n")));
    EXPECT_EQ(second.outcome, IntakeOutcome::Refused);
    EXPECT_EQ(second.reason, "resubmission 3 days after the deadline");
    EXPECT_EQ(Snapshot(Db("")), before);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[1].message.find("bolo prijate.\nAle nebolo akceptovane na testovanie.\n\n"),
              std::string::npos);
}

TEST_F(IntakeTest, LatenessRunsAcrossTheYearEnd) {
    Assign(jan, "2", "a"); // deadline 31 December 2024
    today = {1, 1, 2025};
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "2"))).outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(Result(jan, "2").late, 1);
    today = {2, 1, 2025};
    EXPECT_EQ(Process(MailOf(ZipOf(jan, "2"))).outcome, IntakeOutcome::Refused);
}

TEST_F(IntakeTest, LeftOversOfAnEarlierMailAreNeverStored) {
    fs::create_directories(Zor("tmp/src"));
    WriteBytes(Zor("tmp/src/stale.c"), "int stale;\n");
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "1"))).outcome, IntakeOutcome::Accepted);
    const auto files = SubmissionFiles(jan, "1");
    EXPECT_EQ(std::find(files.begin(), files.end(), "stale.c"), files.end());
}

TEST_F(IntakeTest, NoIdentityFileInAnyLetterCaseOrDirectoryIsStored) {
    const std::string identity = IdentityFile(jan.unid, jan.id, "1");
    const std::string zip = ZipBuilder()
                                .File("main.c", std::string(kSumProgram))
                                .File("Identity.DAT", identity)
                                .File("copy/identity.dat", identity)
                                .Bytes();
    ASSERT_EQ(Process(MailOf(zip)).outcome, IntakeOutcome::Accepted);
    for (const auto& entry : fs::recursive_directory_iterator(Db("students"))) {
        EXPECT_FALSE(WildcardMatch("identity.dat", entry.path().filename().string())) << entry.path();
    }
}

TEST_F(IntakeTest, VerdictMailRefusedByTheServerLeavesTheSubmissionStored) {
    int attempts = 0;
    verdict.send = [&](const std::string&, const std::string&, const std::string&, const std::string&,
                       std::string& failure) {
        ++attempts;
        failure = "certificate does not match host mail.tarvel.test";
        return 0;
    };
    const Submission submission = Process(MailOf(ZipOf(jan, "1")));
    EXPECT_EQ(submission.outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(submission.replySent);
    EXPECT_TRUE(DescribeSubmission(submission)
                    .ends_with(", test 0, answer not sent: certificate does not match host mail.tarvel.test"))
        << DescribeSubmission(submission);
    EXPECT_EQ(Result(jan, "1").ver, 1);
    EXPECT_EQ(ResultKey(jan, "1", "test"), kRunPassed);
}

TEST_F(IntakeTest, TestResultOfABrokenProgramIsStoredAndMailed) {
    const Submission submission = Process(MailOf(ZipOf(jan, "1", "int main(void) { syntax error }\n")));
    ASSERT_EQ(submission.outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(submission.testCode, kRunBuildFailed);
    EXPECT_EQ(ResultKey(jan, "1", "test"), kRunBuildFailed);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].message.find("\nTesty boli spustene.\nVysledok testov: preklad zlyhal\n\n"),
              std::string::npos);
}

struct FailedCase {
    const char* name;
    std::function<std::string(const StudentRecord& jan, const StudentRecord& eva)> mail;
    const char* reasonStart;
};

class FailedIntake : public IntakeTest, public ::testing::WithParamInterface<FailedCase> {};

TEST_P(FailedIntake, StoresNothingMailsNothingAndSaysWhy) {
    const auto before = Snapshot(Db(""));
    const Submission submission = Process(GetParam().mail(jan, eva));

    EXPECT_EQ(submission.outcome, IntakeOutcome::Failed);
    EXPECT_EQ(submission.reason.rfind(GetParam().reasonStart, 0), 0u) << submission.reason;
    EXPECT_EQ(Snapshot(Db("")), before);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(submission.reply.empty());
    EXPECT_TRUE(submission.student.id.empty());
    for (const char c : DescribeSubmission(submission)) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << DescribeSubmission(submission);
    }
}

std::string WithIdentity(const std::string& identity) {
    return RetrievalText(UuencodedMail(
        ZipBuilder().File("main.c", std::string(kSumProgram)).File("identity.dat", identity).Bytes()));
}

std::string WithZip(const ZipBuilder& zip) {
    return RetrievalText(UuencodedMail(zip.Bytes()));
}

INSTANTIATE_TEST_SUITE_P(
    Mails, FailedIntake,
    ::testing::Values(
        FailedCase{"NoAttachment",
                   [](auto&, auto&) { return RetrievalText(PlainMail("Zadanie poslem zajtra.\n")); },
                   "no zip attachment"},
        FailedCase{"IncompleteRetrieval",
                   [](const StudentRecord& jan, auto&) {
                       std::string text = RetrievalText(UuencodedMail(ZipOf(jan, "1")));
                       return text.substr(0, text.size() - 3);
                   },
                   "mail text incomplete"},
        FailedCase{
            "DamagedZip",
            [](auto&, auto&) { return RetrievalText(UuencodedMail("PK\x03\x04 this is not really a zip")); },
            "zip archive damaged"},
        FailedCase{"ZipWithDotDot",
                   [](const StudentRecord& jan, auto&) {
                       return WithZip(ZipBuilder()
                                          .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"))
                                          .File("../x", "escaped"));
                   },
                   "zip entry with '..'"},
        FailedCase{"ZipWithAbsolutePath",
                   [](const StudentRecord& jan, auto&) {
                       return WithZip(ZipBuilder()
                                          .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"))
                                          .File("/tmp/tarvel-intake-absolute", "escaped"));
                   },
                   "zip entry with an absolute path"},
        FailedCase{"ZipWithSymlink",
                   [](const StudentRecord& jan, auto&) {
                       return WithZip(ZipBuilder()
                                          .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"))
                                          .Symlink("main.c", "/etc/passwd"));
                   },
                   "zip entry is a link"},
        FailedCase{"TwoThousandEntries",
                   [](const StudentRecord& jan, auto&) {
                       ZipBuilder zip;
                       zip.File("identity.dat", IdentityFile(jan.unid, jan.id, "1"));
                       for (int i = 0; i < 2000; ++i) {
                           zip.File("f" + std::to_string(i) + ".h", "");
                       }
                       return WithZip(zip);
                   },
                   "zip archive with more than 1000 entries"},
        FailedCase{"GibibyteBomb",
                   [](const StudentRecord& jan, auto&) {
                       std::uint32_t crc = 0;
                       return WithZip(ZipBuilder()
                                          .File("identity.dat", IdentityFile(jan.unid, jan.id, "1"))
                                          .Compressed("main.c", ZeroBomb(1024, crc), crc, 1000));
                   },
                   "zip archive"},
        FailedCase{
            "IdentityMissing",
            [](auto&, auto&) { return WithZip(ZipBuilder().File("main.c", std::string(kSumProgram))); },
            "identity.dat missing"},
        FailedCase{"IdentityOnlyInADirectory",
                   [](const StudentRecord& jan, auto&) {
                       return WithZip(ZipBuilder()
                                          .File("zadanie/main.c", std::string(kSumProgram))
                                          .File("zadanie/identity.dat", IdentityFile(jan.unid, jan.id, "1")));
                   },
                   "identity.dat missing"},
        FailedCase{
            "TaskKeyEmpty",
            [](const StudentRecord& jan, auto&) { return WithIdentity(IdentityFile(jan.unid, jan.id, "")); },
            "identity key TID missing or empty"},
        FailedCase{"IdKeyMissing",
                   [](const StudentRecord& jan, auto&) {
                       return WithIdentity("[IDZ]\r\nUNID=" + jan.unid + "\r\nTID=1\r\n");
                   },
                   "identity key ID missing or empty"},
        FailedCase{"WrongSection",
                   [](const StudentRecord& jan, auto&) {
                       return WithIdentity("[ID]\r\nUNID=" + jan.unid + "\r\nID=" + jan.id + "\r\nTID=1\r\n");
                   },
                   "identity key UNID missing or empty"},
        FailedCase{"UniIdOfAnotherStudent",
                   [](const StudentRecord& jan, const StudentRecord& eva) {
                       return WithIdentity(IdentityFile(eva.unid, jan.id, "1"));
                   },
                   "UNI ID 23456 belongs to student"},
        FailedCase{
            "UnknownStudent",
            [](const StudentRecord& jan, auto&) { return WithIdentity(IdentityFile("99999", jan.id, "1")); },
            "UNI ID 99999 not in the student index"},
        FailedCase{"IdWithADigitMore",
                   [](const StudentRecord& jan, auto&) {
                       return WithIdentity(IdentityFile(jan.unid, jan.id + "0", "1"));
                   },
                   "UNI ID 12345 belongs to student"}),
    [](const auto& info) { return info.param.name; });

TEST_F(IntakeTest, RenderingStepThatCannotStartFailsTheIntake) {
    intake.launcher = [](const ChildRequest&) { return ChildResult{ChildOutcome::NotStarted, -1, ENOENT}; };
    const auto before = Snapshot(Db(""));
    const Submission submission = Process(MailOf(ZipOf(jan, "1")));
    EXPECT_EQ(submission.outcome, IntakeOutcome::Failed);
    EXPECT_EQ(submission.reason, "the rendering step could not be started");
    EXPECT_EQ(Snapshot(Db("")), before);
    EXPECT_TRUE(sent.empty());
}

TEST_F(IntakeTest, ScratchDirectoryThatCannotBeWrittenFailsTheIntake) {
    fs::remove_all(Zor("tmp"));
    WriteBytes(Zor("tmp"), "a file where the scratch directory belongs");
    const Submission submission = Process(MailOf(ZipOf(jan, "1")));
    EXPECT_EQ(submission.outcome, IntakeOutcome::Failed);
    EXPECT_EQ(submission.reason, "scratch file tmp/mail.uu not written");
    EXPECT_TRUE(sent.empty());
}

TEST_F(IntakeTest, RenderingStepSeesOnlyTheUnpackedSourcesTheScriptAndTheRenderer) {
    std::vector<ChildRequest> started;
    intake.launcher = [&](const ChildRequest& request) {
        started.push_back(request);
        return RunChild(request);
    };
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "1"))).outcome, IntakeOutcome::Accepted);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].arguments, (std::vector<std::string>{"bash", "/tarvel/vexil.sh", "/tarvel"}));
    EXPECT_EQ(started[0].workingDirectory, "/src");
    ASSERT_TRUE(started[0].sandbox);
    const std::vector<SandboxMount>& mounts = started[0].sandbox->mounts;
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].source, Zor("tmp/src"));
    EXPECT_TRUE(mounts[0].writable);
    EXPECT_EQ(mounts[1].source, Zor("bin/vexil.sh"));
    EXPECT_EQ(mounts[2].source, Zor("bin/vexil"));
    EXPECT_FALSE(mounts[1].writable || mounts[2].writable);
    EXPECT_TRUE(IsRegularFile(Db("students/" + jan.id + "/1/main.c.html")));
}

// A renderer that was made to misbehave leaves links in the unpacked sources: the daemon reads and copies
// none of them.
struct PlantedLinkCase {
    const char* name;
    const char* link; // in tmp/src, pointing at the canary outside
    IntakeOutcome outcome;
};

class PlantedLink : public IntakeTest, public ::testing::WithParamInterface<PlantedLinkCase> {};

TEST_P(PlantedLink, IsNeverFollowed) {
    WriteBytes(dir / "canary.txt", "[IDZ]\r\nUNID=23456\r\nID=" + eva.id + "\r\nTID=1\r\n");
    intake.launcher = [&](const ChildRequest& request) {
        const std::string sources = Zor("tmp/src");
        std::filesystem::remove(sources + "/" + GetParam().link);
        std::filesystem::create_symlink(dir / "canary.txt", sources + "/" + GetParam().link);
        return RunChild(request);
    };
    const Submission submission = Process(MailOf(ZipOf(jan, "1")));
    EXPECT_EQ(submission.outcome, GetParam().outcome) << submission.reason;
    EXPECT_NE(submission.unid, "23456");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Db("students"))) {
        EXPECT_FALSE(entry.is_symlink()) << entry.path();
        if (entry.is_regular_file()) {
            EXPECT_EQ(ReadBytes(entry.path()).find("UNID=23456"), std::string::npos) << entry.path();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Renderer, PlantedLink,
                         ::testing::Values(PlantedLinkCase{"AsAPage", "main.c.html", IntakeOutcome::Refused},
                                           PlantedLinkCase{"AsTheIdentity", "identity.dat",
                                                           IntakeOutcome::Failed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IntakeTest, WithoutASandboxTheRendererRunsAsTheSystemsOwnProgramConfinedToTheSources) {
    std::vector<ChildRequest> started;
    intake.launcher = [&](const ChildRequest& request) {
        started.push_back(request);
        ChildResult failed;
        failed.outcome = ChildOutcome::SandboxFailed;
        return request.sandbox ? failed : RunChild(request);
    };
    ASSERT_EQ(Process(MailOf(ZipOf(jan, "1"))).outcome, IntakeOutcome::Accepted);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].arguments, (std::vector<std::string>{"bash", Zor("bin/vexil.sh"), Zor("bin")}));
    EXPECT_EQ(started[1].workingDirectory, Zor("tmp/src"));
    EXPECT_EQ(started[1].writableDirectories, std::vector<std::string>{Zor("tmp/src")});
    EXPECT_TRUE(IsRegularFile(Db("students/" + jan.id + "/1/main.c.html")));
}

struct LatenessCase {
    const char* name;
    LocalDate day;
    int deadlineYear;
    int deadlineMonth;
    int deadlineDay;
    int late;
};

class Lateness : public ::testing::TestWithParam<LatenessCase> {};

TEST_P(Lateness, CountsDaysOfA365DayYear) {
    const LatenessCase& c = GetParam();
    TaskTypeRecord task;
    task.ToYear = c.deadlineYear;
    task.ToMonth = c.deadlineMonth;
    task.ToDay = c.deadlineDay;
    int late = 12345;
    ASSERT_TRUE(LatenessInDays(c.day, task, late));
    EXPECT_EQ(late, c.late);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, Lateness,
    ::testing::Values(LatenessCase{"OnTheDeadlineDay", {28, 2, 2025}, 2025, 2, 28, 0},
                      LatenessCase{"DayBefore", {27, 2, 2025}, 2025, 2, 28, -1},
                      LatenessCase{"FirstMarchAfterFebruary28In2023", {1, 3, 2023}, 2023, 2, 28, 1},
                      LatenessCase{"FirstMarchAfterFebruary28InLeapYear2024", {1, 3, 2024}, 2024, 2, 28, 1},
                      LatenessCase{"FirstMarchAfterFebruary28InLeapYear2000", {1, 3, 2000}, 2000, 2, 28, 1},
                      LatenessCase{"FirstMarchAfterFebruary28In1900", {1, 3, 1900}, 1900, 2, 28, 1},
                      LatenessCase{"LeapDayAfterFebruary28", {29, 2, 2024}, 2024, 2, 28, 1},
                      LatenessCase{"FirstMarchAfterALeapDayDeadline", {1, 3, 2024}, 2024, 2, 29, 0},
                      LatenessCase{"NewYearsDayAfterDecember31", {1, 1, 2025}, 2024, 12, 31, 1},
                      LatenessCase{"NewYearsDayAfterLeapYearsDecember31", {1, 1, 2025}, 2024, 12, 31, 1},
                      LatenessCase{"DecemberBeforeAJanuaryDeadline", {31, 12, 2024}, 2025, 1, 2, -2},
                      LatenessCase{"AYearLate", {28, 2, 2026}, 2025, 2, 28, 365},
                      LatenessCase{"FourYearsAcrossALeapYear", {1, 3, 2028}, 2024, 3, 1, 1460}),
    [](const auto& info) { return info.param.name; });

TEST(LatenessRefusal, DeadlineMonthOutsideTheYearIsNoDeadline) {
    int late = 7;
    for (const int month : {0, 13, -32768}) {
        TaskTypeRecord task;
        task.ToYear = 2025;
        task.ToMonth = month;
        task.ToDay = 1;
        EXPECT_FALSE(LatenessInDays({1, 1, 2025}, task, late)) << month;
        EXPECT_EQ(late, 7);
    }
}

TEST_F(IntakeTest, WithoutASandboxAnAcceptedSubmissionIsStoredAndAnsweredButNotTested) {
    const ProcessLauncher noSandbox = [](const ChildRequest& request) {
        ChildResult failed;
        failed.outcome = ChildOutcome::SandboxFailed;
        return request.sandbox ? failed : RunChild(request);
    };
    intake.launcher = noSandbox;
    verdict.launcher = noSandbox;
    const Submission submission = Process(MailOf(ZipOf(jan, "1")));
    EXPECT_EQ(submission.outcome, IntakeOutcome::Accepted);
    EXPECT_EQ(submission.testCode, kRunNoSandbox);
    EXPECT_EQ(ResultKey(jan, "1", "test"), kRunNoSandbox);
    EXPECT_FALSE(IsRegularFile(Db("students/" + jan.id + "/1/main.exe")));
    EXPECT_NE(DescribeSubmission(submission).find(", test 13 (not tested: no sandbox)"), std::string::npos);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].message.find("Vysledok testov: netestovane: chyba bezpecne prostredie (sandbox)"),
              std::string::npos);
}

TEST(TestResultLine, NamesEveryCodeOfTheRunner) {
    const std::pair<int, const char*> cases[] = {
        {kRunPassed, "program je funkcny"},
        {kRunNothingToBuild, "nenasiel sa projekt ani zdrojovy subor"},
        {kRunBuildFailed, "preklad zlyhal"},
        {kRunBuildNotStarted, "prekladac sa nepodarilo spustit"},
        {kRunNoSandbox, "netestovane: chyba bezpecne prostredie (sandbox)"},
        {kRunOutputMismatch, "vystup programu nezodpoveda zadaniu"},
        {kRunProgramNotStarted, "program sa nepodarilo spustit"},
        {kRunInputUnavailable, "testovanie zlyhalo (kod 23)"},
        {kRunPatternUnavailable, "testovanie zlyhalo (kod 24)"},
        {kRunPatternBroken, "testovanie zlyhalo (kod 25)"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(TestResultText(code), text) << code;
    }
}

TEST(VerdictSubjectLine, NamesThePrintableTaskOnly) {
    EXPECT_EQ(VerdictSubject("1"), "Odovzdane zadanie cislo 1");
    EXPECT_EQ(VerdictSubject("\xE1"), "Odovzdane zadanie");
    EXPECT_EQ(VerdictSubject(std::string(99, '9')), "Odovzdane zadanie");
}

} // namespace
} // namespace tarvel
