// Adding, changing and deleting task types through the dialogs' models, against real record files.

#include "dialogs/TaskTypeEditing.h"

#include "platform/Cp1250.h"
#include "store/Results.h"
#include "store/StoreFixture.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel {
namespace {

using testing::ScriptedPrompts;
using enum PromptButtons;
using enum PromptIcon;

// A box as one comparable line: title, text (UTF-8), buttons and icon.
std::string Box(const std::string& title, const std::string& text, PromptButtons buttons, PromptIcon icon) {
    return title + " | " + text + " | " + std::to_string(static_cast<int>(buttons)) + "/" +
           std::to_string(static_cast<int>(icon));
}
std::vector<std::string> Boxes(const std::vector<Prompt>& prompts) {
    std::vector<std::string> lines;
    for (const Prompt& p : prompts) {
        lines.push_back(Box(Cp1250ToUtf8(p.title), Cp1250ToUtf8(p.text), p.buttons, p.icon));
    }
    return lines;
}

const std::string kNotANumber = Box("Tarvel", "Please enter a positive integer.", Ok, Warning);
const std::string kOutOfRange = Box("Tarvel", "Please enter an integer between 0 and 100.", Ok, Warning);
constexpr TaskDate kChristmas{2026, 12, 24};
constexpr TaskDate kJanuary{2027, 1, 9};
constexpr const char* kTypes21 = "[_]\r\n[2]\r\npoints=5\r\nToDay=9\r\nToMonth=1\r\nToYear=2027\r\n[_2]\r\n"
                                 "[1]\r\npoints=10\r\nToDay=24\r\nToMonth=12\r\nToYear=2026\r\n[_1]\r\n";

class TaskTypeEditingTest : public testing::StoreTest {
protected:
    void AddTwoThenOne() {
        ASSERT_TRUE(AddTaskTypeFromFields(db, prompts, "2", "5", kJanuary));
        ASSERT_TRUE(AddTaskTypeFromFields(db, prompts, "1", "10", kChristmas));
        ASSERT_TRUE(prompts.told.empty());
    }
    int StoredPoints(const std::string& name) {
        TaskTypeRecord record;
        EXPECT_TRUE(LoadTaskType(db, name, record)) << name;
        return record.points;
    }

