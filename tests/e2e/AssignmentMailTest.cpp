// Assignment mails through a real Postfix, read back from a real Dovecot with the system's own client.

#include "assign/AssignmentMail.h"
#include "assign/Assignment.h"
#include "e2e/MailServers.h"
#include "shell/Config.h"
#include "store/Results.h"
#include "store/StoreFixture.h"
#include "store/Tasks.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <map>

namespace tarvel {
namespace {

using namespace testing;

class RealMailTest : public StoreTest {
protected:
    RealMailTest() : servers(RunningMailServers()) {}

    MailServers servers;
};

TEST_F(RealMailTest, AMessageArrivesByteForByteWithLinesOfDotsIntact) {
    EmptyMailbox(servers, "student9");
    const std::string message = "Subject: dots\n\nfirst\n.\n.x\n..M4$L\n\x9A\xE1\xE8\nlast line without end";
    std::string reason;
    ASSERT_EQ(
        SendMail(servers.smtp, "zor@127.0.0.1", servers.Address("student9"), message, kMailTimeout, &reason),
        1)
        << reason;
    const auto received = FetchMessages(servers, "student9", 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(BodyOf(received[0]), "first\r\n.\r\n.x\r\n..M4$L\r\n\x9A\xE1\xE8\r\nlast line without end\r\n");

    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3, "student9", servers.password, text, MessageKeeper{}, progress), 0);
    EXPECT_TRUE(progress.mailboxEmpty) << progress.failure;
}

TEST_F(RealMailTest, AWrongPasswordIsRefusedAndTheNextLoginIsNotDelayed) {
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3, "student9", "wrong", text, MessageKeeper{}, progress), 0);
    EXPECT_FALSE(progress.mailboxEmpty);
    const auto start = std::chrono::steady_clock::now();
    FetchMail(servers.pop3, "student9", servers.password, text, MessageKeeper{}, progress);
    EXPECT_TRUE(progress.mailboxEmpty) << progress.failure;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(RealMailTest, AssignAllDeliversSixCorrectAssignmentMails) {
    const std::string users[] = {"student1", "student2", "student3"};
    for (const std::string& user : users) {
        EmptyMailbox(servers, user);
    }
    const std::string config = dir / "zor.ini";
    WriteConfig(config, "mails", "pop3", servers.pop3);
    WriteConfig(config, "mails", "smtp", servers.smtp);
    WriteConfig(config, "mails", "user", "zor");

    std::vector<StudentRecord> students;
    const char* names[][2] = {{"J\xE1n", "Nov\xE1k"}, {"M\xE1ria", "\x8Aimkov\xE1"}, {"Peter", "\x8Euk"}};
    for (int i = 0; i < 3; ++i) {
        StudentRecord student;
        ASSERT_TRUE(AddStudent(db, std::to_string(11111 * (i + 1)), names[i][0], names[i][1],
                               servers.Address(users[i]), "1", "A1", student));
        students.push_back(student);
    }
    TaskTypeRecord taskType;
    ASSERT_TRUE(AddTaskType(db, "1", 10, 2000, 12, 31, taskType));
    ASSERT_TRUE(AddTaskType(db, "2", 5, 2001, 3, 5, taskType));
    const std::map<std::string, std::vector<std::string>> variants = {{"1", {"A", "B", "C"}}, {"2", {"X"}}};
    for (const auto& [task, names] : variants) {
        for (const std::string& variant : names) {
            AddVariant(VariantSet{&db, task}, variant);
            // A text with a line of one dot, lines starting with dots and Windows-1250 letters.
            WriteBytes(VariantFilePath(VariantSet{&db, task}, variant, "txt"),
                       "Nap\xED\x9A program " + task + variant + ".\n.\n.x\n..y\nKoniec.\n");
        }
    }

    ScriptedPrompts prompts;
    prompts.answers = {true};
    AssignmentContext context{db, config, prompts};
    AssignAll(context);

    for (std::size_t i = 0; i < 3; ++i) {
        const auto messages = FetchMessages(servers, users[i], 2);
        ASSERT_EQ(messages.size(), 2u) << users[i];
        std::map<std::string, std::string> bySubject;
        for (const std::string& message : messages) {
            EXPECT_EQ(HeaderValue(message, "From"), "zor@127.0.0.1");
            EXPECT_EQ(HeaderValue(message, "To"), servers.Address(users[i]));
            EXPECT_EQ(HeaderValue(message, "MIME-Version"), "1.0");
            EXPECT_EQ(HeaderValue(message, "Content-Type"), "text/plain; charset=windows-1250");
            EXPECT_EQ(HeaderValue(message, "Content-Transfer-Encoding"), "8bit");
            EXPECT_FALSE(HeaderValue(message, "Date").empty());
            bySubject[HeaderValue(message, "Subject")] = message;
        }
        for (const std::string task : {"1", "2"}) {
            ASSERT_EQ(bySubject.count("Zadanie cislo " + task), 1u) << users[i] << " task " << task;
            ResultRecord result;
            ASSERT_TRUE(LoadResult(db, task, students[i].id, result));
            const std::string expected =
                AssignmentBody(db, students[i], task, result.mod, "zor", servers.pop3);
            EXPECT_NE(expected.find("zadanie cislo " + task + " variant " + result.mod + "."),
                      std::string::npos);
            EXPECT_EQ(BodyOf(bySubject["Zadanie cislo " + task]), WithCrLf(expected))
                << users[i] << " " << task;
        }
    }
    for (const std::string& user : users) {
        std::string text;
        FetchProgress progress;
        FetchMail(servers.pop3, user, servers.password, text, MessageKeeper{}, progress);
        EXPECT_TRUE(progress.mailboxEmpty) << "more than two mails for " << user;
    }
}

} // namespace
} // namespace tarvel
