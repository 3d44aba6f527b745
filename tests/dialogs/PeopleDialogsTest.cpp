// The student and teacher dialogs on the offscreen platform, against a real database: their controls and
// limits, and each button reaching the store through its model.

#include "dialogs/AddStudentDialog.h"
#include "dialogs/AddTeacherDialog.h"
#include "dialogs/EditStudentDialog.h"
#include "dialogs/EditTeacherDialog.h"

#include "platform/Cp1250.h"
#include "shell/GuiText.h"
#include "store/StoreFixture.h"
#include "store/Students.h"
#include "store/Teachers.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tarvel::testing {
namespace {

class PeopleDialogsTest : public StoreTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(AddTeacher(db, "J\xE1n", "Nov\xE1k", "jan@x", "B-215", "tabla", novak));
        ASSERT_TRUE(AddTeacher(db, "M\xE1ria", "Kr\xE1\xBEov\xE1", "maria@x", "B-217", "krida", kralova));
    }
    static void Type(QWidget* dialog, const char* edit, const QString& text) {
        QLineEdit* field = Find<QLineEdit>(dialog, edit);
        field->clear();
        field->setFocus();
        // QTest types only ASCII keys; other letters go in as an input method would put them.
        if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
            QTest::keyClicks(field, text);
        } else {
            field->insert(text);
        }
    }
    static void Press(QWidget* dialog, const char* button) {
        QTest::mouseClick(Find<QPushButton>(dialog, button), Qt::LeftButton);
    }

    TeacherRecord novak, kralova;
    ScriptedPrompts prompts;
};

TEST_F(PeopleDialogsTest, AddStudentTakesDigitsWhereDigitsBelongAndStoresTheChosenTeacher) {
    AddStudentDialog dialog(db, prompts);
    EXPECT_EQ(dialog.windowTitle(), GuiText("Pridanie študenta"));
    auto* teachers = Find<QComboBox>(&dialog, "teacherCombo");
    ASSERT_EQ(teachers->count(), 2);
    EXPECT_EQ(teachers->currentIndex(), 0);
    EXPECT_EQ(teachers->itemText(0), GuiText(" 1 Novák Ján"));
    const struct {
        const char* edit;
        int limit;
    } limits[] = {
        {"nameEdit", 30}, {"surnameEdit", 30}, {"emailEdit", 30}, {"groupEdit", 2}, {"unidEdit", 5}};
    for (const auto& limit : limits) {
        EXPECT_EQ(Find<QLineEdit>(&dialog, limit.edit)->maxLength(), limit.limit) << limit.edit;
    }
    Type(&dialog, "unidEdit", QStringLiteral("1a2b3c"));
    Type(&dialog, "groupEdit", QStringLiteral("x7y"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "unidEdit")->text(), QStringLiteral("123"));
    EXPECT_EQ(Find<QLineEdit>(&dialog, "groupEdit")->text(), QStringLiteral("7"));
    Type(&dialog, "nameEdit", GuiText("Ľudmila"));
    Type(&dialog, "surnameEdit", GuiText("Šťastná"));
    Type(&dialog, "emailEdit", QStringLiteral("l@x"));
    teachers->setCurrentIndex(1);
    Press(&dialog, "addButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    StudentRecord added;
    ASSERT_TRUE(LoadStudentByUniId(db, "123", added));
    EXPECT_EQ(added.name, Cp1250Text("Ľudmila"));
    EXPECT_EQ(added.teacher, kralova.id);
    EXPECT_EQ(added.group, "7");
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(PeopleDialogsTest, TextWithoutAWindows1250FormIsRefusedBeforeAnythingIsWritten) {
    const std::string index = File("students.dat");
    AddStudentDialog dialog(db, prompts);
    Type(&dialog, "unidEdit", QStringLiteral("123"));
    Type(&dialog, "nameEdit", QStringLiteral("Zo\u00eb"));
    Type(&dialog, "surnameEdit", QStringLiteral("Snow \u2603"));
    Type(&dialog, "emailEdit", QStringLiteral("z@x"));
    Type(&dialog, "groupEdit", QStringLiteral("1"));
    Press(&dialog, "addButton");
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, Cp1250Text("Údaje obsahujú znak, ktorý sa nedá uložiť (mimo kódovania "
                                               "Windows-1250) !!!"));
    EXPECT_EQ(File("students.dat"), index);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(PeopleDialogsTest, AClassListComesInThroughTheFilePicker) {
    const std::string list = dir / "trieda.csv";
    WriteBytes(list, "UNI ID;Meno;Priezvisko;e-mail;Kr\xC3\xBA\xC5\xBEok\n"
                     "10231;Peter;Kov\xC3\xA1\xC4\x8D;p@x;1\n"
                     "10245;Jana;Horv\xC3\xA1thov\xC3\xA1;j@x;1\n"
                     "1024x;Zl\xC3\xBD;Riadok;z@x;1\n");
    AddStudentDialog dialog(db, prompts);
    Find<QComboBox>(&dialog, "teacherCombo")->setCurrentIndex(1);
    prompts.files = {list};
    Press(&dialog, "classListButton");
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_NE(prompts.fileRequests[0].filter.find("*.csv"), std::string::npos);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text.substr(0, 22), Cp1250Text("Pridaných študentov: 2"));
    EXPECT_NE(prompts.told[0].text.find("riadok 4:"), std::string::npos);
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Warning);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    std::vector<std::string> unids;
    ASSERT_TRUE(StudentsOfTeacher(db, kralova.id, unids));
    EXPECT_EQ(unids, (std::vector<std::string>{"10231", "10245"}));
}

