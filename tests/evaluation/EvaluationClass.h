#pragma once
// A class to mark: two teachers with students, a teacher without any, two task types, and submissions with
// their style figures, test codes and one pair flagged as very similar.

#include "store/StoreFixture.h"
#include "support/ScriptedPrompts.h"

#include "analysis/Similarity.h"
#include "platform/ChildProcess.h"
#include "runner/RunResult.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include <gtest/gtest.h>

namespace tarvel::testing {

struct StoredResult {
    std::string variant;
    int ver = 1;
    int pts = -1;
    int lines = 100; // vlPocetRiadkov
};

// Teacher Novák has Baláž (10256, group 1) and Kováč (231, group 2); Kráľová has Varga; Horák has nobody.
// Task types 1 (10 points) and 2 (20). Baláž and Kováč submitted variant "a" of task 1, Kováč's marked 4
// and failing its test, and their work is flagged as very similar; Baláž holds task 2 without a
// submission.
class EvaluationClass : public StoreTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(AddTeacher(db, "J\xE1n", "Nov\xE1k", "", "", "tabla", novak));
        ASSERT_TRUE(AddTeacher(db, "M\xE1ria", "Kr\xE1\xBEov\xE1", "", "", "krida", kralova));
        ASSERT_TRUE(AddTeacher(db, "Peter", "Hor\xE1k", "", "", "x", horak));
        ASSERT_TRUE(AddStudent(db, "10256", "Martin", "Bal\xE1\x9E", "m@x", novak.id, "1", balaz));
        ASSERT_TRUE(AddStudent(db, "231", "Peter", "Kov\xE1\xE8", "p@x", novak.id, "2", kovac));
        ASSERT_TRUE(AddStudent(db, "10278", "Tom\xE1\x9A", "Varga", "t@x", kralova.id, "1", varga));
        TaskTypeRecord taskType;
        ASSERT_TRUE(AddTaskType(db, "2", 20, 2026, 12, 31, taskType));
        ASSERT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 31, taskType));
        Store(balaz, "1", {"a"});
        Store(kovac, "1", {"a", 2, 4});
        Store(balaz, "2", {"b", 0});
        ResultSection(db, kovac.id, "1").WriteInt(kTestResultKey, kRunOutputMismatch);
        ResultSection(db, balaz.id, "1").WriteInt(kTestResultKey, kRunPassed);
        ResultSection(db, balaz.id, "1").WriteInt(SimilarityKey(kovac.id), 95);
        ResultSection(db, kovac.id, "1").WriteInt(SimilarityKey(balaz.id), 95);
    }

    void Store(const StudentRecord& student, const std::string& task, const StoredResult& stored) {
        ResultRecord result;
        ASSERT_TRUE(CreateResult(db, task, student.id, stored.variant, result));
        result.ver = stored.ver;
        result.pts = stored.pts;
        ASSERT_TRUE(SaveResult(db, result));
        result.vlPocetPoruseniZarovnania = 3;
        result.vlViacPrikazovNaRiadok = 2;
        result.vlPocetRiadkov = stored.lines;
        result.vlMaxDlzkaFunkcie = 12;
        result.vlPriemernaDlzkaFunkcie = 7;
        result.vlGoto = 1;
        ASSERT_TRUE(SaveStyleFigures(db, result));
        if (stored.ver > 0) {
            ASSERT_TRUE(AddAccepted(VariantSet{&db, task}, stored.variant, student.unid));
        }
    }

    int StoredPoints(const StudentRecord& student, const std::string& task) {
        ResultRecord result;
        EXPECT_TRUE(LoadResult(db, task, student.id, result));
        return result.pts;
    }

    TeacherRecord novak, kralova, horak;
    StudentRecord balaz, kovac, varga;
    ScriptedPrompts prompts;
    std::vector<std::vector<std::string>> started; // the browser's command lines
    DetachedLauncher launcher = [this](const std::vector<std::string>& arguments) {
        started.push_back(arguments);
        return true;
    };
};

} // namespace tarvel::testing
