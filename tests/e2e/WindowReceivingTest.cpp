// Receiving from the window against the private mail servers: a student's mail is fetched, stored, tested
// and answered while the status pane says whose mail is in progress and then what became of it.

#include "e2e/DaemonInstallation.h"
#include "e2e/LoggedInWindow.h"
#include "shell/GuiText.h"
#include "support/GuiTest.h"

#include <QStatusBar>

#include <chrono>

namespace tarvel {
namespace {

using namespace testing;

class WindowReceivingTest : public DaemonInstallation {};

TEST_F(WindowReceivingTest, AMailIsProcessedWhileTheStatusPaneReportsIt) {
    const StudentRecord jan = AddStudentNamed("12345", "J\xE1n", "Nov\xE1k", "student1");
    const LocalDate today = Today();
    AddSumTask("1", today.year + 1, today.month, std::min(today.day, 28));
    Assign(jan, "1", "a");
    SendAsStudent("student1", "mime",
                  SubmissionFolder("jan", jan, "1", {{"main.c", std::string(kSumProgram)}}));

    LoggedInWindow open(ConfigPath());
    Application& application = open.application;
    MainWindow& window = open.window;

    QStringList panes;
    QObject::connect(window.statusBar(), &QStatusBar::messageChanged,
                     [&panes](const QString& text) { panes << text; });
    window.ActionOf(CommandId::StartReceiving)->trigger();
    const QString done = GuiText("Posledná práca");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.statusBar()->currentMessage().contains(done); }, 60000))
        << window.statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(panes.contains(GuiText("Preberanie: spracúvam prácu UNI ID 12345, zadanie 1...")))
        << panes.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(
        window.statusBar()->currentMessage().endsWith(GuiText("UNI ID 12345, zadanie 1 - prijatá, test 0")))
        << window.statusBar()->currentMessage().toStdString();

    window.ActionOf(CommandId::StopReceiving)->trigger();
    EXPECT_EQ(application.session.State(), MenuState::LoggedIn);
    EXPECT_TRUE(IsRegularFile(Db("students/" + jan.id + "/1/main.c")));
    EXPECT_EQ(FetchMessages(servers, "student1", 1).size(), 1u) << "the verdict mail";
}

TEST_F(WindowReceivingTest, AMailboxThatCannotBeReadIsShownUntilAPollReachesIt) {
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", "127.0.0.1:1"));
    LoggedInWindow open(ConfigPath());
    MainWindow& window = open.window;
    const auto showsExactly = [&window](const QString& text) {
        return QTest::qWaitFor([&] { return window.statusBar()->currentMessage() == text; }, 20000);
    };

    window.ActionOf(CommandId::StartReceiving)->trigger();
    EXPECT_TRUE(showsExactly(
        GuiText("Preberanie: poštu nemožno prebrať (cannot connect to the POP3 server 127.0.0.1:1)")))
        << window.statusBar()->currentMessage().toStdString();
    ASSERT_TRUE(WriteConfig(ConfigPath(), "mails", "pop3", servers.pop3));
    EXPECT_TRUE(showsExactly(GuiText("Preberanie: čakám na poštu...")))
        << window.statusBar()->currentMessage().toStdString();
    window.ActionOf(CommandId::StopReceiving)->trigger();
}

} // namespace
} // namespace tarvel
