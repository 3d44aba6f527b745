// The assignment commands on a real database: records, directories, questions and mails.

#include "assign/AssignmentFixture.h"
#include "assign/AssignmentMail.h"
#include "assign/Random.h"
#include "mail/MailMessage.h"
#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "support/Paths.h"

#include <filesystem>
#include <thread>

namespace tarvel {
namespace {

using testing::AssignmentTest;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Golden(const std::string& name) {
    return ReadBytes(testing::SourceDir() + "/tests/assign/golden/" + name);
}

// The body after the header lines and their empty line.
std::string BodyOf(const std::string& message) {
    auto end = message.find("\n\n");
    return end == std::string::npos ? std::string() : message.substr(end + 2);
}

TEST(Random, DrawsTheClassicCLibrarySequence) {
    SeedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) {
        EXPECT_EQ(NextRandom(), value);
    }
    SeedRandom(12345);
    EXPECT_EQ(NextRandom(), 7584);
    EXPECT_EQ(NextRandom(), 19164);
}

TEST(Random, EachThreadHasItsOwnStateStartingAtOne) {
    SeedRandom(12345);
    int first = -1;
    std::thread([&first] { first = NextRandom(); }).join();
    EXPECT_EQ(first, 41);
    EXPECT_EQ(NextRandom(), 7584);
}

TEST(VariantIndex, DividesTheRangeIntoEqualStepsKeptBelowTheCount) {
    struct Case {
        int r;
        int count;
        int index;
    };
    const Case cases[] = {
        {0, 1, 0},     {32767, 1, 0},         {0, 3, 0},     {10921, 3, 0},
        {10922, 3, 1}, {21843, 3, 1},         {21844, 3, 2}, {32765, 3, 2},
        {32766, 3, 2}, {32767, 3, 2},         {32767, 2, 1}, {16382, 2, 0},
        {16383, 2, 1}, {32767, 32767, 32766}, {5, 40000, 5}, {32767, 40000, 32767},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VariantIndex(c.r, c.count), c.index) << c.r << " of " << c.count;
    }
}

class AssignmentMailTest : public AssignmentTest {
protected:
    AssignmentMailTest() { student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k"); }

    std::string Body(const std::string& task, const std::string& variant) {
        return AssignmentBody(db, student, task, variant, "zor", "127.0.0.1:2110");
    }
    std::string TextPath(const std::string& task, const std::string& variant) {
        return VariantFilePath(VariantSet{&db, task}, variant, "txt");
    }

    StudentRecord student;
};

TEST_F(AssignmentMailTest, ComposesTheBodyExactly) {
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    WriteBytes(TextPath("1", "A"), "0123456789");
    EXPECT_EQ(Body("1", "A"), Golden("full_text.txt"));
}

TEST_F(AssignmentMailTest, SaysSoWhenTheTextCannotBeRead) {
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    std::filesystem::remove(TextPath("1", "A"));
    EXPECT_EQ(Body("1", "A"), Golden("missing_text.txt"));
    std::filesystem::create_directory(TextPath("1", "A"));
    EXPECT_EQ(Body("1", "A"), Golden("missing_text.txt"));
}

TEST_F(AssignmentMailTest, LeavesOutPointsDeadlineAndTextWithoutATaskRecord) {
    EXPECT_EQ(Body("1", "A"), Golden("no_task_record.txt"));
}

TEST_F(AssignmentMailTest, WritesTheDeadlineAsYearMonthDayWithoutLeadingZeros) {
    AddTaskTypeWithVariants("2", 5, 2001, 3, 5, {"B"});
    EXPECT_NE(Body("2", "B").find("Max pocet bodov:5\nTermin odovzdania:2001/3/5\n\nText zadania:\n"),
              std::string::npos);
}

TEST_F(AssignmentMailTest, InsertsTheTextUpToItsFirstZeroByteAndAtMost65535Bytes) {
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    const std::string signature = DaemonSignature("zor", "127.0.0.1");
    struct Case {
        const char* name;
        std::string file;
        std::string inserted;
    };
    const Case cases[] = {
        {"empty file adds nothing", "", ""},
        {"stops at a zero byte", std::string("abc\0def", 7), "abc"},
        {"CR LF kept", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"8-bit bytes kept", "\x9A\xE1\xE8", "\x9A\xE1\xE8"},
        {"cut after 65535 bytes", std::string(70000, 'x'), std::string(65535, 'x')},
    };
    for (const Case& c : cases) {
        WriteBytes(TextPath("1", "A"), c.file);
        const std::string body = Body("1", "A");
        const std::string expectedEnd = "Text zadania:\n" + c.inserted + signature;
        ASSERT_GE(body.size(), expectedEnd.size()) << c.name;
        EXPECT_EQ(body.substr(body.size() - expectedEnd.size()), expectedEnd) << c.name;
    }
}

TEST_F(AssignmentTest, AssignAllGivesEveryStudentOneVariantOfEachTaskTypeAndMailsIt) {
    const StudentRecord students[] = {AddStudentNamed("11111", "Anna", "Prv\xE1"),
                                      AddStudentNamed("22222", "Boris", "Druh\xFD"),
                                      AddStudentNamed("33333", "Cyril", "Tret\xED")};
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A", "B", "C"});
    AddTaskTypeWithVariants("2", 5, 2001, 3, 5, {"X"});
    AddTaskTypeWithVariants("3", 5, 2001, 3, 5, {});

    // Progress as "done of total" before each student, with the mails sent so far, and once at the end.
    std::vector<std::string> progress;
    context.progress = [&](int done, int total, const StudentRecord* student) {
        progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " +
                           (student != nullptr ? student->unid : "-") + " " + std::to_string(sent.size()));
    };
    prompts.answers.push_back(true);
    AssignAll(context);
    EXPECT_EQ(progress, (std::vector<std::string>{"0/3 11111 0", "1/3 22222 2", "2/3 33333 4", "3/3 - 6"}));