    ScriptedPrompts prompts;
    TaskTypeEditing editing{db, prompts};
};

TEST_F(TaskTypeEditingTest, PointsFieldTakesZeroToHundred) {
    const std::pair<const char*, int> accepted[] = {{"0", 0}, {"100", 100}, {"007", 7}};
    for (const auto& [text, value] : accepted) {
        int points = -1;
        EXPECT_TRUE(ReadPointsField(prompts, text, points));
        EXPECT_EQ(points, value);
    }
    const std::pair<const char*, std::string> refused[] = {
        {"", kNotANumber},   {"x", kNotANumber},   {"-1", kNotANumber},
        {"1 ", kNotANumber}, {"101", kOutOfRange}, {"99999999999", kOutOfRange}};
    for (const auto& [text, box] : refused) {
        ScriptedPrompts told;
        int points = -1;
        EXPECT_FALSE(ReadPointsField(told, text, points)) << text;
        EXPECT_EQ(points, -1);
        EXPECT_EQ(Boxes(told.told), std::vector{box}) << text;
    }
}

TEST_F(TaskTypeEditingTest, AddRefusesBadFieldsWritingNothing) {
    AddTwoThenOne();
    const std::string oneDigit =
        Box("Chyba údajov", "Typ zadania musí byť jedna číslica (0 až 9) !!!", Ok, Warning);
    const std::pair<std::pair<const char*, const char*>, std::string> cases[] = {
        {{"2", "10"}, Box("Chyba údajov", "Daný typ zadania už existuje !!!", Ok, Error)},
        {{"", "10"}, Box("Chyba údajov", "Neúplné údaje !!!", Ok, Warning)},
        {{"x", "10"}, oneDigit},
        {{"12", "10"}, oneDigit},
        {{"4", "101"}, kOutOfRange},
        {{"4", "x"}, kNotANumber},
    };
    for (const auto& [fields, box] : cases) {
        ScriptedPrompts told;
        EXPECT_FALSE(AddTaskTypeFromFields(db, told, fields.first, fields.second, kChristmas))
            << fields.first;
        EXPECT_EQ(Boxes(told.told), std::vector{box});
        EXPECT_EQ(File("tasks.dat"), kTypes21);
    }
}

TEST_F(TaskTypeEditingTest, TypesAddedTwoThenOneAreListedOneTwoAndChangeWritesOne) {
    AddTwoThenOne();
    EXPECT_EQ(File("tasks.dat"), kTypes21);
    ASSERT_TRUE(editing.Open());
    EXPECT_EQ(editing.Names(), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(editing.CurrentName(), "1");
    EXPECT_EQ(editing.PointsText(), "10");
    EXPECT_EQ(editing.Deadline(), kChristmas);

    EXPECT_TRUE(editing.Change("20", {2026, 12, 31}));
    EXPECT_FALSE(editing.Changed());
    EXPECT_EQ(File("tasks.dat"), "[_]\r\n[2]\r\npoints=5\r\nToDay=9\r\nToMonth=1\r\nToYear=2027\r\n[_2]\r\n"
                                 "[1]\r\npoints=20\r\nToDay=31\r\nToMonth=12\r\nToYear=2026\r\n[_1]\r\n");
    EXPECT_FALSE(editing.Change("101", kChristmas));
    EXPECT_EQ(Boxes(prompts.told), std::vector{kOutOfRange});
    EXPECT_EQ(StoredPoints("1"), 20);
}

// Points edited, then another type selected: the question, and what each answer leaves.
TEST_F(TaskTypeEditingTest, SelectingAnotherTypeAsksAboutEditedPoints) {
    struct Case {
        bool yes;
        const char* points;
        bool moves;
        int stored;
    };
    for (const Case c :
         {Case{false, "25", true, 10}, Case{true, "25", true, 25}, Case{true, "x", false, 10}}) {
        SCOPED_TRACE(std::string(c.yes ? "yes " : "no ") + c.points);
        SetFile("tasks.dat", "[_]\r\n");
        AddTwoThenOne();
        ScriptedPrompts answers;
        answers.answers = {c.yes};
        TaskTypeEditing model(db, answers);
        ASSERT_TRUE(model.Open());
        model.FocusIn(TrackedField::Points, "10", kChristmas);
        model.FocusOut(c.points, kChristmas);
        EXPECT_EQ(model.Select("2"), c.moves);
        EXPECT_EQ(Boxes(answers.asked),
                  std::vector{Box("Zmena", "Zmena údajov predchádzajúceho typu zadania.\nZapísať?", YesNo,
                                  Question)});
        EXPECT_EQ(Boxes(answers.told), c.moves ? std::vector<std::string>{} : std::vector{kNotANumber});
        EXPECT_EQ(StoredPoints("1"), c.stored);
        EXPECT_EQ(StoredPoints("2"), 5);
        EXPECT_EQ(model.CurrentName(), c.moves ? "2" : "1");
        EXPECT_EQ(model.PointsText(), c.moves ? "5" : c.points);
    }
}

// Each field is remembered at its own focus: coming back to an edited date takes the edit as the old value.
TEST_F(TaskTypeEditingTest, RemembersEachFieldAtItsFocus) {
    AddTwoThenOne();
    ASSERT_TRUE(editing.Open());
    editing.FocusIn(TrackedField::Deadline, "10", kChristmas);
    editing.FocusOut("10", {2026, 12, 25});
    editing.FocusIn(TrackedField::Points, "10", {2026, 12, 25});
    EXPECT_TRUE(editing.Changed());
    editing.FocusIn(TrackedField::Deadline, "10", {2026, 12, 25});
    EXPECT_FALSE(editing.Changed());
    EXPECT_TRUE(editing.Select("2"));
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(editing.Deadline(), kJanuary);
}

TEST_F(TaskTypeEditingTest, AnAssignedTypeOrAnUnreadableStudentListStopsTheDeletion) {
    AddTwoThenOne();
    StudentRecord student;
    ASSERT_TRUE(AddStudent(db, "12345", "Jana", "Nová", "jana@tarvel.test", "1", "A1", student));
    ResultRecord result;
    ASSERT_TRUE(CreateResult(db, "1", student.id, "a", result));
    ASSERT_TRUE(SaveResult(db, result));
    ASSERT_TRUE(editing.Open());
    EXPECT_FALSE(editing.Delete());
    std::filesystem::remove(dir / "db/students.dat");
    EXPECT_FALSE(editing.Delete());
    EXPECT_EQ(
        Boxes(prompts.told),
        (std::vector{Box("Vymazanie", "Typ zadania je už pridelený.\nNedovolená operácia !!!", Ok, Warning),
                     Box("Chyba databázy", "Nie je možné načítať databázu študentov !!!", Ok, Error)}));
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(File("tasks.dat"), kTypes21);
}

TEST_F(TaskTypeEditingTest, DeleteAsksThenRemovesTheTypeWithItsVariants) {
    AddTwoThenOne();
    AddVariant(VariantSet{&db, "1"}, "a");
    ASSERT_TRUE(editing.Open());
    prompts.answers = {false, true};
    EXPECT_FALSE(editing.Delete());
    EXPECT_EQ(StoredPoints("1"), 10);
    EXPECT_TRUE(editing.Delete());
    const std::string question = Box("Vymazanie", "Vymazať typ zadania ?", YesNo, Question);
    EXPECT_EQ(Boxes(prompts.asked), (std::vector{question, question}));
    EXPECT_EQ(Boxes(prompts.told),
              std::vector{Box("Zmena", "Zvolený typ zadania vymazaný !!!", Ok, Information)});
    EXPECT_EQ(File("tasks.dat"), "[_]\r\n[2]\r\npoints=5\r\nToDay=9\r\nToMonth=1\r\nToYear=2027\r\n[_2]\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "db/tasks/t1ma.txt"));
    EXPECT_EQ(editing.Names(), std::vector<std::string>{"2"});
}

} // namespace
} // namespace tarvel
