#include "dialogs/TeacherEditing.h"

#include "store/StoreFixture.h"
#include "support/ScriptedPrompts.h"

#include "platform/Cp1250.h"
#include "store/Students.h"
#include "store/Teachers.h"

#include <gtest/gtest.h>

namespace tarvel::testing {
namespace {

class TeacherEditingTest : public StoreTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(AddTeacher(db, "J\xE1n", "Nov\xE1k", "jan@x", "B-215", "Tabla", novak));
        ASSERT_TRUE(AddTeacher(db, "M\xE1ria", "Kr\xE1\xBEov\xE1", "maria@x", "B-217", "krida", kralova));
        editing.Open();
        ASSERT_EQ(editing.Teachers().size(), 2u);
        ASSERT_EQ(editing.Teachers()[0].key, novak.id);
    }
    TeacherRecord Stored(const TeacherRecord& teacher) {
        TeacherRecord stored;
        EXPECT_TRUE(LoadTeacher(db, teacher.id, stored));
        return stored;
    }
    void ExpectTold(const char* text, const char* title, PromptIcon icon) {
        ASSERT_EQ(prompts.told.size(), 1u) << text;
        EXPECT_EQ(prompts.told[0].text, Cp1250Text(text));
        EXPECT_EQ(prompts.told[0].title, Cp1250Text(title));
        EXPECT_EQ(prompts.told[0].icon, icon);
        prompts.told.clear();
    }

    TeacherRecord novak, kralova;
    ScriptedPrompts prompts;
    TeacherEditing editing{db, prompts};
};

TEST_F(TeacherEditingTest, PasswordChangesNeedTheOldPasswordByteForByte) {
    const struct {
        const char* name;
        TeacherFields fields;
        const char* message;
        PromptIcon icon;
        const char* title;
        const char* password; // in force afterwards
    } cases[] = {
        {"old one in the wrong case",
         {"novy@x", "tabla", "kreda", "kreda", "A-1"},
         "Neplatné heslo !!!",
         PromptIcon::Error,
         "Chyba údajov",
         "Tabla"},
        {"confirmation differs",
         {"novy@x", "Tabla", "kreda", "Kreda", "A-1"},
         "Neplatné heslo !!!",
         PromptIcon::Error,
         "Chyba údajov",
         "Tabla"},
        {"old one right",
         {"novy@x", "Tabla", "kreda", "kreda", "A-1"},
         "Heslo nastavene ",
         PromptIcon::Information,
         "Heslo",
         "kreda"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SaveTeacher(db, novak));
        editing.Change(c.fields);
        ExpectTold(c.message, c.title, c.icon);
        const TeacherRecord stored = Stored(novak);
        EXPECT_TRUE(CheckPassword(stored, c.password)) << c.name;
        // E-mail and room are written whether the password was or not.
        EXPECT_EQ(stored.email, "novy@x") << c.name;
        EXPECT_EQ(stored.room, "A-1") << c.name;
        EXPECT_EQ(editing.Shown().newPassword, "") << c.name;
        EXPECT_FALSE(editing.Changed()) << c.name;
    }
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(TeacherEditingTest, AnOldPasswordAloneCountsAsAChange) {
    const std::string before = File("teachers.dat");
    TeacherFields fields = editing.Shown();
    fields.oldPassword = "Tabla";
    prompts.answers = {true};
    editing.Select(1, fields);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, Cp1250Text("Zmena údajov predchádzajúceho učiteľa.\nZapísať?"));
    EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(File("teachers.dat"), before); // written with the same values
    EXPECT_EQ(editing.Shown().email, "maria@x");
    EXPECT_EQ(editing.Shown().oldPassword, "");
    // Room changed, then No: nothing is written.
    fields = editing.Shown();
    editing.FocusIn(TeacherControl::Room, fields);
    fields.room = "C-1";
    prompts.answers = {false};
    editing.Select(0, fields);
    EXPECT_EQ(Stored(kralova).room, "B-217");
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(TeacherEditingTest, ATeacherWithStudentsIsKept) {
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "10231", "Peter", "Kov\xE1\xE8", "p@x", novak.id, "1", student));
    prompts.answers = {true};
    EXPECT_FALSE(editing.Delete());
    ExpectTold("Nie je možné vymazať údaje učiteľa !!!\nMá pridelených študentov.", "Nemožno zmazať",
               PromptIcon::Warning);
    EXPECT_TRUE(LoadTeacher(db, novak.id, novak));
    editing.Select(1, editing.Shown());
    prompts.answers = {false, true};
    EXPECT_FALSE(editing.Delete());
    EXPECT_TRUE(editing.Delete());
    EXPECT_TRUE(prompts.told.empty());
    EXPECT_EQ(prompts.asked.back().text, Cp1250Text("Vymazať učiteľa ?"));
    std::vector<std::string> ids;
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_EQ(ids, std::vector<std::string>{novak.id});
}

TEST_F(TeacherEditingTest, ATeacherOfAClassWithoutStudentsCanGo) {
    prompts.answers = {true};
    EXPECT_TRUE(editing.Delete());
    EXPECT_TRUE(prompts.told.empty());
    EXPECT_FALSE(LoadTeacher(db, novak.id, novak));
}

TEST_F(TeacherEditingTest, AddRefusesMissingValuesAndAPasswordNotConfirmed) {
    const struct {
        const char* name;
        NewTeacher teacher;
        const char* message;
        PromptIcon icon;
    } cases[] = {
        {"no password", {"Eva", "Mal\xE1", "", "", "", ""}, "Neúplné údaje !!!", PromptIcon::Warning},
        {"no surname", {"Eva", "", "", "ab", "ab", ""}, "Neúplné údaje !!!", PromptIcon::Warning},
        {"confirmation in another case",
         {"Eva", "Mal\xE1", "", "ab", "AB", ""},
         "Neplatné heslo !!!",
         PromptIcon::Error},
    };
    const std::string before = File("teachers.dat");
    for (const auto& c : cases) {
        EXPECT_FALSE(AddTeacherFromFields(db, prompts, c.teacher)) << c.name;
        ExpectTold(c.message, "Chyba údajov", c.icon);
        EXPECT_EQ(File("teachers.dat"), before) << c.name;
    }
    // E-mail and room may stay empty.
    EXPECT_TRUE(AddTeacherFromFields(db, prompts, {"Eva", "Mal\xE1", "", "ab", "ab", ""}));
    EXPECT_TRUE(prompts.told.empty());
    std::vector<std::string> ids;
    ASSERT_TRUE(db.TeacherIds(ids));
    TeacherRecord added;
    ASSERT_TRUE(LoadTeacher(db, ids.back(), added));
    EXPECT_EQ(added.surname, "Mal\xE1");
    EXPECT_TRUE(CheckPassword(added, "ab"));
}

} // namespace
} // namespace tarvel::testing