    // The clock seeds the generator with 1: 41, 18467, 6334, 26500, 19169, 15724 in student and task order.
    const char* expectedVariants[3][2] = {{"A", "X"}, {"A", "X"}, {"B", "X"}};
    ASSERT_EQ(sent.size(), 6u);
    std::size_t mail = 0;
    for (std::size_t s = 0; s < 3; ++s) {
        for (std::size_t t = 0; t < 2; ++t, ++mail) {
            const std::string task = t == 0 ? "1" : "2";
            const ResultRecord result = Result(students[s], task);
            EXPECT_EQ(result.mod, expectedVariants[s][t]);
            EXPECT_EQ(result.ver, 0);
            EXPECT_EQ(result.pts, -1);
            EXPECT_EQ(result.whend + result.whenm + result.wheny + result.late, 0);
            EXPECT_TRUE(IsDirectory(db.AbsolutePath(SubmissionDirectory(result))));

            EXPECT_EQ(sent[mail].host, "127.0.0.1:2525");
            EXPECT_EQ(sent[mail].from, "zor@127.0.0.1");
            EXPECT_EQ(sent[mail].to, students[s].email);
            EXPECT_EQ(BodyOf(sent[mail].message),
                      AssignmentBody(db, students[s], task, result.mod, "zor", "127.0.0.1:2110"));
            EXPECT_NE(sent[mail].message.find("Subject: Zadanie cislo " + task + "\n"), std::string::npos);
            EXPECT_NE(sent[mail].message.find("To: " + students[s].email + "\n"), std::string::npos);
            EXPECT_NE(sent[mail].message.find("Content-Type: text/plain; charset=windows-1250\n"),
                      std::string::npos);
        }
        EXPECT_FALSE(HasResult(db, students[s].id, "3"));
    }

    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, "V\x9A"
                                     "etk\xFDm \x9Atudentom bez pridelen\xFD"
                                     "ch zadan\xED sa pridelia zadania.");
    EXPECT_EQ(prompts.asked[0].title, "Pridelenie zadania");
    EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::OkCancel);
    EXPECT_EQ(prompts.asked[0].icon, PromptIcon::Information);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, Cp1250Text("Každý študent má pridelené zadania."));
    EXPECT_EQ(prompts.told[0].title, "Zadania");
    EXPECT_EQ(prompts.told[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Information);
}

