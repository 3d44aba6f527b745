#pragma once
// The class of the results report's and the export's tests, made with the store's own operations.
// Teacher "Ján & Eva" Novák. Task types added as 2 (20 points), then 1 (10). Baláž (10256, group 1) submitted
// task 1 twice, 3 days late, marked 7, and holds task 2 without a submission; Kováč (10231, group 2) has both
// evaluated with 0 points, task 2 in the variant "x<y&z"; "<Ann>" "Smith & Co" (10300, group 1) has nothing
// assigned; 99999 was listed but is no longer in the database.

#include "evaluation/ResultsTable.h"

#include "store/StoreFixture.h"
#include "support/ScriptedPrompts.h"

#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include <gtest/gtest.h>

namespace tarvel::testing {

struct StoredResult {
    std::string variant;
    int ver = 0;
    int late = 0;
    int pts = -1;
};

class ReportTest : public StoreTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(AddTeacher(db, "J\xE1n & Eva", "Nov\xE1k", "", "", "tabla", teacher));
        ASSERT_TRUE(AddStudent(db, "10256", "Martin", "Bal\xE1\x9E", "m@x", teacher.id, "1", balaz));
        ASSERT_TRUE(AddStudent(db, "10231", "Peter", "Kov\xE1\xE8", "p@x", teacher.id, "2", kovac));
        ASSERT_TRUE(AddStudent(db, "10300", "<Ann>", "Smith & Co", "a@x", teacher.id, "1", ann));
        TaskTypeRecord taskType;
        ASSERT_TRUE(AddTaskType(db, "2", 20, 2026, 12, 31, taskType));
        ASSERT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 31, taskType));
        Store(balaz, "1", {"a", 2, 3, 7});
        Store(balaz, "2", {"b"});
        Store(kovac, "1", {"a", 1, 0, 0});
        Store(kovac, "2", {"x<y&z", 1, 1, 0});
    }

    void Store(const StudentRecord& student, const std::string& task, const StoredResult& stored) {
        ResultRecord result;
        ASSERT_TRUE(CreateResult(db, task, student.id, stored.variant, result));
        result.ver = stored.ver;
        result.late = stored.late;
        result.pts = stored.pts;
        ASSERT_TRUE(SaveResult(db, result));
    }

    // All students in the dialog's order, task types 1 and 2.
    ReportListing Listing() const {
        return {{"10256", "10300", "10231", "99999"}, {"1", "2"}, teacher, true};
    }

    TeacherRecord teacher;
    StudentRecord balaz;
    StudentRecord kovac;
    StudentRecord ann;
    ScriptedPrompts prompts;
};

} // namespace tarvel::testing
