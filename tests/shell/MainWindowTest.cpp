// The main window on the offscreen platform: its frame, its pictures, and the menus and toolbars of the
// three states.

#include "shell/MainWindow.h"

#include "shell/GuiText.h"
#include "support/GuiTest.h"
#include "support/TempDir.h"

#include <QAction>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace tarvel {
namespace {

using testing::Find;
using testing::TempDir;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : application(dir / "zor.ini"), window(application) { window.show(); }

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

} // namespace
} // namespace tarvel
