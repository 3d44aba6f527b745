// FetchMail against scripted servers: a message is deleted only after it arrived whole and was kept.

#include "mail/FakeServer.h"
#include "mail/MailClient.h"
#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarvel {
namespace {

using testing::FakeServer;
using testing::FakeSession;
using namespace std::chrono_literals;

constexpr std::string_view kRetrieved = "+OK 40 octets\r\n"
                                        "Subject: x\r\n"
                                        "\r\n"
                                        "first\r\n"
                                        "..\r\n"
                                        "..x\r\n"
                                        "last\r\n"
                                        ".\r\n";

void LogIn(FakeSession& session) {
    session.Send("+OK Dovecot ready.\r\n");
    session.ReadLine();
    session.Send("+OK\r\n");
    session.ReadLine();
    session.Send("+OK Logged in.\r\n");
}

void DeleteAndQuit(FakeSession& session) {
    session.ReadLine();
    session.Send("+OK Marked to be deleted.\r\n");
    session.ReadLine();
    session.Send("+OK Logging out, messages deleted.\r\n");
}

// A mailbox holding one message: it is retrieved, deleted and the session ends.
void ServeOneMessage(FakeSession& session) {
    LogIn(session);
    session.ReadLine();
    session.Send(kRetrieved);
    DeleteAndQuit(session);
}

TEST(FetchMail, RetrievesMessageOneThenDeletesIt) {
    FakeServer server(ServeOneMessage);
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, MessageKeeper{}, progress, 5s), 1)
        << progress.failure;
    server.Join();
    EXPECT_EQ(server.Received(), "USER zor\r\nPASS secret\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n");
    EXPECT_EQ(text, kRetrieved);
    EXPECT_TRUE(progress.received && progress.kept && progress.deleteSent && progress.deleted);
    EXPECT_TRUE(progress.failure.empty());
}

TEST(FetchMail, LinesOfOneDotAndLeadingDotsArriveIntact) {
    FakeServer server(ServeOneMessage);
    std::string text;
    ASSERT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, 5s), 1);
    std::string message;
    ASSERT_TRUE(RetrievedMessage(text, message));
    EXPECT_EQ(message, "Subject: x\r\n\r\nfirst\r\n.\r\n.x\r\nlast\r\n");
}

TEST(FetchMail, RecognisesTheEndMarkSplitOverTwoReads) {
    FakeServer server([](FakeSession& session) {
        LogIn(session);
        session.ReadLine();
        session.Send("+OK 6 octets\r\nbody\r\n.");
        session.SendLater("\r\n");
        DeleteAndQuit(session);
    });
    std::string text;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, 5s), 1);
    EXPECT_EQ(text, "+OK 6 octets\r\nbody\r\n.\r\n");
}

TEST(FetchMail, AConnectionClosedInTheMiddleOfRetrIsNotAMessageAndNothingIsDeleted) {
    FakeServer server([](FakeSession& session) {
        LogIn(session);
        session.ReadLine();
        session.Send("+OK 400 octets\r\nSubject: x\r\n\r\nbegin 644 mail.zip\r\nM4$L#!!0`");
    });
    std::string text = "untouched";
    bool keeperCalled = false;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(
                  server.HostSetting(), "zor", "secret", text,
                  [&](const std::string&, const FetchProgress&) { return keeperCalled = true; }, progress,
                  5s),
              0);
    server.Join();
    EXPECT_EQ(server.Received().find("DELE"), std::string::npos);
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(keeperCalled);
    EXPECT_FALSE(progress.received);
    EXPECT_FALSE(progress.failure.empty());
}

TEST(FetchMail, AnEmptyMailboxFailsWithoutDeleOrQuit) {
    FakeServer server([](FakeSession& session) {
        LogIn(session);
        session.ReadLine();
        session.Send("-ERR There's no message 1.\r\n");
        session.WaitForClose();
    });
    std::string text = "untouched";
    FetchProgress progress;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, MessageKeeper{}, progress, 5s), 0);
    server.Join();
    EXPECT_EQ(server.Received(), "USER zor\r\nPASS secret\r\nRETR 1\r\n");
    EXPECT_TRUE(progress.mailboxEmpty);
    EXPECT_TRUE(progress.failure.empty());
    EXPECT_EQ(text, "untouched");
}

TEST(FetchMail, TheKeeperRunsBeforeDeleAndARefusalKeepsTheMessageOnTheServer) {
    for (bool keeps : {true, false}) {
        FakeServer server([](FakeSession& session) {
            LogIn(session);
            session.ReadLine();
            session.Send(kRetrieved);
            DeleteAndQuit(session);
        });
        std::string seenByKeeper;
        std::string sentBeforeKeeping;
        FetchProgress progress;
        std::string text;
        const int result = FetchMail(
            server.HostSetting(), "zor", "secret", text,
            [&](const std::string& retrieved, const FetchProgress&) {
                seenByKeeper = retrieved;
                sentBeforeKeeping = server.Received();
                return keeps;
            },
            progress, 5s);
        server.Join();
        EXPECT_EQ(result, keeps ? 1 : 0);
        EXPECT_EQ(seenByKeeper, kRetrieved);
        EXPECT_EQ(sentBeforeKeeping.find("DELE"), std::string::npos);
        EXPECT_EQ(server.Received().find("DELE") != std::string::npos, keeps);
        EXPECT_EQ(progress.kept, keeps);
        EXPECT_EQ(progress.deleted, keeps);
    }
}

