#include "dialogs/StudentEditing.h"

#include "store/StoreFixture.h"
#include "support/ScriptedPrompts.h"

#include "platform/Cp1250.h"
#include "store/Students.h"
#include "store/Teachers.h"

#include <gtest/gtest.h>

namespace tarvel::testing {
namespace {

// Twelve teachers, so that the lines of teachers 7 and 12 are " 7 ..." and "12 ...", and three students
// listed in the order Baláž, Kováč, Varga whatever order they were added in.
class StudentEditingTest : public StoreTest {
protected:
    void SetUp() override {
        for (int i = 1; i <= 12; ++i) {
            TeacherRecord teacher;
            ASSERT_TRUE(AddTeacher(db, "Meno", "Priezvisko" + std::to_string(i), "", "", "heslo", teacher));
        }
        ASSERT_TRUE(AddStudent(db, "10278", "Tom\xE1\x9A", "Varga", "t@x", "12", "2", varga));
        ASSERT_TRUE(AddStudent(db, "231", "Peter", "Kov\xE1\xE8", "p@x", "7", "1", kovac));
        ASSERT_TRUE(AddStudent(db, "10256", "Martin", "Bal\xE1\x9E", "m@x", "7", "1", balaz));
    }

    void Open() {
        editing.Open();
        ASSERT_EQ(editing.Students().size(), 3u);
    }
    int Line(const std::string& unid) const { return FindKey(editing.Students(), unid); }
    int TeacherPosition(const std::string& teacher) const { return FindKey(editing.Teachers(), teacher); }
    StudentRecord Stored(const StudentRecord& student) {
        StudentRecord stored;
        EXPECT_TRUE(LoadStudent(db, student.id, stored));
        return stored;
    }

    StudentRecord varga, kovac, balaz;
    ScriptedPrompts prompts;
    StudentEditing editing{db, prompts};
};

TEST_F(StudentEditingTest, ListsByLineAndShowsEachStudentWithHisTeacher) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(editing.Students()[0].text, "  231 - Kov\xE1\xE8 Peter");
    EXPECT_EQ(editing.Students()[1].text, "10256 - Bal\xE1\x9E Martin");
    // A short UNI ID is found as itself, not as the five characters of its line.
    EXPECT_EQ(editing.SelectedUnid(), "231");
    EXPECT_EQ(editing.Shown().email, "p@x");
    ASSERT_GE(editing.Shown().teacher, 0);
    EXPECT_EQ(editing.Teachers()[static_cast<std::size_t>(editing.Shown().teacher)].text.substr(0, 3), " 7 ");
    editing.SelectStudent(Line("10278"), editing.Shown());
    EXPECT_EQ(editing.Teachers()[static_cast<std::size_t>(editing.Shown().teacher)].text.substr(0, 3), "12 ");
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(StudentEditingTest, ChangeAtOnceWritesTheFirstStudentAsShown) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::string before = File("students/" + kovac.id + "/student.dat");
    editing.Change(editing.Shown());
    EXPECT_EQ(File("students/" + kovac.id + "/student.dat"), before);
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(StudentEditingTest, AnotherStudentAsksAboutUnsavedChanges) {
    const struct {
        const char* name;
        bool changeTeacher;
        bool changeEmail;
        bool answer;
    } cases[] = {
        {"only the teacher, No", true, false, false},
        {"only the teacher, Yes", true, false, true},
        {"the e-mail, Yes", false, true, true},
    };
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Open());
        const StudentRecord stored = Stored(kovac);
        StudentFields fields = editing.Shown();
        editing.FocusIn(StudentControl::Teacher, fields);
        if (c.changeTeacher) {
            fields.teacher = TeacherPosition("3");
        }
        if (c.changeEmail) {
            editing.FocusIn(StudentControl::Email, fields);
            fields.email = "novy@x";
        }
        editing.FieldsRead(fields);
        prompts.answers = {c.answer};
        prompts.asked.clear();
        editing.SelectStudent(Line("10256"), fields);
        ASSERT_EQ(prompts.asked.size(), 1u) << c.name;
        EXPECT_EQ(prompts.asked[0].text, Cp1250Text("Zmena údajov predchádzajúceho študenta.\nZapísať?"));
        EXPECT_EQ(prompts.asked[0].title, "Zmena");
        EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::YesNo);
        EXPECT_EQ(prompts.asked[0].icon, PromptIcon::Question);
        const StudentRecord after = Stored(kovac);
        EXPECT_EQ(after.teacher, c.answer && c.changeTeacher ? "3" : stored.teacher) << c.name;
        EXPECT_EQ(after.email, c.answer && c.changeEmail ? "novy@x" : stored.email) << c.name;
        EXPECT_EQ(after.name, stored.name) << c.name;
        // Back on the first student, the stored values are shown and nothing is asked.
        editing.SelectStudent(Line("231"), editing.Shown());
        EXPECT_EQ(prompts.asked.size(), 1u) << c.name;
        EXPECT_EQ(editing.Shown().teacher, TeacherPosition(after.teacher)) << c.name;
        ASSERT_TRUE(SaveStudent(db, stored));
    }
}

