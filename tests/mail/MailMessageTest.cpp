// Header composition, the daemon's address and signature, host settings and the unwrapping of a retrieval.

#include "mail/MailMessage.h"
#include "platform/Socket.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tarvel {
namespace {

// Dates are local time; the tests fix the zone.
class FixedZone {
public:
    explicit FixedZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            saved_ = old;
            hadZone_ = true;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~FixedZone() {
        if (hadZone_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::string saved_;
    bool hadZone_ = false;
};

constexpr std::time_t k2001March5Noon = 983793600; // 2001-03-05 12:00:00 UTC, a Monday

TEST(MailDate, IsTheMailFormOfLocalTime) {
    struct Case {
        const char* zone;
        std::time_t when;
        const char* expected;
    };
    const Case cases[] = {
        {"UTC0", k2001March5Noon, "Mon, 5 Mar 2001 12:00:00 +0000"},
        {"CET-1", k2001March5Noon, "Mon, 5 Mar 2001 13:00:00 +0100"},
        {"NST+3:30", k2001March5Noon, "Mon, 5 Mar 2001 08:30:00 -0330"},
        {"UTC0", 978307199, "Sun, 31 Dec 2000 23:59:59 +0000"},
    };
    for (const Case& c : cases) {
        FixedZone zone(c.zone);
        EXPECT_EQ(MailDate(c.when), c.expected) << c.zone;
    }
}

TEST(ComposeMail, PutsTheHeaderLinesBeforeTheUnchangedBody) {
    FixedZone zone("UTC0");
    const MailHeader header{"zor@127.0.0.1", "jan@example.org", "Zadanie cislo 1", k2001March5Noon};
    const std::string body = "Mily, J\xE1n\n\n.\nkoniec";
    std::string mail;
    ASSERT_TRUE(ComposeMail(header, body, mail));
    EXPECT_EQ(mail, "From: zor@127.0.0.1\n"
                    "To: jan@example.org\n"
                    "Subject: Zadanie cislo 1\n"
                    "Date: Mon, 5 Mar 2001 12:00:00 +0000\n"
                    "MIME-Version: 1.0\n"
                    "Content-Type: text/plain; charset=windows-1250\n"
                    "Content-Transfer-Encoding: 8bit\n"
                    "\n"
                    "Mily, J\xE1n\n\n.\nkoniec");
}

TEST(ComposeMail, RefusesValuesThatWouldAddHeaderLines) {
    struct Case {
        const char* name;
        MailHeader header;
    };
    const Case cases[] = {
        {"line feed in To", {"a@b", "c@d\nBcc: x@y", "s", 0}},
        {"carriage return in From", {"a@b\r", "c@d", "s", 0}},
        {"line feed in Subject", {"a@b", "c@d", "s\nX: y", 0}},
        {"8-bit Subject", {"a@b", "c@d", "\x9Atudent", 0}},
        {"NUL in To", {"a@b", std::string("c@d\0", 4), "s", 0}},
    };
    for (const Case& c : cases) {
        std::string mail = "untouched";
        EXPECT_FALSE(ComposeMail(c.header, "body", mail)) << c.name;
        EXPECT_EQ(mail, "untouched") << c.name;
    }
}

TEST(DaemonSignature, NamesTheMailUserAtThePop3HostWithoutItsPort) {
    EXPECT_EQ(DaemonAddress("zor", "127.0.0.1:2110"), "zor@127.0.0.1");
    EXPECT_EQ(DaemonAddress("zor", "mail.uniza.sk"), "zor@mail.uniza.sk");
    EXPECT_EQ(DaemonSignature("zor", "mail.uniza.sk:110"),
              "\n\n                         ZOR Daemon(zor@mail.uniza.sk)\n");
}

TEST(SplitHostSetting, TakesAnOptionalPort) {
    struct Case {
        const char* setting;
        bool ok;
        const char* host;
        const char* port;
    };
    const Case cases[] = {
        {"mail.example.org", true, "mail.example.org", "25"},
        {"127.0.0.1:2525", true, "127.0.0.1", "2525"},
        {"[::1]:2525", true, "::1", "2525"},
        {"[::1]", true, "::1", "25"},
        {"::1", true, "::1", "25"},
        {"host:65535", true, "host", "65535"},
        {"host:0", false, "", ""},
        {"host:65536", false, "", ""},
        {"host:smtp", false, "", ""},
        {"host:", false, "", ""},
        {":25", false, "", ""},
        {"", false, "", ""},
        {"[::1", false, "", ""},
        {"[::1]x25", false, "", ""},
    };
    for (const Case& c : cases) {
        HostAndPort split;
        ASSERT_EQ(SplitHostSetting(c.setting, "25", split), c.ok) << c.setting;
        if (c.ok) {
            EXPECT_EQ(split.host, c.host) << c.setting;
            EXPECT_EQ(split.port, c.port) << c.setting;
        }
    }
}

TEST(RetrievedMessage, DropsTheStatusAndEndLinesAndUndoesTheStuffing) {
    struct Case {
        const char* name;
        std::string text;
        bool ok;
        std::string message;
    };
    const Case cases[] = {
        {"plain", "+OK 5 octets\r\nabc\r\n.\r\n", true, "abc\r\n"},
        {"empty message", "+OK 0 octets\r\n.\r\n", true, ""},
        {"stuffed lines", "+OK\r\n..\r\n..x\r\n...\r\nx.\r\n.\r\n", true, ".\r\n.x\r\n..\r\nx.\r\n"},
        {"a uuencoded last line starting with two dots", "+OK\r\n..M4$L\r\n`\r\nend\r\n.\r\n", true,
         ".M4$L\r\n`\r\nend\r\n"},
        {"without end line", "+OK\r\nabc\r\n", false, ""},
        {"end line without line end", "+OK\r\nabc\r\n.", false, ""},
        {"bytes after the end line", "+OK\r\nabc\r\n.\r\nmore\r\n", false, ""},
        {"no status line", "", false, ""},
    };
    for (const Case& c : cases) {
        std::string message = "untouched";
        EXPECT_EQ(RetrievedMessage(c.text, message), c.ok) << c.name;
        EXPECT_EQ(message, c.ok ? c.message : "untouched") << c.name;
    }
}

TEST(RetrievalText, IsWhatRetrievedMessageUndoes) {
    const struct {
        const char* name;
        std::string message;
        std::string unwrapped; // the same with CR LF line ends
    } cases[] = {
        {"CR LF lines", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"LF lines", "a\nb\n", "a\r\nb\r\n"},
        {"no final line end", "a\nb", "a\r\nb\r\n"},
        {"lines starting with dots", ".\n..x\n.\r\nx.\n", ".\r\n..x\r\n.\r\nx.\r\n"},
        {"empty lines", "\n\nx\n", "\r\n\r\nx\r\n"},
        {"empty message", "", ""},
    };
    for (const auto& c : cases) {
        const std::string text = RetrievalText(c.message);
        EXPECT_EQ(text.substr(0, 4), "+OK ") << c.name;
        std::string message;
        EXPECT_TRUE(RetrievedMessage(text, message)) << c.name;
        EXPECT_EQ(message, c.unwrapped) << c.name;
    }
}

} // namespace
} // namespace tarvel
