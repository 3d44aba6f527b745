#include "platform/Profile.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Teachers.h"

#include "StoreFixture.h"

namespace tarvel {
namespace {

using PeopleTest = testing::StoreTest;

TEST_F(PeopleTest, FirstTeacherFromACounterAtZero) {
    SetFile("teachers.dat", "[id]\r\nid=0\r\n");
    std::vector<std::string> ids = {"stale"};
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_TRUE(ids.empty());
    TeacherRecord teacher;
    ASSERT_TRUE(AddTeacher(db, "Ján", "Novák", "novak@uni.sk", "B12", "heslo", teacher));
    EXPECT_TRUE(db.lastOk);
    EXPECT_EQ(teacher.id, "0");
    EXPECT_EQ(File("teachers.dat"),
              "[id]\r\nid=1\r\n[0]\r\nname=Ján\r\nsurname=Novák\r\nemail=novak@uni.sk\r\n"
              "room=B12\r\npwd=" +
                  EncodeByteBlock(teacher.pwd) + "\r\n");
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_EQ(ids, std::vector<std::string>{"0"});
}

TEST_F(PeopleTest, PasswordVerifiers) {
    TeacherRecord first;
    TeacherRecord second;
    ASSERT_TRUE(AddTeacher(db, "A", "Prvý", "a@x", "1", "same", first));
    ASSERT_TRUE(AddTeacher(db, "B", "Druhý", "b@x", "2", "same", second));
    EXPECT_NE(first.pwd, second.pwd);

    TeacherRecord loaded;
    ASSERT_TRUE(LoadTeacher(db, first.id, loaded));
    EXPECT_TRUE(CheckPassword(loaded, "same"));
    EXPECT_FALSE(CheckPassword(loaded, "SAME"));
    EXPECT_FALSE(CheckPassword(loaded, ""));
    loaded.id = second.id;
    EXPECT_FALSE(CheckPassword(loaded, "same"));

    SetPassword(loaded, "");
    ASSERT_TRUE(SaveTeacher(db, loaded));
    ASSERT_TRUE(LoadTeacher(db, second.id, loaded));
    EXPECT_TRUE(CheckPassword(loaded, ""));
}

TEST_F(PeopleTest, HandEditedVerifierFailsTheLoad) {
    TeacherRecord teacher;
    ASSERT_TRUE(AddTeacher(db, "A", "B", "c", "d", "pw", teacher));
    ASSERT_TRUE(TeacherSection(db, teacher.id).WriteString("pwd", "000000000000"));
    EXPECT_TRUE(LoadTeacher(db, teacher.id, teacher));
    ASSERT_TRUE(TeacherSection(db, teacher.id).WriteString("pwd", "000000000001"));
    EXPECT_FALSE(LoadTeacher(db, teacher.id, teacher));
    EXPECT_FALSE(db.lastOk);
}

TEST_F(PeopleTest, TeacherListingIsCachedUntilStale) {
    TeacherRecord teacher;
    ASSERT_TRUE(AddTeacher(db, "A", "B", "c", "d", "pw", teacher));
    std::vector<std::string> ids;
    ASSERT_TRUE(db.TeacherIds(ids));
    SetFile("teachers.dat", File("teachers.dat") + "[9]\r\nname=x\r\n");
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_EQ(ids, std::vector<std::string>{"1"});
    db.MarkTeachersStale();
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "9"}));
    ASSERT_TRUE(DeleteTeacher(db, "1"));
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_EQ(ids, std::vector<std::string>{"9"});
    std::filesystem::remove(dir / "db/teachers.dat");
    db.MarkTeachersStale();
    EXPECT_FALSE(db.TeacherIds(ids));
}

TEST_F(PeopleTest, StaleListingsSeeEveryChangeOfTheirFile) {
    SetFile("students.dat", "[id]\r\nid=9\r\n[s]\r\n10001=1\r\n");
    std::vector<std::string> keys;
    ASSERT_TRUE(db.StudentKeys(keys));
    // Edited in place by another program, to the same size.
    SetFile("students.dat", "[id]\r\nid=9\r\n[s]\r\n10002=1\r\n");
    db.MarkStudentsStale();
    ASSERT_TRUE(db.StudentKeys(keys));
    EXPECT_EQ(keys, std::vector<std::string>{"10002"});
    std::string studentId;
    EXPECT_FALSE(StudentIdOf(db, "10001", studentId));
    std::filesystem::remove(dir / "db/students.dat");
    db.MarkStudentsStale();
    EXPECT_FALSE(db.StudentKeys(keys));
}

