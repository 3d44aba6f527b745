#pragma once
// A database with students and task types, a configuration naming the mail servers, and recorders for the
// questions asked and the mails sent by the assignment commands.

#include "assign/Assignment.h"
#include "shell/Config.h"
#include "shell/Settings.h"
#include "store/Results.h"
#include "store/StoreFixture.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvel::testing {

struct SentMail {
    std::string host;
    std::string from;
    std::string to;
    std::string message;
};

class AssignmentTest : public StoreTest {
protected:
    AssignmentTest() : context{db, dir / "zor.ini", prompts} {
        WriteConfig(context.configPath, "mails", "pop3", "127.0.0.1:2110");
        WriteConfig(context.configPath, "mails", "smtp", "127.0.0.1:2525");
        WriteConfig(context.configPath, "mails", "user", "zor");
        context.clock = [] { return std::time_t{1}; };
        context.send = [this](const std::string& host, const std::string& from, const std::string& to,
                              const std::string& message, std::string&) {
            sent.push_back({host, from, to, message});
            return 1;
        };
    }

    StudentRecord AddStudentNamed(const std::string& unid, const std::string& name,
                                  const std::string& surname) {
        StudentRecord student;
        EXPECT_TRUE(AddStudent(db, unid, name, surname, unid + "@tarvel.test", "1", "A1", student));
        return student;
    }

    void AddTaskTypeWithVariants(const std::string& task, int points, int year, int month, int day,
                                 const std::vector<std::string>& variants) {
        TaskTypeRecord record;
        ASSERT_TRUE(AddTaskType(db, task, points, year, month, day, record));
        for (const std::string& variant : variants) {
            AddVariant(VariantSet{&db, task}, variant);
            ASSERT_TRUE(db.lastOk);
            WriteBytes(VariantFilePath(VariantSet{&db, task}, variant, "txt"),
                       "Zadanie " + task + variant + "\n");
        }
    }

    ResultRecord Result(const StudentRecord& student, const std::string& task) {
        ResultRecord result;
        EXPECT_TRUE(LoadResult(db, task, student.id, result)) << student.unid << " task " << task;
        return result;
    }

    ScriptedPrompts prompts;
    AssignmentContext context;
    std::vector<SentMail> sent;
};

} // namespace tarvel::testing
