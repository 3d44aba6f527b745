// Adding variants, and showing, replacing, editing and deleting their files through the dialogs' models,
// against real record files, with a launcher that records the editor's command line instead of starting it.

#include "dialogs/VariantEditing.h"

#include "platform/Cp1250.h"
#include "shell/Config.h"
#include "store/StoreFixture.h"
#include "store/Tasks.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel {
namespace {

using testing::ReadBytes;
using testing::ScriptedPrompts;
using testing::WriteBytes;
using enum VariantFileKind;
using enum PromptButtons;
using enum PromptIcon;
using Names = std::vector<std::string>;

// A box as one comparable line: title, text (UTF-8), buttons and icon.
std::string Box(const std::string& title, const std::string& text, PromptButtons buttons, PromptIcon icon) {
    return title + " | " + text + " | " + std::to_string(static_cast<int>(buttons)) + "/" +
           std::to_string(static_cast<int>(icon));
}
Names Boxes(const std::vector<Prompt>& prompts) {
    Names lines;
    for (const Prompt& p : prompts) {
        lines.push_back(Box(Cp1250ToUtf8(p.title), Cp1250ToUtf8(p.text), p.buttons, p.icon));
    }
    return lines;
}

const std::string kIncomplete = Box("Chyba údajov", "Neúplné údaje !!!", Ok, Warning);
const std::string kNoVariant = Box("Prázdna databáza", "Zadanie neobsahuje žiadny variant !!!", Ok, Warning);
const std::string kNoEditor = Box("Chyba cesty editora", "Neviem otvoriť editor, zlá casta !!!", Ok, Warning);
constexpr const char* kTypeSections = "[1]\r\npoints=10\r\nToDay=24\r\nToMonth=12\r\nToYear=2026\r\n[_1]\r\n";

class VariantEditingTest : public testing::StoreTest {
protected:
    VariantEditingTest() {
        TaskTypeRecord record;
        EXPECT_TRUE(AddTaskType(db, "1", 10, 2026, 12, 24, record));
        EXPECT_TRUE(AddTaskType(db, "2", 10, 2026, 12, 24, record));
        WriteBytes(dir / "b.txt", "Text b\r\n");
        WriteBytes(dir / "b.in", "2 3\r\n");
    }
    void Add(const std::string& task, const std::string& variant, const std::string& txt = "",
             const std::string& in = "") {
        ASSERT_TRUE(AddVariantFromFields(db, prompts, task, variant, txt, in, ""));
        ASSERT_TRUE(prompts.told.empty());
    }
    std::string Stored(const std::string& variant, const char* extension) {
        return ReadBytes(VariantFilePath(VariantSet{&db, "1"}, variant, extension));
    }
    Names TaskFiles() {
        Names names;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "db/tasks")) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void UseEditor(const std::string& editor) {
        ASSERT_TRUE(WriteConfig(dir / "zor.ini", "dbase", "editor", editor));
    }

    ScriptedPrompts prompts;
    std::vector<ChildRequest> launched;
    ChildOutcome launchOutcome = ChildOutcome::Exited;
    VariantEditing editing{db, prompts, dir / "zor.ini", [this](const ChildRequest& request) {
                               launched.push_back(request);
                               return ChildResult{launchOutcome, 0, 0};
                           }};
};

TEST_F(VariantEditingTest, AddInstallsTheChosenFilesAndTheSameNameMayServeAnotherType) {
    Add("1", "b", dir / "b.txt", dir / "b.in");
    Add("2", "b");
    EXPECT_EQ(File("tasks.dat"),
              std::string("[_]\r\n") + kTypeSections + "b=\r\n" +
                  "[2]\r\npoints=10\r\nToDay=24\r\nToMonth=12\r\nToYear=2026\r\n[_2]\r\nb=\r\n");
    EXPECT_EQ(Stored("b", "txt"), "Text b\r\n");
    EXPECT_EQ(Stored("b", "in"), "2 3\r\n");
    EXPECT_EQ(Stored("b", "out"), "") << "an empty field keeps the template";
    EXPECT_EQ(Stored("b", "acc"), "[accepted]\r\n");
    EXPECT_EQ(TaskFiles(), (Names{"t1mb.acc", "t1mb.in", "t1mb.out", "t1mb.txt", "t2mb.acc", "t2mb.in",
                                  "t2mb.out", "t2mb.txt"}));
}