// A reply over the limit is read to its end, so that it can be deleted like any other, and only its first
// whole lines are kept: one mail too large to take must not stay first in the mailbox for good.
TEST(FetchMail, AReplyOverTheLimitIsKeptInPartAndDeleted) {
    const std::string hugeLine = std::string(1 << 20, 'x') + "\r\n";
    struct Case {
        const char* name;
        std::string reply;
        std::string lastPiece; // sent after a pause, as a slow server would
        std::size_t limit;
        bool cutOff;
        std::string kept;
    };
    const Case cases[] = {
        {"exactly at the limit", std::string(kRetrieved), "", kRetrieved.size(), false,
         std::string(kRetrieved)},
        {"one byte over", std::string(kRetrieved), "", kRetrieved.size() - 1, true,
         "+OK 40 octets\r\nSubject: x\r\n\r\nfirst\r\n..\r\n..x\r\n"},
        {"a line far longer than the limit", "+OK\r\nSubject: x\r\n\r\n" + hugeLine + "..\r\n.x\r\n", ".\r\n",
         1000, true, "+OK\r\nSubject: x\r\n\r\n"},
        {"the end mark split in the skipped part", "+OK\r\n" + hugeLine + ".", "\r\n", 1000, true, "+OK\r\n"},
    };
    for (const Case& c : cases) {
        FakeServer server([&c](FakeSession& session) {
            LogIn(session);
            session.ReadLine();
            session.Send(c.reply);
            if (!c.lastPiece.empty()) {
                session.SendLater(c.lastPiece);
            }
            DeleteAndQuit(session);
        });
        std::string text;
        FetchProgress progress;
        bool keeperSawTheCut = false;
        const MessageKeeper keeper = [&](const std::string&, const FetchProgress& fetch) {
            keeperSawTheCut = fetch.cutOff;
            return true;
        };
        EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, keeper, progress, 5s, c.limit), 1)
            << c.name << ": " << progress.failure;
        server.Join();
        EXPECT_EQ(progress.cutOff, c.cutOff) << c.name;
        EXPECT_EQ(keeperSawTheCut, c.cutOff) << c.name;
        EXPECT_EQ(progress.size, c.reply.size() + c.lastPiece.size()) << c.name;
        EXPECT_EQ(text, c.kept) << c.name;
        EXPECT_LE(text.size(), c.limit) << c.name;
        EXPECT_NE(server.Received().find("DELE 1"), std::string::npos) << c.name;
    }
}

TEST(FetchMail, AnUnansweredQuitLeavesTheDeletionUnconfirmed) {
    FakeServer server([](FakeSession& session) {
        LogIn(session);
        session.ReadLine();
        session.Send(kRetrieved);
        session.ReadLine();
        session.Send("+OK Marked to be deleted.\r\n");
        session.ReadLine();
    });
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, MessageKeeper{}, progress, 5s), 0);
    EXPECT_TRUE(progress.received);
    EXPECT_TRUE(progress.kept);
    EXPECT_TRUE(progress.deleteSent);
    EXPECT_FALSE(progress.deleted);
    EXPECT_EQ(text, kRetrieved);
}

TEST(FetchMail, ARefusedLoginEndsBeforeRetr) {
    FakeServer server([](FakeSession& session) {
        session.Send("+OK ready\r\n");
        session.ReadLine();
        session.Send("+OK\r\n");
        session.ReadLine();
        session.Send("-ERR [AUTH] Authentication failed.\r\n");
        session.WaitForClose();
    });
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "wrong", text, MessageKeeper{}, progress, 5s), 0);
    server.Join();
    EXPECT_EQ(server.Received().find("RETR"), std::string::npos);
    EXPECT_FALSE(progress.mailboxEmpty);
    // The reason names the step, never the password.
    EXPECT_EQ(progress.failure.find("wrong"), std::string::npos);
}

TEST(FetchMail, AClosedConnectionIsNotAPositiveAnswer) {
    FakeServer server([](FakeSession& session) {
        session.Send("+OK ready\r\n");
        session.ReadLine();
    });
    std::string text;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, 5s), 0);
}

TEST(FetchMail, GivesUpOnASilentServerAfterTheTimeOut) {
    FakeServer server([](FakeSession& session) { session.WaitForClose(); });
    std::string text;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, 300ms), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 3s);
}

TEST(FetchMail, GivesUpWhenTheMessageStopsFlowing) {
    FakeServer server([](FakeSession& session) {
        LogIn(session);
        session.ReadLine();
        session.Send("+OK 400 octets\r\nSubject: x\r\n");
        session.WaitForClose();
    });
    std::string text;
    EXPECT_EQ(FetchMail(server.HostSetting(), "zor", "secret", text, 300ms), 0);
    server.Join();
    EXPECT_EQ(server.Received().find("DELE"), std::string::npos);
}

TEST(FetchMail, RefusesCredentialsThatWouldBreakTheDialogueBeforeConnecting) {
    struct Case {
        const char* name;
        std::string user;
        std::string password;
    };
    const Case cases[] = {
        {"line feed in user", "zor\nDELE 1", "secret"},
        {"carriage return in password", "zor", "se\rcret"},
        {"NUL in password", "zor", std::string("se\0cret", 7)},
        {"user too long", std::string(95, 'u'), "secret"},
    };
    for (const Case& c : cases) {
        FakeServer server([](FakeSession& session) { session.WaitForClose(); });
        std::string text;
        FetchProgress progress;
        EXPECT_EQ(FetchMail(server.HostSetting(), c.user, c.password, text, MessageKeeper{}, progress, 5s), 0)
            << c.name;
        EXPECT_FALSE(server.WasConnected()) << c.name;
        EXPECT_FALSE(progress.failure.empty()) << c.name;
    }
}

} // namespace
} // namespace tarvel