TEST_F(PeopleDialogsTest, EditStudentShowsTheModelAndItsButtonsReachIt) {
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "231", "Peter", "Kov\xE1\xE8", "p@x", kralova.id, "1", student));
    ASSERT_TRUE(AddStudent(db, "10256", "Martin", "Bal\xE1\x9E", "m@x", novak.id, "2", student));
    std::vector<std::string> reassigned;
    EditStudentDialog dialog(db, prompts, [&](const std::string& unid) { reassigned.push_back(unid); });
    dialog.show();
    auto* list = Find<QListWidget>(&dialog, "studentList");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), GuiText("  231 - Kováč Peter"));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "emailEdit")->text(), QStringLiteral("p@x"));
    auto* teacher = Find<QComboBox>(&dialog, "teacherCombo");
    EXPECT_EQ(teacher->currentIndex(), 1);
    Press(&dialog, "reassignButton");
    EXPECT_EQ(reassigned, std::vector<std::string>{"231"});
    // Another teacher chosen, then another student: the question, answered No; nothing written.
    teacher->setFocus();
    teacher->setCurrentIndex(0);
    prompts.answers = {false};
    list->setCurrentRow(1);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, "Zmena");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "groupEdit")->text(), QStringLiteral("2"));
    ASSERT_TRUE(LoadStudentByUniId(db, "231", student));
    EXPECT_EQ(student.teacher, kralova.id);
    // "Zmeniť" writes what the fields hold.
    Type(&dialog, "groupEdit", QStringLiteral("9"));
    Press(&dialog, "changeButton");
    ASSERT_TRUE(LoadStudentByUniId(db, "10256", student));
    EXPECT_EQ(student.group, "9");
    prompts.answers = {true};
    Press(&dialog, "deleteButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(LoadStudentByUniId(db, "10256", student));
}

TEST_F(PeopleDialogsTest, TeacherDialogsKeepTheirLimitsAndChangeAPassword) {
    AddTeacherDialog add(db, prompts);
    EXPECT_EQ(add.windowTitle(), GuiText("Pridanie učiteľa"));
    const struct {
        const char* edit;
        int limit;
        bool password;
    } limits[] = {{"nameEdit", 30, false},   {"surnameEdit", 30, false},    {"emailEdit", 50, false},
                  {"passwordEdit", 5, true}, {"confirmationEdit", 5, true}, {"roomEdit", 10, false}};
    for (const auto& limit : limits) {
        auto* edit = Find<QLineEdit>(&add, limit.edit);
        EXPECT_EQ(edit->maxLength(), limit.limit) << limit.edit;
        EXPECT_EQ(edit->echoMode() == QLineEdit::Password, limit.password) << limit.edit;
    }
    Type(&add, "nameEdit", QStringLiteral("Eva"));
    Type(&add, "surnameEdit", GuiText("Malá"));
    Type(&add, "passwordEdit", QStringLiteral("abcdefg"));
    Type(&add, "confirmationEdit", QStringLiteral("abcde"));
    Press(&add, "addButton");
    EXPECT_EQ(add.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.told.empty());

    EditTeacherDialog edit(db, prompts);
    edit.show();
    auto* list = Find<QListWidget>(&edit, "teacherList");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(Find<QLineEdit>(&edit, "roomEdit")->text(), QStringLiteral("B-215"));
    Type(&edit, "oldPasswordEdit", QStringLiteral("tabla"));
    Type(&edit, "newPasswordEdit", QStringLiteral("kreda"));
    Type(&edit, "confirmationEdit", QStringLiteral("kreda"));
    Press(&edit, "changeButton");
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].text, "Heslo nastavene ");
    EXPECT_TRUE(Find<QLineEdit>(&edit, "newPasswordEdit")->text().isEmpty());
    ASSERT_TRUE(LoadTeacher(db, novak.id, novak));
    EXPECT_TRUE(CheckPassword(novak, "kreda"));
    // The new teacher has no students: he can go.
    list->setCurrentRow(2);
    prompts.answers = {true};
    Press(&edit, "deleteButton");
    EXPECT_EQ(edit.result(), QDialog::Accepted);
    std::vector<std::string> ids;
    ASSERT_TRUE(db.TeacherIds(ids));
    EXPECT_EQ(ids.size(), 2u);
}

} // namespace
} // namespace tarvel::testing