TEST_F(AssignmentTest, AssignAllTwiceAssignsNothingTheSecondTime) {
    const StudentRecord student = AddStudentNamed("11111", "Anna", "Prv\xE1");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A", "B", "C"});
    prompts.answers.push_back(true);
    AssignAll(context);
    ASSERT_EQ(sent.size(), 1u);
    const std::string before = ReadBytes(db.AbsolutePath(StudentFile(student.id)));
    context.clock = [] { return std::time_t{999}; };
    prompts.answers.push_back(true);
    AssignAll(context);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(ReadBytes(db.AbsolutePath(StudentFile(student.id))), before);
    EXPECT_EQ(prompts.told.size(), 2u);
}

TEST_F(AssignmentTest, CancelledAssignAllDoesNothing) {
    const StudentRecord student = AddStudentNamed("11111", "Anna", "Prv\xE1");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    prompts.answers = {false};
    AssignAll(context);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(prompts.told.empty());
    EXPECT_FALSE(HasResult(db, student.id, "1"));
}

TEST_F(AssignmentTest, AssignAllWithoutStudentsStillSaysEveryoneHasTasks) {
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    prompts.answers.push_back(true);
    AssignAll(context);
    EXPECT_TRUE(sent.empty());
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].title, "Zadania");
}

TEST_F(AssignmentTest, AssignAllReadsTaskTypesAndStudentsAfresh) {
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    std::vector<std::string> cached;
    db.TaskTypes(cached);
    db.StudentKeys(cached);
    // Written behind the store's back, as another zor process would.
    const StudentRecord student = AddStudentNamed("11111", "Anna", "Prv\xE1");
    AddTaskTypeWithVariants("2", 10, 2000, 12, 31, {"Y"});
    prompts.answers.push_back(true);
    AssignAll(context);
    EXPECT_EQ(Result(student, "1").mod, "A");
    EXPECT_EQ(Result(student, "2").mod, "Y");
}

TEST_F(AssignmentTest, ReassignSkipsSubmittedTasksWithAWarningAndRedrawsTheOthers) {
    const StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A", "B", "C"});
    AddTaskTypeWithVariants("2", 10, 2000, 12, 31, {"A", "B", "C"});
    AddTaskTypeWithVariants("3", 10, 2000, 12, 31, {"Z"});
    prompts.answers.push_back(true);
    AssignAll(context);
    ResultRecord submitted = Result(student, "2");
    submitted.ver = 1;
    ASSERT_TRUE(SaveResult(db, submitted));
    const std::string stored = db.AbsolutePath(SubmissionDirectory(submitted)) + "/main.c";
    WriteBytes(stored, "int main(void) { return 0; }\n");
    const std::string old = db.AbsolutePath(SubmissionDirectory(Result(student, "1"))) + "/old.c";
    WriteBytes(old, "old\n");
    sent.clear();
    prompts.asked.clear();
    prompts.told.clear();
    prompts.answers = {true};

    SeedRandom(20000);
    ReassignStudent(context, "12345");

    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, "\x8Atudent u\x9E m\xF4\x9E"
                                     "e ma\x9D pridelen\xE9 zadania!\nPrideli\x9D nov\xE9?");
    EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompts.asked[0].icon, PromptIcon::Warning);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, "\x8Atudent u\x9E odovzdal zadanie \xE8.2\nNemo\x9E"
                                    "no ho znovuprideli\x9D !!!");
    EXPECT_EQ(prompts.told[0].title, "Pridelenie zadania");
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Warning);

    // Seed 20000 draws 32582 first: task 1 gets C (the first run gave A); task 3 has one variant.
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[0].message.find("zadanie cislo 1 variant C."), std::string::npos);
    EXPECT_NE(sent[1].message.find("zadanie cislo 3 variant Z."), std::string::npos);
    EXPECT_EQ(Result(student, "1").mod, "C");
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_EQ(Result(student, "2").ver, 1);
    EXPECT_TRUE(std::filesystem::exists(stored));
}

