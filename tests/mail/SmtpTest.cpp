// SendMail against scripted servers: the dialogue on the wire, whole replies, failures and time-outs.

#include "mail/FakeServer.h"
#include "mail/MailClient.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarvel {
namespace {

using testing::FakeServer;
using testing::FakeSession;
using namespace std::chrono_literals;

// A server that accepts everything; its replies come as the given greeting, then one per command.
void AcceptingServer(FakeSession& session, std::string_view greeting) {
    session.Send(greeting);
    session.ReadLine();
    session.Send("250 mail.example\r\n");
    session.ReadLine();
    session.Send("250 2.1.0 Ok\r\n");
    session.ReadLine();
    session.Send("250 2.1.5 Ok\r\n");
    session.ReadLine();
    session.Send("354 End data with <CR><LF>.<CR><LF>\r\n");
    session.ReadUntil("\r\n.\r\n");
    session.Send("250 2.0.0 Ok: queued\r\n");
    session.ReadLine();
    session.Send("221 2.0.0 Bye\r\n");
}

TEST(SendMail, SpeaksTheWholeDialogueWithCrLfAndTheHostWithoutItsPort) {
    FakeServer server([](FakeSession& session) { AcceptingServer(session, "220 mail.example ESMTP\r\n"); });
    std::string reason;
    EXPECT_EQ(SendMail(server.HostSetting(), "zor@127.0.0.1", "jan@example.org", "Subject: x\n\nMily, Jan\n",
                       5s, &reason),
              1)
        << reason;
    server.Join();
    EXPECT_EQ(server.Received(), "HELO 127.0.0.1\r\n"
                                 "MAIL FROM: zor@127.0.0.1\r\n"
                                 "RCPT TO: jan@example.org\r\n"
                                 "DATA\r\n"
                                 "Subject: x\r\n\r\nMily, Jan\r\n.\r\n"
                                 "QUIT\r\n");
}

TEST(SendMail, ReadsAMultiLineGreetingWhole) {
    FakeServer server([](FakeSession& session) {
        AcceptingServer(session, "220-mail.example ESMTP\r\n220-second line\r\n220 ready\r\n");
    });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "body\n", 5s), 1);
    server.Join();
    // Had the continuation lines been taken as replies to later commands, the dialogue would have run ahead.
    EXPECT_EQ(server.Received().find("HELO"), 0u);
}

TEST(SendMail, ReadsAReplySplitOverTwoReads) {
    FakeServer server([](FakeSession& session) {
        session.Send("22");
        session.SendLater("0 mail.example\r\n");
        session.ReadLine();
        session.Send("250-mail.example\r\n250-PIPE");
        session.SendLater("LINING\r\n250 8BITMIME\r\n");
        session.ReadLine();
        session.Send("250 Ok\r\n");
        session.ReadLine();
        session.Send("250 Ok\r\n");
        session.ReadLine();
        session.Send("354 go\r\n");
        session.ReadUntil("\r\n.\r\n");
        session.Send("250 queued\r\n");
        session.ReadLine();
        session.Send("221 Bye\r\n");
    });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "body\n", 5s), 1);
}

TEST(SendMail, StopsAtAGreetingWith421BeforeHelo) {
    FakeServer server([](FakeSession& session) {
        session.Send("421 mail.example Service not available\r\n");
        session.WaitForClose();
    });
    std::string reason;
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "body\n", 5s, &reason), 0);
    server.Join();
    EXPECT_EQ(server.Received(), "");
    EXPECT_NE(reason.find("421"), std::string::npos) << reason;
}

TEST(SendMail, FailsWhenAMultiLineReplyEndsWithAnotherCode) {
    FakeServer server([](FakeSession& session) {
        session.Send("220-hello\r\n554 go away\r\n");
        session.WaitForClose();
    });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "body\n", 5s), 0);
}

TEST(SendMail, FailsWhenTheServerClosesInsteadOfAnswering) {
    FakeServer server([](FakeSession& session) {
        session.Send("220 hello\r\n");
        session.ReadLine();
    });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "body\n", 5s), 0);
}

