// "&Pridelenie zadaní" from the window against the private mail servers: the progress dialog advances once
// per student while the mails go out, and every student receives his one mail.

#include "e2e/DaemonInstallation.h"
#include "e2e/LoggedInWindow.h"
#include "shell/GuiText.h"
#include "support/GuiTest.h"

#include <QProgressDialog>

namespace tarvel {
namespace {

using namespace testing;

class WindowAssignmentTest : public DaemonInstallation {};

TEST_F(WindowAssignmentTest, TheProgressAdvancesOncePerStudentAndEveryStudentGetsHisMail) {
    const char* const users[] = {"student1", "student2", "student3"};
    for (int i = 0; i < 3; ++i) {
        AddStudentNamed(std::to_string(10001 + i), "Meno", "Priezvisko" + std::to_string(i), users[i]);
    }
    AddSumTask("1", 2030, 1, 1);

    LoggedInWindow open(ConfigPath());
    ScriptedPrompts& prompts = open.prompts;
    MainWindow& window = open.window;

    // The progress dialog as each of its repaints finds it.
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* progress = window.findChild<QProgressDialog*>(QStringLiteral("assignmentProgress"))) {
            const QString state = QString::number(progress->value()) + QStringLiteral(": ") +
                                  progress->labelText().section(QLatin1Char('\n'), 1);
            if (seen.isEmpty() || seen.back() != state) {
                seen << state;
            }
        }
    });
    watch.start(0);
    prompts.answers = {true};
    window.ActionOf(CommandId::AssignAll)->trigger();
    watch.stop();

    EXPECT_EQ(seen, (QStringList{QStringLiteral("0: Meno Priezvisko0"), QStringLiteral("1: Meno Priezvisko1"),
                                 QStringLiteral("2: Meno Priezvisko2")}));
    EXPECT_EQ(window.findChild<QProgressDialog*>(QStringLiteral("assignmentProgress")), nullptr);
    ASSERT_EQ(prompts.told.size(), 1u);
    EXPECT_EQ(prompts.told[0].title, "Zadania");
    for (const char* user : users) {
        const auto messages = FetchMessages(servers, user, 1);
        ASSERT_EQ(messages.size(), 1u) << user;
        EXPECT_EQ(HeaderValue(messages[0], "Subject"), "Zadanie cislo 1") << user;
    }
}

} // namespace
} // namespace tarvel
