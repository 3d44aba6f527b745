// The menu states with every transition, the command table, and the login against real teacher records.

#include "shell/Session.h"
#include "shell/Commands.h"

#include "platform/Cp1250.h"
#include "store/StoreFixture.h"
#include "store/Teachers.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <set>

namespace tarvel {
namespace {

using testing::ScriptedPrompts;
using enum MenuState;

TEST(MenuStates, FollowTheStateTable) {
    struct Case {
        MenuState from;
        SessionEvent event;
        bool daemonRunning;
        MenuState to;
    };
    const Case cases[] = {
        {LoggedOut, SessionEvent::Login, false, LoggedIn},
        {LoggedOut, SessionEvent::Login, true, Receiving}, // logged out while receiving, back in
        {LoggedIn, SessionEvent::Logout, false, LoggedOut},
        {Receiving, SessionEvent::Logout, true, LoggedOut},
        {LoggedIn, SessionEvent::ReceivingStarted, true, Receiving},
        {Receiving, SessionEvent::ReceivingStopped, false, LoggedIn},
        {LoggedIn, SessionEvent::DatabaseSelected, false, LoggedOut},
        {LoggedOut, SessionEvent::DatabaseSelected, true, LoggedOut},
        {LoggedIn, SessionEvent::DatabaseCreated, false, LoggedIn},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextMenuState(c.from, c.event, c.daemonRunning), c.to)
            << static_cast<int>(c.from) << " event " << static_cast<int>(c.event);
    }
}

std::vector<CommandId> MenuCommands(const std::vector<MenuEntry>& entries) {
    std::vector<CommandId> ids;
    for (const MenuEntry& entry : entries) {
        if (entry.kind == MenuEntry::Kind::Command) {
            ids.push_back(entry.command);
        }
        const auto inner = MenuCommands(entry.entries);
        ids.insert(ids.end(), inner.begin(), inner.end());
    }
    return ids;
}

std::vector<std::string> Titles(const std::vector<MenuEntry>& entries) {
    std::vector<std::string> titles;
    for (const MenuEntry& entry : entries) {
        titles.push_back(Cp1250ToUtf8(entry.title));
    }
    return titles;
}

TEST(Menus, OfferWhatEachStateAllows) {
    using enum CommandId;
    EXPECT_EQ(MenuCommands(MenuBarOf(LoggedOut)), (std::vector{ChooseDatabase, Login, Exit, About}));
    EXPECT_EQ(MenuCommands(MenuBarOf(LoggedIn)),
              (std::vector{NewDatabase, ChangeDatabase, AssignAll, StartReceiving, Logout, Exit, AddStudent,
                           EditStudent, Evaluation, AddTeacher, EditTeacher, AddTaskType, EditTaskType,
                           AddVariant, EditVariant, MailSettings, PathSettings, About}));
    // No exit while receiving: the daemon is stopped first.
    EXPECT_EQ(MenuCommands(MenuBarOf(Receiving)), (std::vector{StopReceiving, Logout, Evaluation, About}));
    EXPECT_EQ(Titles(MenuBarOf(LoggedIn)),
              (std::vector<std::string>{"&ZOR", "Š&tudenti", "&Učitelia", "&Typ zadania", "&Konfigurácia",
                                        "&Pomoc"}));
    EXPECT_EQ(Cp1250ToUtf8(MenuBarOf(LoggedIn)[3].entries[3].title), "&Varianty");

    const auto buttons = [](MenuState state) {
        std::vector<int> ids;
        for (const ToolbarEntry& entry : ToolbarOf(state)) {
            ids.push_back(entry.separator ? 0 : static_cast<int>(entry.command));
        }
        return ids;
    };
    EXPECT_EQ(buttons(LoggedOut), (std::vector{32817, 32772, 0, 57664, 57665}));
    EXPECT_EQ(buttons(LoggedIn), (std::vector{32796, 32784, 0, 32791, 32802, 32815, 0, 57664, 32777, 57665}));
    EXPECT_EQ(buttons(Receiving), (std::vector{32797, 32784, 0, 57664, 32777}));
}

TEST(Menus, EveryCommandHasItsTextsAndEveryButtonATooltip) {
    std::set<std::string> names;
    for (const Command& command : Commands()) {
        EXPECT_TRUE(names.insert(command.objectName).second) << command.objectName;
        EXPECT_EQ(command.objectName.rfind("action", 0), 0u);
        EXPECT_FALSE(command.item.empty());
        EXPECT_FALSE(command.prompt.empty());
    }
    for (MenuState state : {LoggedOut, LoggedIn, Receiving}) {
        for (const ToolbarEntry& entry : ToolbarOf(state)) {
            EXPECT_TRUE(entry.separator || !CommandOf(entry.command).tooltip.empty());
            EXPECT_TRUE(entry.separator || !CommandOf(entry.command).icon.empty());
        }
    }
    const Command& start = CommandOf(CommandId::StartReceiving);
    EXPECT_EQ(Cp1250ToUtf8(start.item), "Št&art preberania");
    EXPECT_EQ(Cp1250ToUtf8(start.prompt), "Spustenie preberania zadaní");
    EXPECT_EQ(Cp1250ToUtf8(start.tooltip), "Preberanie - ŠTART");
    EXPECT_EQ(Cp1250ToUtf8(CommandOf(CommandId::PathSettings).prompt),
              "Cesta ku kompilátoru jazyka C, k textovému editoru a www prehliadaču");
    EXPECT_EQ(Cp1250ToUtf8(CommandOf(CommandId::ChangeDatabase).prompt), "Zmena aktuálnej databázy");
    EXPECT_EQ(Cp1250ToUtf8(CommandOf(CommandId::ChooseDatabase).prompt), "Výber aktuálnej databázy");
}

class LoginTest : public testing::StoreTest {
protected:
    TeacherRecord AddNamed(const std::string& surname, const std::string& password) {
        TeacherRecord teacher;
        EXPECT_TRUE(AddTeacher(db, "Meno", surname, "ucitel@uniba.sk", "A1", password, teacher));
        return teacher;
    }
    LoginOutcome LogIn(const std::string& name, const std::string& password) {
        return session.LogIn(db, prompts, name, password);
    }
    void ExpectRefusal() {
        ASSERT_EQ(prompts.told.size(), 1u);
        EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "Prístup do systému ZOR zamietnutý !!!");
        EXPECT_EQ(prompts.told[0].title, "Login");
        EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
        EXPECT_EQ(prompts.told[0].buttons, PromptButtons::Ok);
    }