TEST_F(VariantEditingTest, AddRefusesBadNamesWritingNothing) {
    Add("1", "b");
    const std::string tasks = File("tasks.dat");
    const Names files = TaskFiles();
    const std::string exists = Box("Chyba údajov", "Daný typ variantu už existuje !!!", Ok, Error);
    const std::string invalid =
        Box("Chyba údajov",
            "Názov variantu nesmie obsahovať znaky / * ? = ani koniec riadka, začínať znakom "
            "[, začínať ani končiť medzerou a môže mať najviac 248 znakov !!!",
            Ok, Warning);
    std::vector<std::pair<std::string, std::string>> cases{{"b", exists}, {"B", exists}, {"", kIncomplete}};
    const Names invalidNames{"x/y", "a=b", "[a", "a\r\nb", std::string("a\0b", 3),
                             "b*",  "b?",  " c", "c\t",    std::string(kMaxVariantNameBytes + 1, 'c')};
    for (const std::string& name : invalidNames) {
        cases.emplace_back(name, invalid);
    }
    for (const auto& [name, box] : cases) {
        ScriptedPrompts told;
        EXPECT_FALSE(AddVariantFromFields(db, told, "1", name, dir / "b.txt", "", "")) << name;
        EXPECT_EQ(Boxes(told.told), Names{box}) << name;
        EXPECT_EQ(File("tasks.dat"), tasks);
        EXPECT_EQ(TaskFiles(), files);
    }
    EXPECT_TRUE(IsAcceptableVariantName(std::string(kMaxVariantNameBytes, 'c')));
    EXPECT_TRUE(IsAcceptableVariantName("a b.1"));
}

TEST_F(VariantEditingTest, PickersStartAtTheFieldWithTheirFilters) {
    const std::tuple<VariantFileKind, const char*, const char*> cases[] = {
        {Text, "Znenie zadania", "Znenie zadaní (*.txt)|*.txt|Všetky súbory (*.*)|*.*||"},
        {Input, "Vstupné dáta", "Vstupné údaje (*.in)|*.in|Všetky súbory (*.*)|*.*||"},
        {Output, "Výstupné dáta", "Výstupné údaje (*.out)|*.out|Všetky súbory (*.*)|*.*||"}};
    for (const auto& [kind, title, filter] : cases) {
        prompts.files = {"/chosen", std::nullopt};
        EXPECT_EQ(ChooseVariantFile(prompts, kind, "/field"), "/chosen");
        EXPECT_EQ(ChooseVariantFile(prompts, kind, ""), std::nullopt);
        const FileRequest& request = prompts.fileRequests.at(prompts.fileRequests.size() - 2);
        EXPECT_EQ(Cp1250ToUtf8(request.title), title);
        EXPECT_EQ(request.initialPath, "/field");
        EXPECT_EQ(Cp1250ToUtf8(request.filter), filter);
        EXPECT_EQ(request.defaultExtension, "");
    }
}

