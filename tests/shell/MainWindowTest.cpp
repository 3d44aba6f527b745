// The main window on the offscreen platform: its frame, its pictures, and the menus and toolbars of the
// three states.

#include "shell/MainWindow.h"

#include "platform/Cp1250.h"
#include "shell/Config.h"
#include "shell/GuiText.h"
#include "shell/Settings.h"
#include "store/Students.h"
#include "store/Teachers.h"
#include "support/GuiTest.h"
#include "support/Paths.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include <filesystem>

namespace tarvel {
namespace {

using testing::Find;
using testing::ScriptedPrompts;
using testing::SourceDir;
using testing::TempDir;
using testing::WhenModal;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : application(dir / "zor.ini"), window(application, prompts) {
        std::filesystem::create_directories(dir / "zor/db");
        std::filesystem::copy(SourceDir() + "/install/empty.db", dir / "zor/empty.db",
                              std::filesystem::copy_options::recursive);
        std::filesystem::copy(SourceDir() + "/install/empty.db", dir / "zor/db/kurz",
                              std::filesystem::copy_options::recursive);
        WriteConfig(application.configPath, "dbase", "zorpath", dir / "zor");
        WriteConfig(application.configPath, "dbase", "dbpath", dir / "zor/db/kurz");
        application.db.LoadPath();
        window.show();
    }

    // Types the two fields of the login dialog and presses its button.
    static void AnswerLogin(const char* name, const char* password, const char* button = "okButton") {
        WhenModal([=](QWidget* dialog) {
            EXPECT_EQ(dialog->objectName(), QStringLiteral("loginDialog"));
            EXPECT_EQ(dialog->windowTitle(), GuiText("Vstup do systému ZOR"));
            QTest::keyClicks(Find<QLineEdit>(dialog, "nameEdit"), QString::fromUtf8(name));
            QTest::keyClicks(Find<QLineEdit>(dialog, "passwordEdit"), QString::fromUtf8(password));
            QTest::mouseClick(Find<QPushButton>(dialog, button), Qt::LeftButton);
        });
    }

    QStringList MenuTitles() const {
        QStringList titles;
        for (QAction* action : window.menuBar()->actions()) {
            titles << action->text();
        }
        return titles;
    }
    QStringList Buttons() const {
        QStringList names;
        for (QAction* action : Find<QToolBar>(&window, "toolbar")->actions()) {
            names << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
        }
        return names;
    }

    TempDir dir;
    ScriptedPrompts prompts;
    Application application;
    MainWindow window;
};

TEST_F(MainWindowTest, IsAFixedWindowTitledTarvelWithItsPicturesAndStatusPane) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tarvel"));
    EXPECT_EQ(window.size(), QSize(800, 600));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Tarvel"));
    for (CommandId id :
         {CommandId::Login, CommandId::About, CommandId::StartReceiving, CommandId::Evaluation}) {
        EXPECT_FALSE(window.ActionOf(id)->icon().isNull()) << static_cast<int>(id);
    }
    EXPECT_EQ(Find<QToolBar>(&window, "toolbar")->iconSize(), QSize(32, 32));
    const QImage shot = window.grab().toImage();
    EXPECT_NE(shot.pixelColor(400, 300), QColor(Qt::white)) << "the background is painted";
}

TEST_F(MainWindowTest, ShowsTheMenuAndToolbarOfEachState) {
    EXPECT_EQ(MenuTitles(), (QStringList{GuiText("&ZOR"), GuiText("&Pomoc")}));
    EXPECT_EQ(Buttons(), (QStringList{QStringLiteral("actionChooseDatabase"), QStringLiteral("actionLogin"),
                                      QStringLiteral("|"), QStringLiteral("actionAbout"),
                                      QStringLiteral("actionExit")}));
    window.ShowMenuState(MenuState::LoggedIn);
    EXPECT_EQ(MenuTitles(),
              (QStringList{GuiText("&ZOR"), GuiText("Š&tudenti"), GuiText("&Učitelia"),
                           GuiText("&Typ zadania"), GuiText("&Konfigurácia"), GuiText("&Pomoc")}));
    EXPECT_EQ(Buttons().size(), 10);
    window.ShowMenuState(MenuState::Receiving);
    EXPECT_EQ(Buttons(), (QStringList{QStringLiteral("actionStopReceiving"),
                                      QStringLiteral("actionEvaluation"), QStringLiteral("|"),
                                      QStringLiteral("actionAbout"), QStringLiteral("actionLogout")}));
}