TEST(SendMail, RefusedRecipientEndsBeforeData) {
    FakeServer server([](FakeSession& session) {
        session.Send("220 hello\r\n");
        session.ReadLine();
        session.Send("250 Ok\r\n");
        session.ReadLine();
        session.Send("250 Ok\r\n");
        session.ReadLine();
        session.Send("550 5.1.1 no such user\r\n");
        session.WaitForClose();
    });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "nobody@d", "body\n", 5s), 0);
    server.Join();
    EXPECT_EQ(server.Received().find("DATA"), std::string::npos);
}

TEST(SendMail, GivesUpOnASilentServerAfterTheTimeOut) {
    FakeServer server([](FakeSession& session) { session.WaitForClose(); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "body\n", 300ms), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 3s);
}

TEST(SendMail, FailsWhenNothingListens) {
    std::string setting;
    {
        FakeServer closed([](FakeSession&) {});
        setting = closed.HostSetting();
    }
    EXPECT_EQ(SendMail(setting, "a@b", "c@d", "body\n", 2s), 0);
}

TEST(SendMail, RefusesLinesThatWouldBreakTheDialogueBeforeConnecting) {
    const std::string longAddress = std::string(80, 'a') + "@example.org";
    struct Case {
        const char* name;
        std::string from;
        std::string to;
    };
    const Case cases[] = {
        {"line feed in recipient", "a@b", "c@d\nRCPT TO: x@y"},
        {"carriage return in sender", "a@b\r", "c@d"},
        {"blank in recipient", "a@b", "c d@e"},
        {"tab in sender", "a\t@b", "c@d"},
        {"NUL in recipient", "a@b", std::string("c@d\0x", 5)},
        {"empty sender", "", "c@d"},
        {"empty recipient", "a@b", ""},
        {"command line over 99 bytes", "a@b", longAddress},
    };
    for (const Case& c : cases) {
        FakeServer server([](FakeSession& session) { AcceptingServer(session, "220 hello\r\n"); });
        std::string reason;
        EXPECT_EQ(SendMail(server.HostSetting(), c.from, c.to, "body\n", 5s, &reason), 0) << c.name;
        EXPECT_FALSE(reason.empty()) << c.name;
        EXPECT_FALSE(server.WasConnected()) << c.name;
    }
}

TEST(SendMail, AcceptsACommandLineOfExactly99Bytes) {
    // "RCPT TO: " (9) + address + CR LF (2) = 99.
    const std::string address = std::string(88 - 12, 'a') + "@example.org";
    ASSERT_EQ(9 + address.size() + 2, 99u);
    FakeServer server([](FakeSession& session) { AcceptingServer(session, "220 hello\r\n"); });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", address, "body\n", 5s), 1);
}

TEST(SmtpDataSection, SendsCrLfAndStuffsLeadingDots) {
    struct Case {
        const char* name;
        std::string body;
        std::string wire;
    };
    const Case cases[] = {
        {"empty body", "", ".\r\n"},
        {"last line without line end", "abc", "abc\r\n.\r\n"},
        {"LF becomes CR LF", "a\nb\n", "a\r\nb\r\n.\r\n"},
        {"CR LF stays CR LF", "a\r\nb\r\n", "a\r\nb\r\n.\r\n"},
        {"a line of one dot", "a\n.\nb\n", "a\r\n..\r\nb\r\n.\r\n"},
        {"a line starting with a dot", ".x\n", "..x\r\n.\r\n"},
        {"dots inside a line untouched", "a.b\n", "a.b\r\n.\r\n"},
        {"a dot as the very last byte", "a\n.", "a\r\n..\r\n.\r\n"},
        {"empty lines kept", "\n\n", "\r\n\r\n.\r\n"},
        {"8-bit bytes kept", "\x9A\xE1\n", "\x9A\xE1\r\n.\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SmtpDataSection(c.body), c.wire) << c.name;
    }
}

TEST(SendMail, BodyLinesOfOneDotAndLeadingDotsAreStuffedOnTheWire) {
    FakeServer server([](FakeSession& session) { AcceptingServer(session, "220 hello\r\n"); });
    EXPECT_EQ(SendMail(server.HostSetting(), "a@b", "c@d", "first\n.\n.x\nlast\n", 5s), 1);
    server.Join();
    EXPECT_NE(server.Received().find("DATA\r\nfirst\r\n..\r\n..x\r\nlast\r\n.\r\nQUIT\r\n"),
              std::string::npos);
}

} // namespace
} // namespace tarvel