TEST_F(VariantEditingTest, VariantsAddedBThenAAreListedAThenBAndEachActionTakesTheSelectedOne) {
    Add("1", "b");
    Add("1", "a");
    UseEditor("myedit --wait");
    ASSERT_TRUE(editing.Open());
    EXPECT_EQ(editing.TaskTypeNames(), (Names{"1", "2"}));
    EXPECT_EQ(editing.SelectedType(), "1");
    EXPECT_EQ(editing.VariantNames(), (Names{"a", "b"}));
    EXPECT_EQ(editing.SelectedVariant(), "a");
    EXPECT_EQ((Names{editing.Field(Text), editing.Field(Input), editing.Field(Output)}),
              (Names{dir / "db/tasks/t1ma.txt", dir / "db/tasks/t1ma.in", dir / "db/tasks/t1ma.out"}));
    editing.Edit(Text);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].arguments, (Names{"myedit", "--wait", dir / "db/tasks/t1ma.txt"}));
    EXPECT_EQ(launched[0].timeLimit, kNoTimeLimit);

    editing.SelectVariant("b");
    EXPECT_EQ(editing.Field(Output), dir / "db/tasks/t1mb.out");
    prompts.answers = {true};
    EXPECT_TRUE(editing.Delete());
    EXPECT_EQ(Boxes(prompts.asked), Names{Box("Vymazanie", "Vymazať variant zadania ?", YesNo, Question)});
    EXPECT_TRUE(prompts.told.empty());
    EXPECT_EQ(File("tasks.dat"), std::string("[_]\r\n") + kTypeSections + "a=\r\n" +
                                     "[2]\r\npoints=10\r\nToDay=24\r\nToMonth=12\r\nToYear=2026\r\n[_2]\r\n");
    EXPECT_EQ(TaskFiles(), (Names{"t1ma.acc", "t1ma.in", "t1ma.out", "t1ma.txt"}));
}

TEST_F(VariantEditingTest, AReplacedFileIsShownAndEditedAtItsSource) {
    Add("1", "a");
    UseEditor("myedit");
    ASSERT_TRUE(editing.Open());
    prompts.files = {std::nullopt, dir / "b.txt"};
    editing.ReplaceFile(Text);
    EXPECT_EQ(editing.Field(Text), dir / "db/tasks/t1ma.txt") << "cancelled";
    editing.ReplaceFile(Text);
    EXPECT_EQ(prompts.fileRequests.at(1).initialPath, dir / "db/tasks/t1ma.txt");
    EXPECT_EQ(editing.Field(Text), dir / "b.txt");
    EXPECT_EQ(Stored("a", "txt"), "Text b\r\n");
    editing.Edit(Text);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].arguments, (Names{"myedit", dir / "b.txt"}));
    EXPECT_TRUE(prompts.told.empty());
}

// An empty editor starts nothing (the file itself is no program); one that cannot start is told alike.
TEST_F(VariantEditingTest, AnEditorThatCannotStartIsTold) {
    Add("1", "a");
    ASSERT_TRUE(editing.Open());
    launchOutcome = ChildOutcome::NotStarted;
    for (const auto& [editor, launches] : {std::pair{"", 0u}, {"  ", 0u}, {"no-such-editor", 1u}}) {
        UseEditor(editor);
        launched.clear();
        prompts.told.clear();
        editing.Edit(Input);
        EXPECT_EQ(launched.size(), launches) << editor;
        EXPECT_EQ(Boxes(prompts.told), Names{kNoEditor}) << editor;
    }
}

TEST_F(VariantEditingTest, ATypeWithoutVariantsHasNothingToEditReplaceOrDelete) {
    Add("2", "a");
    UseEditor("myedit");
    ASSERT_TRUE(editing.Open());
    EXPECT_EQ((Names{editing.Field(Text), editing.Field(Input), editing.Field(Output)}), (Names{"", "", ""}));
    editing.Edit(Text);
    EXPECT_TRUE(launched.empty()) << "an empty field does nothing";
    EXPECT_FALSE(editing.Delete());
    prompts.files = {dir / "b.txt"};
    editing.ReplaceFile(Text);
    EXPECT_EQ(Boxes(prompts.told), (Names{kNoVariant, kNoVariant, kIncomplete}));
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(TaskFiles(), (Names{"t2ma.acc", "t2ma.in", "t2ma.out", "t2ma.txt"}));
    editing.SelectType("2");
    EXPECT_EQ(editing.Field(Text), dir / "db/tasks/t2ma.txt");
}

} // namespace
} // namespace tarvel