TEST_F(MainWindowTest, ACommandsPromptShowsInTheStatusBarAndItsTooltipOnTheButton) {
    QAction* login = window.ActionOf(CommandId::Login);
    EXPECT_EQ(login->toolTip(), QStringLiteral("Login"));
    login->showStatusText(&window);
    EXPECT_EQ(window.statusBar()->currentMessage(), GuiText("Prihlásenie učiteľa do systému ZOR..."));
    window.statusBar()->clearMessage();
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Tarvel"));
}

TEST_F(MainWindowTest, LogoutShowsTheLoggedOutMenu) {
    window.ShowMenuState(MenuState::LoggedIn);
    window.ActionOf(CommandId::Logout)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::LoggedOut);
    EXPECT_EQ(MenuTitles().size(), 2);
}

TEST_F(MainWindowTest, TheFirstRunLoginOpensTheFullMenu) {
    AnswerLogin("admin", kFirstRunPassword);
    window.ActionOf(CommandId::Login)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::LoggedIn);
    EXPECT_TRUE(application.session.FirstRun());
    EXPECT_EQ(MenuTitles().size(), 6);
    EXPECT_TRUE(prompts.told.empty());
}

TEST_F(MainWindowTest, ARefusedOrCancelledLoginKeepsTheMenu) {
    AnswerLogin("admin", "zle");
    window.ActionOf(CommandId::Login)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::LoggedOut);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].title, "Login");
    AnswerLogin("admin", kFirstRunPassword, "backButton");
    window.ActionOf(CommandId::Login)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::LoggedOut);
    EXPECT_EQ(prompts.told.size(), 1u);
}

TEST_F(MainWindowTest, SelectingADatabaseLogsOutAndAsksForALogin) {
    std::filesystem::copy(SourceDir() + "/install/empty.db", dir / "zor/db/druha",
                          std::filesystem::copy_options::recursive);
    window.ShowMenuState(MenuState::LoggedIn);
    application.session.Apply(SessionEvent::Login, false);
    prompts.folders = {dir / "zor/db/druha"};
    AnswerLogin("admin", kFirstRunPassword);
    window.ActionOf(CommandId::ChangeDatabase)->trigger();
    EXPECT_EQ(DatabasePathSetting(application.configPath), dir / "zor/db/druha");
    EXPECT_EQ(application.db.Path(), dir / "zor/db/druha");
    EXPECT_EQ(application.session.State(), MenuState::LoggedIn);
}

TEST_F(MainWindowTest, ANewDatabaseOfAnExistingNameIsRefusedAndTheDialogStaysOpen) {
    application.session.Apply(SessionEvent::Login, false);
    window.ShowMenuState(application.session.State());
    WhenModal([this](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), GuiText("Založenie novej databázy"));
        auto* name = Find<QLineEdit>(dialog, "nameEdit");
        EXPECT_EQ(name->maxLength(), 20);
        QTest::keyClicks(name, QStringLiteral("kurz"));
        QTest::mouseClick(Find<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible());
        ASSERT_EQ(prompts.told.size(), 1u);
        EXPECT_EQ(prompts.told[0].text, Cp1250Text("Problém pri vytváraní databázy !!!"));
        EXPECT_EQ(prompts.told[0].title, Cp1250Text("Chyba databázy"));
        name->setText(QStringLiteral("nova"));
        QTest::mouseClick(Find<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    });
    window.ActionOf(CommandId::NewDatabase)->trigger();
    EXPECT_EQ(DatabasePathSetting(application.configPath), dir / "zor/db/nova");
    EXPECT_EQ(MenuTitles().size(), 6) << "creating a database keeps the state";
}

// The daemon against a mail server that is not there: it polls and waits, and stops at the next poll.
class ReceivingTest : public MainWindowTest {
protected:
    ReceivingTest() {
        WriteConfig(application.configPath, "mails", "pop3", "127.0.0.1:1");
        application.session.Apply(SessionEvent::Login, false);
        window.ShowMenuState(application.session.State());
    }
    QString Pane() const { return window.statusBar()->currentMessage(); }
};

TEST_F(ReceivingTest, StartShowsTheDaemonsMenuAndStatusAndStopReturnsAfterTheCycle) {
    window.ActionOf(CommandId::StartReceiving)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::Receiving);
    EXPECT_EQ(application.daemon.daemonRun, 1);
    EXPECT_EQ(Pane(), GuiText("Preberanie: čakám na poštu..."));
    EXPECT_EQ(MenuTitles(), (QStringList{GuiText("&ZOR"), GuiText("Š&tudenti"), GuiText("&Pomoc")}));

    QStringList panes;
    QObject::connect(window.statusBar(), &QStatusBar::messageChanged,
                     [&panes](const QString& text) { panes << text; });
    window.ActionOf(CommandId::StopReceiving)->trigger();
    EXPECT_TRUE(panes.contains(GuiText("Zastavujem preberanie...")))
        << panes.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(application.daemon.daemonStopped, 1);
    EXPECT_FALSE(application.daemon.worker.joinable());
    EXPECT_EQ(application.session.State(), MenuState::LoggedIn);
    EXPECT_EQ(Pane(), QStringLiteral("Tarvel"));
}

