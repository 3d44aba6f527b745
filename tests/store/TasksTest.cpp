#include "store/Tasks.h"
#include "platform/FileOps.h"
#include "store/Students.h"

#include "StoreFixture.h"

namespace tarvel {
namespace {

using TasksTest = testing::StoreTest;

TEST_F(TasksTest, TemplateGivesAnEmptyTaskList) {
    std::vector<std::string> types = {"stale"};
    ASSERT_TRUE(db.TaskTypes(types));
    EXPECT_TRUE(types.empty());
    std::filesystem::remove(dir / "db/tasks.dat");
    db.MarkTaskTypesStale();
    EXPECT_FALSE(db.TaskTypes(types));
    SetFile("tasks.dat", "");
    EXPECT_FALSE(db.TaskTypes(types));
}

TEST_F(TasksTest, TaskTypesByteForByteAndNeverListingVariantSections) {
    SetFile("tasks.dat", "");
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 24, task));
    ASSERT_TRUE(AddTaskType(db, "2", 5, 2027, 1, 9, task));
    EXPECT_EQ(File("tasks.dat"), "[1]\r\npoints=10\r\nToDay=24\r\nToMonth=12\r\nToYear=2026\r\n[_1]\r\n"
                                 "[2]\r\npoints=5\r\nToDay=9\r\nToMonth=1\r\nToYear=2027\r\n[_2]\r\n");
    std::vector<std::string> types;
    ASSERT_TRUE(db.TaskTypes(types));
    EXPECT_EQ(types, (std::vector<std::string>{"1", "2"}));
    ASSERT_TRUE(LoadTaskType(db, "2", task));
    EXPECT_EQ(task.points, 5);
    EXPECT_EQ(task.ToYear, 2027);
    EXPECT_EQ(task.ToMonth, 1);
    EXPECT_EQ(task.ToDay, 9);
    EXPECT_FALSE(LoadTaskType(db, "3", task));
    EXPECT_FALSE(db.lastOk);
}

TEST_F(TasksTest, ReaddingATaskTypeEmptiesItsVariantList) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 24, task));
    const VariantSet set{&db, "1"};
    AddVariant(set, "a");
    ASSERT_TRUE(db.lastOk);
    ASSERT_TRUE(AddTaskType(db, "1", 8, 2026, 12, 31, task));
    std::vector<std::string> variants = {"stale"};
    ASSERT_TRUE(Variants(set, variants));
    EXPECT_TRUE(variants.empty());
    EXPECT_TRUE(std::filesystem::exists(VariantFilePath(set, "a", "txt")));
}

TEST_F(TasksTest, VariantsAndTheirFiles) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 24, task));
    const VariantSet set{&db, "1"};
    for (const char* name : {"1", "10", "1a", "1.5", ";x", "\xC1"}) {
        AddVariant(set, name);
        ASSERT_TRUE(db.lastOk) << name;
    }
    std::vector<std::string> variants;
    ASSERT_TRUE(Variants(set, variants));
    EXPECT_EQ(variants, (std::vector<std::string>{"1", "10", "1a", "1.5", ";x", "\xC1"}));
    EXPECT_EQ(testing::ReadBytes(VariantFilePath(set, "1a", "ACC")), "[accepted]\r\n");

    DeleteVariant(set, "1");
    ASSERT_TRUE(db.lastOk);
    ASSERT_TRUE(Variants(set, variants));
    EXPECT_EQ(variants, (std::vector<std::string>{"10", "1a", "1.5", ";x", "\xC1"}));
    const auto left = ListMatching(dir / "db/tasks", "*");
    EXPECT_EQ(left.size(), 20u);
    for (const char* gone : {"t1m1.txt", "t1m1.in", "t1m1.out", "t1m1.acc"}) {
        EXPECT_EQ(std::count(left.begin(), left.end(), gone), 0) << gone;
    }
    EXPECT_TRUE(std::filesystem::exists(VariantFilePath(set, "1.5", "txt")));
}

TEST_F(TasksTest, UnusableVariantNamesAreRefused) {
    const VariantSet set{&db, "1"};
    for (const char* name : {"", "../x", "a/b", "a=b", "[x"}) {
        AddVariant(set, name);
        EXPECT_FALSE(db.lastOk) << name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "db/tasks"));
}

TEST_F(TasksTest, VariantFilePaths) {
    const VariantSet set{&db, "12"};
    const std::string path = VariantFilePath(set, "3", "IN");
    EXPECT_EQ(path, dir / "db/tasks/t12m3.in");
}

TEST_F(TasksTest, CopyVariantFileInstallsTheTeachersFile) {
    const VariantSet set{&db, "1"};
    AddVariant(set, "a");
    testing::WriteBytes(dir / "input.txt", "1 2 3\r\n");
    CopyVariantFile(set, "a", "IN", dir / "input.txt");
    EXPECT_TRUE(db.lastOk);
    EXPECT_EQ(testing::ReadBytes(VariantFilePath(set, "a", "in")), "1 2 3\r\n");
    CopyVariantFile(set, "a", "out", dir / "missing.txt");
    EXPECT_FALSE(db.lastOk);
}

TEST_F(TasksTest, DeleteTaskType) {
    TaskTypeRecord task;
    ASSERT_TRUE(AddTaskType(db, "1", 1, 2026, 1, 1, task));
    ASSERT_TRUE(AddTaskType(db, "12", 1, 2026, 1, 1, task));
    AddVariant({&db, "1"}, "a");
    AddVariant({&db, "12"}, "a");
    ASSERT_TRUE(DeleteTaskType(db, "1"));
    EXPECT_EQ(ListMatching(dir / "db/tasks", "*").size(), 4u);
    std::vector<std::string> types;
    ASSERT_TRUE(db.TaskTypes(types));
    EXPECT_EQ(types, std::vector<std::string>{"12"});
    EXPECT_TRUE(DeleteTaskType(db, "7"));
}

TEST_F(TasksTest, AcceptedLists) {
    StudentRecord a, b;
    ASSERT_TRUE(AddStudent(db, "10001", "A", "A", "a@x", "1", "1", a));
    ASSERT_TRUE(AddStudent(db, "10002", "B", "B", "b@x", "1", "1", b));
    const VariantSet set{&db, "1"};
    AddVariant(set, "a");
    std::vector<std::string> ids = {"stale"};
    ASSERT_TRUE(AcceptedStudents(set, "a", ids));
    EXPECT_TRUE(ids.empty());
    ASSERT_TRUE(AddAccepted(set, "a", "10002"));
    ASSERT_TRUE(AddAccepted(set, "a", "10001"));
    ASSERT_TRUE(AddAccepted(set, "a", "10002"));
    EXPECT_EQ(testing::ReadBytes(VariantFilePath(set, "a", "acc")), "[accepted]\r\n10002=\r\n10001=\r\n");
    ASSERT_TRUE(AcceptedStudents(set, "a", ids));
    EXPECT_EQ(ids, (std::vector<std::string>{b.id, a.id}));
    // A deleted student no longer counts, but the others still do.
    ASSERT_TRUE(DeleteStudent(db, "10002"));
    ASSERT_TRUE(AcceptedStudents(set, "a", ids));
    EXPECT_EQ(ids, std::vector<std::string>{a.id});
}

} // namespace
} // namespace tarvel
