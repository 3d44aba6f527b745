// The demo database as the installer makes it, read back through the store: what every later dialog shows.

#include "analysis/Similarity.h"
#include "shell/Settings.h"
#include "store/Teachers.h"

#include "support/Installation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarvel::testing {
namespace {

class DemoTest : public ::testing::Test, public Installation {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(CreateInstallation());
        std::filesystem::copy(SourceDir() + "/install/empty.db", Zor("empty.db"),
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(Zor("empty.db/students"));
        std::filesystem::create_directories(Zor("empty.db/tasks"));
    }

    int RunDemo() {
        const std::string command = ProgramPath("zordemo") + " " + ConfigPath() + " " + SourceDir() +
                                    "/install/demo >" + (dir / "demo.out") + " 2>&1";
        return std::system(command.c_str());
    }

    std::string TestCode(const std::string& studentId, const std::string& task) {
        std::string code = "none";
        ResultSection(db, studentId, task).ReadString("test", code);
        return code;
    }
};

TEST_F(DemoTest, HoldsAClassWithTestedSubmissionsOfEveryKind) {
    ASSERT_EQ(RunDemo(), 0) << ReadBytes(dir / "demo.out");
    EXPECT_EQ(DatabasePathSetting(ConfigPath()), Zor("db/demo"));
    db.UsePath(Zor("db/demo"));

    std::vector<std::string> teachers;
    ASSERT_TRUE(db.TeacherIds(teachers));
    ASSERT_EQ(teachers.size(), 2u);
    TeacherRecord novak;
    ASSERT_TRUE(LoadTeacher(db, teachers[0], novak));
    EXPECT_EQ(novak.surname, "Nov\xE1k");
    EXPECT_TRUE(CheckPassword(novak, "tabla"));

    std::vector<std::string> students;
    ASSERT_TRUE(db.StudentKeys(students));
    ASSERT_EQ(students.size(), 12u);
    // Test codes of the submissions by task, and who hands in a near copy of whom.
    std::map<std::string, std::multiset<std::string>> codes;
    std::vector<std::string> flagged; // "<sid> mod <variant>: <similar sids>"
    int late = 0;
    for (const std::string& unid : students) {
        StudentRecord student;
        ASSERT_TRUE(LoadStudentByUniId(db, unid, student)) << unid;
        for (const std::string task : {"1", "2"}) {
            ResultRecord result;
            ASSERT_TRUE(LoadResult(db, task, student.id, result)) << unid << " has no variant of " << task;
            if (result.ver == 0) {
                EXPECT_EQ(TestCode(student.id, task), "none") << unid;
                continue;
            }
            EXPECT_EQ(result.ver, 1) << unid << " task " << task;
            codes[task].insert(TestCode(student.id, task));
            late += result.late > 0 ? 1 : 0;
            const std::vector<std::string> similar = SimilarStudents(db, result);
            if (task == "1" && !similar.empty()) {
                std::string line = student.id + " mod " + result.mod + ":";
                for (const std::string& other : similar) {
                    line += " " + other;
                }
                flagged.push_back(line);
            }
        }
    }
    EXPECT_EQ(codes["1"], (std::multiset<std::string>{"0", "0", "0", "0", "11", "21"}));
    EXPECT_EQ(codes["2"], (std::multiset<std::string>{"0", "0", "0"}));
    EXPECT_EQ(late, 1);
    // The copy and its original, each flagged beside the other, and no one else.
    ASSERT_EQ(flagged.size(), 2u) << ::testing::PrintToString(flagged);
    // Every student's assignment mail and every verdict or refusal is kept for reading.
    int mails = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Zor("demo-outbox"))) {
        ++mails;
    }
    EXPECT_EQ(mails, 12 * 2 + 10);
}

TEST_F(DemoTest, ASecondRunLeavesTheFirstDemoAsItIs) {
    ASSERT_EQ(RunDemo(), 0) << ReadBytes(dir / "demo.out");
    const std::string students = ReadBytes(Zor("db/demo/students.dat"));
    EXPECT_NE(RunDemo(), 0);
    EXPECT_EQ(ReadBytes(Zor("db/demo/students.dat")), students);
}

} // namespace
} // namespace tarvel::testing
