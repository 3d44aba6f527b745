// The mail client over TLS against the real Postfix and Dovecot: every security of SMTP and of POP3 carries a
// mail, and a server that cannot be trusted or does not offer what the setting asks for is refused.

#include "e2e/MailServers.h"
#include "mail/MailClient.h"

#include <gtest/gtest.h>

#include <thread>

namespace tarvel {
namespace {

using namespace testing;

struct Route {
    const char* name;
    MailSecurity smtpSecurity;
    std::string MailServers::*smtp;
    MailSecurity pop3Security;
    std::string MailServers::*pop3;
};

class MailTlsTest : public ::testing::TestWithParam<Route> {
protected:
    MailTlsTest() : servers(RunningMailServers()) {}

    MailSecurityOptions Options(MailSecurity security, const std::string& user = "zor") const {
        return {security, servers.caFile, user, servers.password};
    }

    MailServers servers;
};

// Between them the three routes use each security of each protocol once.
TEST_P(MailTlsTest, AMailGoesOutAndComesInWhole) {
    const Route& route = GetParam();
    EmptyMailbox(servers, "student7");
    const std::string message = std::string("Subject: ") + route.name + "\n\nover " + route.name + "\n";
    std::string reason;
    ASSERT_EQ(SendMail(servers.*route.smtp, "zor@127.0.0.1", servers.Address("student7"), message,
                       kMailTimeout, &reason, Options(route.smtpSecurity)),
              1)
        << reason;
    std::string text;
    FetchProgress progress;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int fetched = 0;
    while (fetched == 0 && std::chrono::steady_clock::now() < deadline) {
        fetched = FetchMail(servers.*route.pop3, "student7", servers.password, text, MessageKeeper{},
                            progress, kMailTimeout, kMaxFetchedMessage, Options(route.pop3Security));
        ASSERT_TRUE(fetched == 1 || progress.mailboxEmpty) << progress.failure;
        if (fetched == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ASSERT_EQ(fetched, 1);
    EXPECT_NE(text.find("\r\nover " + std::string(route.name) + "\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Routes, MailTlsTest,
                         ::testing::Values(Route{"ClearSmtpAndStls", MailSecurity::None, &MailServers::smtp,
                                                 MailSecurity::StartTls, &MailServers::pop3},
                                           Route{"StartTlsSubmissionAndPop3s", MailSecurity::StartTls,
                                                 &MailServers::submission, MailSecurity::Tls,
                                                 &MailServers::pop3s},
                                           Route{"SmtpsAndClearPop3", MailSecurity::Tls, &MailServers::smtps,
                                                 MailSecurity::None, &MailServers::pop3}),
                         [](const auto& info) { return std::string(info.param.name); });

class MailTlsRefusalTest : public ::testing::Test {
protected:
    MailTlsRefusalTest() : servers(RunningMailServers()) {}

    std::string SendFailure(const std::string& host, MailSecurityOptions options) const {
        std::string reason;
        EXPECT_EQ(SendMail(host, "zor@127.0.0.1", servers.Address("student7"), "Subject: x\n\nx\n",
                           kMailTimeout, &reason, options),
                  0);
        return reason;
    }

    MailServers servers;
};

TEST_F(MailTlsRefusalTest, NothingGoesWhereTheServerCannotBeTrustedOrDoesNotOfferTls) {
    const struct {
        const char* name;
        std::string host;
        MailSecurityOptions options;
        const char* reason;
    } cases[] = {
        // Postfix's clear port offers no STARTTLS: no silent fallback to clear text.
        {"no STARTTLS offered",
         servers.smtp,
         {MailSecurity::StartTls, servers.caFile, "zor", servers.password},
         "the SMTP server offers no STARTTLS"},
        {"a CA the system does not know",
         servers.smtps,
         {MailSecurity::Tls, "", "zor", servers.password},
         "certificate not trusted"},
        {"a wrong password",
         servers.submission,
         {MailSecurity::StartTls, servers.caFile, "zor", "wrong"},
         "authentication refused"},
        {"TLS spoken to a clear-text port",
         servers.smtp,
         {MailSecurity::Tls, servers.caFile, "zor", "x"},
         "TLS with the SMTP server failed"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(SendFailure(c.host, c.options).find(c.reason), std::string::npos) << c.name;
    }
    std::string text;
    FetchProgress progress;
    EXPECT_EQ(FetchMail(servers.pop3s, "student7", servers.password, text, MessageKeeper{}, progress,
                        kMailTimeout, kMaxFetchedMessage, {MailSecurity::Tls, "", "", ""}),
              0);
    EXPECT_NE(progress.failure.find("certificate not trusted"), std::string::npos) << progress.failure;
}

} // namespace
} // namespace tarvel
