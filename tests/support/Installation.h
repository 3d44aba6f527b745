#pragma once
// A real installation in a temporary directory, laid out as scripts/install lays it out: a database made from
// the template, bin/ with the rendering script and the built renderer, the compiler directory, the scratch
// directory and a zor.ini naming them. Helpers add students, a task whose variant "a" sums two numbers, and
// assignments.

#include "shell/Config.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"

#include "support/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarvel::testing {

// The students' program for the sum task.
inline constexpr std::string_view kSumProgram = "#include <stdio.h>\n"
                                                "\n"
                                                "int main(void)\n"
                                                "{\n"
                                                "    int a, b;\n"
                                                "    if (scanf(\"%d %d\", &a, &b) != 2)\n"
                                                "        return 1;\n"
                                                "    printf(\"sum %d\\n\", a + b);\n"
                                                "    return 0;\n"
                                                "}\n";

class Installation {
public:
    // Lays the installation out; call it from SetUp, inside ASSERT_NO_FATAL_FAILURE.
    void CreateInstallation() {
        namespace fs = std::filesystem;
        fs::create_directories(Zor("db"));
        fs::copy(SourceDir() + "/install/empty.db", Zor("db/default"), fs::copy_options::recursive);
        fs::create_directories(Zor("db/default/students"));
        fs::create_directories(Zor("db/default/tasks"));
        fs::create_directories(Zor("bin"));
        fs::copy(SourceDir() + "/install/bin/vexil.sh", Zor("bin/vexil.sh"));
        fs::copy(ProgramPath("vexil"), Zor("bin/vexil"));
        fs::copy(ProgramPath("zorbox"), Zor("bin/zorbox"));
        fs::copy(SourceDir() + "/install/bcc", Zor("bcc"), fs::copy_options::recursive);
        fs::create_directories(Zor("tmp"));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "zorpath", ZorPath()));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "dbpath", Zor("db/default")));
        ASSERT_TRUE(WriteConfig(ConfigPath(), "dbase", "bccpath", Zor("bcc/")));
        db.UsePath(Zor("db/default"));
    }

    std::string ZorPath() const { return dir / "zor"; }
    std::string Zor(const std::string& relative) const { return dir / ("zor/" + relative); }
    std::string Db(const std::string& relative) const { return Zor("db/default/" + relative); }
    std::string ConfigPath() const { return dir / "zor.ini"; }

    StudentRecord AddStudentNamed(const std::string& unid, const std::string& name,
                                  const std::string& surname, const std::string& email) {
        StudentRecord student;
        EXPECT_TRUE(AddStudent(db, unid, name, surname, email, "1", "A1", student));
        return student;
    }

    // A task with variant "a": sum the two numbers of "2 3".
    void AddSumTask(const std::string& task, int year, int month, int day) {
        TaskTypeRecord record;
        ASSERT_TRUE(AddTaskType(db, task, 10, year, month, day, record));
        const VariantSet set{&db, task};
        AddVariant(set, "a");
        WriteBytes(VariantFilePath(set, "a", "txt"), "Spocitaj dve cisla.\r\n");
        WriteBytes(VariantFilePath(set, "a", "in"), "2 3\r\n");
        WriteBytes(VariantFilePath(set, "a", "out"), "%Csum %f5\r\n");
    }

    void Assign(const StudentRecord& student, const std::string& task, const std::string& variant) {
        ResultRecord result;
        ASSERT_TRUE(CreateResult(db, task, student.id, variant, result));
        ASSERT_TRUE(SaveResult(db, result));
    }

    TempDir dir;
    Database db{dir / "zor.ini"};
};

} // namespace tarvel::testing