TEST_F(PeopleTest, StudentFilesByteForByte) {
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "12345", "Eva", "Kováčová", "eva@uni.sk", "1", "5", student));
    EXPECT_EQ(student.id, "1");
    EXPECT_EQ(File("students.dat"), "[id]\r\nid=2\r\n[s]\r\n12345=1\r\n");
    const std::string personal = "[1]\r\nunid=12345\r\nname=Eva\r\nsurname=Kováčová\r\n"
                                 "email=eva@uni.sk\r\nteacher=1\r\ngroup=5\r\n";
    EXPECT_EQ(File("students/1/student.dat"), personal);
    ResultRecord result;
    ASSERT_TRUE(CreateResult(db, "2", "1", "b", result));
    ASSERT_TRUE(SaveResult(db, result));
    EXPECT_EQ(File("students/1/student.dat"),
              personal + "[Z2]\r\nmod=b\r\nver=0\r\npts=-1\r\nwhend=0\r\nwhenm=0\r\nwheny=0\r\nlate=0\r\n");
}

TEST_F(PeopleTest, StudentKeysFailWithoutStudents) {
    std::vector<std::string> keys;
    EXPECT_FALSE(db.StudentKeys(keys));
    EXPECT_FALSE(db.lastOk);
}

TEST_F(PeopleTest, SameUniIdTwiceLeavesOneEntryForTheSecond) {
    StudentRecord first;
    StudentRecord second;
    ASSERT_TRUE(AddStudent(db, "11111", "A", "A", "a@x", "1", "1", first));
    ASSERT_TRUE(AddStudent(db, "11111", "B", "B", "b@x", "1", "1", second));
    std::vector<std::string> keys;
    ASSERT_TRUE(db.StudentKeys(keys));
    EXPECT_EQ(keys, std::vector<std::string>{"11111"});
    std::string sid;
    ASSERT_TRUE(StudentIdOf(db, "11111", sid));
    EXPECT_EQ(sid, second.id);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "db/students/" + first.id));
}

TEST_F(PeopleTest, SavingMovesTheStudentToTheEndAndRenamesTheIndexKey) {
    StudentRecord a, b, c;
    ASSERT_TRUE(AddStudent(db, "10001", "A", "A", "a@x", "1", "1", a));
    ASSERT_TRUE(AddStudent(db, "10002", "B", "B", "b@x", "1", "1", b));
    ASSERT_TRUE(AddStudent(db, "10003", "C", "C", "c@x", "1", "1", c));
    ASSERT_TRUE(SaveStudent(db, a));
    std::vector<std::string> keys;
    ASSERT_TRUE(db.StudentKeys(keys));
    EXPECT_EQ(keys, (std::vector<std::string>{"10002", "10003", "10001"}));
    b.unid = "20002";
    ASSERT_TRUE(SaveStudent(db, b));
    ASSERT_TRUE(db.StudentKeys(keys));
    EXPECT_EQ(keys, (std::vector<std::string>{"10003", "10001", "20002"}));
    StudentRecord loaded;
    ASSERT_TRUE(LoadStudentByUniId(db, "20002", loaded));
    EXPECT_EQ(loaded.id, b.id);
    EXPECT_EQ(loaded.listedAs, "20002");
    EXPECT_FALSE(LoadStudentByUniId(db, "10002", loaded));
}

TEST_F(PeopleTest, StudentIdChecksAreExact) {
    SetFile("students.dat", "[id]\r\nid=9\r\n[s]\r\n12345=07\r\n");
    EXPECT_FALSE(CheckStudentId(db, "12345", "7"));
    EXPECT_TRUE(CheckStudentId(db, "12345", "07"));
    EXPECT_FALSE(CheckStudentId(db, "54321", ""));
}

