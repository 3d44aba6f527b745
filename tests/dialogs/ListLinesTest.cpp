#include "dialogs/ListLines.h"
#include "dialogs/OpeningChecks.h"

#include "store/StoreFixture.h"
#include "support/ScriptedPrompts.h"

#include "platform/Cp1250.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel::testing {
namespace {

TEST(ListLines, TeacherLineReadsBackAsItsTeacher) {
    const struct {
        std::string line;
        std::string teacher;
    } cases[] = {
        {" 7 Novák Ján", "7"}, {"12 Kráľová Mária", "12"},
        {"007 x", "7"},        {"   3", "3"},
        {"x7", "0"},           {"", "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TeacherOfLine(c.line), c.teacher) << "'" << c.line << "'";
    }
    TeacherRecord teacher;
    teacher.id = "7";
    teacher.surname = "Nov\xE1k";
    teacher.name = "J\xE1n";
    EXPECT_EQ(TeacherLine(teacher), " 7 Nov\xE1k J\xE1n");
    teacher.id = "123";
    EXPECT_EQ(TeacherLine(teacher), "123 Nov\xE1k J\xE1n");
}

TEST(ListLines, StudentLineHoldsTheUniIdInFivePlaces) {
    StudentRecord student;
    student.surname = "Kov\xE1\xE8";
    student.name = "Peter";
    student.unid = "123";
    EXPECT_EQ(StudentLine(student), "  123 - Kov\xE1\xE8 Peter");
    student.unid = "10231";
    EXPECT_EQ(StudentLine(student), "10231 - Kov\xE1\xE8 Peter");
}

TEST(ListLines, EntriesSortByBytesAndKeepEqualTextsInOrder) {
    std::vector<ListEntry> entries = {
        {"12 b", "12"}, {" 7 a", "7"}, {"\x8A x", "s"}, {"Z", "z1"}, {"Z", "z2"}};
    SortEntries(entries);
    std::vector<std::string> keys;
    for (const ListEntry& entry : entries) {
        keys.push_back(entry.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"7", "12", "z1", "z2", "s"}));
    EXPECT_EQ(FindKey(entries, "12"), 1);
    EXPECT_EQ(FindKey(entries, "1"), -1);
}

class OpeningChecksTest : public StoreTest {
protected:
    void AddOneOfEach() {
        TeacherRecord teacher;
        ASSERT_TRUE(AddTeacher(db, "J\xE1n", "Nov\xE1k", "", "", "tabla", teacher));
        StudentRecord student;
        ASSERT_TRUE(AddStudent(db, "10231", "Peter", "Kov\xE1\xE8", "p@x", teacher.id, "1", student));
        TaskTypeRecord task;
        ASSERT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 24, task));
    }
    ScriptedPrompts prompts;
};

TEST_F(OpeningChecksTest, EmptyListsKeepTheirDialogsClosed) {
    const struct {
        CommandId command;
        const char* warning; // "" when the dialog opens
    } cases[] = {
        {CommandId::AddStudent, "Databáza učiteľov je ešte prázdna.\n Pridajte učiteľa."},
        {CommandId::EditStudent, "Databáza študentov je prázdna, bezvýznamná operácia !!!"},
        {CommandId::AddTeacher, ""},
        {CommandId::EditTeacher, "Databáza učiteľov je prázdna, bezvýznamná operácia !!!"},
        {CommandId::AddTaskType, ""},
        {CommandId::EditTaskType, "Databáza zadaní je prázdna, bezvýznamná operácia !!!"},
        {CommandId::AddVariant, "Databáza zadaní je prázdna, bezvýznamná operácia !!!"},
        {CommandId::EditVariant, "Databáza zadaní je prázdna, bezvýznamná operácia !!!"},
    };
    for (const auto& c : cases) {
        prompts.told.clear();
        const bool opens = *c.warning == '\0';
        EXPECT_EQ(ReadyToOpen(c.command, db, prompts), opens) << c.warning;
        ASSERT_EQ(prompts.told.size(), opens ? 0u : 1u) << c.warning;
        if (!opens) {
            EXPECT_EQ(prompts.told[0].text, Cp1250Text(c.warning));
            EXPECT_EQ(prompts.told[0].title, Cp1250Text("Prázdna databáza"));
            EXPECT_EQ(prompts.told[0].icon, PromptIcon::Warning);
        }
    }
    ASSERT_NO_FATAL_FAILURE(AddOneOfEach());
    for (const auto& c : cases) {
        EXPECT_TRUE(ReadyToOpen(c.command, db, prompts)) << c.warning;
    }
}

TEST_F(OpeningChecksTest, UnreadableListsAreToldAsStoreErrors) {
    ASSERT_NO_FATAL_FAILURE(AddOneOfEach());
    // A record file that is a directory cannot be read.
    const struct {
        const char* file;
        CommandId command;
        const char* error;
    } cases[] = {
        {"teachers.dat", CommandId::AddStudent, "Nie je možné načítať databázu učiteľov !!!"},
        {"teachers.dat", CommandId::EditTeacher, "Nie je možné načítať databázu učiteľov !!!"},
        {"students.dat", CommandId::EditStudent, "Nie je možné načítať databázu študentov !!!"},
        {"tasks.dat", CommandId::EditTaskType, "Nie je možné načítať databázu zadaní !!!"},
        {"tasks.dat", CommandId::AddVariant, "Nie je možné načítať databázu zadaní!!!"},
    };
    for (const auto& c : cases) {
        const std::string file = dir / ("db/" + std::string(c.file));
        const std::string kept = ReadBytes(file);
        std::filesystem::remove(file);
        std::filesystem::create_directory(file);
        db.MarkTeachersStale();
        db.MarkStudentsStale();
        db.MarkTaskTypesStale();
        prompts.told.clear();
        EXPECT_FALSE(ReadyToOpen(c.command, db, prompts)) << c.error;
        ASSERT_EQ(prompts.told.size(), 1u) << c.error;
        EXPECT_EQ(prompts.told[0].text, Cp1250Text(c.error));
        EXPECT_EQ(prompts.told[0].title, Cp1250Text("Chyba databázy"));
        EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
        std::filesystem::remove(file);
        WriteBytes(file, kept);
    }
}

} // namespace
} // namespace tarvel::testing