TEST_F(AssignmentTest, ReassignAnsweredNoOrForAnUnknownStudentChangesNothing) {
    const StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    prompts.answers = {false, true, true};
    ReassignStudent(context, "12345");
    ReassignStudent(context, "99999");
    ReassignStudent(context, "123");
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(HasResult(db, student.id, "1"));
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(AssignmentTest, AssignVariantKeepsAnExistingAssignment) {
    const StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A", "B"});
    ASSERT_EQ(AssignVariant(context, student, "1", "A"), 1);
    const std::string before = ReadBytes(db.AbsolutePath(StudentFile(student.id)));
    EXPECT_EQ(AssignVariant(context, student, "1", "B"), 1);
    EXPECT_EQ(ReadBytes(db.AbsolutePath(StudentFile(student.id))), before);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(AssignmentTest, AssignVariantTakesOverAnEmptyDirectoryButNotOneWithFiles) {
    const StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    AddTaskTypeWithVariants("2", 10, 2000, 12, 31, {"A"});
    ASSERT_TRUE(MakeOneDirectory(db.AbsolutePath("students/" + student.id + "/1")));
    ASSERT_TRUE(MakeOneDirectory(db.AbsolutePath("students/" + student.id + "/2")));
    WriteBytes(db.AbsolutePath("students/" + student.id + "/2/left.c"), "x");

    EXPECT_EQ(AssignVariant(context, student, "1", "A"), 1);
    EXPECT_EQ(Result(student, "1").mod, "A");
    EXPECT_EQ(AssignVariant(context, student, "2", "A"), 0);
    EXPECT_FALSE(HasResult(db, student.id, "2"));
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(AssignmentTest, AssignVariantFailsWhenTheDirectoryCannotBeCreated) {
    StudentRecord ghost;
    ghost.id = "77";
    ghost.unid = "77777";
    ghost.email = "ghost@tarvel.test";
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    EXPECT_EQ(AssignVariant(context, ghost, "1", "A"), 0);
    EXPECT_TRUE(sent.empty());
}

TEST_F(AssignmentTest, AssignVariantSucceedsWhateverBecomesOfTheMail) {
    const StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    context.send = [](const std::string&, const std::string&, const std::string&, const std::string&,
                      std::string& failure) {
        failure = "certificate not trusted";
        return 0;
    };
    EXPECT_EQ(AssignVariant(context, student, "1", "A"), 1);
    EXPECT_EQ(Result(student, "1").mod, "A");
    EXPECT_EQ(context.unsentMails, 1);
    EXPECT_EQ(context.mailFailure, "certificate not trusted");
}

// Both commands say how many mails the server refused and why the first was, so that the teacher does not
// believe the students were told; every mail that went out leaves the Part's closing notice as it was.
TEST_F(AssignmentTest, MailsTheServerRefusedAreCountedInTheClosingNotice) {
    for (const char* unid : {"12345", "23456", "34567"}) {
        AddStudentNamed(unid, "J\xE1n", "Nov\xE1k");
    }
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    int attempt = 0;
    context.send = [&attempt](const std::string&, const std::string&, const std::string&, const std::string&,
                              std::string& failure) {
        failure = "refusal " + std::to_string(++attempt);
        return attempt == 2 ? 1 : 0;
    };
    const std::string check = Cp1250Text(").\nSkontrolujte konfiguráciu poštového servra.");
    const std::string unsent = Cp1250Text("Počet neodoslaných mailov so zadaním: 2 (refusal 1") + check;
    prompts.answers = {true, true};
    AssignAll(context);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, Cp1250Text("Každý študent má pridelené zadania.\n\n") + unsent);
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Warning);

    attempt = 0;
    ReassignStudent(context, "12345");
    ASSERT_EQ(prompts.told.size(), 2u);
    EXPECT_EQ(prompts.told[1].text, Cp1250Text("Počet neodoslaných mailov so zadaním: 1 (refusal 1") + check);
    EXPECT_EQ(prompts.told[1].title, "Pridelenie zadania");
}

TEST_F(AssignmentTest, AnAddressThatWouldAddHeaderLinesGetsNoMail) {
    StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    student.email = "jan@tarvel.test\nBcc: all@tarvel.test";
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    EXPECT_EQ(AssignVariant(context, student, "1", "A"), 1);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(context.unsentMails, 1);
    EXPECT_EQ(context.mailFailure, "the mail could not be composed");
}

TEST_F(AssignmentTest, DefaultsTheMailSettingsWhenTheConfigurationHasNone) {
    std::filesystem::remove(context.configPath);
    const StudentRecord student = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k");
    AddTaskTypeWithVariants("1", 10, 2000, 12, 31, {"A"});
    ASSERT_EQ(AssignVariant(context, student, "1", "A"), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].host, kDefaultMailHost);
    EXPECT_EQ(sent[0].from, std::string("zor@") + kDefaultMailHost);
}

} // namespace
} // namespace tarvel