    Session session;
    ScriptedPrompts prompts;
};

TEST_F(LoginTest, TheFirstRunAccountOpensADatabaseWithoutTeachers) {
    EXPECT_EQ(LogIn("admin", kFirstRunPassword), LoginOutcome::LoggedIn);
    EXPECT_TRUE(session.FirstRun());
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(LoginTest, WrongFirstRunInputIsRefused) {
    for (const auto& [name, password] : std::vector<std::pair<std::string, std::string>>{
             {"admin", "zle"}, {"Admin", kFirstRunPassword}, {"", ""}}) {
        prompts.told.clear();
        EXPECT_EQ(LogIn(name, password), LoginOutcome::Refused) << name;
        ExpectRefusal();
    }
}

TEST_F(LoginTest, TheFirstRunAccountIsRefusedOnceATeacherExists) {
    AddNamed("Nov\xE1k", "heslo");
    EXPECT_EQ(LogIn("admin", kFirstRunPassword), LoginOutcome::Refused);
    ExpectRefusal();
    EXPECT_FALSE(session.FirstRun());
    EXPECT_EQ(session.Teacher().surname, "Nov\xE1k") << "the last teacher examined";
}

TEST_F(LoginTest, SurnamesMatchByteForByteAndSharedSurnamesEachLogInWithTheirOwnPassword) {
    const TeacherRecord first = AddNamed("Nov\xE1k", "prve");
    const TeacherRecord second = AddNamed("Nov\xE1k", "druhe");
    EXPECT_EQ(LogIn("nov\xE1k", "prve"), LoginOutcome::Refused);
    EXPECT_EQ(LogIn("Nov\xE1k", "druhe"), LoginOutcome::LoggedIn);
    EXPECT_EQ(session.Teacher().id, second.id);
    EXPECT_EQ(LogIn("Nov\xE1k", "prve"), LoginOutcome::LoggedIn);
    EXPECT_EQ(session.Teacher().id, first.id);
}

TEST_F(LoginTest, AnUnreadableTeacherListKeepsTheDialogOpen) {
    std::filesystem::remove(dir / "db/teachers.dat");
    std::filesystem::create_directory(dir / "db/teachers.dat");
    EXPECT_EQ(LogIn("admin", kFirstRunPassword), LoginOutcome::StayOpen);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "Nie je možné načítať databázu učiteľov !!!");
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].title), "Chyba databázy");
    EXPECT_EQ(prompts.told[0].icon, PromptIcon::Error);
}

} // namespace
} // namespace tarvel