TEST_F(ReceivingTest, LoggingOutLeavesTheDaemonRunningAndTheNextLoginReturnsToItsMenu) {
    window.ActionOf(CommandId::StartReceiving)->trigger();
    window.ActionOf(CommandId::Logout)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::LoggedOut);
    EXPECT_EQ(application.daemon.daemonRun, 1);
    AnswerLogin("admin", kFirstRunPassword);
    window.ActionOf(CommandId::Login)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::Receiving);
    window.ActionOf(CommandId::StopReceiving)->trigger();
}

TEST_F(ReceivingTest, ClosingTheWindowWhileReceivingStopsTheDaemonFirst) {
    window.ActionOf(CommandId::StartReceiving)->trigger();
    window.close();
    EXPECT_EQ(application.daemon.daemonStopped, 1);
    EXPECT_FALSE(application.daemon.worker.joinable());
}

TEST_F(MainWindowTest, TheAboutBoxShowsItsPicture) {
    WhenModal([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), GuiText("O programe"));
        EXPECT_EQ(Find<QLabel>(dialog, "aboutPicture")->pixmap().size(), QSize(163, 80));
        QTest::mouseClick(Find<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    });
    window.ActionOf(CommandId::About)->trigger();
}

TEST_F(MainWindowTest, AdministrationCommandsCheckTheirListsBeforeTheirDialogOpens) {
    // The database is new: no teacher, no student, no task type.
    const struct {
        CommandId command;
        const char* dialog; // the dialog that opens, or nullptr when a warning keeps it closed
    } cases[] = {
        {CommandId::AddStudent, nullptr},
        {CommandId::EditStudent, nullptr},
        {CommandId::AddTeacher, "addTeacherDialog"},
        {CommandId::EditTeacher, nullptr},
        {CommandId::AddTaskType, "addTaskTypeDialog"},
        {CommandId::EditTaskType, nullptr},
        {CommandId::AddVariant, nullptr},
        {CommandId::EditVariant, nullptr},
    };
    for (const auto& c : cases) {
        prompts.told.clear();
        QString opened;
        if (c.dialog != nullptr) {
            WhenModal([&opened](QWidget* dialog) {
                opened = dialog->objectName();
                static_cast<QDialog*>(dialog)->reject();
            });
        }
        window.ActionOf(c.command)->trigger();
        if (c.dialog != nullptr) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
            EXPECT_EQ(opened, QString::fromLatin1(c.dialog));
            EXPECT_TRUE(prompts.told.empty());
        } else {
            ASSERT_EQ(prompts.told.size(), 1u) << static_cast<int>(c.command);
            EXPECT_EQ(prompts.told[0].title, Cp1250Text("Prázdna databáza"));
        }
    }
}

// "Hodnotenie" needs a student, and a teacher who is not the first-run account.
TEST_F(MainWindowTest, TheEvaluationOpensForARealTeacherOfAClassWithStudents) {
    AnswerLogin("admin", kFirstRunPassword);
    window.ActionOf(CommandId::Login)->trigger();
    window.ActionOf(CommandId::Evaluation)->trigger();
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[0].text), "Databáza študentov je prázdna, bezvýznamná operácia !!!");

    std::filesystem::create_directories(dir / "zor/db/kurz/students");
    TeacherRecord teacher;
    StudentRecord student;
    ASSERT_TRUE(AddTeacher(application.db, "Jan", "Novak", "", "", "tabla", teacher));
    ASSERT_TRUE(AddStudent(application.db, "10256", "Martin", "Balaz", "m@x", teacher.id, "1", student));
    window.ActionOf(CommandId::Evaluation)->trigger();
    ASSERT_EQ(prompts.told.size(), 2u);
    EXPECT_EQ(Cp1250ToUtf8(prompts.told[1].title), "Prvý vstup v databáze");

    window.ActionOf(CommandId::Logout)->trigger();
    AnswerLogin("Novak", "tabla");
    window.ActionOf(CommandId::Login)->trigger();
    QString opened;
    WhenModal([&opened](QWidget* dialog) {
        opened = Find<QLineEdit>(dialog, "unidEdit")->text();
        static_cast<QDialog*>(dialog)->reject();
    });
    window.ActionOf(CommandId::Evaluation)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
    EXPECT_EQ(opened, QStringLiteral("10256"));
    EXPECT_EQ(prompts.told.size(), 2u);
}

} // namespace
} // namespace tarvel