TEST_F(StudentEditingTest, AfterChangeNothingIsAsked) {
    ASSERT_NO_FATAL_FAILURE(Open());
    StudentFields fields = editing.Shown();
    editing.FocusIn(StudentControl::Group, fields);
    fields.group = "9";
    fields.teacher = TeacherPosition("12");
    editing.Change(fields);
    editing.SelectStudent(Line("10256"), editing.Shown());
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(Stored(kovac).group, "9");
    EXPECT_EQ(Stored(kovac).teacher, "12");
}

TEST_F(StudentEditingTest, DeleteAsksThenClosesEvenWhenItFailed) {
    ASSERT_NO_FATAL_FAILURE(Open());
    prompts.answers = {false};
    EXPECT_FALSE(editing.Delete());
    EXPECT_TRUE(LoadStudentByUniId(db, "231", kovac));
    prompts.answers = {true};
    EXPECT_TRUE(editing.Delete());
    EXPECT_FALSE(LoadStudentByUniId(db, "231", kovac));
    EXPECT_TRUE(prompts.told.empty());
    // The same line once more: the student is gone, the deletion fails, the dialog closes all the same.
    prompts.answers = {true};
    EXPECT_TRUE(editing.Delete());
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, Cp1250Text("Nie je možné vymazať údaje študenta !!!"));
    EXPECT_EQ(prompts.told[0].title, Cp1250Text("Chyba databßzy"));
    EXPECT_EQ(prompts.asked[0].text, Cp1250Text("Vymazať študenta ?"));
}

TEST_F(StudentEditingTest, AddRefusesMissingValuesAndTakenUniIds) {
    const NewStudent complete{"10300", "Jana", "Nov\xE1", "j@x", "3", "7"};
    const struct {
        const char* name;
        std::string NewStudent::*field;
        const char* value;
        const char* message;
    } cases[] = {
        {"no UNI ID", &NewStudent::unid, "", "Neúplné údaje !!!"},
        {"no first name", &NewStudent::name, "", "Neúplné údaje !!!"},
        {"no surname", &NewStudent::surname, "", "Neúplné údaje !!!"},
        {"no e-mail", &NewStudent::email, "", "Neúplné údaje !!!"},
        {"no group", &NewStudent::group, "", "Neúplné údaje !!!"},
        {"a taken UNI ID", &NewStudent::unid, "231", "Študent s daným UNI ID už existuje !!!"},
    };
    const std::string index = File("students.dat");
    for (const auto& c : cases) {
        NewStudent student = complete;
        student.*c.field = c.value;
        prompts.told.clear();
        EXPECT_FALSE(AddStudentFromFields(db, prompts, student)) << c.name;
        ASSERT_EQ(prompts.told.size(), 1u) << c.name;
        EXPECT_EQ(prompts.told[0].text, Cp1250Text(c.message)) << c.name;
        EXPECT_EQ(prompts.told[0].title, Cp1250Text("Chyba údajov")) << c.name;
        EXPECT_EQ(File("students.dat"), index) << c.name;
    }
    prompts.told.clear();
    EXPECT_TRUE(AddStudentFromFields(db, prompts, complete));
    EXPECT_TRUE(prompts.told.empty());
    StudentRecord added;
    ASSERT_TRUE(LoadStudentByUniId(db, "10300", added));
    EXPECT_EQ(added.surname, "Nov\xE1");
    EXPECT_EQ(added.teacher, "7");
    EXPECT_EQ(added.group, "3");
}

} // namespace
} // namespace tarvel::testing