TEST_F(PeopleTest, StudentIdsNeverLeaveTheStudentsDirectory) {
    SetFile("students.dat", "[id]\r\nid=9\r\n[s]\r\n12345=../..\r\n");
    StudentRecord student;
    EXPECT_FALSE(LoadStudentByUniId(db, "12345", student));
    EXPECT_FALSE(LoadStudent(db, "..", student));
    EXPECT_FALSE(DeleteStudent(db, "12345"));
    EXPECT_TRUE(std::filesystem::exists(dir / "db/students.dat"));
}

TEST_F(PeopleTest, DeleteStudentRemovesDirectoryAndIndexEntry) {
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "12345", "A", "A", "a@x", "1", "1", student));
    ResultRecord result;
    ASSERT_TRUE(CreateResult(db, "1", student.id, "a", result));
    EXPECT_FALSE(DeleteStudent(db, "99999"));
    ASSERT_TRUE(DeleteStudent(db, "12345"));
    EXPECT_FALSE(std::filesystem::exists(dir / "db/students/1"));
    EXPECT_EQ(File("students.dat"), "[id]\r\nid=2\r\n[s]\r\n");
}

TEST_F(PeopleTest, StudentsOfTeacher) {
    StudentRecord s;
    ASSERT_TRUE(AddStudent(db, "10001", "A", "A", "a@x", "1", "1", s));
    ASSERT_TRUE(AddStudent(db, "10002", "B", "B", "b@x", "2", "1", s));
    ASSERT_TRUE(AddStudent(db, "10003", "C", "C", "c@x", "1", "1", s));
    std::vector<std::string> unids;
    ASSERT_TRUE(StudentsOfTeacher(db, "1", unids));
    EXPECT_EQ(unids, (std::vector<std::string>{"10001", "10003"}));
    ASSERT_TRUE(StudentsOfTeacher(db, "3", unids));
    EXPECT_TRUE(unids.empty());
    std::filesystem::remove(dir / "db/students/2/student.dat");
    EXPECT_FALSE(StudentsOfTeacher(db, "1", unids));
}

TEST_F(PeopleTest, ResultLifecycle) {
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "12345", "A", "A", "a@x", "1", "1", student));
    ResultRecord result;
    EXPECT_FALSE(LoadResult(db, "1", student.id, result));
    EXPECT_FALSE(HasResult(db, student.id, "1"));

    ASSERT_TRUE(CreateResult(db, "1", student.id, "a", result));
    EXPECT_FALSE(CreateResult(db, "1", student.id, "a", result));
    ASSERT_TRUE(CreateResult(db, "2", student.id, "x", result));
    ASSERT_TRUE(SaveResult(db, result));
    ASSERT_TRUE(LoadResult(db, "2", student.id, result));
    EXPECT_EQ(result.mod, "x");
    EXPECT_EQ(result.ver, 0);
    EXPECT_EQ(result.pts, -1);
    EXPECT_EQ(result.vlDlzka, 0);
    EXPECT_TRUE(HasResult(db, student.id, "2"));

    ASSERT_TRUE(ResultSection(db, result).WriteInt("vlDlzka", 1234));
    ASSERT_TRUE(SavePoints(db, student.id, "2", "7"));
    ASSERT_TRUE(LoadResult(db, "2", student.id, result));
    EXPECT_EQ(result.vlDlzka, 1234);
    EXPECT_EQ(result.pts, 7);

    ASSERT_TRUE(RemoveResult(db, student.id, "2"));
    EXPECT_FALSE(HasResult(db, student.id, "2"));
    EXPECT_FALSE(std::filesystem::exists(dir / "db/" + SubmissionDirectory(result)));
    ASSERT_TRUE(ResultSection(db, result).Clear());
    EXPECT_FALSE(HasResult(db, student.id, "2"));
}

TEST_F(PeopleTest, MissingStudentCounterAddsNothing) {
    SetFile("students.dat", "");
    StudentRecord student;
    EXPECT_FALSE(AddStudent(db, "12345", "A", "A", "a@x", "1", "1", student));
    EXPECT_EQ(student.id, "error");
    EXPECT_EQ(File("students.dat"), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "db/students"));
}

} // namespace
} // namespace tarvel
